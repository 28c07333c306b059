// Splits an xBase expression into tokens for the expression parser: names, numbers, the three
// kinds of quoted text ('..', "..", [..]), the dotted words (.AND. .OR. .NOT. .T. .F.), and
// operators. Positions are 1-based columns of the expression text, for error messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xbase/status.h"

namespace sdx::xbase {

enum class ExprToken : uint8_t {
  kEnd,
  kName,
  kNumber,
  kString,
  kTrue,
  kFalse,
  kLeftParen,
  kRightParen,
  kComma,
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kEqual,       // =
  kExactEqual,  // ==
  kNotEqual,    // <> # !=
  kLess,
  kLessEqual,
  kGreater,
  kGreaterEqual,
  kDollar,
  kAnd,
  kOr,
  kNot,         // .NOT. and !
  kAliasArrow,  // ->, between an alias and a field name
  kAliasDot,    // ., between an alias and a field name
};

class ExprLexer {
 public:
  explicit ExprLexer(std::string_view text) : text_(text) {}

  // Reads the next token; an error names the column of the character that cannot start one.
  Status Next();

  ExprToken token() const { return token_; }
  uint32_t position() const { return position_; }        // 1-based column where the token starts
  const std::string& name() const { return name_; }      // upper-cased, for kName
  const std::string& string() const { return string_; }  // for kString
  double number() const { return number_; }              // for kNumber

 private:
  // The dotted word starting at `at` (the '.'), or kEnd when there is none.
  ExprToken DottedWord(size_t at, size_t* length) const;

  std::string_view text_;
  size_t at_ = 0;
  ExprToken token_ = ExprToken::kEnd;
  uint32_t position_ = 0;
  std::string name_;
  std::string string_;
  double number_ = 0;
};

}  // namespace sdx::xbase
