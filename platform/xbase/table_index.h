// The seam between a table and its production index. A DATA4 holds at most one TableIndex: when
// present, navigation asks it for the current order (a selected tag) and every stored change
// is reported to it so that the tags stay current. Without one, or with no tag selected, the
// table is walked in record-number order. Implemented by ProductionIndex.
#pragma once

#include <cstdint>

#include "platform/xbase/status.h"

namespace sdx::xbase {

class TableIndex {
 public:
  virtual ~TableIndex() = default;

  // True when a tag is selected; the calls below are used only then.
  virtual bool HasSelectedOrder() const = 0;
  // The first or last record of the selected order; 0 when the order holds none.
  virtual Status First(uint32_t* record) = 0;
  virtual Status Last(uint32_t* record) = 0;
  // The record `direction` (+1 or -1) steps from `from` (whose bytes are `bytes`) in the
  // selected order; 0 past either end.
  virtual Status Next(uint32_t from, const uint8_t* bytes, int direction, uint32_t* record) = 0;
  // Whether `record`, just read as `bytes`, still has the key the order found it by; false when
  // another process changed it in between, and the move is then made again.
  virtual bool Current(uint32_t record, const uint8_t* bytes) = 0;

  // A change is made in three steps so that a refused one writes nothing: BeginChange takes the
  // index's write lock and refuses a duplicate unique key (nothing held then); the caller
  // writes the record and reports it below, which releases the lock, or calls CancelChange
  // when writing failed. `before` is null and `record` 0 for an append.
  virtual Status BeginChange(uint32_t record, const uint8_t* before, const uint8_t* after) = 0;
  virtual void CancelChange() = 0;
  // A record was added with these bytes, or a stored one changed from `before` to `after`.
  virtual Status RecordAppended(uint32_t record, const uint8_t* bytes) = 0;
  virtual Status RecordChanged(uint32_t record, const uint8_t* before, const uint8_t* after) = 0;
};

}  // namespace sdx::xbase
