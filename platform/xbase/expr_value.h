// The typed result of an xBase expression, as the index (keys), the table layer (filters) and
// tools read it. Character and date texts are views into the record or into the caller's
// ExprState: valid until the next evaluation with that state or a change of the record bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace sdx::xbase {

enum class ExprType : uint8_t { kCharacter, kNumeric, kLogical, kDate };

// A bad key or filter expression: the engine's code for an expression that does not compile.
inline constexpr int kErrExpression = -400;

struct ExprValue {
  ExprType type = ExprType::kLogical;
  bool logical = false;
  // Numeric: the value. Date: the Julian day number (0 for a blank date), as index keys need it.
  double number = 0;
  // Character: the text, at most the expression's static width. Date: the 8 characters
  // "YYYYMMDD" (blanks for a blank date).
  std::string_view text;
};

}  // namespace sdx::xbase
