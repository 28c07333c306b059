// The B+tree of one tag (or of the tag directory): descent, stepping along the leaf level,
// insertion with page splits, removal with merges and page release, and the bottom-up build.
// Keys are stored ascending whatever the tag's order; cursors apply the direction. Used by
// CdxFile, CdxTag, CdxCursor and the checker; every call runs inside CdxFile::Read or an update.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/cdx_page.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class CdxFile;

// A place on the leaf level: an entry of a leaf, or past either end (no leaf).
struct CdxPosition {
  uint32_t page = kCdxNoPage;
  size_t index = 0;
  std::shared_ptr<const CdxPage> leaf;

  bool valid() const { return leaf != nullptr && index < leaf->entries.size(); }
  const CdxEntry& entry() const { return leaf->entries[index]; }
};

// What a seek looks for: the first entry whose key, cut to the length of `key`, is >= `key`
// (or > with `after`); with `exact_recno`, full keys are compared and then record numbers.
struct CdxTarget {
  std::string key;
  bool after = false;
  bool exact_recno = false;
  uint32_t recno = 0;
};

// Where a bulk build puts its tree: `allocate` hands out page offsets in the order the pages
// are laid out, `write` takes one page's encoded bytes.
struct CdxPageSink {
  std::function<Status(uint32_t* offset)> allocate;
  std::function<Status(uint32_t offset, const uint8_t* bytes)> write;
};

class CdxTree {
 public:
  CdxTree(CdxFile* file, uint32_t header_offset, uint8_t fill)
      : file_(file), header_offset_(header_offset), fill_(fill) {}

  Status First(CdxPosition* pos);
  Status Last(CdxPosition* pos);
  Status Seek(const CdxTarget& target, CdxPosition* pos);
  // Step along the leaf level; past the end the position becomes invalid.
  Status Next(CdxPosition* pos);
  Status Prev(CdxPosition* pos);

  // Adds (key, recno); an entry already there is left as it is.
  Status Insert(const std::string& key, uint32_t recno);
  Status Remove(const std::string& key, uint32_t recno, bool* removed);
  // Every page of the tree, for releasing a dropped tag.
  Status CollectPages(std::vector<uint32_t>* pages);

  // Puts entries of `key_length` bytes in the tree's order and drops repeated pairs and, for a
  // unique tag, all but the lowest record number of each key.
  static void SortForBuild(uint32_t key_length, bool unique, std::vector<CdxEntry>* entries);
  // Writes a tree holding `sorted` (ascending, no equal pairs) bottom up; `*root` is its root.
  static Status Build(const CdxPageSink& sink, uint32_t key_length, uint8_t fill,
                      const std::vector<CdxEntry>& sorted, uint32_t* root);

 private:
  struct Level {
    uint32_t offset = 0;
    CdxPage page;
    size_t index = 0;  // interior: the entry descended through
  };

  // Reads the tag header (current: another writer may have moved the root) into key_length_.
  Status Root(uint32_t* root);
  Status Load(uint32_t offset, std::shared_ptr<const CdxPage>* page);
  Status Descend(const CdxTarget& target, bool rightmost, CdxPosition* pos);
  Status SkipEmpty(CdxPosition* pos, bool forward);
  Status PathTo(const std::string& key, uint32_t recno, std::vector<Level>* path);
  Status Grow(std::vector<Level>* path, size_t level);
  Status Shrink(std::vector<Level>* path, size_t level);
  Status Relink(uint32_t offset, bool set_right, uint32_t target);
  Status CollapseRoot(uint32_t root, CdxPage page);

  CdxFile* file_;
  uint32_t header_offset_;
  uint8_t fill_;
  uint32_t key_length_ = 0;
};

}  // namespace sdx::xbase
