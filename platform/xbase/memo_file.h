// An FPT memo file: reads memo blocks of any length (bounded by the file's size) and writes new
// memos at its end under the memo allocation lock. Owned by DbfTable; the engine's memo calls
// reach it through the table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/xbase/os_file.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class MemoFile {
 public:
  static constexpr uint32_t kHeaderSize = 512;
  static constexpr uint32_t kDefaultBlockSize = 64;

  static Status Open(const std::string& path, bool read_only, std::unique_ptr<MemoFile>* out);
  // Creates an empty memo file (512 header bytes, "next free" just after them).
  static Status Create(const std::string& path, uint32_t block_size,
                       std::unique_ptr<MemoFile>* out);

  // The data of the memo starting at `block`; block 0 is the empty memo. A block inside the
  // header, past the end of the file, or a length reaching past the end gives an error.
  Status Read(uint32_t block, std::string* data) const;
  // Writes `data` as a new text memo (type 1) at the end and answers its first block; empty
  // data is block 0 and writes nothing.
  Status Write(std::string_view data, uint32_t* block);

  uint32_t block_size() const { return block_size_; }
  const std::string& path() const { return file_.path(); }

  // Takes an open file whose header was checked; Open and Create are the ways to get one.
  MemoFile(OsFile file, uint32_t block_size);

 private:
  OsFile file_;
  uint32_t block_size_;
};

}  // namespace sdx::xbase
