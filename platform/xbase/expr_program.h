// The compiled form of an expression: a postfix program over a value stack, produced by the
// parser and run by Expression::Evaluate. Every op that builds new text writes into its own
// region of the evaluation scratch, laid out at compile time, so evaluation never allocates.
#pragma once

#include <cstdint>

namespace sdx::xbase {

enum class ExprOpCode : uint8_t {
  // Operands.
  kFieldChar,      // a = offset, b = width
  kFieldNumeric,   // N and F: ASCII digits
  kFieldDouble,    // B: 8-byte little-endian double
  kFieldInteger,   // I: 4-byte little-endian signed integer
  kFieldCurrency,  // Y: 8-byte little-endian integer in ten-thousandths
  kFieldLogical,   // L
  kFieldDate,      // D: "YYYYMMDD"
  kNumber,         // number = the literal
  kString,         // a = offset in the literal pool, b = length
  kLogical,        // a = 0 or 1
  kDeleted,
  kRecno,
  // Operators.
  kNegate,
  kNot,
  kAdd,
  kSubtract,
  kMultiply,
  kDivide,
  kConcat,  // a = number of operands, out = region
  kCompareText,
  kCompareTextExact,  // ==
  kCompareNumber,     // also dates, by their day numbers
  kCompareLogical,
  kContains,  // $
  kAnd,
  kOr,
  // Functions.
  kLtrim,
  kRtrim,
  kAlltrim,
  kUpper,  // out = region
  kLower,  // out = region
  kStr,    // a = width, b = decimals, out = region
  kLeft,
  kRight,
  kSubstr,  // a = number of arguments (2 or 3)
  kVal,
  kDtos,
  kIif,
};

// How a comparison op combines the two operands' order.
enum class ExprCompare : uint8_t { kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual };

struct ExprOp {
  ExprOpCode code = ExprOpCode::kLogical;
  ExprCompare compare = ExprCompare::kEqual;
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t out = 0;  // offset of the op's text region in the scratch
  double number = 0;
};

}  // namespace sdx::xbase
