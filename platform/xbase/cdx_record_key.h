// The bridge from compiled tag expressions to index entries: a tag's key type and length from
// its key expression, a record's key bytes from the expression's value, and a record source
// that lets the checker compare a tag with the records of a table. Used by the table layer
// when it maintains and checks its production index.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/xbase/cdx_check.h"
#include "platform/xbase/cdx_key.h"
#include "platform/xbase/expr_expression.h"
#include "platform/xbase/expr_value.h"

namespace sdx::xbase {

CdxKeyType CdxKeyTypeOf(ExprType type);
// Character keys are as long as the expression's static width; numbers and dates 8 bytes (a
// date is its Julian day number); logicals 1.
uint32_t CdxKeyLengthOf(const Expression& key);
std::string CdxKeyOf(const ExprValue& value, uint32_t key_length);

// Records through a callback (the table reads record `recno` into a view), keys and FOR
// through the tag's compiled expressions.
class CdxExpressionSource : public CdxRecordSource {
 public:
  using RecordReader = std::function<Status(uint32_t recno, RecordView* record)>;

  CdxExpressionSource(uint32_t record_count, RecordReader reader, const Expression* key,
                      const Expression* filter)
      : record_count_(record_count), reader_(std::move(reader)), key_(key), filter_(filter) {}

  uint32_t RecordCount() const override { return record_count_; }
  Status KeyFor(const CdxTag& tag, uint32_t recno, std::string* key, bool* in_tag) const override;

 private:
  uint32_t record_count_;
  RecordReader reader_;
  const Expression* key_;
  const Expression* filter_;  // null: no FOR clause
  mutable ExprState state_;
};

}  // namespace sdx::xbase
