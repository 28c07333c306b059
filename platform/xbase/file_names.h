// File names of a table and its companions on a case-sensitive file system. Tables copied
// from Windows may be named LOGALARM.DBF while the program asks for LogAlarm.dbf; the engine
// opens by exact name first, then by a case-insensitive match in the same folder.
#pragma once

#include <string>

namespace sdx::xbase {

// `path` itself when it exists, else the one entry of its folder whose name matches it in any
// letter case, else `path` unchanged (so that the open that follows reports it missing).
std::string ResolveFileName(const std::string& path);

// `path` with ".dbf" added when its file name has no extension.
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

// The companion file of a table (its memo or index file): the table's base name with
// `extension` in the letter case of the table's own extension, resolved as above.
std::string CompanionFileName(const std::string& table_path, const std::string& extension);

}  // namespace sdx::xbase
