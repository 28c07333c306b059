// A result for the engine's own layers: a code (0 is success, negative values are the engine's
// error codes the contract returns) and a message for tools and logs. The C-linkage engine calls
// hand out only the code.
#pragma once

#include <string>
#include <utility>

namespace sdx::xbase {

class Status {
 public:
  Status() = default;
  Status(int code, std::string message) : code_(code), message_(std::move(message)) {}

  static Status Ok() { return Status(); }
  static Status Error(int code, std::string message) { return Status(code, std::move(message)); }

  bool ok() const { return code_ == 0; }
  int code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  int code_ = 0;
  std::string message_;
};

}  // namespace sdx::xbase
