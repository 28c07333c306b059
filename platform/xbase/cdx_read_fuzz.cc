// Feeds arbitrary bytes to the index reader as a CDX file: listing tags, walking them both
// ways, seeking and checking must end with a result, never a crash or a hang.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/cdx_check.h"
#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"

namespace {

using sdx::xbase::CdxCursor;
using sdx::xbase::CdxFile;
using sdx::xbase::CdxKeyType;
using sdx::xbase::CdxTag;
using sdx::xbase::CdxTagInfo;

constexpr int kMaxSteps = 5000;

void Walk(CdxTag* tag) {
  CdxCursor cursor(tag);
  int steps = 0;
  for (auto s = cursor.First(); s.ok() && cursor.valid() && steps < kMaxSteps; s = cursor.Next()) {
    ++steps;
  }
  for (auto s = cursor.Last(); s.ok() && cursor.valid() && steps < 2 * kMaxSteps;
       s = cursor.Prev()) {
    ++steps;
  }
  for (const char* key : {"", "A", "\x80", "\xFF\xFF\xFF\xFF"}) {
    bool exact = false;
    if (cursor.Seek(key, &exact).ok() && cursor.valid()) cursor.Next();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("cdx", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    std::unique_ptr<CdxFile> file;
    if (CdxFile::Open("/proc/self/fd/" + std::to_string(fd), false, &file).ok()) {
      file->set_read_attempts(1);
      std::vector<CdxTagInfo> tags;
      if (file->ListTags(&tags).ok()) {
        for (size_t i = 0; i < tags.size() && i < 8; ++i) {
          for (CdxKeyType type : {CdxKeyType::kCharacter, CdxKeyType::kNumeric}) {
            std::unique_ptr<CdxTag> tag;
            if (!file->OpenTag(tags[i].name, type, &tag).ok()) continue;
            Walk(tag.get());
            std::vector<std::string> notes;
            sdx::xbase::CheckCdxTag(tag.get(), nullptr, &notes);
          }
        }
        sdx::xbase::CheckCdxFile(file.get(),
                                 [](const CdxTagInfo&) { return CdxKeyType::kCharacter; });
      }
    }
  }
  close(fd);
  return 0;
}
