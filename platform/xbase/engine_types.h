// The engine's handle records behind the C-linkage calls: the context shared by the tables of a
// process, a table's cursor and record buffer (DATA4) and a bound field (FIELD4). Internal to
// the engine; callers only see the pointers.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/xbase/dbf_table.h"
#include "platform/xbase/engine_calls.h"
#include "platform/xbase/table_index.h"

namespace sdx::xbase {

// What all tables of one context share: settings, the last error and the list of open tables
// (guarded by tables_lock, the only lock of the context; never held while a table does I/O).
class EngineContext {
 public:
  std::atomic<bool> lock_enforce{false};
  std::atomic<int> error_code{0};
  std::mutex tables_lock;
  std::vector<std::unique_ptr<DATA4>> tables;  // guarded by tables_lock

  // Records `status` as the context's error when it failed and answers its code.
  int Fail(const Status& status);
};

// Runs `body` and turns any exception (an allocation failure) into `fallback`, so that nothing
// thrown inside the engine reaches its C-linkage callers.
template <typename R, typename F>
R NoThrow(R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

}  // namespace sdx::xbase

struct FIELD4 {
  DATA4* data = nullptr;
  size_t number = 0;                               // index into the table's fields
  const sdx::xbase::FieldLayout* field = nullptr;  // the table's layout, fixed while it is open
  const sdx::xbase::FieldLayout& layout() const { return *field; }

  // The memo of the record loaded as `memo_generation`; an assigned memo waits in `memo` with
  // memo_changed set until the record is written.
  std::string memo;
  uint64_t memo_generation = UINT64_MAX;
  bool memo_changed = false;
  std::string text;  // the buffer f4str answers
};

struct DATA4 {
  CODE4* code = nullptr;
  std::unique_ptr<sdx::xbase::DbfTable> table;
  std::unique_ptr<sdx::xbase::TableIndex> index;  // the production index, when open
  std::vector<std::unique_ptr<FIELD4>> fields;

  std::vector<uint8_t> record;     // the current record's bytes, changed by assignments
  std::vector<uint8_t> stored;     // the current record as read, for the index's change reports
  std::vector<uint8_t> move_from;  // a move's starting record, kept so moves do not allocate
  uint32_t rec_no = 0;             // 0 while a new record is being built
  uint64_t generation = 0;         // bumped whenever `record` is loaded or blanked anew
  bool eof = true;
  bool bof = true;
  bool changed = false;
  bool appending = false;

  sdx::xbase::EngineContext& context() const { return *code->context; }

  // 0 when the current record may be changed, else the lock error (recorded in the context):
  // under lock enforcement a stored record needs this process's lock; a record being appended
  // is not stored yet and needs none.
  int Writable() {
    if (appending || rec_no == 0 || eof || !context().lock_enforce.load() ||
        table->HoldsRecordLock(rec_no)) {
      return sdx::xbase::kSuccess;
    }
    return context().Fail(sdx::xbase::Status::Error(sdx::xbase::kErrLock, "record not locked"));
  }
};
