#include "platform/xbase/expr_parser.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sdx::xbase {
namespace {

// Deeper nesting than any real key or filter, shallow enough for any thread's stack.
constexpr int kMaxNesting = 64;
// Bounds what one evaluation may need, whatever the text or the layout says.
constexpr uint64_t kMaxTextBytes = uint64_t{1} << 24;
constexpr uint64_t kMaxRecordLength = uint64_t{1} << 24;
constexpr uint32_t kMaxStrWidth = 255;
constexpr uint32_t kStrDefaultWidth = 10;

class NestingGuard {
 public:
  explicit NestingGuard(int* nesting) : nesting_(nesting) { ++*nesting_; }
  ~NestingGuard() { --*nesting_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
  bool too_deep() const { return *nesting_ > kMaxNesting; }

 private:
  int* nesting_;
};

struct Function {
  const char* name;
  ExprOpCode code;
  int min_args;
  int max_args;
};

constexpr Function kFunctions[] = {
    {"ALLTRIM", ExprOpCode::kAlltrim, 1, 1}, {"DELETED", ExprOpCode::kDeleted, 0, 0},
    {"DTOS", ExprOpCode::kDtos, 1, 1},       {"IIF", ExprOpCode::kIif, 3, 3},
    {"LEFT", ExprOpCode::kLeft, 2, 2},       {"LOWER", ExprOpCode::kLower, 1, 1},
    {"LTRIM", ExprOpCode::kLtrim, 1, 1},     {"RECNO", ExprOpCode::kRecno, 0, 0},
    {"RIGHT", ExprOpCode::kRight, 2, 2},     {"RTRIM", ExprOpCode::kRtrim, 1, 1},
    {"STR", ExprOpCode::kStr, 1, 3},         {"SUBSTR", ExprOpCode::kSubstr, 2, 3},
    {"TRIM", ExprOpCode::kRtrim, 1, 1},      {"UPPER", ExprOpCode::kUpper, 1, 1},
    {"VAL", ExprOpCode::kVal, 1, 1},
};

// The function a name calls: its full name, or four or more of its first letters, as xBase
// lets programs abbreviate.
const Function* FindFunction(const std::string& name) {
  const Function* prefix_match = nullptr;
  for (const Function& f : kFunctions) {
    const std::string_view full(f.name);
    if (full == name) return &f;
    if (name.size() >= 4 && full.substr(0, name.size()) == name) prefix_match = &f;
  }
  return prefix_match;
}

std::string TypeName(ExprType type) {
  switch (type) {
    case ExprType::kCharacter:
      return "character";
    case ExprType::kNumeric:
      return "numeric";
    case ExprType::kLogical:
      return "logical";
    case ExprType::kDate:
      return "date";
  }
  return "unknown";
}

std::string Describe(const ExprLexer& lexer) {
  switch (lexer.token()) {
    case ExprToken::kEnd:
      return "end of the expression";
    case ExprToken::kName:
      return "name " + lexer.name();
    case ExprToken::kNumber:
      return "number";
    case ExprToken::kString:
      return "text";
    case ExprToken::kTrue:
    case ExprToken::kFalse:
      return "logical value";
    case ExprToken::kLeftParen:
      return "'('";
    case ExprToken::kRightParen:
      return "')'";
    case ExprToken::kComma:
      return "','";
    case ExprToken::kAnd:
      return ".AND.";
    case ExprToken::kOr:
      return ".OR.";
    case ExprToken::kAliasArrow:
      return "'->'";
    case ExprToken::kAliasDot:
      return "'.'";
    default:
      return "operator";
  }
}

bool IsRelation(ExprToken token) {
  switch (token) {
    case ExprToken::kEqual:
    case ExprToken::kExactEqual:
    case ExprToken::kNotEqual:
    case ExprToken::kLess:
    case ExprToken::kLessEqual:
    case ExprToken::kGreater:
    case ExprToken::kGreaterEqual:
    case ExprToken::kDollar:
      return true;
    default:
      return false;
  }
}

ExprCompare CompareOf(ExprToken token) {
  switch (token) {
    case ExprToken::kNotEqual:
      return ExprCompare::kNotEqual;
    case ExprToken::kLess:
      return ExprCompare::kLess;
    case ExprToken::kLessEqual:
      return ExprCompare::kLessEqual;
    case ExprToken::kGreater:
      return ExprCompare::kGreater;
    case ExprToken::kGreaterEqual:
      return ExprCompare::kGreaterEqual;
    default:
      return ExprCompare::kEqual;
  }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// A whole-number constant argument (STR's width and decimals).
bool WholeNumber(double value, double low, double high, uint32_t* out) {
  if (!(value >= low && value <= high) || value != std::trunc(value)) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

// How many characters a constant count of LEFT, RIGHT or SUBSTR leaves of `width`.
uint64_t ClampCount(double count, uint64_t width) {
  if (!(count > 0)) return 0;
  return count >= static_cast<double>(width) ? width : static_cast<uint64_t>(count);
}

}  // namespace

ExprParser::ExprParser(std::string_view text, std::span<const FieldLayout> fields)
    : text_(text), fields_(fields), lexer_(text) {}

Status ExprParser::Fail(uint32_t position, const std::string& message) const {
  return Status::Error(kErrExpression, message + " (position " + std::to_string(position) +
                                           " in \"" + std::string(text_) + "\")");
}

Status ExprParser::Advance() {
  Status status = lexer_.Next();
  if (!status.ok()) return Fail(lexer_.position(), status.message());
  return status;
}

int ExprParser::Add(Node node) {
  nodes_.push_back(std::move(node));
  return static_cast<int>(nodes_.size()) - 1;
}

bool ExprParser::Constant(int node, double* value) const {
  const Node& n = nodes_[node];
  if (n.code == ExprOpCode::kNumber) {
    *value = n.number;
    return true;
  }
  if (n.code == ExprOpCode::kNegate && Constant(n.operands[0], value)) {
    *value = -*value;
    return true;
  }
  return false;
}

Status ExprParser::Parse(Expression* out) {
  Status status = Advance();
  if (!status.ok()) return status;
  if (lexer_.token() == ExprToken::kEnd) return Fail(1, "empty expression");
  int root = 0;
  status = ParseOr(&root);
  if (!status.ok()) return status;
  if (lexer_.token() == ExprToken::kRightParen) {
    return Fail(lexer_.position(), "')' without its '('");
  }
  if (lexer_.token() != ExprToken::kEnd) {
    return Fail(lexer_.position(), "unexpected " + Describe(lexer_) + " after a whole expression");
  }

  uint64_t width = 1;
  switch (nodes_[root].type) {
    case ExprType::kCharacter:
      width = nodes_[root].width;
      break;
    case ExprType::kNumeric:
    case ExprType::kDate:
      width = 8;
      break;
    case ExprType::kLogical:
      break;
  }
  Expression expression;
  uint32_t depth = 0;
  uint64_t text_bytes = 0;
  Emit(root, &expression, &depth, &text_bytes);
  // The text regions and the padded key must stay a sane size for every caller's state.
  if (text_bytes + width > kMaxTextBytes) return Fail(1, "expression builds too much text");
  expression.text_ = std::string(text_);
  expression.type_ = nodes_[root].type;
  expression.width_ = static_cast<uint32_t>(width);
  expression.text_bytes_ = static_cast<uint32_t>(text_bytes);
  expression.record_length_ = static_cast<uint32_t>(record_length_);
  *out = std::move(expression);
  return Status::Ok();
}

void ExprParser::CollectConcat(int node, std::vector<int>* operands) const {
  for (int operand : nodes_[node].operands) {
    if (nodes_[operand].code == ExprOpCode::kConcat) {
      CollectConcat(operand, operands);
    } else {
      operands->push_back(operand);
    }
  }
}

void ExprParser::Emit(int index, Expression* out, uint32_t* depth, uint64_t* text_bytes) {
  const Node& node = nodes_[index];
  ExprOp op;
  op.code = node.code;
  op.compare = node.compare;
  op.a = node.a;
  op.b = node.b;
  op.number = node.number;
  size_t popped = node.operands.size();
  if (node.code == ExprOpCode::kConcat) {
    // a + b + c copies each part once, into one region.
    std::vector<int> parts;
    CollectConcat(index, &parts);
    for (int part : parts) Emit(part, out, depth, text_bytes);
    op.a = static_cast<uint32_t>(parts.size());
    popped = parts.size();
  } else {
    for (int operand : node.operands) Emit(operand, out, depth, text_bytes);
  }
  switch (node.code) {
    case ExprOpCode::kString:
      op.a = static_cast<uint32_t>(out->literals_.size());
      op.b = static_cast<uint32_t>(node.text.size());
      out->literals_ += node.text;
      break;
    case ExprOpCode::kConcat:
    case ExprOpCode::kUpper:
    case ExprOpCode::kLower:
    case ExprOpCode::kStr:
      op.out = static_cast<uint32_t>(std::min(*text_bytes, kMaxTextBytes));
      *text_bytes += node.width;
      break;
    case ExprOpCode::kDtos:
      return;  // the date's value already is its text
    default:
      break;
  }
  out->program_.push_back(op);
  *depth = *depth - static_cast<uint32_t>(popped) + 1;
  out->stack_depth_ = std::max(out->stack_depth_, *depth);
}

Status ExprParser::ParseOr(int* node) {
  NestingGuard guard(&nesting_);
  if (guard.too_deep()) return Fail(lexer_.position(), "expression nested too deeply");
  return ParseLogicalChain(ExprToken::kOr, ExprOpCode::kOr, ".OR. needs two logical values",
                           &ExprParser::ParseAnd, node);
}

Status ExprParser::ParseAnd(int* node) {
  return ParseLogicalChain(ExprToken::kAnd, ExprOpCode::kAnd, ".AND. needs two logical values",
                           &ExprParser::ParseNot, node);
}

Status ExprParser::ParseLogicalChain(ExprToken token, ExprOpCode code, const char* mismatch,
                                     Status (ExprParser::*operand)(int*), int* node) {
  Status status = (this->*operand)(node);
  while (status.ok() && lexer_.token() == token) {
    const uint32_t position = lexer_.position();
    int right = 0;
    status = Advance();
    if (status.ok()) status = (this->*operand)(&right);
    if (!status.ok()) break;
    if (nodes_[*node].type != ExprType::kLogical || nodes_[right].type != ExprType::kLogical) {
      return Fail(position, mismatch);
    }
    Node n;
    n.code = code;
    n.operands = {*node, right};
    *node = Add(std::move(n));
  }
  return status;
}

Status ExprParser::ParseNot(int* node) {
  NestingGuard guard(&nesting_);
  if (guard.too_deep()) return Fail(lexer_.position(), "expression nested too deeply");
  if (lexer_.token() != ExprToken::kNot) return ParseRelation(node);
  const uint32_t position = lexer_.position();
  int operand = 0;
  Status status = Advance();
  if (status.ok()) status = ParseNot(&operand);
  if (!status.ok()) return status;
  if (nodes_[operand].type != ExprType::kLogical) {
    return Fail(position, ".NOT. needs a logical value, not " + TypeName(nodes_[operand].type));
  }
  Node n;
  n.code = ExprOpCode::kNot;
  n.operands = {operand};
  *node = Add(std::move(n));
  return Status::Ok();
}

Status ExprParser::ParseRelation(int* node) {
  Status status = ParseSum(node);
  while (status.ok() && IsRelation(lexer_.token())) {
    const ExprToken token = lexer_.token();
    const uint32_t position = lexer_.position();
    int right = 0;
    status = Advance();
    if (status.ok()) status = ParseSum(&right);
    if (!status.ok()) break;
    const ExprType left_type = nodes_[*node].type;
    const ExprType right_type = nodes_[right].type;
    if (left_type != right_type) {
      return Fail(position,
                  "cannot compare " + TypeName(left_type) + " with " + TypeName(right_type));
    }
    Node n;
    n.compare = CompareOf(token);
    n.operands = {*node, right};
    if (token == ExprToken::kDollar) {
      if (left_type != ExprType::kCharacter) return Fail(position, "'$' needs character values");
      n.code = ExprOpCode::kContains;
    } else if (left_type == ExprType::kCharacter) {
      n.code = token == ExprToken::kExactEqual ? ExprOpCode::kCompareTextExact
                                               : ExprOpCode::kCompareText;
    } else if (left_type == ExprType::kLogical) {
      if (n.compare != ExprCompare::kEqual && n.compare != ExprCompare::kNotEqual) {
        return Fail(position, "logical values compare only for equality");
      }
      n.code = ExprOpCode::kCompareLogical;
    } else {
      n.code = ExprOpCode::kCompareNumber;
    }
    *node = Add(std::move(n));
  }
  return status;
}

Status ExprParser::ParseSum(int* node) {
  Status status = ParseProduct(node);
  while (status.ok() &&
         (lexer_.token() == ExprToken::kPlus || lexer_.token() == ExprToken::kMinus)) {
    const bool plus = lexer_.token() == ExprToken::kPlus;
    const uint32_t position = lexer_.position();
    int right = 0;
    status = Advance();
    if (status.ok()) status = ParseProduct(&right);
    if (!status.ok()) break;
    const Node& left_node = nodes_[*node];
    const Node& right_node = nodes_[right];
    Node n;
    n.operands = {*node, right};
    if (plus && left_node.type == ExprType::kCharacter && right_node.type == ExprType::kCharacter) {
      n.code = ExprOpCode::kConcat;
      n.type = ExprType::kCharacter;
      n.width = left_node.width + right_node.width;
    } else if (left_node.type == ExprType::kNumeric && right_node.type == ExprType::kNumeric) {
      n.code = plus ? ExprOpCode::kAdd : ExprOpCode::kSubtract;
      n.type = ExprType::kNumeric;
    } else {
      return Fail(position,
                  plus ? "'+' needs two numbers or two character values" : "'-' needs two numbers");
    }
    *node = Add(std::move(n));
  }
  return status;
}

Status ExprParser::ParseProduct(int* node) {
  Status status = ParseUnary(node);
  while (status.ok() &&
         (lexer_.token() == ExprToken::kStar || lexer_.token() == ExprToken::kSlash)) {
    const bool star = lexer_.token() == ExprToken::kStar;
    const uint32_t position = lexer_.position();
    int right = 0;
    status = Advance();
    if (status.ok()) status = ParseUnary(&right);
    if (!status.ok()) break;
    if (nodes_[*node].type != ExprType::kNumeric || nodes_[right].type != ExprType::kNumeric) {
      return Fail(position, star ? "'*' needs two numbers" : "'/' needs two numbers");
    }
    Node n;
    n.code = star ? ExprOpCode::kMultiply : ExprOpCode::kDivide;
    n.type = ExprType::kNumeric;
    n.operands = {*node, right};
    *node = Add(std::move(n));
  }
  return status;
}

Status ExprParser::ParseUnary(int* node) {
  NestingGuard guard(&nesting_);
  if (guard.too_deep()) return Fail(lexer_.position(), "expression nested too deeply");
  if (lexer_.token() != ExprToken::kMinus && lexer_.token() != ExprToken::kPlus) {
    return ParsePrimary(node);
  }
  const bool minus = lexer_.token() == ExprToken::kMinus;
  const uint32_t position = lexer_.position();
  int operand = 0;
  Status status = Advance();
  if (status.ok()) status = ParseUnary(&operand);
  if (!status.ok()) return status;
  if (nodes_[operand].type != ExprType::kNumeric) {
    return Fail(position, std::string("unary '") + (minus ? '-' : '+') + "' needs a number");
  }
  if (!minus) {
    *node = operand;
    return Status::Ok();
  }
  Node n;
  n.code = ExprOpCode::kNegate;
  n.type = ExprType::kNumeric;
  n.operands = {operand};
  *node = Add(std::move(n));
  return Status::Ok();
}

Status ExprParser::ParsePrimary(int* node) {
  const uint32_t position = lexer_.position();
  Node n;
  switch (lexer_.token()) {
    case ExprToken::kNumber:
      n.code = ExprOpCode::kNumber;
      n.type = ExprType::kNumeric;
      n.number = lexer_.number();
      *node = Add(std::move(n));
      return Advance();
    case ExprToken::kString:
      n.code = ExprOpCode::kString;
      n.type = ExprType::kCharacter;
      n.text = lexer_.string();
      n.width = n.text.size();
      *node = Add(std::move(n));
      return Advance();
    case ExprToken::kTrue:
    case ExprToken::kFalse:
      n.code = ExprOpCode::kLogical;
      n.a = lexer_.token() == ExprToken::kTrue ? 1 : 0;
      *node = Add(std::move(n));
      return Advance();
    case ExprToken::kNot:
      return ParseNot(node);
    case ExprToken::kLeftParen: {
      Status status = Advance();
      if (status.ok()) status = ParseOr(node);
      if (!status.ok()) return status;
      if (lexer_.token() != ExprToken::kRightParen) {
        return Fail(lexer_.position(), "missing ')' for the '(' at position " +
                                           std::to_string(position) + ", found " +
                                           Describe(lexer_));
      }
      return Advance();
    }
    case ExprToken::kName: {
      std::string name = lexer_.name();
      Status status = Advance();
      if (!status.ok()) return status;
      if (lexer_.token() == ExprToken::kLeftParen) return ParseCall(name, position, node);
      if (lexer_.token() == ExprToken::kAliasArrow || lexer_.token() == ExprToken::kAliasDot) {
        status = Advance();
        if (!status.ok()) return status;
        if (lexer_.token() != ExprToken::kName) {
          return Fail(lexer_.position(), "a field name must follow the alias " + name);
        }
        name = lexer_.name();
        const uint32_t field_position = lexer_.position();
        status = Advance();
        if (!status.ok()) return status;
        return ParseField(name, field_position, node);
      }
      return ParseField(name, position, node);
    }
    case ExprToken::kEnd:
      return Fail(position, "the expression ends where a value is expected");
    default:
      return Fail(position, "unexpected " + Describe(lexer_) + " where a value is expected");
  }
}

Status ExprParser::ParseField(const std::string& name, uint32_t position, int* node) {
  const FieldLayout* field = nullptr;
  for (const FieldLayout& f : fields_) {
    if (EqualsIgnoreCase(f.name, name)) field = &f;
  }
  // xBase keeps ten significant characters of a field name.
  if (field == nullptr && name.size() > 10) {
    for (const FieldLayout& f : fields_) {
      if (EqualsIgnoreCase(f.name, std::string_view(name).substr(0, 10))) field = &f;
    }
  }
  if (field == nullptr) return Fail(position, "unknown field " + name);

  Node n;
  n.a = field->offset;
  n.b = field->width;
  auto needs_width = [&](uint32_t width) {
    return Fail(position, "field " + name + " of type " + field->type + " has width " +
                              std::to_string(field->width) + ", not " + std::to_string(width));
  };
  switch (field->type) {
    case 'C':
      n.code = ExprOpCode::kFieldChar;
      n.type = ExprType::kCharacter;
      n.width = field->width;
      break;
    case 'N':
    case 'F':
      n.code = ExprOpCode::kFieldNumeric;
      n.type = ExprType::kNumeric;
      break;
    case 'B':
      if (field->width != 8) return needs_width(8);
      n.code = ExprOpCode::kFieldDouble;
      n.type = ExprType::kNumeric;
      break;
    case 'I':
      if (field->width != 4) return needs_width(4);
      n.code = ExprOpCode::kFieldInteger;
      n.type = ExprType::kNumeric;
      break;
    case 'Y':
      if (field->width != 8) return needs_width(8);
      n.code = ExprOpCode::kFieldCurrency;
      n.type = ExprType::kNumeric;
      break;
    case 'L':
      if (field->width != 1) return needs_width(1);
      n.code = ExprOpCode::kFieldLogical;
      n.type = ExprType::kLogical;
      break;
    case 'D':
      if (field->width != 8) return needs_width(8);
      n.code = ExprOpCode::kFieldDate;
      n.type = ExprType::kDate;
      break;
    case 'M':
      return Fail(position, "memo field " + name + " holds a block pointer, not a value");
    default:
      return Fail(position,
                  "field " + name + " of type " + field->type + " cannot be used in an expression");
  }
  const uint64_t end = uint64_t{field->offset} + field->width;
  if (end > kMaxRecordLength) return Fail(position, "field " + name + " lies beyond any record");
  record_length_ = std::max(record_length_, end);
  *node = Add(std::move(n));
  return Status::Ok();
}

Status ExprParser::ParseCall(const std::string& name, uint32_t position, int* node) {
  const Function* function = FindFunction(name);
  if (function == nullptr) return Fail(position, "unknown function " + name);
  const uint32_t paren = lexer_.position();
  Status status = Advance();
  if (!status.ok()) return status;
  std::vector<int> args;
  if (lexer_.token() != ExprToken::kRightParen) {
    while (true) {
      int arg = 0;
      status = ParseOr(&arg);
      if (!status.ok()) return status;
      args.push_back(arg);
      if (lexer_.token() != ExprToken::kComma) break;
      status = Advance();
      if (!status.ok()) return status;
    }
  }
  if (lexer_.token() != ExprToken::kRightParen) {
    return Fail(lexer_.position(), "missing ')' for the '(' of " + std::string(function->name) +
                                       " at position " + std::to_string(paren) + ", found " +
                                       Describe(lexer_));
  }
  status = Advance();
  if (!status.ok()) return status;
  const int count = static_cast<int>(args.size());
  if (count < function->min_args || count > function->max_args) {
    std::string takes = std::to_string(function->min_args);
    if (function->max_args != function->min_args) {
      takes += " to " + std::to_string(function->max_args);
    }
    return Fail(position, std::string(function->name) + " takes " + takes +
                              (function->max_args == 1 ? " argument" : " arguments") + ", not " +
                              std::to_string(count));
  }
  return MakeCall(function->code, function->name, position, args, node);
}

Status ExprParser::MakeCall(ExprOpCode code, const char* name, uint32_t position,
                            const std::vector<int>& args, int* node) {
  for (size_t i = 0; i < args.size(); ++i) {
    ExprType wanted = ExprType::kCharacter;
    switch (code) {
      case ExprOpCode::kStr:
        wanted = ExprType::kNumeric;
        break;
      case ExprOpCode::kLeft:
      case ExprOpCode::kRight:
      case ExprOpCode::kSubstr:
        wanted = i == 0 ? ExprType::kCharacter : ExprType::kNumeric;
        break;
      case ExprOpCode::kDtos:
        wanted = ExprType::kDate;
        break;
      case ExprOpCode::kIif:
        wanted = i == 0 ? ExprType::kLogical : nodes_[args[1]].type;
        break;
      default:
        break;
    }
    if (nodes_[args[i]].type != wanted) {
      return Fail(position, "argument " + std::to_string(i + 1) + " of " + name + " must be " +
                                TypeName(wanted) + ", not " + TypeName(nodes_[args[i]].type));
    }
  }

  Node n;
  n.code = code;
  n.operands = args;
  n.type = ExprType::kCharacter;
  const uint64_t first_width = args.empty() ? 0 : nodes_[args[0]].width;
  n.width = first_width;
  double constant = 0;
  switch (code) {
    case ExprOpCode::kDeleted:
      n.type = ExprType::kLogical;
      break;
    case ExprOpCode::kRecno:
    case ExprOpCode::kVal:
      n.type = ExprType::kNumeric;
      break;
    case ExprOpCode::kDtos:
      n.width = 8;
      break;
    case ExprOpCode::kIif:
      n.type = nodes_[args[1]].type;
      n.width = std::max(nodes_[args[1]].width, nodes_[args[2]].width);
      break;
    case ExprOpCode::kLeft:
    case ExprOpCode::kRight:
      // LEFT(x,n) and RIGHT(x,n) are n wide even past x's width: the width a key has in
      // files other engines made. The text itself never grows; the index pads it.
      if (Constant(args[1], &constant)) n.width = ClampCount(constant, kMaxTextBytes + 1);
      break;
    case ExprOpCode::kSubstr:
      n.a = static_cast<uint32_t>(args.size());
      if (Constant(args[1], &constant) && constant >= 1) {
        n.width = first_width - ClampCount(std::trunc(constant) - 1, first_width);
      }
      if (args.size() == 3 && Constant(args[2], &constant)) {
        n.width = ClampCount(constant, kMaxTextBytes + 1);
      }
      break;
    case ExprOpCode::kStr: {
      uint32_t width = kStrDefaultWidth;
      uint32_t decimals = 0;
      if (args.size() >= 2 &&
          !(Constant(args[1], &constant) && WholeNumber(constant, 1, kMaxStrWidth, &width))) {
        return Fail(position, "the width of STR must be a whole number from 1 to " +
                                  std::to_string(kMaxStrWidth));
      }
      if (args.size() == 3 &&
          !(Constant(args[2], &constant) && WholeNumber(constant, 0, kMaxStrWidth, &decimals))) {
        return Fail(position, "the decimals of STR must be a whole number from 0 to " +
                                  std::to_string(kMaxStrWidth));
      }
      // Width and decimals are fixed in the op, only the value is evaluated.
      n.operands = {args[0]};
      n.a = width;
      n.b = decimals;
      n.width = width;
      break;
    }
    default:
      break;
  }
  *node = Add(std::move(n));
  return Status::Ok();
}

}  // namespace sdx::xbase
