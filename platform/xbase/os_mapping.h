// A shared mapping of an open file, so that reads and rewrites of records and index pages are
// copies to and from the page cache instead of system calls. Because the mapping is shared, it
// shows what other processes write with pwrite at once, and they see what is written through
// it at once; only bytes already in the file are written this way (a write that makes the file
// longer goes through pwrite, which allocates its blocks and reports a full disk). The file may
// grow (the mapping then grows with it) and, through a fault of another program, even shrink: a
// copy that meets a page gone from the file is caught (SIGBUS) and answered as "not mapped", never
// a crash. Owned by an OsFile; one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdx::xbase {

class OsMapping {
 public:
  OsMapping() = default;
  ~OsMapping() { Unmap(); }
  OsMapping(OsMapping&& other) noexcept;
  OsMapping& operator=(OsMapping&& other) noexcept;
  OsMapping(const OsMapping&) = delete;
  OsMapping& operator=(const OsMapping&) = delete;

  // Copies [offset, offset + size) of the file open as `fd` into `out`. False when the range is
  // not all in the file as it stands or the mapping cannot be made; the caller then reads the
  // file the ordinary way, which tells what is wrong.
  bool CopyOut(int fd, uint64_t offset, void* out, size_t size);
  // Copies `size` bytes into [offset, offset + size) of the file when a writable mapping exists
  // and the range is all in the file as last seen; false otherwise (the caller then writes the
  // ordinary way).
  bool CopyIn(uint64_t offset, const void* in, size_t size);
  // The file is known to reach `end` now (this process just wrote there).
  void Reached(uint64_t end);
  // Whether mappings made from now on may be written through (the file is open for writing).
  void set_writable(bool writable) { writable_ = writable; }
  // Asks the processor to start loading [offset, offset + size) if it is mapped: a walk that
  // knows which records come next hides their memory latency behind its work on this one.
  void Prefetch(uint64_t offset, size_t size) const;
  // Forgets the mapping (the descriptor is closing or was replaced).
  void Unmap();

 private:
  // Makes the mapping cover the file's current size when `end` lies beyond what it covered.
  bool Cover(int fd, uint64_t end);

  uint8_t* base_ = nullptr;
  uint64_t length_ = 0;  // mapped, reaching past the end of the file to leave room to grow
  uint64_t covers_ = 0;  // bytes known to be in the file
  bool writable_ = false;
};

}  // namespace sdx::xbase
