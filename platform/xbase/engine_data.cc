// The table calls: navigation, record locks, appending, flushing and deletion marks. Every move
// goes through Position(), the one place where the current order (record numbers, or the
// production index's selected tag) is applied.
#include <cstring>

#include "platform/xbase/engine_position.h"
#include "platform/xbase/engine_types.h"
#include "platform/xbase/field_value.h"

using sdx::xbase::kBof;
using sdx::xbase::kEntry;
using sdx::xbase::kEof;
using sdx::xbase::kErrLock;
using sdx::xbase::kErrMemory;
using sdx::xbase::kErrParm;
using sdx::xbase::kErrParmNull;
using sdx::xbase::kLocked;
using sdx::xbase::kSuccess;
using sdx::xbase::NoThrow;
using sdx::xbase::Status;

namespace {

void BlankRecord(DATA4* data) {
  std::memset(data->record.data(), ' ', data->record.size());
  for (const auto& f : data->table->fields()) sdx::xbase::BlankField(f, data->record.data());
  ++data->generation;
}

}  // namespace

namespace sdx::xbase {

int PositionPastEnd(DATA4* data) {
  uint32_t count = 0;
  Status s = data->table->ReadRecordCount(&count);
  if (!s.ok()) return data->context().Fail(s);
  BlankRecord(data);
  data->rec_no = count + 1;
  data->eof = true;
  return kEof;
}

int LoadRecord(DATA4* data, uint32_t record) {
  Status s = data->table->ReadRecord(record, data->record.data());
  if (!s.ok()) return data->context().Fail(s);
  if (data->index != nullptr) data->stored = data->record;
  ++data->generation;
  data->rec_no = record;
  data->eof = false;
  data->bof = false;
  return kSuccess;
}

}  // namespace sdx::xbase

