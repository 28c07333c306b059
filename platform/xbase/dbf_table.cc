#include "platform/xbase/dbf_table.h"

#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/xbase/engine_codes.h"
#include "platform/xbase/field_value.h"
#include "platform/xbase/file_names.h"

namespace sdx::xbase {

namespace {

// Appends of other programs hold the header lock for a few writes; waiting for it is short,
// and bounded so that a stuck peer cannot hang a request for ever.
constexpr int kHeaderLockAttempts = 10000;
constexpr auto kHeaderLockPause = std::chrono::milliseconds(1);

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Today(uint8_t* date) {
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  date[0] = static_cast<uint8_t>(local.tm_year % 100);
  date[1] = static_cast<uint8_t>(local.tm_mon + 1);
  date[2] = static_cast<uint8_t>(local.tm_mday);
}

}  // namespace

DbfTable::DbfTable(OsFile file, DbfHeader header, std::unique_ptr<MemoFile> memo, bool read_only)
    : file_(std::move(file)),
      header_(std::move(header)),
      memo_(std::move(memo)),
      read_only_(read_only),
      header_length_(header_.header_length()),
      record_length_(header_.record_length()),
      known_count_(header_.record_count()) {}

Status DbfTable::Open(const std::string& path, bool read_only, std::unique_ptr<DbfTable>* out) {
  OsFile file;
  const std::string resolved = ResolveFileName(path);
  Status s = file.Open(resolved, read_only ? OsFile::Mode::kReadOnly : OsFile::Mode::kReadWrite);
  if (!s.ok() && !read_only && (errno == EACCES || errno == EROFS)) {
    // A table we may not write is still readable; its writes then fail with an error.
    read_only = true;
    s = file.Open(resolved, OsFile::Mode::kReadOnly);
  }
  if (!s.ok()) return s;
  uint8_t fixed[32];
  s = file.ReadAt(0, fixed, sizeof(fixed));
  if (!s.ok()) return Status::Error(kErrData, path + ": file too short for a table header");
  const uint32_t header_length = fixed[8] | fixed[9] << 8;
  std::vector<uint8_t> bytes(std::max<uint32_t>(header_length, 32));
  size_t got = 0;
  s = file.ReadSomeAt(0, bytes.data(), bytes.size(), &got);
  if (!s.ok()) return s;
  // The size only after the header: an appending process writes its record before the count
  // that covers it, so a count read first is always covered by a size read after.
  uint64_t size = 0;
  s = file.Size(&size);
  if (!s.ok()) return s;
  DbfHeader header;
  s = ParseDbfHeader(bytes.data(), got, size, &header);
  if (!s.ok()) return Status::Error(s.code(), file.path() + ": " + s.message());
  // A count beyond the data is trusted only as far as whole records exist.
  const uint64_t data = size - header.header_length();
  const uint64_t whole = data / header.record_length();
  if (header.record_count() > whole) {
    return Status::Error(kErrData, file.path() + ": the header counts " +
                                       std::to_string(header.record_count()) +
                                       " records but the file holds " + std::to_string(whole));
  }

  std::unique_ptr<MemoFile> memo;
  if (header.has_memo_fields()) {
    const std::string memo_path = CompanionFileName(file.path(), "fpt");
    s = MemoFile::Open(memo_path, read_only, &memo);
    // dBase III tables keep their memos in a .dbt file of another format, which this engine
    // does not read: such a table opens with its memos reading as errors.
    const bool dbase_memo = header.version() == 0x83 && ::access(memo_path.c_str(), F_OK) != 0;
    if (!s.ok() && !dbase_memo) return s;
  }
  *out = std::make_unique<DbfTable>(std::move(file), std::move(header), std::move(memo), read_only);
  return Status::Ok();
}

Status DbfTable::Create(const std::string& path, const std::vector<FieldSpec>& fields,
                        uint8_t flags, std::unique_ptr<DbfTable>* out) {
  std::vector<uint8_t> bytes;
  DbfHeader header;
  Status s = BuildDbfHeader(fields, flags, 0x03, &bytes, &header);
  if (!s.ok()) return s;
  Today(&bytes[1]);
  std::copy(bytes.begin(), bytes.begin() + 32, header.raw.begin());
  OsFile file;
  s = file.Open(path, OsFile::Mode::kCreateNew);
  if (!s.ok()) return Status::Error(kErrCreate, s.message());
  std::unique_ptr<MemoFile> memo;
  if (header.has_memo_fields()) {
    s = MemoFile::Create(CompanionFileName(path, "fpt"), MemoFile::kDefaultBlockSize, &memo);
  }
  if (s.ok()) s = file.WriteAt(0, bytes.data(), bytes.size());
  if (!s.ok()) {
    ::unlink(path.c_str());
    return s;
  }
  *out = std::make_unique<DbfTable>(std::move(file), std::move(header), std::move(memo), false);
  return Status::Ok();
}

const FieldLayout* DbfTable::FindField(std::string_view name) const {
  for (const FieldLayout& f : header_.fields) {
    if (f.name.size() == name.size() &&
        ::strncasecmp(f.name.data(), name.data(), name.size()) == 0) {
      return &f;
    }
  }
  return nullptr;
}

Status DbfTable::ReadRecordCount(uint32_t* count) {
  uint8_t bytes[4];
  Status s = file_.ReadAt(4, bytes, sizeof(bytes));
  if (!s.ok()) return s;
  *count = GetU32(bytes);
  if (*count > known_count_) known_count_ = *count;
  return Status::Ok();
}

Status DbfTable::ReadRecord(uint32_t record, uint8_t* out) {
  if (record == 0) return Status::Error(kErrParm, "record number 0");
  return file_.ReadAt(RecordOffset(record), out, record_length_);
}

Status DbfTable::WriteRecord(uint32_t record, const uint8_t* bytes) {
  if (read_only_) return Status::Error(kErrWrite, path() + " is open read-only");
  if (record == 0) return Status::Error(kErrParm, "record number 0");
  Status s = file_.WriteAt(RecordOffset(record), bytes, record_length_);
  if (s.ok() && !date_touched_) s = TouchDate();
  return s;
}

Status DbfTable::TouchDate() {
  uint8_t date[3];
  Today(date);
  date_touched_ = true;
  return file_.WriteAt(1, date, sizeof(date));
}

Status DbfTable::LockHeader() {
  const uint64_t offset = HeaderLockOffset(lock_scheme_);
  for (int i = 0; i < kHeaderLockAttempts; ++i) {
    if (file_.TryLock(offset, 1, true)) return Status::Ok();
    std::this_thread::sleep_for(kHeaderLockPause);
  }
  return Status::Error(kErrLock, "header lock of " + path() + " not granted");
}

void DbfTable::UnlockHeader() { file_.Unlock(HeaderLockOffset(lock_scheme_), 1); }

Status DbfTable::Append(const uint8_t* bytes, uint32_t* record) {
  if (read_only_) return Status::Error(kErrWrite, path() + " is open read-only");
  Status s = LockHeader();
  if (!s.ok()) return s;
  uint32_t count = 0;
  s = ReadRecordCount(&count);
  if (s.ok() && count == UINT32_MAX) s = Status::Error(kErrWrite, path() + " is full");
  if (s.ok()) {
    // The record and the end mark in one write, so no reader ever sees half a record counted.
    std::vector<uint8_t> out(bytes, bytes + record_length_);
    out.push_back(0x1A);
    s = file_.WriteAt(RecordOffset(count + 1), out.data(), out.size());
  }
  if (s.ok()) {
    uint8_t head[7];
    Today(head);
    PutU32(head + 3, count + 1);
    s = file_.WriteAt(1, head, sizeof(head));
  }
  UnlockHeader();
  if (!s.ok()) return s;
  date_touched_ = true;
  known_count_ = std::max(known_count_, count + 1);
  *record = count + 1;
  return Status::Ok();
}

Status DbfTable::ReadMemo(const FieldLayout& field, const uint8_t* bytes, std::string* text) const {
  text->clear();
  const uint32_t block = ReadMemoPointer(bytes + field.offset, field.width);
  if (block == 0) return Status::Ok();
  if (memo_ == nullptr) return Status::Error(kErrMemo, path() + " has no memo file");
  return memo_->Read(block, text);
}

bool DbfTable::LockRecord(uint32_t record) {
  if (HoldsRecordLock(record)) return true;
  if (!file_.TryLock(RecordLockOffset(lock_scheme_, record), 1, true)) return false;
  locked_.insert(record);
  return true;
}

void DbfTable::UnlockAll() {
  for (uint32_t record : locked_) file_.Unlock(RecordLockOffset(lock_scheme_, record), 1);
  locked_.clear();
}

Status DbfTable::ReadVersionStamp(uint32_t* stamp) {
  uint8_t bytes[4];
  Status s = file_.ReadAt(12, bytes, sizeof(bytes));
  if (s.ok()) *stamp = GetU32(bytes);
  return s;
}

Status DbfTable::WriteVersionStamp(uint32_t stamp) {
  if (read_only_) return Status::Error(kErrWrite, path() + " is open read-only");
  Status s = LockHeader();
  if (!s.ok()) return s;
  uint8_t bytes[4];
  PutU32(bytes, stamp);
  s = file_.WriteAt(12, bytes, sizeof(bytes));
  UnlockHeader();
  if (s.ok()) header_.set_version_stamp(stamp);
  return s;
}

Status DbfTable::WriteTableFlags(uint8_t flags) {
  if (read_only_) return Status::Error(kErrWrite, path() + " is open read-only");
  Status s = LockHeader();
  if (!s.ok()) return s;
  s = file_.WriteAt(28, &flags, 1);
  UnlockHeader();
  if (s.ok()) header_.raw[28] = flags;
  return s;
}

}  // namespace sdx::xbase
