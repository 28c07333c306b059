#include "platform/xbase/memo_file.h"

#include <chrono>
#include <thread>
#include <vector>

#include "platform/xbase/engine_codes.h"
#include "platform/xbase/lock_scheme.h"

namespace sdx::xbase {

namespace {

uint32_t GetU32Be(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

void PutU32Be(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// Other writers hold the allocation lock only while they append one memo, so waiting for it is
// short; the bound keeps a stuck peer from hanging a request for ever.
constexpr int kLockAttempts = 10000;
constexpr auto kLockPause = std::chrono::milliseconds(1);

}  // namespace

MemoFile::MemoFile(OsFile file, uint32_t block_size)
    : file_(std::move(file)), block_size_(block_size) {}

Status MemoFile::Open(const std::string& path, bool read_only, std::unique_ptr<MemoFile>* out) {
  OsFile file;
  Status s = file.Open(path, read_only ? OsFile::Mode::kReadOnly : OsFile::Mode::kReadWrite);
  if (!s.ok()) return s;
  uint8_t header[8];
  s = file.ReadAt(0, header, sizeof(header));
  if (!s.ok()) return Status::Error(kErrMemo, "memo file " + path + " has no header");
  uint32_t block_size = static_cast<uint32_t>(header[6]) << 8 | header[7];
  if (block_size == 0) return Status::Error(kErrMemo, "memo file " + path + " has block size 0");
  *out = std::make_unique<MemoFile>(std::move(file), block_size);
  return Status::Ok();
}

Status MemoFile::Create(const std::string& path, uint32_t block_size,
                        std::unique_ptr<MemoFile>* out) {
  if (block_size == 0 || block_size > 0xFFFF) return Status::Error(kErrParm, "bad block size");
  OsFile file;
  Status s = file.Open(path, OsFile::Mode::kCreateTruncate);
  if (!s.ok()) return Status::Error(kErrCreate, s.message());
  std::vector<uint8_t> header(kHeaderSize, 0);
  PutU32Be(header.data(), (kHeaderSize + block_size - 1) / block_size);
  header[6] = static_cast<uint8_t>(block_size >> 8);
  header[7] = static_cast<uint8_t>(block_size);
  s = file.WriteAt(0, header.data(), header.size());
  if (!s.ok()) return s;
  *out = std::make_unique<MemoFile>(std::move(file), block_size);
  return Status::Ok();
}

Status MemoFile::Read(uint32_t block, std::string* data) const {
  data->clear();
  if (block == 0) return Status::Ok();
  const uint64_t offset = static_cast<uint64_t>(block) * block_size_;
  uint64_t size = 0;
  Status s = file_.Size(&size);
  if (!s.ok()) return s;
  if (offset < kHeaderSize || offset + 8 > size) {
    return Status::Error(kErrMemo, "memo block " + std::to_string(block) + " outside " + path());
  }
  uint8_t head[8];
  s = file_.ReadAt(offset, head, sizeof(head));
  if (!s.ok()) return s;
  const uint32_t length = GetU32Be(head + 4);
  // The length is only trusted as far as the file reaches, so a corrupt length cannot make us
  // allocate more than the file holds.
  if (length > size - offset - 8) {
    return Status::Error(kErrMemo, "memo at block " + std::to_string(block) + " of " + path() +
                                       " is longer than the file");
  }
  data->resize(length);
  return file_.ReadAt(offset + 8, data->data(), length);
}

Status MemoFile::Write(std::string_view data, uint32_t* block) {
  *block = 0;
  if (data.empty()) return Status::Ok();
  if (data.size() > 0x7FFFFFFFu) return Status::Error(kErrMemo, "memo too long");
  bool locked = false;
  for (int i = 0; i < kLockAttempts && !locked; ++i) {
    locked = file_.TryLock(kMemoLockOffset, 1, true);
    if (!locked) std::this_thread::sleep_for(kLockPause);
  }
  if (!locked) return Status::Error(kErrLock, "memo allocation lock of " + path() + " not granted");

  uint8_t header[8];
  Status s = file_.ReadAt(0, header, sizeof(header));
  uint32_t next = GetU32Be(header);
  const uint32_t first_free = (kHeaderSize + block_size_ - 1) / block_size_;
  if (s.ok() && next < first_free) next = first_free;
  const uint64_t blocks = (8 + data.size() + block_size_ - 1) / block_size_;
  if (s.ok() && next + blocks > UINT32_MAX) s = Status::Error(kErrMemo, "memo file full");
  if (s.ok()) {
    std::vector<uint8_t> out(blocks * block_size_, 0);
    PutU32Be(out.data(), 1);
    PutU32Be(out.data() + 4, static_cast<uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), out.begin() + 8);
    s = file_.WriteAt(static_cast<uint64_t>(next) * block_size_, out.data(), out.size());
  }
  if (s.ok()) {
    uint8_t head[4];
    PutU32Be(head, static_cast<uint32_t>(next + blocks));
    s = file_.WriteAt(0, head, sizeof(head));
  }
  file_.Unlock(kMemoLockOffset, 1);
  if (s.ok()) *block = next;
  return s;
}

}  // namespace sdx::xbase