namespace {

using sdx::xbase::LoadRecord;
using sdx::xbase::PositionPastEnd;

// Whether `record` exists, reading the header only when the known count does not settle it.
Status RecordExists(DATA4* data, uint32_t record, bool* exists) {
  *exists = false;
  if (record == 0) return Status::Ok();
  if (record > data->table->known_count()) [[unlikely]] {
    uint32_t count = 0;
    Status s = data->table->ReadRecordCount(&count);
    if (!s.ok()) return s;
  }
  *exists = record <= data->table->known_count();
  return Status::Ok();
}

enum class Move { kTop, kBottom, kNext, kPrevious };

// Where a move that found no record leaves the cursor.
int NoTarget(DATA4* data, Move move) {
  if (move == Move::kPrevious && !data->eof) {
    // Before the first record: stay on it, flagged.
    data->bof = true;
    return kBof;
  }
  int rc = PositionPastEnd(data);
  if (rc == kEof && move != Move::kNext) data->bof = true;
  return rc;
}

// A move in the selected tag's order. The record is read after the index was asked, so a
// record that another process changed in between is noticed (its key no longer where the tag
// had it) and the move made again from the same place, once that writer is done.
int PositionInOrder(DATA4* data, sdx::xbase::TableIndex* order, Move move) {
  std::vector<uint8_t>& from = data->move_from;
  from.assign(data->record.begin(), data->record.end());
  const uint32_t from_record = data->rec_no;
  const bool from_eof = data->eof;
  for (int attempt = 0;; ++attempt) {
    uint32_t target = 0;
    Status s;
    switch (move) {
      case Move::kTop:
        s = order->First(&target);
        break;
      case Move::kBottom:
        s = order->Last(&target);
        break;
      case Move::kNext:
      case Move::kPrevious:
        if (from_eof && move == Move::kPrevious) {
          s = order->Last(&target);
        } else if (from_eof) {
          target = 0;
        } else {
          s = order->Next(from_record, from.data(), move == Move::kNext ? 1 : -1, &target);
        }
        break;
    }
    if (!s.ok()) return data->context().Fail(s);
    if (target == 0) {
      if (attempt > 0 && !from_eof) {
        int rc = LoadRecord(data, from_record);
        if (rc != kSuccess) return rc;
      }
      return NoTarget(data, move);
    }
    int rc = LoadRecord(data, target);
    if (rc != kSuccess || order->Current(target, data->record.data()) ||
        attempt + 1 >= sdx::xbase::kIndexMoveAttempts) {
      return rc;
    }
  }
}

// The one place that applies the current order.
int Position(DATA4* data, Move move) {
  int rc = data->changed ? d4flush(data) : kSuccess;
  if (rc < 0) return rc;
  data->appending = false;
  sdx::xbase::TableIndex* order =
      data->index != nullptr && data->index->HasSelectedOrder() ? data->index.get() : nullptr;
  uint32_t target = 0;
  Status s;
  if (order != nullptr) {
    return PositionInOrder(data, order, move);
  } else {
    uint32_t count = 0;
    switch (move) {
      case Move::kTop:
        target = 1;
        break;
      case Move::kBottom:
        s = data->table->ReadRecordCount(&count);
        target = count;
        break;
      case Move::kNext:
        target = data->eof ? 0 : data->rec_no + 1;
        break;
      case Move::kPrevious:
        if (data->eof) {
          s = data->table->ReadRecordCount(&count);
          target = count;
        } else {
          target = data->rec_no - 1;
        }
        break;
    }
    if (!s.ok()) return data->context().Fail(s);
    bool exists = false;
    s = RecordExists(data, target, &exists);
    if (!s.ok()) return data->context().Fail(s);
    if (!exists) target = 0;
  }

  if (target == 0) return NoTarget(data, move);
  // A walk in record order reads the table front to back (or back to front): ask for the
  // record a few steps on now, so that its memory is on its way when the walk gets there.
  constexpr uint32_t kAhead = sdx::xbase::DbfTable::kPrefetchDistance;
  if (move == Move::kNext) data->table->PrefetchRecord(target + kAhead);
  if (move == Move::kPrevious && target > kAhead) data->table->PrefetchRecord(target - kAhead);
  return LoadRecord(data, target);
}

// Forgets a change the index refused: the record is as stored again, its memos read anew.
void DropChanges(DATA4* data) {
  data->record = data->stored;
  ++data->generation;
  for (auto& field : data->fields) field->memo_changed = false;
}

// Writes the current record's pending memos into the memo file and their pointers into the
// record.
int WriteChanges(DATA4* data) {
  for (auto& field : data->fields) {
    if (!field->memo_changed) continue;
    if (field->memo_generation == data->generation) {
      uint32_t block = 0;
      if (!field->memo.empty()) {
        if (data->table->memo() == nullptr) {
          return data->context().Fail(Status::Error(sdx::xbase::kErrMemo, "no memo file"));
        }
        Status s = data->table->memo()->Write(field->memo, &block);
        if (!s.ok()) return data->context().Fail(s);
      }
      const auto& layout = field->layout();
      sdx::xbase::WriteMemoPointer(block, layout.width, data->record.data() + layout.offset);
    }
    field->memo_changed = false;
  }
  return kSuccess;
}

}  // namespace

extern "C" {

int d4flush(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  if (!data->changed || data->appending) return kSuccess;
  return NoThrow(kErrMemory, [&] {
    data->changed = false;
    if (data->eof || data->rec_no == 0) return kSuccess;
    sdx::xbase::TableIndex* index = data->index.get();
    if (index != nullptr) {
      Status s = index->BeginChange(data->rec_no, data->stored.data(), data->record.data());
      if (!s.ok()) {
        DropChanges(data);
        return data->context().Fail(s);
      }
    }
    int rc = WriteChanges(data);
    Status s;
    if (rc >= 0) s = data->table->WriteRecord(data->rec_no, data->record.data());
    if (rc < 0 || !s.ok()) {
      if (index != nullptr) index->CancelChange();
      return rc < 0 ? rc : data->context().Fail(s);
    }
    if (index != nullptr) {
      s = index->RecordChanged(data->rec_no, data->stored.data(), data->record.data());
      if (!s.ok()) return data->context().Fail(s);
      data->stored = data->record;
    }
    return kSuccess;
  });
}

int d4goLow(DATA4* data, long record, short) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    int rc = d4flush(data);
    if (rc < 0) return rc;
    bool exists = false;
    if (record > 0 && record <= static_cast<long>(UINT32_MAX)) {
      Status s = RecordExists(data, static_cast<uint32_t>(record), &exists);
      if (!s.ok()) return data->context().Fail(s);
    }
    if (!exists) return kEntry;
    data->appending = false;
    return LoadRecord(data, static_cast<uint32_t>(record));
  });
}

