// The shape of a command table: each command's name, kind, parameter types and parameter list
// text ("SId=0 Logon=1": names with their defaults, in order), and its handler. The dispatch
// reads a table and never changes it; the product's table is in product_commands.h, the
// dispatch's tests bring their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sdx {

class HttpServerContext;

enum class ParamType : uint8_t {
  kText,  // URL-decoded string
  kLong,  // signed 32-bit, converted like atol from the undecoded text
};

enum class CommandKind : uint8_t {
  kParams,  // named and positional parameters of the types listed
  kNone,    // no parameter text at all
  kRaw,     // the whole parameter text, undecoded, and the body's byte count
};

// What a handler receives besides the context. For kParams, one slot per parameter in table
// order: Text(i) for text parameters, Long(i) for long ones. For kRaw, raw_text (valid only
// during the call) and body_bytes.
struct CommandArguments {
  const std::string& Text(size_t index) const { return texts[index]; }
  int32_t Long(size_t index) const { return longs[index]; }

  std::vector<std::string> texts;
  std::vector<int32_t> longs;
  std::string_view raw_text;
  uint32_t body_bytes = 0;
};

using CommandHandler = void (*)(HttpServerContext& context, const CommandArguments& arguments);

struct CommandEntry {
  std::string name;
  CommandKind kind = CommandKind::kParams;
  std::vector<ParamType> types;      // kParams only
  std::string params;                // "name=default" words separated by blanks; kParams only
  CommandHandler handler = nullptr;  // null: the command answers as an unknown one
};

struct CommandTable {
  std::vector<CommandEntry> commands;
  std::string default_command;  // run when a request names no command
};

}  // namespace sdx
