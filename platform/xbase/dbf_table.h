// One open DBF table and its memo file: the layout, reading and writing records in place,
// appending under the header lock, and the table's record locks. Nothing read from the file is
// trusted across calls except the layout and the fact that records are never removed while
// the table is shared. Used by the engine's DATA4 handles and by the `xbase` tool; one thread
// at a time per object.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/dbf_header.h"
#include "platform/xbase/lock_scheme.h"
#include "platform/xbase/memo_file.h"
#include "platform/xbase/os_file.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class DbfTable {
 public:
  // Opens the table at `path` (exact name, else a case-insensitive match in its folder) and its
  // memo file when the table has memo fields.
  static Status Open(const std::string& path, bool read_only, std::unique_ptr<DbfTable>* out);
  // Creates a new empty Visual FoxPro table (and its memo file when a field needs one); fails
  // when the table file exists. `flags` is the header's byte 28 (0x01 when an index will exist).
  static Status Create(const std::string& path, const std::vector<FieldSpec>& fields, uint8_t flags,
                       std::unique_ptr<DbfTable>* out);

  DbfTable(OsFile file, DbfHeader header, std::unique_ptr<MemoFile> memo, bool read_only);

  const DbfHeader& header() const { return header_; }  // the layout; its count goes stale
  const std::vector<FieldLayout>& fields() const { return header_.fields; }
  const FieldLayout* FindField(std::string_view name) const;  // any letter case
  uint32_t record_length() const { return record_length_; }
  const std::string& path() const { return file_.path(); }
  MemoFile* memo() const { return memo_.get(); }
  bool read_only() const { return read_only_; }

  // The record count in the file header, read from disk.
  Status ReadRecordCount(uint32_t* count);
  // A count the table is known to have reached: a lower bound, since shared tables never lose
  // records. Raised by every count read and append.
  uint32_t known_count() const { return known_count_; }

  // The record as the file holds it now (another process's write is seen at once).
  Status ReadRecord(uint32_t record, uint8_t* out);
  // How many steps ahead a walk (in record or index order) asks for the record it will read
  // then: far enough for the memory to arrive, near enough to stay cached until used.
  static constexpr int kPrefetchDistance = 8;
  // A hint that `record` will be read soon.
  void PrefetchRecord(uint32_t record) const {
    if (record != 0) file_.Prefetch(RecordOffset(record), record_length_);
  }
  Status WriteRecord(uint32_t record, const uint8_t* bytes);
  // Adds `bytes` as a new record at the end under the header lock and answers its number.
  Status Append(const uint8_t* bytes, uint32_t* record);
  // The memo text of a memo-type field of `bytes`; an absent memo file or pointer 0 is empty.
  Status ReadMemo(const FieldLayout& field, const uint8_t* bytes, std::string* text) const;

  // Record locks (one byte each at the scheme's offsets). Never waits: false when another open
  // of the file holds it. Locking a record this table already holds answers true.
  bool LockRecord(uint32_t record);
  bool HoldsRecordLock(uint32_t record) const { return locked_.count(record) != 0; }
  bool HoldsAnyLock() const { return !locked_.empty(); }
  void UnlockAll();
  LockScheme lock_scheme() const { return lock_scheme_; }
  void set_lock_scheme(LockScheme scheme) { lock_scheme_ = scheme; }

  // Header bytes 12..15, read from and written to disk under the header lock.
  Status ReadVersionStamp(uint32_t* stamp);
  Status WriteVersionStamp(uint32_t stamp);
  // Header byte 28 (kFlagStructuralIndex once a production index has been made for the table).
  Status WriteTableFlags(uint8_t flags);

 private:
  uint64_t RecordOffset(uint32_t record) const {
    return header_length_ + static_cast<uint64_t>(record - 1) * record_length_;
  }
  Status LockHeader();
  void UnlockHeader();
  Status TouchDate();

  OsFile file_;
  DbfHeader header_;
  std::unique_ptr<MemoFile> memo_;
  bool read_only_;
  uint32_t header_length_;
  uint32_t record_length_;
  uint32_t known_count_ = 0;
  bool date_touched_ = false;
  LockScheme lock_scheme_ = LockScheme::kVfp;
  std::set<uint32_t> locked_;
};

}  // namespace sdx::xbase