int d4top(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] { return Position(data, Move::kTop); });
}

int d4bottom(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] { return Position(data, Move::kBottom); });
}

int d4skip(DATA4* data, long count) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    int rc = kSuccess;
    const Move move = count >= 0 ? Move::kNext : Move::kPrevious;
    for (long i = count >= 0 ? count : -count; i > 0 && rc == kSuccess; --i) {
      rc = Position(data, move);
    }
    return rc;
  });
}

int d4eof(DATA4* data) { return data != nullptr && data->eof ? 1 : 0; }
int d4bof(DATA4* data) { return data != nullptr && data->bof ? 1 : 0; }
long d4recNoLow(DATA4* data) { return data == nullptr ? -1 : static_cast<long>(data->rec_no); }

long _d4recCountDo2(DATA4* data, int) {
  if (data == nullptr) return kErrParmNull;
  uint32_t count = 0;
  Status s = data->table->ReadRecordCount(&count);
  if (!s.ok()) return data->context().Fail(s);
  return static_cast<long>(count);
}

int d4lockInternal(DATA4* data, unsigned long record, char, int) {
  if (data == nullptr) return kErrParmNull;
  if (record == 0 || record > UINT32_MAX) return kErrParm;
  return NoThrow(kErrMemory, [&] {
    return data->table->LockRecord(static_cast<uint32_t>(record)) ? kSuccess : kLocked;
  });
}

int d4unlock(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  int rc = d4flush(data);
  data->table->UnlockAll();
  return rc < 0 ? rc : kSuccess;
}

int d4lockTest(DATA4* data, long record) {
  if (data == nullptr || record <= 0 || record > static_cast<long>(UINT32_MAX)) return 0;
  return data->table->HoldsRecordLock(static_cast<uint32_t>(record)) ? 1 : 0;
}

int d4lockSchemeSet(DATA4* data, int scheme) {
  if (data == nullptr) return kErrParmNull;
  if (data->table->HoldsAnyLock()) return kErrLock;
  if (scheme != LOCK4VFP && scheme != LOCK4CLIPPER) return kErrParm;
  data->table->set_lock_scheme(scheme == LOCK4VFP ? sdx::xbase::LockScheme::kVfp
                                                  : sdx::xbase::LockScheme::kClipper);
  return kSuccess;
}

int d4appendStart(DATA4* data, short use_memo_entries) {
  if (data == nullptr) return kErrParmNull;
  return NoThrow(kErrMemory, [&] {
    int rc = d4flush(data);
    if (rc < 0) return rc;
    // The new record starts as a copy of the current one; its memos are its own, empty unless
    // asked to copy them.
    for (auto& field : data->fields) {
      if (!sdx::xbase::IsMemoType(field->layout().type)) continue;
      if (use_memo_entries && !data->eof && data->rec_no != 0) {
        f4memoStr(field.get());
        field->memo_changed = true;
      } else {
        field->memo.clear();
        field->memo_changed = false;
        sdx::xbase::WriteMemoPointer(0, field->layout().width,
                                     data->record.data() + field->layout().offset);
      }
      field->memo_generation = data->generation;
    }
    data->appending = true;
    data->rec_no = 0;
    data->record[0] = ' ';
    return kSuccess;
  });
}

