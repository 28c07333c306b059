#include "platform/xbase/cdx_check.h"

#include <cstdio>
#include <map>
#include <set>

#include "platform/xbase/cdx_tree.h"

namespace sdx::xbase {
namespace {

constexpr int kMaxDepth = 32;

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

// Walks one tree depth first, checking each page against its parent and collecting the pages
// of every level in key order for the sibling check.
class TreeChecker {
 public:
  TreeChecker(CdxFile* file, const std::string& what, uint32_t header_offset, uint8_t fill,
              bool unique, std::set<uint32_t>* used)
      : file_(file),
        what_(what),
        header_offset_(header_offset),
        fill_(fill),
        unique_(unique),
        used_(used) {}

  Status Run(uint64_t* count, std::vector<CdxEntry>* all) {
    std::shared_ptr<const CdxHeader> header;
    Status s = file_->ReadHeader(header_offset_, &header);
    if (!s.ok()) return Fail(header_offset_, s.message());
    key_length_ = header->key_length;
    all_ = all;
    for (uint32_t page : {header_offset_, header_offset_ + kCdxPageSize}) {
      if (!used_->insert(page).second) {
        return Fail(page, "header page also used elsewhere");
      }
    }
    CdxEntry max;
    s = Visit(header->root, 0, true, &max);
    if (!s.ok()) return s;
    for (size_t depth = 0; depth < levels_.size(); ++depth) {
      const std::vector<std::pair<uint32_t, CdxPage>>& level = levels_[depth];
      for (size_t i = 0; i < level.size(); ++i) {
        const uint32_t want_left = i == 0 ? kCdxNoPage : level[i - 1].first;
        const uint32_t want_right = i + 1 == level.size() ? kCdxNoPage : level[i + 1].first;
        if (level[i].second.left != want_left || level[i].second.right != want_right) {
          return Fail(level[i].first, "sibling links (" + Hex(level[i].second.left) + ", " +
                                          Hex(level[i].second.right) + ") should be (" +
                                          Hex(want_left) + ", " + Hex(want_right) + ")");
        }
      }
    }
    *count = count_;
    return Status::Ok();
  }

 private:
  Status Fail(uint32_t page, const std::string& what) {
    return Status::Error(kCdxErrorCorrupt, what_ + ": page " + Hex(page) + ": " + what);
  }

  Status Visit(uint32_t offset, int depth, bool root, CdxEntry* max) {
    if (depth > kMaxDepth) return Fail(offset, "tree deeper than any index, pointers loop");
    if (!used_->insert(offset).second) return Fail(offset, "page reached twice");
    std::shared_ptr<const CdxPage> page;
    Status s = file_->ReadPage(offset, key_length_, fill_, &page);
    if (!s.ok()) return Fail(offset, s.message());
    if (page->root() != root)
      return Fail(offset, root ? "root without root bit" : "stray root bit");
    if (levels_.size() <= static_cast<size_t>(depth)) levels_.resize(depth + 1);
    levels_[depth].emplace_back(offset, *page);
    if (page->leaf()) {
      if (leaf_depth_ < 0) leaf_depth_ = depth;
      if (leaf_depth_ != depth) return Fail(offset, "leaves at different depths");
      if (page->entries.empty() && !root) return Fail(offset, "empty leaf in the tree");
      for (const CdxEntry& e : page->entries) {
        if (has_last_) {
          const int c = CdxComparePair(last_.key, last_.recno, e.key, e.recno);
          if (c >= 0) return Fail(offset, "keys out of order");
          if (unique_ && last_.key == e.key) return Fail(offset, "duplicate key in unique tag");
        }
        last_ = e;
        has_last_ = true;
        ++count_;
        if (all_ != nullptr) all_->push_back(e);
      }
      if (!page->entries.empty()) *max = page->entries.back();
      return Status::Ok();
    }
    for (const CdxEntry& e : page->entries) {
      CdxEntry child_max;
      s = Visit(e.child, depth + 1, false, &child_max);
      if (!s.ok()) return s;
      if (child_max.key != e.key || child_max.recno != e.recno) {
        return Fail(offset, "interior key differs from the last key of child " + Hex(e.child));
      }
    }
    *max = page->entries.back();
    return Status::Ok();
  }

