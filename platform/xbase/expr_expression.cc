#include "platform/xbase/expr_expression.h"

#include <cstring>

#include "platform/xbase/expr_format.h"
#include "platform/xbase/expr_parser.h"

namespace sdx::xbase {
namespace {

uint64_t LoadLittleEndian(const uint8_t* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

double LoadDouble(const uint8_t* p) {
  const uint64_t bits = LoadLittleEndian(p, 8);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool Holds(ExprCompare compare, int order) {
  switch (compare) {
    case ExprCompare::kEqual:
      return order == 0;
    case ExprCompare::kNotEqual:
      return order != 0;
    case ExprCompare::kLess:
      return order < 0;
    case ExprCompare::kLessEqual:
      return order <= 0;
    case ExprCompare::kGreater:
      return order > 0;
    case ExprCompare::kGreaterEqual:
      return order >= 0;
  }
  return false;
}

// NaN (a B field may hold one) is unordered: only "not equal" holds.
bool HoldsNumbers(ExprCompare compare, double left, double right) {
  switch (compare) {
    case ExprCompare::kEqual:
      return left == right;
    case ExprCompare::kNotEqual:
      return !(left == right);
    case ExprCompare::kLess:
      return left < right;
    case ExprCompare::kLessEqual:
      return left <= right;
    case ExprCompare::kGreater:
      return left > right;
    case ExprCompare::kGreaterEqual:
      return left >= right;
  }
  return false;
}

// A count argument of LEFT, RIGHT or SUBSTR as characters of `length`: fractions are cut,
// negative counts and NaN take nothing.
uint32_t Count(double count, uint32_t length) {
  if (!(count > 0)) return 0;
  return count >= static_cast<double>(length) ? length : static_cast<uint32_t>(count);
}

bool IsTrueByte(uint8_t c) { return c == 'T' || c == 't' || c == 'Y' || c == 'y'; }

}  // namespace

Status Expression::Compile(std::string_view text, std::span<const FieldLayout> fields,
                           Expression* out) {
  ExprParser parser(text, fields);
  return parser.Parse(out);
}

Status Expression::CompileFilter(std::string_view text, std::span<const FieldLayout> fields,
                                 Expression* out) {
  Expression expression;
  Status status = Compile(text, fields, &expression);
  if (!status.ok()) return status;
  if (expression.type() != ExprType::kLogical) {
    return Status::Error(kErrExpression,
                         "a filter must be a logical expression: \"" + std::string(text) + "\"");
  }
  *out = std::move(expression);
  return Status::Ok();
}

ExprValue Expression::Evaluate(const RecordView& record, ExprState* state) const {
  ExprValue result;
  result.type = type_;
  if (program_.empty()) return result;
  // One more byte than needed, so that an empty region still has an address.
  state->Reserve(stack_depth_, size_t{text_bytes_} + width_ + 1);
  const uint8_t* bytes = record.bytes;
  if (bytes == nullptr || record.length < record_length_) {
    if (state->blank_record_.size() < record_length_)
      state->blank_record_.resize(record_length_, ' ');
    bytes = state->blank_record_.data();
  }
  ExprSlot* stack = state->stack_.data();
  char* scratch = state->text_.data();
  size_t top = 0;

  for (const ExprOp& op : program_) {
    switch (op.code) {
      case ExprOpCode::kFieldChar:
        stack[top++] = ExprSlot{reinterpret_cast<const char*>(bytes + op.a), op.b, false, 0};
        break;
      case ExprOpCode::kFieldNumeric:
        stack[top++].number =
            ParseNumericField({reinterpret_cast<const char*>(bytes + op.a), op.b});
        break;
      case ExprOpCode::kFieldDouble:
        stack[top++].number = LoadDouble(bytes + op.a);
        break;
      case ExprOpCode::kFieldInteger:
        stack[top++].number =
            static_cast<int32_t>(static_cast<uint32_t>(LoadLittleEndian(bytes + op.a, 4)));
        break;
      case ExprOpCode::kFieldCurrency:
        stack[top++].number =
            static_cast<double>(static_cast<int64_t>(LoadLittleEndian(bytes + op.a, 8))) / 10000;
        break;
      case ExprOpCode::kFieldLogical:
        stack[top++].logical = IsTrueByte(bytes[op.a]);
        break;
      case ExprOpCode::kFieldDate: {
        const auto* text = reinterpret_cast<const char*>(bytes + op.a);
        stack[top++] = ExprSlot{text, 8, false, JulianDay({text, 8})};
        break;
      }
      case ExprOpCode::kNumber:
        stack[top++].number = op.number;
        break;
      case ExprOpCode::kString:
        stack[top++] = ExprSlot{literals_.data() + op.a, op.b, false, 0};
        break;
      case ExprOpCode::kLogical:
        stack[top++].logical = op.a != 0;
        break;
      case ExprOpCode::kDeleted:
        stack[top++].logical = bytes[0] == '*';
        break;
      case ExprOpCode::kRecno:
        stack[top++].number = record.record_number;
        break;
      case ExprOpCode::kNegate:
        stack[top - 1].number = -stack[top - 1].number;
        break;
      case ExprOpCode::kNot:
        stack[top - 1].logical = !stack[top - 1].logical;
        break;
      case ExprOpCode::kAdd:
        --top;
        stack[top - 1].number += stack[top].number;
        break;
      case ExprOpCode::kSubtract:
        --top;
        stack[top - 1].number -= stack[top].number;
        break;
      case ExprOpCode::kMultiply:
        --top;
        stack[top - 1].number *= stack[top].number;
        break;
      case ExprOpCode::kDivide:
        --top;
        // A key or filter must not fail on one odd record; x / 0 reads as 0.
        stack[top - 1].number =
            stack[top].number == 0 ? 0 : stack[top - 1].number / stack[top].number;
        break;
      case ExprOpCode::kConcat: {
        char* out = scratch + op.out;
        uint32_t length = 0;
        top -= op.a;
        for (uint32_t i = 0; i < op.a; ++i) {
          const ExprSlot& part = stack[top + i];
          std::memcpy(out + length, part.text, part.length);
          length += part.length;
        }
        stack[top++] = ExprSlot{out, length, false, 0};
        break;
      }
      case ExprOpCode::kCompareText: {
        --top;
        ExprSlot& left = stack[top - 1];
        const int order =
            CompareText({left.text, left.length}, {stack[top].text, stack[top].length});
        left.logical = Holds(op.compare, order);
        break;
      }
      case ExprOpCode::kCompareTextExact: {
        --top;
        ExprSlot& left = stack[top - 1];
        const ExprSlot& right = stack[top];
        const bool equal =
            left.length == right.length &&
            (left.length == 0 || std::memcmp(left.text, right.text, left.length) == 0);
        left.logical = op.compare == ExprCompare::kNotEqual ? !equal : equal;
        break;
      }
      case ExprOpCode::kCompareNumber:
        --top;
        stack[top - 1].logical = HoldsNumbers(op.compare, stack[top - 1].number, stack[top].number);
        break;
      case ExprOpCode::kCompareLogical:
        --top;
        stack[top - 1].logical =
            (stack[top - 1].logical == stack[top].logical) == (op.compare == ExprCompare::kEqual);
        break;
      case ExprOpCode::kContains: {
        --top;
        ExprSlot& left = stack[top - 1];
        const std::string_view needle(left.text, left.length);
        const std::string_view haystack(stack[top].text, stack[top].length);
        left.logical = !needle.empty() && haystack.find(needle) != std::string_view::npos;
        break;
      }
      case ExprOpCode::kAnd:
        --top;
        stack[top - 1].logical = stack[top - 1].logical && stack[top].logical;
        break;
      case ExprOpCode::kOr:
        --top;
        stack[top - 1].logical = stack[top - 1].logical || stack[top].logical;
        break;
      case ExprOpCode::kLtrim:
      case ExprOpCode::kAlltrim: {
        ExprSlot& s = stack[top - 1];
        while (s.length > 0 && *s.text == ' ') ++s.text, --s.length;
        if (op.code == ExprOpCode::kLtrim) break;
        while (s.length > 0 && s.text[s.length - 1] == ' ') --s.length;
        break;
      }
      case ExprOpCode::kRtrim: {
        ExprSlot& s = stack[top - 1];
        while (s.length > 0 && s.text[s.length - 1] == ' ') --s.length;
        break;
      }
      case ExprOpCode::kUpper:
      case ExprOpCode::kLower: {
        ExprSlot& s = stack[top - 1];
        char* out = scratch + op.out;
        if (op.code == ExprOpCode::kUpper) {
          UpperText(s.text, s.length, out);
        } else {
          LowerText(s.text, s.length, out);
        }
        s.text = out;
        break;
      }
      case ExprOpCode::kStr: {
        ExprSlot& s = stack[top - 1];
        char* out = scratch + op.out;
        FormatStr(s.number, op.a, op.b, out);
        s.text = out;
        s.length = op.a;
        break;
      }
      case ExprOpCode::kLeft: {
        --top;
        ExprSlot& s = stack[top - 1];
        s.length = Count(stack[top].number, s.length);
        break;
      }
      case ExprOpCode::kRight: {
        --top;
        ExprSlot& s = stack[top - 1];
        const uint32_t count = Count(stack[top].number, s.length);
        s.text += s.length - count;
        s.length = count;
        break;
      }
      case ExprOpCode::kSubstr: {
        // A start before 1 reads as 1; a start past the end gives an empty text.
        top -= op.a - 1;
        ExprSlot& s = stack[top - 1];
        const double start = stack[top].number;
        const uint32_t skip = start > 1 ? Count(start - 1, s.length) : 0;
        s.text += skip;
        s.length -= skip;
        if (op.a == 3) s.length = Count(stack[top + 1].number, s.length);
        break;
      }
      case ExprOpCode::kVal: {
        ExprSlot& s = stack[top - 1];
        s.number = ParseValPrefix({s.text, s.length});
        break;
      }
      case ExprOpCode::kDtos:
        break;
      case ExprOpCode::kIif:
        top -= 2;
        stack[top - 1] = stack[top - 1].logical ? stack[top] : stack[top + 1];
        break;
    }
  }
  const ExprSlot& value = stack[0];
  switch (type_) {
    case ExprType::kLogical:
      result.logical = value.logical;
      break;
    case ExprType::kNumeric:
      result.number = value.number;
      break;
    case ExprType::kDate:
      result.number = value.number;
      result.text = std::string_view(value.text, value.length);
      break;
    case ExprType::kCharacter:
      result.text = std::string_view(value.text, value.length);
      break;
  }
  return result;
}

bool Expression::EvaluateLogical(const RecordView& record, ExprState* state) const {
  if (type_ != ExprType::kLogical) return false;
  return Evaluate(record, state).logical;
}

std::string_view Expression::EvaluateKey(const RecordView& record, ExprState* state) const {
  if (type_ != ExprType::kCharacter && type_ != ExprType::kDate) return {};
  const std::string_view text = Evaluate(record, state).text;
  if (text.size() == width_) return text;
  char* key = state->text_.data() + text_bytes_;
  std::memcpy(key, text.data(), text.size());
  std::memset(key + text.size(), ' ', width_ - text.size());
  return std::string_view(key, width_);
}

}  // namespace sdx::xbase