int d4blank(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  if (int rc = data->Writable(); rc != kSuccess) return rc;
  const char deleted = static_cast<char>(data->record[0]);
  BlankRecord(data);
  data->record[0] = static_cast<uint8_t>(deleted);
  for (auto& field : data->fields) {
    field->memo.clear();
    field->memo_generation = data->generation;
    field->memo_changed = sdx::xbase::IsMemoType(field->layout().type);
  }
  data->changed = true;
  return kSuccess;
}

int d4append(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  if (!data->appending) return kErrParm;
  return NoThrow(kErrMemory, [&] {
    sdx::xbase::TableIndex* index = data->index.get();
    if (index != nullptr) {
      Status s = index->BeginChange(0, nullptr, data->record.data());
      if (!s.ok()) return data->context().Fail(s);
    }
    int rc = WriteChanges(data);
    uint32_t record = 0;
    Status s;
    if (rc >= 0) s = data->table->Append(data->record.data(), &record);
    if (rc < 0 || !s.ok()) {
      if (index != nullptr) index->CancelChange();
      return rc < 0 ? rc : data->context().Fail(s);
    }
    data->appending = false;
    data->changed = false;
    data->rec_no = record;
    data->eof = false;
    data->bof = false;
    if (data->index != nullptr) {
      data->stored = data->record;
      s = data->index->RecordAppended(record, data->record.data());
      if (!s.ok()) return data->context().Fail(s);
    }
    return kSuccess;
  });
}

int d4changed(DATA4* data, int flag) {
  if (data == nullptr) return kErrParmNull;
  const int previous = data->changed ? 1 : 0;
  if (flag >= 0) data->changed = flag != 0;
  return previous;
}

int d4delete(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  if (int rc = data->Writable(); rc != kSuccess) return rc;
  data->record[0] = '*';
  data->changed = true;
  return kSuccess;
}

int d4recall(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  if (int rc = data->Writable(); rc != kSuccess) return rc;
  data->record[0] = ' ';
  data->changed = true;
  return kSuccess;
}

int d4deleted(DATA4* data) { return data != nullptr && data->record[0] == '*' ? 1 : 0; }

short d4numFields(DATA4* data) {
  return data == nullptr ? 0 : static_cast<short>(data->fields.size());
}

FIELD4* d4field(DATA4* data, const char* name) {
  if (data == nullptr || name == nullptr) return nullptr;
  const sdx::xbase::FieldLayout* layout = data->table->FindField(name);
  if (layout == nullptr) {
    data->context().error_code.store(sdx::xbase::kErrFieldName);
    return nullptr;
  }
  return data->fields[static_cast<size_t>(layout - data->table->fields().data())].get();
}

FIELD4* d4fieldJ(DATA4* data, short number) {
  if (data == nullptr || number < 1 || static_cast<size_t>(number) > data->fields.size()) {
    return nullptr;
  }
  return data->fields[static_cast<size_t>(number - 1)].get();
}

const char* d4fileName(DATA4* data) {
  return data == nullptr ? nullptr : data->table->path().c_str();
}

char* d4record(DATA4* data) {
  return data == nullptr ? nullptr : reinterpret_cast<char*>(data->record.data());
}

unsigned long d4recWidth(DATA4* data) {
  return data == nullptr ? 0 : static_cast<unsigned long>(data->record.size());
}

long d4versionStamp(DATA4* data) {
  if (data == nullptr) return kErrParmNull;
  uint32_t stamp = 0;
  Status s = data->table->ReadVersionStamp(&stamp);
  if (!s.ok()) return data->context().Fail(s);
  return static_cast<long>(stamp);
}

int d4versionStampSet(DATA4* data, long stamp) {
  if (data == nullptr) return kErrParmNull;
  if (stamp < 0 || stamp > static_cast<long>(UINT32_MAX)) return kErrParm;
  return NoThrow(kErrMemory, [&] {
    return data->context().Fail(data->table->WriteVersionStamp(static_cast<uint32_t>(stamp)));
  });
}

}  // extern "C"
