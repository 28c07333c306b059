// Fuzzes the table reader: the input is a DBF file, opened beside a small valid memo file and
// walked record by record with every field read (memos included) through the engine calls.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/xbase/engine_calls.h"
#include "platform/xbase/memo_file.h"
#include "platform/xbase/os_file.h"

namespace {

// A folder of our own with a small valid memo file beside the table the fuzzer rewrites, and
// the engine context; removed when the run ends.
struct Folder {
  Folder() {
    char pattern[] = "/tmp/dbf-read-fuzz-XXXXXX";
    path = ::mkdtemp(pattern);
    std::unique_ptr<sdx::xbase::MemoFile> memo;
    sdx::xbase::MemoFile::Create(path + "/t.fpt", 64, &memo);
    uint32_t block = 0;
    memo->Write("first memo", &block);
    memo->Write(std::string(200, 'm'), &block);
    code4initLow(&code, nullptr, 6502, 1615, 0);
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
  CODE4 code;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static Folder folder;
  const std::string table = folder.path + "/t.dbf";
  {
    sdx::xbase::OsFile file;
    if (!file.Open(table, sdx::xbase::OsFile::Mode::kCreateTruncate).ok()) return 0;
    file.WriteAt(0, bytes, size);
  }
  DATA4* data = d4open(&folder.code, table.c_str());
  if (data == nullptr) return 0;
  const short fields = d4numFields(data);
  long steps = 0;
  for (int rc = d4top(data); rc == 0 && steps < 100000; rc = d4skip(data, 1), ++steps) {
    for (short j = 1; j <= fields; ++j) {
      FIELD4* field = d4fieldJ(data, j);
      volatile double d = f4double(field);
      volatile long l = f4long(field);
      volatile unsigned long n = f4memoLen(field);
      (void)d;
      (void)l;
      (void)n;
      f4str(field);
    }
  }
  d4bottom(data);
  d4skip(data, -1);
  d4close(data);
  return 0;
}
