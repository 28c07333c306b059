// The template map of the server object: the five page templates by number, loaded once when
// the server is built and emptied at shutdown. The map is guarded by the server lock, which the
// server object owns and shares with its session table.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "frame/page_template.h"

namespace sdx {

class TemplateStore {
 public:
  explicit TemplateStore(std::mutex* server_lock) : server_lock_(server_lock) {}
  TemplateStore(const TemplateStore&) = delete;
  TemplateStore& operator=(const TemplateStore&) = delete;

  // Loads templates 1 to 5 from `folder` (already without its trailing separator) and stores
  // each, read or not; then writes "Done Reading in Templates" to the web log.
  void LoadTemplates(std::string_view folder);

  // A copy of the text of template `number`; empty when it is unknown or was not read. Every
  // page takes its copy once per request and fills that.
  std::string GetTemplateText(uint16_t number) const;

  // Removes every template, at shutdown.
  void Clear();

 private:
  std::mutex* server_lock_;
  std::unordered_map<uint16_t, PageTemplate> templates_;  // guarded by *server_lock_
};

}  // namespace sdx
