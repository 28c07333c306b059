#include "platform/xbase/expr_lexer.h"

#include <charconv>

#include "platform/xbase/expr_value.h"

namespace sdx::xbase {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

ExprToken ExprLexer::DottedWord(size_t at, size_t* length) const {
  size_t end = at + 1;
  std::string word;
  while (end < text_.size() && IsNameStart(text_[end]) && word.size() < 4) {
    word += Upper(text_[end++]);
  }
  if (end >= text_.size() || text_[end] != '.') return ExprToken::kEnd;
  *length = end + 1 - at;
  if (word == "AND") return ExprToken::kAnd;
  if (word == "OR") return ExprToken::kOr;
  if (word == "NOT") return ExprToken::kNot;
  if (word == "T" || word == "Y") return ExprToken::kTrue;
  if (word == "F" || word == "N") return ExprToken::kFalse;
  return ExprToken::kEnd;
}

Status ExprLexer::Next() {
  const ExprToken previous = token_;
  const size_t previous_end = at_;
  // Expressions read from index files or settings may be broken over lines.
  while (at_ < text_.size() &&
         (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n')) {
    ++at_;
  }
  position_ = static_cast<uint32_t>(at_ + 1);
  if (at_ >= text_.size()) {
    token_ = ExprToken::kEnd;
    return Status::Ok();
  }
  const char c = text_[at_];
  const char next = at_ + 1 < text_.size() ? text_[at_ + 1] : '\0';
  auto single = [&](ExprToken token, size_t length) {
    token_ = token;
    at_ += length;
    return Status::Ok();
  };

  if (IsNameStart(c)) {
    name_.clear();
    while (at_ < text_.size() && IsNamePart(text_[at_])) name_ += Upper(text_[at_++]);
    token_ = ExprToken::kName;
    return Status::Ok();
  }
  if (IsDigit(c) || (c == '.' && IsDigit(next))) {
    const size_t start = at_;
    while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
    // "1.AND." leaves the dot to the operator.
    if (at_ < text_.size() && text_[at_] == '.') {
      size_t length = 0;
      if (DottedWord(at_, &length) == ExprToken::kEnd) {
        ++at_;
        while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
      }
    }
    number_ = 0;
    std::from_chars(text_.data() + start, text_.data() + at_, number_, std::chars_format::fixed);
    token_ = ExprToken::kNumber;
    return Status::Ok();
  }
  if (c == '\'' || c == '"' || c == '[') {
    const char close = c == '[' ? ']' : c;
    const size_t end = text_.find(close, at_ + 1);
    if (end == std::string_view::npos) {
      return Status::Error(kErrExpression, "text without its closing " + std::string(1, close));
    }
    string_.assign(text_.substr(at_ + 1, end - at_ - 1));
    at_ = end + 1;
    token_ = ExprToken::kString;
    return Status::Ok();
  }
  if (c == '.') {
    size_t length = 0;
    const ExprToken word = DottedWord(at_, &length);
    if (word != ExprToken::kEnd) return single(word, length);
    // "ALIAS.FIELD" is written without blanks around the dot.
    if (previous == ExprToken::kName && previous_end == at_ && IsNameStart(next)) {
      return single(ExprToken::kAliasDot, 1);
    }
    return Status::Error(kErrExpression, "unexpected '.'");
  }
  switch (c) {
    case '(':
      return single(ExprToken::kLeftParen, 1);
    case ')':
      return single(ExprToken::kRightParen, 1);
    case ',':
      return single(ExprToken::kComma, 1);
    case '+':
      return single(ExprToken::kPlus, 1);
    case '-':
      if (next == '>') return single(ExprToken::kAliasArrow, 2);
      return single(ExprToken::kMinus, 1);
    case '*':
      return single(ExprToken::kStar, 1);
    case '/':
      return single(ExprToken::kSlash, 1);
    case '$':
      return single(ExprToken::kDollar, 1);
    case '#':
      return single(ExprToken::kNotEqual, 1);
    case '=':
      if (next == '=') return single(ExprToken::kExactEqual, 2);
      return single(ExprToken::kEqual, 1);
    case '!':
      if (next == '=') return single(ExprToken::kNotEqual, 2);
      return single(ExprToken::kNot, 1);
    case '<':
      if (next == '>') return single(ExprToken::kNotEqual, 2);
      if (next == '=') return single(ExprToken::kLessEqual, 2);
      return single(ExprToken::kLess, 1);
    case '>':
      if (next == '=') return single(ExprToken::kGreaterEqual, 2);
      return single(ExprToken::kGreater, 1);
    default:
      break;
  }
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x21 && byte < 0x7f) {
    return Status::Error(kErrExpression, std::string("unexpected character '") + c + "'");
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  return Status::Error(kErrExpression,
                       std::string("unexpected byte 0x") + kHex[byte >> 4] + kHex[byte & 15]);
}

}  // namespace sdx::xbase
