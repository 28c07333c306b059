// The scratch of expression evaluation: the value stack and the text regions that operators
// such as UPPER, STR and '+' fill. A compiled Expression is immutable and may be shared by
// threads; each thread (or each index walk) owns its ExprState and passes it to every call.
// A state grows to the largest expression it served and then never allocates again.
#pragma once

#include <cstdint>
#include <vector>

namespace sdx::xbase {

// One value on the evaluation stack; the op that pushed it knows its type.
struct ExprSlot {
  const char* text = nullptr;
  uint32_t length = 0;
  bool logical = false;
  double number = 0;
};

class ExprState {
 public:
  ExprState() = default;

 private:
  friend class Expression;

  void Reserve(size_t stack_depth, size_t text_bytes) {
    if (stack_.size() < stack_depth) stack_.resize(stack_depth);
    if (text_.size() < text_bytes) text_.resize(text_bytes);
  }

  std::vector<ExprSlot> stack_;
  std::vector<char> text_;             // the program's text regions, then room for a padded key
  std::vector<uint8_t> blank_record_;  // stands in for a record too short for the layout
};

}  // namespace sdx::xbase
