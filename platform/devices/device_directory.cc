#include "platform/devices/device_directory.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/misc/evhub_ini.h"
#include "platform/win/profile_file.h"
#include "platform/xbase/engine_calls.h"

namespace sdx::devices {
namespace {

using DeviceMap = std::unordered_map<double, std::string>;

// Replaced whole, never changed in place: a lookup keeps the map it loaded alive.
std::atomic<std::shared_ptr<const DeviceMap>> current_map;

std::mutex folder_lock;  // guards folder_override
std::string folder_override;

std::string DeviceFolder() {
  {
    std::scoped_lock lock(folder_lock);
    if (!folder_override.empty()) return folder_override;
  }
  char current[254] = {};
  if (getcwd(current, sizeof current) == nullptr) current[0] = '\0';
  std::string path =
      sdx::win::GetPrivateProfileString("Sdx24", "path", current, sdx::misc::EVHUB_INI());
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path + "/database";
}

std::string TrimmedText(const FIELD4* field) {
  const char* bytes = f4ptr(field);
  if (bytes == nullptr) return {};
  std::string text(bytes, f4len(field));
  const size_t end = text.find_last_not_of(std::string_view(" \0", 2));
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

// Reads every row that is not marked deleted, in record-number order; the first row of an id
// names it.
bool LoadDevices(const std::string& folder, DeviceMap* map) {
  CODE4 code_base;
  if (code4initLow(&code_base, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0) != 0) {
    return false;
  }
  bool loaded = false;
  if (DATA4* data = d4open(&code_base, (folder + "/Devices").c_str())) {
    FIELD4* id = d4field(data, "ID");
    FIELD4* name = d4field(data, "NAME");
    if (id != nullptr && name != nullptr) {
      const long count = _d4recCountDo2(data, 0);
      for (long record = 1; record <= count; ++record) {
        if (d4goLow(data, record, 0) != 0) break;
        if (d4deleted(data)) continue;
        map->emplace(f4double(id), TrimmedText(name));
      }
      loaded = true;
    }
    d4close(data);
  }
  code4initUndo(&code_base);
  return loaded;
}

}  // namespace

void SetDeviceFolder(const std::string& folder) {
  std::scoped_lock lock(folder_lock);
  folder_override = folder;
}

}  // namespace sdx::devices

int dbDevicesOpen() {
  using sdx::devices::DeviceMap;
  auto map = std::make_shared<DeviceMap>();
  if (!sdx::devices::LoadDevices(sdx::devices::DeviceFolder(), map.get())) {
    sdx::devices::current_map.store(nullptr);
    return 1;
  }
  sdx::devices::current_map.store(std::move(map));
  return 0;
}

int dbDeviceNameByID(double id, char* name, unsigned size, int* status) {
  const std::shared_ptr<const sdx::devices::DeviceMap> map = sdx::devices::current_map.load();
  const std::string* found = nullptr;
  if (map != nullptr) {
    auto it = map->find(id);
    if (it != map->end()) found = &it->second;
  }
  if (name != nullptr && size > 0) {
    const size_t length = found == nullptr ? 0 : std::min<size_t>(found->size(), size - 1);
    if (length > 0) std::memcpy(name, found->data(), length);
    name[length] = '\0';
  }
  const int result = found != nullptr ? 0 : 1;
  if (status != nullptr) *status = result;
  return result;
}

void dbCloseDBEngine() { sdx::devices::current_map.store(nullptr); }