  CdxFile* file_;
  std::string what_;
  uint32_t header_offset_;
  uint8_t fill_;
  bool unique_;
  std::set<uint32_t>* used_;
  uint32_t key_length_ = 0;
  int leaf_depth_ = -1;
  uint64_t count_ = 0;
  bool has_last_ = false;
  CdxEntry last_;
  std::vector<CdxEntry>* all_ = nullptr;
  std::vector<std::vector<std::pair<uint32_t, CdxPage>>> levels_;
};

Status CheckRecords(CdxTag* tag, const std::vector<CdxEntry>& entries,
                    const CdxRecordSource& source, std::vector<std::string>* notes) {
  const std::string what = "tag " + tag->name();
  const uint32_t records = source.RecordCount();
  std::map<uint32_t, std::vector<const CdxEntry*>> by_record;
  std::map<std::string, uint32_t> owner;
  for (const CdxEntry& e : entries) {
    if (e.recno == 0 || e.recno > records) {
      return Status::Error(kCdxErrorCorrupt, what + ": entry for record " +
                                                 std::to_string(e.recno) + ", beyond the table's " +
                                                 std::to_string(records));
    }
    by_record[e.recno].push_back(&e);
    owner.emplace(e.key, e.recno);
  }
  for (uint32_t recno = 1; recno <= records; ++recno) {
    std::string key;
    bool in_tag = false;
    Status s = source.KeyFor(*tag, recno, &key, &in_tag);
    if (!s.ok()) return s;
    const auto it = by_record.find(recno);
    const size_t held = it == by_record.end() ? 0 : it->second.size();
    const std::string rec = what + ": record " + std::to_string(recno);
    if (!in_tag) {
      if (held != 0)
        return Status::Error(kCdxErrorCorrupt, rec + " is in the tag; its FOR is false");
      continue;
    }
    if (held > 1) return Status::Error(kCdxErrorCorrupt, rec + " has several entries");
    if (held == 1) {
      if (it->second[0]->key != key) {
        return Status::Error(kCdxErrorCorrupt, rec + " is filed under a key it does not have");
      }
      continue;
    }
    if (!tag->unique()) return Status::Error(kCdxErrorCorrupt, rec + " is missing from the tag");
    if (owner.count(key) == 0) {
      notes->push_back(rec +
                       ": its key has no entry (the record that held it left the tag; a "
                       "rebuild puts this one in)");
    }
  }
  return Status::Ok();
}

}  // namespace

Status CheckCdxTag(CdxTag* tag, const CdxRecordSource* source, std::vector<std::string>* notes,
                   uint64_t* entries) {
  std::vector<CdxEntry> all;
  uint64_t count = 0;
  Status s = tag->file()->Read([&] {
    all.clear();
    std::set<uint32_t> used;
    TreeChecker checker(tag->file(), "tag " + tag->name(), tag->info().header_offset,
                        CdxFillByte(tag->key_type()), tag->unique(), &used);
    return checker.Run(&count, source != nullptr ? &all : nullptr);
  });
  if (!s.ok()) return s;
  if (entries != nullptr) *entries = count;
  if (source == nullptr) return Status::Ok();
  return CheckRecords(tag, all, *source, notes);
}

Status CheckCdxFile(CdxFile* file, const std::function<CdxKeyType(const CdxTagInfo&)>& key_type) {
  std::vector<CdxTagInfo> tags;
  Status s = file->ListTags(&tags);
  if (!s.ok()) return s;
  return file->Read([&] {
    std::set<uint32_t> used;
    uint64_t count = 0;
    Status r = TreeChecker(file, "tag directory", 0, ' ', true, &used).Run(&count, nullptr);
    for (size_t i = 0; r.ok() && i < tags.size(); ++i) {
      r = TreeChecker(file, "tag " + tags[i].name, tags[i].header_offset,
                      CdxFillByte(key_type(tags[i])), tags[i].header.unique(), &used)
              .Run(&count, nullptr);
    }
    if (!r.ok()) return r;
    uint32_t page = file->free_list();
    for (uint64_t hops = 0; page != 0 && page != kCdxNoPage; ++hops) {
      if (page % kCdxPageSize != 0 || page < kCdxHeaderSize ||
          uint64_t{page} + kCdxPageSize > file->file_size()) {
        return Status::Error(kCdxErrorCorrupt,
                             "free list: page " + Hex(page) + " outside the file");
      }
      if (!used.insert(page).second) {
        return Status::Error(kCdxErrorCorrupt,
                             "free list: page " + Hex(page) + " is in use or listed twice");
      }
      uint8_t link[4];
      r = file->ReadRaw(page, link, sizeof link);
      if (!r.ok()) return r;
      page = uint32_t{link[0]} | (uint32_t{link[1]} << 8) | (uint32_t{link[2]} << 16) |
             (uint32_t{link[3]} << 24);
    }
    return Status::Ok();
  });
}

}  // namespace sdx::xbase
