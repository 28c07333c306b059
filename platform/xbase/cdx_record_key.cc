#include "platform/xbase/cdx_record_key.h"

#include "platform/xbase/cdx_tag.h"

namespace sdx::xbase {

CdxKeyType CdxKeyTypeOf(ExprType type) {
  switch (type) {
    case ExprType::kCharacter:
      return CdxKeyType::kCharacter;
    case ExprType::kLogical:
      return CdxKeyType::kLogical;
    case ExprType::kNumeric:
    case ExprType::kDate:
      break;
  }
  return CdxKeyType::kNumeric;
}

uint32_t CdxKeyLengthOf(const Expression& key) {
  switch (key.type()) {
    case ExprType::kCharacter:
      return key.width();
    case ExprType::kLogical:
      return 1;
    case ExprType::kNumeric:
    case ExprType::kDate:
      break;
  }
  return 8;
}

std::string CdxKeyOf(const ExprValue& value, uint32_t key_length) {
  switch (value.type) {
    case ExprType::kCharacter:
      return CdxCharacterKey(value.text, key_length);
    case ExprType::kLogical:
      return CdxLogicalKey(value.logical);
    case ExprType::kNumeric:
    case ExprType::kDate:
      break;
  }
  return CdxDoubleKey(value.number);
}

Status CdxExpressionSource::KeyFor(const CdxTag& tag, uint32_t recno, std::string* key,
                                   bool* in_tag) const {
  RecordView record;
  Status s = reader_(recno, &record);
  if (!s.ok()) return s;
  *in_tag = filter_ == nullptr || filter_->EvaluateLogical(record, &state_);
  *key = CdxKeyOf(key_->Evaluate(record, &state_), tag.key_length());
  return Status::Ok();
}

}  // namespace sdx::xbase
