#include "frame/command_dispatcher.h"

#include <algorithm>

#include "frame/join_repeated_parameters.h"
#include "frame/parse_long.h"
#include "frame/url_decode.h"
#include "platform/win/ignore_case.h"

namespace sdx {
namespace {

// The hidden form field that names the command inside the request text itself.
constexpr std::string_view kCommandField = "MfcISAPICommand";

}  // namespace

CommandDispatcher::CommandDispatcher(const CommandTable* table)
    : table_(table), specs_(table->commands.size()), specs_parsed_(table->commands.size()) {}

const CommandEntry* CommandDispatcher::FindCommand(std::string_view name) const {
  if (name.empty()) name = table_->default_command;
  for (const CommandEntry& command : table_->commands) {
    if (win::EqualIgnoringCase(command.name, name)) return &command;
  }
  return nullptr;
}

const CommandDispatcher::ParamSpecs* CommandDispatcher::Specs(const CommandEntry& command) {
  size_t index = static_cast<size_t>(&command - table_->commands.data());
  std::scoped_lock lock(specs_lock_);
  if (!specs_parsed_[index]) {
    specs_parsed_[index] = true;
    auto specs = std::make_unique<ParamSpecs>();
    std::string_view list = command.params;
    bool ok = true;
    while (ok) {
      size_t start = list.find_first_not_of(' ');
      if (start == std::string_view::npos) break;
      list.remove_prefix(start);
      std::string_view word = list.substr(0, list.find(' '));
      list.remove_prefix(word.size());
      size_t equals = word.find('=');
      std::string_view name = word.substr(0, equals);
      std::string_view value =
          equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
      ok = !name.empty() && specs->size() < command.types.size();
      if (ok) {
        ParamType type = command.types[specs->size()];
        specs->push_back({std::string(name), type, std::string(value), ParseLong(value)});
      }
    }
    if (ok && specs->size() == command.types.size()) specs_[index] = std::move(specs);
  }
  return specs_[index].get();
}

int CommandDispatcher::Bind(const CommandEntry& command, std::string_view params,
                            uint32_t body_bytes, CommandArguments* arguments) {
  if (command.kind == CommandKind::kNone) return params.empty() ? kDispatchOk : kBadParamCount;
  if (command.kind == CommandKind::kRaw) {
    if (params.empty()) return kBadParamCount;
    arguments->raw_text = params;
    arguments->body_bytes = body_bytes;
    return kDispatchOk;
  }

  const ParamSpecs* specs = Specs(command);
  if (specs == nullptr) return kNoSuchCommand;
  size_t count = specs->size();
  arguments->texts.assign(count, std::string());
  arguments->longs.assign(count, 0);
  std::vector<bool> named(count, false);
  std::vector<bool> positioned(count, false);
  std::vector<bool> valued(count, false);
  size_t pieces = 0;
  size_t positional = 0;
  for (size_t start = 0; start <= params.size();) {
    size_t end = std::min(params.find('&', start), params.size());
    std::string_view piece = params.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    if (++pieces > count) return kBadParamCount;
    size_t equals = piece.find('=');
    size_t index = 0;
    std::string_view value;
    if (equals != std::string_view::npos) {
      std::string_view name = piece.substr(0, equals);
      while (index < count && !win::EqualIgnoringCase((*specs)[index].name, name)) ++index;
      if (index == count || named[index] || positioned[index]) return kBadParam;
      named[index] = true;
      value = piece.substr(equals + 1);
    } else {
      index = positional++;
      if (named[index]) return kBadParam;
      positioned[index] = true;
      value = piece;
    }
    if (value.empty()) continue;
    valued[index] = true;
    if ((*specs)[index].type == ParamType::kLong) {
      arguments->longs[index] = ParseLong(value);
    } else {
      arguments->texts[index] = UrlDecode(value);
    }
  }
  for (size_t i = 0; i < count; ++i) {
    if (valued[i]) continue;
    arguments->texts[i] = (*specs)[i].default_text;
    arguments->longs[i] = (*specs)[i].default_long;
  }
  return kDispatchOk;
}

int CommandDispatcher::CallFunction(HttpServerContext& context, std::string_view request_text,
                                    std::optional<std::string_view> explicit_command,
                                    uint32_t body_bytes) {
  const std::string joined = JoinRepeatedParameters(request_text);
  std::string_view text = joined;
  const CommandEntry* command = nullptr;
  std::string_view params;

  size_t equals = text.find('=');
  if (equals != std::string_view::npos &&
      win::EqualIgnoringCase(text.substr(0, equals), kCommandField)) {
    std::string_view rest = text.substr(equals + 1);
    size_t amp = rest.find('&');
    command = FindCommand(rest.substr(0, amp));
    if (command != nullptr) {
      params = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    }
  }
  if (command == nullptr && explicit_command.has_value()) {
    command = FindCommand(*explicit_command);
    if (command == nullptr) return kNoSuchCommand;
    params = text;
  } else if (command == nullptr) {
    size_t separator = text.find_first_of("&?");
    std::string_view word = text.substr(0, separator);
    if (word.find('=') == std::string_view::npos) command = FindCommand(word);
    if (command != nullptr) {
      params =
          separator == std::string_view::npos ? std::string_view() : text.substr(separator + 1);
    } else {
      command = FindCommand({});
      if (command == nullptr) return kNoSuchCommand;
      params = text;
    }
  }
  if (command->handler == nullptr) return kNoSuchCommand;

  CommandArguments arguments;
  int result = Bind(*command, params, body_bytes, &arguments);
  if (result != kDispatchOk) return result;
  // The handler's exceptions end here, so that one bad request never takes the host down.
  try {
    command->handler(context, arguments);
  } catch (...) {
    return kHandlerFailed;
  }
  return kDispatchOk;
}

}  // namespace sdx
