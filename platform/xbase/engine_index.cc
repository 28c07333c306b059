// The index calls: finding and selecting tags, seeking in the selected order, building and
// rebuilding the production index, and attaching it when a table is opened.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/xbase/cdx_key.h"
#include "platform/xbase/engine_index_calls.h"
#include "platform/xbase/engine_position.h"
#include "platform/xbase/engine_types.h"
#include "platform/xbase/production_index.h"

using sdx::xbase::CdxKeyType;
using sdx::xbase::kErrMemory;
using sdx::xbase::kErrParm;
using sdx::xbase::kErrParmNull;
using sdx::xbase::kSuccess;
using sdx::xbase::NoThrow;
using sdx::xbase::ProductionIndex;
using sdx::xbase::Status;

namespace {

ProductionIndex* IndexOf(DATA4* data) {
  return data == nullptr ? nullptr : dynamic_cast<ProductionIndex*>(data->index.get());
}

// The selected tag, or null with the context's error set.
TAG4* SelectedTag(DATA4* data) {
  ProductionIndex* index = IndexOf(data);
  TAG4* tag = index != nullptr ? index->selected() : nullptr;
  if (tag == nullptr) data->context().Fail(Status::Error(kErrParm, "no tag selected"));
  return tag;
}

// Moves the selected order's cursor with `move` (which answers the record it landed on, 0 past
// the end) and loads that record. A record another process changed between the two no longer
// stands where the index had it: the move is made again, once that writer is done. kSuccess on
// a record, else what standing past the end or the failure answered.
template <typename Move>
int MoveAndLoad(DATA4* data, ProductionIndex* index, Move move) {
  for (int attempt = 0;; ++attempt) {
    uint32_t record = 0;
    Status s = move(&record);
    if (!s.ok()) return data->context().Fail(s);
    if (record == 0) return sdx::xbase::PositionPastEnd(data);
    const int rc = sdx::xbase::LoadRecord(data, record);
    if (rc != kSuccess || index->Current(record, data->record.data()) ||
        attempt + 1 >= sdx::xbase::kIndexMoveAttempts) {
      return rc;
    }
  }
}

// Positions on the first entry of the selected order not before `key` and reads its record.
int SeekKey(DATA4* data, const std::string& key) {
  int rc = d4flush(data);
  if (rc < 0) return rc;
  data->appending = false;
  ProductionIndex* index = IndexOf(data);
  bool equal = false;
  rc = MoveAndLoad(data, index, [&](uint32_t* record) { return index->Seek(key, record, &equal); });
  if (rc != kSuccess) return rc;
  return equal ? kSuccess : r4after;
}

// The key bytes of a number in the selected tag, or an error when its keys are not numbers.
int NumericKey(DATA4* data, TAG4* tag, double value, std::string* key) {
  if (!tag->maintained || tag->tag->key_type() != CdxKeyType::kNumeric) {
    return data->context().Fail(
        Status::Error(kErrParm, "tag " + tag->tag->name() + " has no numeric keys"));
  }
  *key = sdx::xbase::CdxDoubleKey(value);
  return kSuccess;
}

// The key bytes of a number in the selected tag; an error when no tag with numeric keys is
// selected.
int SelectedNumericKey(DATA4* data, double value, std::string* key) {
  TAG4* tag = SelectedTag(data);
  return tag == nullptr ? kErrParm : NumericKey(data, tag, value, key);
}

}  // namespace

namespace sdx::xbase {

int OpenProductionIndex(DATA4* data) {
  std::unique_ptr<ProductionIndex> index;
  Status s = ProductionIndex::Open(data->table.get(), &index);
  if (!s.ok()) return data->context().Fail(s);
  data->index = std::move(index);
  data->stored = data->record;
  return kSuccess;
}

}  // namespace sdx::xbase

extern "C" {

TAG4* d4tag(DATA4* data, const char* name) {
  ProductionIndex* index = IndexOf(data);
  if (index == nullptr || name == nullptr) return nullptr;
  return NoThrow<TAG4*>(nullptr, [&] { return index->FindTag(name); });
}

void d4tagSelect(DATA4* data, TAG4* tag) {
  ProductionIndex* index = IndexOf(data);
  if (index == nullptr) return;
  for (const auto& own : index->tags()) {
    if (own.get() == tag) {
      NoThrow(0, [&] {
        index->Select(tag);
        return 0;
      });
      return;
    }
  }
  index->Select(nullptr);
}

TAG4* d4tagSelected(DATA4* data) {
  ProductionIndex* index = IndexOf(data);
  return index == nullptr ? nullptr : index->selected();
}

int d4seekDouble(DATA4* data, double value) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    std::string key;
    int rc = SelectedNumericKey(data, value, &key);
    return rc != kSuccess ? rc : SeekKey(data, key);
  });
}

int d4seekNextDouble(DATA4* data, double value) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    std::string key;
    int rc = SelectedNumericKey(data, value, &key);
    if (rc == kSuccess) rc = d4flush(data);
    if (rc < 0) return rc;
    if (data->eof || data->rec_no == 0) return sdx::xbase::PositionPastEnd(data);
    ProductionIndex* index = IndexOf(data);
    std::vector<uint8_t>& from = data->move_from;
    from.assign(data->record.begin(), data->record.end());
    const uint32_t from_record = data->rec_no;
    rc = MoveAndLoad(data, index, [&](uint32_t* record) {
      return index->Next(from_record, from.data(), 1, record);
    });
    if (rc != kSuccess) return rc;
    return index->cursor_key() == key ? kSuccess : r4after;
  });
}

int d4seek(DATA4* data, const char* text) {
  if (data == nullptr || text == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    TAG4* tag = SelectedTag(data);
    if (tag == nullptr) return kErrParm;
    std::string key;
    if (tag->tag->key_type() == CdxKeyType::kCharacter) {
      key = sdx::xbase::CdxCharacterKey(text, tag->tag->key_length());
    } else {
      int rc = NumericKey(data, tag, std::strtod(text, nullptr), &key);
      if (rc != kSuccess) return rc;
    }
    return SeekKey(data, key);
  });
}

int d4reindex(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    int rc = d4flush(data);
    if (rc < 0) return rc;
    ProductionIndex* index = IndexOf(data);
    if (index == nullptr) return kSuccess;
    return data->context().Fail(index->Rebuild());
  });
}

int d4createIndex(DATA4* data, const TAG4INFO* tags) {
  if (data == nullptr || tags == nullptr) return kErrParmNull;
  if (data->index != nullptr) {
    return data->context().Fail(
        Status::Error(sdx::xbase::kErrCreate, "the table has a production index"));
  }
  return NoThrow(kErrMemory, [&] {
    int rc = d4flush(data);
    if (rc < 0) return rc;
    std::vector<sdx::xbase::IndexTagSpec> specs;
    for (const TAG4INFO* t = tags; t->name != nullptr; ++t) {
      specs.push_back(sdx::xbase::IndexTagSpec{
          t->name, t->expression != nullptr ? t->expression : "",
          t->filter != nullptr ? t->filter : "", t->unique != 0, t->descending != 0});
    }
    std::unique_ptr<ProductionIndex> index;
    Status s = ProductionIndex::Create(data->table.get(), specs, &index);
    if (s.ok()) {
      s = data->table->WriteTableFlags(data->table->header().table_flags() |
                                       sdx::xbase::kFlagStructuralIndex);
    }
    if (!s.ok()) return data->context().Fail(s);
    data->index = std::move(index);
    data->stored = data->record;
    return kSuccess;
  });
}

}  // extern "C"
