// Fuzzes the request grammar: the joining, the command lookup, the binding and the decoding,
// over the product's command shapes. The first byte picks GET or POST; for a POST the text up
// to the first line feed is the URL's command and the rest the body.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frame/command_dispatcher.h"
#include "frame/extension_request.h"
#include "frame/http_server_context.h"
#include "frame/product_commands.h"

namespace {

void Touch(sdx::HttpServerContext&, const sdx::CommandArguments& arguments) {
  size_t total = arguments.raw_text.size();
  for (const std::string& text : arguments.texts) total += text.size();
  if (total == SIZE_MAX) __builtin_trap();
}

sdx::CommandTable FuzzTable() {
  sdx::CommandTable table = sdx::ProductCommandTable();
  for (sdx::CommandEntry& command : table.commands) command.handler = &Touch;
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const sdx::CommandTable table = FuzzTable();
  static sdx::CommandDispatcher dispatcher(&table);
  if (size == 0) return 0;
  bool post = (data[0] & 1) != 0;
  std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  std::optional<std::string_view> command;
  if (post) {
    size_t line_end = input.find('\n');
    command = input.substr(0, line_end);
    input = line_end == std::string_view::npos ? std::string_view() : input.substr(line_end + 1);
  }
  std::string text(input);
  sdx::TrimRequestText(&text);
  sdx::HttpServerContext context(nullptr);
  int result = dispatcher.CallFunction(context, text, command, static_cast<uint32_t>(size));
  if (result != sdx::kDispatchOk && result != sdx::kBadParamCount &&
      result != sdx::kNoSuchCommand && result != sdx::kBadParam) {
    __builtin_trap();
  }
  return 0;
}
