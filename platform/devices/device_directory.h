// The device directory: names of the devices that events come from, loaded from the Devices
// table into memory when the tables are opened. The list and details pages look names up on
// many threads at once while a pause may close and reopen the directory; each lookup sees the
// old table, the new one or none, never a half-built one.
#pragma once

#include <string>

extern "C" {

// Loads the id-to-name table from the Devices table of the database folder (ID B 8, NAME C 80).
// 0 when loaded; otherwise not 0, and lookups find nothing until the next successful open.
int dbDevicesOpen();

// Copies the name of device `id` into `name` as a zero-terminated text inside `size` bytes
// (trailing blanks removed, cut to fit); an unknown id gives the empty text; `size` 0 writes
// nothing. *status (when given) and the result: 0 when the id is known, 1 when not.
int dbDeviceNameByID(double id, char* name, unsigned size, int* status);

// Drops the table; lookups find nothing until the next open. May be called any number of times.
void dbCloseDBEngine();

}  // extern "C"

namespace sdx::devices {

// The folder dbDevicesOpen reads from; empty (the default) means the database folder of the
// settings: `path` of section "Sdx24" of the settings file followed by "/database".
void SetDeviceFolder(const std::string& folder);

}  // namespace sdx::devices
