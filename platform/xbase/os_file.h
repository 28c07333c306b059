// An open file of the engine: owns one descriptor (one open file description), positional
// reads (copies from a shared mapping of the file where they can be) and writes that retry
// short transfers, and byte-range locks taken as open-file-
// description locks, so that a lock belongs to this open and is never dropped because some
// other descriptor of the same file was closed, and vanishes with a process that dies.
#pragma once

#include <cstdint>
#include <string>

#include "platform/xbase/os_mapping.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class OsFile {
 public:
  enum class Mode { kReadOnly, kReadWrite, kCreateNew, kCreateTruncate };

  OsFile() = default;
  ~OsFile();
  OsFile(OsFile&& other) noexcept;
  OsFile& operator=(OsFile&& other) noexcept;
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;

  Status Open(const std::string& path, Mode mode);
  void Close();
  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

  // Reads exactly `size` bytes at `offset`; a read past the end is an error, not a short read.
  Status ReadAt(uint64_t offset, void* buffer, size_t size) const;
  // Reads up to `size` bytes; `*read` is what the file held.
  Status ReadSomeAt(uint64_t offset, void* buffer, size_t size, size_t* read) const;
  // A hint that [offset, offset + size) will be read soon.
  void Prefetch(uint64_t offset, size_t size) const { mapping_.Prefetch(offset, size); }
  Status WriteAt(uint64_t offset, const void* buffer, size_t size);
  Status Size(uint64_t* size) const;
  Status Truncate(uint64_t size);
  Status Sync();

  // Byte-range locks. Try* never waits: a lock held by another open answers false at once.
  bool TryLock(uint64_t offset, uint64_t length, bool exclusive);
  // Waits for the lock (used for the index's short reader/writer locks only).
  Status Lock(uint64_t offset, uint64_t length, bool exclusive);
  void Unlock(uint64_t offset, uint64_t length);
  // True when another open file description holds a conflicting lock on the range.
  bool IsLockedByOther(uint64_t offset, uint64_t length, bool exclusive) const;

 private:
  int fd_ = -1;
  std::string path_;
  mutable OsMapping mapping_;
};

}  // namespace sdx::xbase
