// Fuzzes the memo reader: the input is an FPT file; every block number it could hold (and a
// few past its end) is read, which must give the memo or an error, never more memory than the
// file holds.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/xbase/field_value.h"
#include "platform/xbase/memo_file.h"
#include "platform/xbase/os_file.h"

namespace {

// A folder of our own for the one file the fuzzer rewrites, removed when the run ends.
struct Folder {
  Folder() {
    char pattern[] = "/tmp/memo-read-fuzz-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static const Folder folder;
  const std::string path = folder.path + "/t.fpt";
  {
    sdx::xbase::OsFile file;
    if (!file.Open(path, sdx::xbase::OsFile::Mode::kCreateTruncate).ok()) return 0;
    file.WriteAt(0, bytes, size);
  }
  std::unique_ptr<sdx::xbase::MemoFile> memo;
  if (!sdx::xbase::MemoFile::Open(path, true, &memo).ok()) return 0;
  const uint64_t blocks = size / memo->block_size() + 3;
  std::string text;
  for (uint64_t block = 0; block < blocks && block < 4096; ++block) {
    memo->Read(static_cast<uint32_t>(block), &text);
  }
  if (size >= 10) {
    memo->Read(sdx::xbase::ReadMemoPointer(bytes, 4), &text);
    memo->Read(sdx::xbase::ReadMemoPointer(bytes, 10), &text);
  }
  return 0;
}
