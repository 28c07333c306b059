// The request grammar: finds the command a request text names in a command table, binds its
// parameters by name and position and calls the handler, or answers with a failure code. One
// dispatcher per table lives as long as the extension; the request entry point calls it on
// every worker thread at once.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/command_table.h"

namespace sdx {

// Failure codes of the dispatch; 0 means a handler ran.
inline constexpr int kDispatchOk = 0;
inline constexpr int kBadParamCount = 2;  // wrong number of parameters: 400
inline constexpr int kNoSuchCommand = 3;  // unknown or not yet wired command: 501
inline constexpr int kHandlerFailed = 4;  // the handler threw: 500
inline constexpr int kNoOutput = 5;       // the request has no way to answer: 204
inline constexpr int kBadParam = 8;       // unknown, repeated or colliding parameter: 400

class CommandDispatcher {
 public:
  explicit CommandDispatcher(const CommandTable* table);
  CommandDispatcher(const CommandDispatcher&) = delete;
  CommandDispatcher& operator=(const CommandDispatcher&) = delete;

  // Joins repeated parameters in a copy of `request_text` (already trimmed), finds the command
  // (`explicit_command` is the POST request's URL query, nullopt for GET), binds and calls the
  // handler, catching anything it throws. `body_bytes` is what raw handlers are told.
  int CallFunction(HttpServerContext& context, std::string_view request_text,
                   std::optional<std::string_view> explicit_command, uint32_t body_bytes);

 private:
  struct ParamSpec {
    std::string name;
    ParamType type;
    std::string default_text;
    int32_t default_long;
  };
  using ParamSpecs = std::vector<ParamSpec>;

  // The command of that name, compared without regard to case; the default command for an
  // empty name; null when there is none.
  const CommandEntry* FindCommand(std::string_view name) const;
  // The parsed parameter list of the command, parsed on its first use; null when the list
  // does not match the types.
  const ParamSpecs* Specs(const CommandEntry& command);
  int Bind(const CommandEntry& command, std::string_view params, uint32_t body_bytes,
           CommandArguments* arguments);

  const CommandTable* table_;
  std::mutex specs_lock_;
  std::vector<std::unique_ptr<ParamSpecs>> specs_;  // guarded by specs_lock_; per command
  std::vector<bool> specs_parsed_;                  // guarded by specs_lock_
};

}  // namespace sdx
