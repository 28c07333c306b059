// Turns expression text into an Expression's program: a recursive-descent parser over
// ExprLexer that binds field names to a table's layout, checks every operator's and function's
// operand types and counts, fixes each character result's static width, and lays out the text
// regions that evaluation fills. Used only by Expression::Compile.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/expr_expression.h"
#include "platform/xbase/expr_lexer.h"

namespace sdx::xbase {

class ExprParser {
 public:
  ExprParser(std::string_view text, std::span<const FieldLayout> fields);

  // Parses the whole text into `out`; an error names the 1-based column where it was found.
  Status Parse(Expression* out);

 private:
  // One node of the syntax tree: an op with its operands, result type and static width.
  struct Node {
    ExprOpCode code = ExprOpCode::kLogical;
    ExprCompare compare = ExprCompare::kEqual;
    ExprType type = ExprType::kLogical;
    uint64_t width = 0;  // character results: the most bytes they can have
    uint32_t a = 0;
    uint32_t b = 0;
    double number = 0;
    std::string text;  // a text literal
    std::vector<int> operands;
  };

  Status ParseOr(int* node);
  Status ParseAnd(int* node);
  // `operand` { `token` `operand` }, folded left into `code` nodes; both sides must be logical,
  // else the error is `mismatch` at the operator.
  Status ParseLogicalChain(ExprToken token, ExprOpCode code, const char* mismatch,
                           Status (ExprParser::*operand)(int*), int* node);
  Status ParseNot(int* node);
  Status ParseRelation(int* node);
  Status ParseSum(int* node);
  Status ParseProduct(int* node);
  Status ParseUnary(int* node);
  Status ParsePrimary(int* node);
  Status ParseField(const std::string& name, uint32_t position, int* node);
  Status ParseCall(const std::string& name, uint32_t position, int* node);
  Status MakeCall(ExprOpCode code, const char* name, uint32_t position,
                  const std::vector<int>& args, int* node);

  Status Advance();
  Status Fail(uint32_t position, const std::string& message) const;

  int Add(Node node);
  bool Constant(int node, double* value) const;
  // Appends the program of `node` in postfix order; `depth` tracks the values on the stack and
  // `text_bytes` the text regions laid out so far.
  void Emit(int node, Expression* out, uint32_t* depth, uint64_t* text_bytes);
  void CollectConcat(int node, std::vector<int>* operands) const;

  std::string_view text_;
  std::span<const FieldLayout> fields_;
  ExprLexer lexer_;
  std::vector<Node> nodes_;
  int nesting_ = 0;             // parse functions active, bounded so that deep nesting is an error
  uint64_t record_length_ = 1;  // the deletion flag at least
};

}  // namespace sdx::xbase
