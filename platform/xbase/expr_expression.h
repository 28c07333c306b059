// A compiled xBase expression over the records of one table layout: the key expressions and
// FOR filters of index tags, which the CDX index evaluates for every record it adds or checks.
// Compiling checks names, types and argument counts once; evaluating a compiled expression on a
// record of its layout cannot fail and does not allocate once the caller's ExprState has grown.
// An Expression is immutable after Compile and may be evaluated by many threads at once, each
// with its own ExprState.
//
// The language: field names (case-insensitive; longer names match by their first 10
// characters; an "ALIAS->" or "ALIAS." prefix is accepted and not checked); numbers; texts in
// '..', ".." or [..]; .T. .F.; unary -, + - * / on numbers (x / 0 is 0), + on texts; the
// relations = == <> # != < <= > >= and $ ; .NOT. (or !), .AND., .OR. and parentheses; and the
// functions LTRIM RTRIM TRIM ALLTRIM UPPER LOWER STR LEFT RIGHT SUBSTR VAL DTOS IIF DELETED
// RECNO, each also by the first four letters or more of its name ("DELE()"). Text relations
// follow SET EXACT OFF (CompareText in expr_format.h); == compares exactly.
//
// Field values: C fields are their bytes at full width; N and F their ASCII number, 0 when it
// does not read as one; B the little-endian double; I and Y the integer and the currency;
// L true for T, t, Y or y; D the date. M fields (a block pointer) and other types are refused
// when compiling.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/expr_program.h"
#include "platform/xbase/expr_state.h"
#include "platform/xbase/expr_value.h"
#include "platform/xbase/field_layout.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class Expression {
 public:
  // An empty expression evaluates to .F.; Compile makes a real one.
  Expression() = default;

  // Compiles `text` against the fields of a table. On error `out` is left unchanged and the
  // status (code kErrExpression) says what is wrong and at which 1-based column.
  static Status Compile(std::string_view text, std::span<const FieldLayout> fields,
                        Expression* out);
  // As Compile, and the expression must be logical, as a tag's FOR filter must.
  static Status CompileFilter(std::string_view text, std::span<const FieldLayout> fields,
                              Expression* out);

  const std::string& text() const { return text_; }
  ExprType type() const { return type_; }
  // The static width of a character result, which is the key length of a character tag: a
  // field's width, LEFT(x,n), RIGHT(x,n) and SUBSTR(x,s,n) n, STR(x,w,d) w, TRIM, UPPER and
  // the like their argument's, IIF the wider branch, '+' the sum. Results are never longer;
  // EvaluateKey pads shorter ones. 8 for dates and numbers, 1 for logicals.
  uint32_t width() const { return width_; }

  // Evaluates on one record; a record shorter than the layout reads as blank.
  ExprValue Evaluate(const RecordView& record, ExprState* state) const;
  // The logical result; false when the expression is not logical.
  bool EvaluateLogical(const RecordView& record, ExprState* state) const;
  // A character key: the text blank-padded to width() bytes; for a date its "YYYYMMDD" text;
  // empty for numbers and logicals, whose key bytes the index makes from Evaluate's value.
  std::string_view EvaluateKey(const RecordView& record, ExprState* state) const;

 private:
  friend class ExprParser;

  std::string text_;
  ExprType type_ = ExprType::kLogical;
  uint32_t width_ = 1;
  std::vector<ExprOp> program_;
  std::string literals_;        // the bytes of every text literal, addressed by offset
  uint32_t stack_depth_ = 0;    // most values on the stack at once
  uint32_t text_bytes_ = 0;     // total of the ops' text regions
  uint32_t record_length_ = 0;  // the record bytes the fields reach, deletion flag included
};

}  // namespace sdx::xbase
