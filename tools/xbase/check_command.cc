// `xbase check FILE`: the production index against its own structure and the table's records.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/xbase/cdx_check.h"
#include "platform/xbase/cdx_record_key.h"
#include "tools/xbase/commands.h"
#include "tools/xbase/indexed_table.h"

namespace sdx::tools {

int RunCheck(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: xbase check FILE\n");
    return kExitUsage;
  }
  IndexedTable t;
  if (!OpenIndexedTable(args[0], true, &t)) return kExitBadFile;
  xbase::ProductionIndex& index = *t.index;
  xbase::Status s = xbase::CheckCdxFile(index.file(), [&](const xbase::CdxTagInfo& info) {
    const TAG4* tag = index.FindTag(info.name);
    return tag != nullptr ? tag->tag->key_type() : xbase::CdxKeyType::kCharacter;
  });
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s: %s\n", index.file()->path().c_str(), s.message().c_str());
    return kExitBadFile;
  }
  uint32_t count = 0;
  s = t.table->ReadRecordCount(&count);
  if (!s.ok()) {
    std::fprintf(stderr, "xbase: %s\n", s.message().c_str());
    return kExitBadFile;
  }
  std::vector<uint8_t> bytes(t.table->record_length());
  auto reader = [&](uint32_t record, xbase::RecordView* view) {
    xbase::Status r = t.table->ReadRecordAhead(record, 1, bytes.data());
    *view = xbase::RecordView{bytes.data(), t.table->record_length(), record};
    return r;
  };
  int faults = 0;
  for (const auto& tag : index.tags()) {
    std::vector<std::string> notes;
    uint64_t entries = 0;
    if (tag->maintained) {
      xbase::CdxExpressionSource source(count, reader, &tag->key,
                                        tag->has_filter ? &tag->filter : nullptr);
      s = xbase::CheckCdxTag(tag->tag.get(), &source, &notes, &entries);
    } else {
      s = xbase::CheckCdxTag(tag->tag.get(), nullptr, &notes, &entries);
      notes.push_back(
          "keys not compared with the records (an expression this engine does not "
          "compute as the file stores it)");
    }
    for (const std::string& note : notes) {
      std::printf("%s: note: %s\n", tag->tag->name().c_str(), note.c_str());
    }
    if (!s.ok()) {
      std::fprintf(stderr, "xbase: tag %s: %s\n", tag->tag->name().c_str(), s.message().c_str());
      ++faults;
      continue;
    }
    std::printf("%s: ok, %llu entries\n", tag->tag->name().c_str(),
                static_cast<unsigned long long>(entries));
  }
  return faults == 0 ? kExitOk : kExitBadFile;
}

}  // namespace sdx::tools
