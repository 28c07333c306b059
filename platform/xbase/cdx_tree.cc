#include "platform/xbase/cdx_tree.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <set>
#include <string_view>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_key.h"

namespace sdx::xbase {
namespace {

// No real tree is this deep (two entries per interior page would need 2^32 keys); a deeper
// descent means the child pointers loop.
constexpr int kMaxDepth = 32;

Status Corrupt(const std::string& what) {
  return Status::Error(kCdxErrorCorrupt, "index tree: " + what);
}

bool Satisfies(const CdxEntry& e, const CdxTarget& t) {
  int c = 0;
  if (t.exact_recno) {
    c = CdxComparePair(e.key, e.recno, t.key, t.recno);
  } else {
    c = CdxCompareKeys(std::string_view(e.key).substr(0, t.key.size()), t.key);
  }
  return t.after ? c > 0 : c >= 0;
}

bool SameMax(const CdxEntry& a, const CdxEntry& b) { return a.key == b.key && a.recno == b.recno; }

CdxEntry MaxOf(const CdxPage& page, uint32_t offset) {
  CdxEntry e = page.entries.back();
  e.child = offset;
  return e;
}

// A build entry while sorting: the key's first 8 * W bytes as big-endian words (zeros past a
// shorter key), its record number, and where it came from. Short keys fit one word; three
// words settle nearly every comparison of long character keys, which share long leads.
template <size_t W>
struct BuildItem {
  uint64_t words[W];
  uint32_t recno;
  uint32_t index;
};

uint64_t KeyWord(const std::string& key, size_t from) {
  if (from + 8 <= key.size()) {
    uint64_t word;
    std::memcpy(&word, key.data() + from, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
  }
  uint64_t word = 0;
  for (size_t b = from; b < from + 8; ++b) {
    word = (word << 8) | (b < key.size() ? static_cast<uint8_t>(key[b]) : 0);
  }
  return word;
}

// Sorts by the words a byte at a time, least significant first; stable, so items with equal
// words keep their order. One pass counts every byte's values; bytes that are the same in
// every item take no pass. A byte's 256 buckets keep the scattered writes within what the
// caches hold.
template <size_t W>
void RadixSortByWords(std::vector<BuildItem<W>>* items) {
  if (items->empty()) return;
  constexpr size_t kBytes = 8 * W;
  auto digit = [](const BuildItem<W>& it, size_t byte) {
    return (it.words[W - 1 - byte / 8] >> (8 * (byte % 8))) & 0xFF;
  };
  std::vector<std::array<size_t, 256>> counts(kBytes);
  for (const BuildItem<W>& it : *items) {
    for (size_t byte = 0; byte < kBytes; ++byte) ++counts[byte][digit(it, byte)];
  }
  std::vector<BuildItem<W>> spare(items->size());
  for (size_t byte = 0; byte < kBytes; ++byte) {
    std::array<size_t, 256>& starts = counts[byte];
    if (starts[digit(items->front(), byte)] == items->size()) continue;
    size_t sum = 0;
    for (size_t& start : starts) {
      const size_t n = start;
      start = sum;
      sum += n;
    }
    for (const BuildItem<W>& it : *items) spare[starts[digit(it, byte)]++] = it;
    items->swap(spare);
  }
}

// Sorting small records holding each key's first bytes settles most comparisons without
// touching the keys' strings, which lie scattered over the heap.
template <size_t W>
void SortEntries(uint32_t key_length, bool unique, std::vector<CdxEntry>* entries) {
  constexpr size_t kWordBytes = 8 * W;
  std::vector<BuildItem<W>> items(entries->size());
  bool by_recno = true;
  for (size_t i = 0; i < items.size(); ++i) {
    const CdxEntry& e = (*entries)[i];
    BuildItem<W>& item = items[i];
    for (size_t w = 0; w < W; ++w) item.words[w] = KeyWord(e.key, 8 * w);
    item.recno = e.recno;
    item.index = static_cast<uint32_t>(i);
    by_recno = by_recno && (i == 0 || items[i - 1].recno < item.recno);
  }
  const size_t tail_length = key_length > kWordBytes ? key_length - kWordBytes : 0;
  auto compare_keys = [&](const BuildItem<W>& a, const BuildItem<W>& b) {
    for (size_t w = 0; w < W; ++w) {
      if (a.words[w] != b.words[w]) return a.words[w] < b.words[w] ? -1 : 1;
    }
    if (tail_length == 0) return 0;
    return std::memcmp((*entries)[a.index].key.data() + kWordBytes,
                       (*entries)[b.index].key.data() + kWordBytes, tail_length);
  };
  if (tail_length == 0 && by_recno) {
    // Rows read in record order: a stable sort by key alone leaves equal keys in that order.
    RadixSortByWords(&items);
  } else {
    std::sort(items.begin(), items.end(), [&](const BuildItem<W>& a, const BuildItem<W>& b) {
      const int c = compare_keys(a, b);
      return c != 0 ? c < 0 : a.recno < b.recno;
    });
  }
  // Of equal pairs one stays, and of a unique tag's equal keys the lowest record number.
  if (tail_length == 0) {
    // The items hold whole keys, so the entries are rewritten in place, front to back.
    size_t kept = 0;
    char key[kWordBytes];
    for (size_t i = 0; i < items.size(); ++i) {
      const BuildItem<W>& item = items[i];
      if (i > 0 && compare_keys(items[i - 1], item) == 0 &&
          (unique || items[i - 1].recno == item.recno)) {
        continue;
      }
      for (size_t b = 0; b < key_length; ++b) {
        key[b] = static_cast<char>(item.words[b / 8] >> (56 - 8 * (b % 8)));
      }
      CdxEntry& e = (*entries)[kept++];
      e.key.assign(key, key_length);
      e.recno = item.recno;
      e.child = 0;
    }
    entries->resize(kept);
    return;
  }
  // Repeats are marked before any entry is moved out, mostly from the items alone.
  std::vector<bool> repeated(items.size());
  for (size_t i = 1; i < items.size(); ++i) {
    repeated[i] = compare_keys(items[i - 1], items[i]) == 0 &&
                  (unique || items[i - 1].recno == items[i].recno);
  }
  std::vector<CdxEntry> sorted;
  sorted.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    if (!repeated[i]) sorted.push_back(std::move((*entries)[items[i].index]));
  }
  *entries = std::move(sorted);
}

}  // namespace

Status CdxTree::Root(uint32_t* root) {
  std::shared_ptr<const CdxHeader> header;
  Status s = file_->ReadHeader(header_offset_, &header);
  if (!s.ok()) return s;
  key_length_ = header->key_length;
  *root = header->root;
  return Status::Ok();
}

Status CdxTree::Load(uint32_t offset, std::shared_ptr<const CdxPage>* page) {
  return file_->ReadPage(offset, key_length_, fill_, page);
}

Status CdxTree::Descend(const CdxTarget& target, bool rightmost, CdxPosition* pos) {
  *pos = CdxPosition();
  uint32_t offset = 0;
  Status s = Root(&offset);
  if (!s.ok()) return s;
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth) return Corrupt("child pointers loop");
    std::shared_ptr<const CdxPage> page;
    s = Load(offset, &page);
    if (!s.ok()) return s;
    const auto& entries = page->entries;
    size_t i = 0;
    if (rightmost) {
      i = entries.empty() ? 0 : entries.size() - 1;
    } else if (!target.key.empty() || target.exact_recno) {
      // Entries are in order (decoding checks it), so whether they satisfy the target only
      // turns from false to true once.
      i = static_cast<size_t>(
          std::partition_point(entries.begin(), entries.end(),
                               [&](const CdxEntry& e) { return !Satisfies(e, target); }) -
          entries.begin());
    }
    if (page->leaf()) {
      pos->page = offset;
      pos->leaf = page;
      pos->index = i;
      if (entries.empty()) return SkipEmpty(pos, !rightmost);
      if (i < entries.size()) return Status::Ok();
      // A stale interior key: the wanted entry can only be further right.
      pos->index = entries.size() - 1;
      s = Next(pos);
      if (!s.ok() || !pos->valid() || Satisfies(pos->entry(), target)) return s;
      return Corrupt("interior key above its subtree");
    }
    if (i == entries.size()) return Status::Ok();  // beyond the last key
    offset = entries[i].child;
  }
}

Status CdxTree::First(CdxPosition* pos) { return Descend(CdxTarget(), false, pos); }
Status CdxTree::Last(CdxPosition* pos) { return Descend(CdxTarget(), true, pos); }
Status CdxTree::Seek(const CdxTarget& target, CdxPosition* pos) {
  return Descend(target, false, pos);
}

// Moves from an empty leaf to the nearest entry in the direction given.
Status CdxTree::SkipEmpty(CdxPosition* pos, bool forward) {
  const uint64_t max_hops = file_->file_size() / kCdxPageSize + 1;
  for (uint64_t hop = 0; pos->leaf && pos->leaf->entries.empty(); ++hop) {
    if (hop > max_hops) return Corrupt("sibling pointers loop");
    const uint32_t next = forward ? pos->leaf->right : pos->leaf->left;
    if (next == kCdxNoPage) {
      *pos = CdxPosition();
      return Status::Ok();
    }
    std::shared_ptr<const CdxPage> page;
    Status s = Load(next, &page);
    if (!s.ok()) return s;
    if (!page->leaf() || (forward ? page->left : page->right) != pos->page) {
      return Corrupt("sibling links disagree");
    }
    pos->page = next;
    pos->leaf = page;
    pos->index = forward ? 0 : page->entries.size() - 1;
  }
  return Status::Ok();
}

Status CdxTree::Next(CdxPosition* pos) {
  if (!pos->valid()) return Status::Ok();
  if (pos->index + 1 < pos->leaf->entries.size()) {
    ++pos->index;
    return Status::Ok();
  }
  const CdxEntry last = pos->entry();
  pos->index = pos->leaf->entries.size();
  CdxPosition probe = *pos;
  probe.leaf = std::make_shared<CdxPage>(
      CdxPage{pos->leaf->attributes, pos->leaf->left, pos->leaf->right, {}});
  Status s = SkipEmpty(&probe, true);
  if (!s.ok()) return s;
  if (probe.valid() &&
      CdxComparePair(last.key, last.recno, probe.entry().key, probe.entry().recno) >= 0) {
    return Corrupt("keys out of order across leaves");
  }
  *pos = probe;
  return Status::Ok();
}

Status CdxTree::Prev(CdxPosition* pos) {
  if (!pos->valid()) return Status::Ok();
  if (pos->index > 0) {
    --pos->index;
    return Status::Ok();
  }
  const CdxEntry first = pos->entry();
  CdxPosition probe = *pos;
  probe.leaf = std::make_shared<CdxPage>(
      CdxPage{pos->leaf->attributes, pos->leaf->left, pos->leaf->right, {}});
  Status s = SkipEmpty(&probe, false);
  if (!s.ok()) return s;
  if (probe.valid() &&
      CdxComparePair(probe.entry().key, probe.entry().recno, first.key, first.recno) >= 0) {
    return Corrupt("keys out of order across leaves");
  }
  *pos = probe;
  return Status::Ok();
}

Status CdxTree::PathTo(const std::string& key, uint32_t recno, std::vector<Level>* path) {
  path->clear();
  uint32_t offset = 0;
  Status s = Root(&offset);
  if (!s.ok()) return s;
  if (key.size() != key_length_) {
    return Status::Error(kCdxErrorCorrupt, "key length differs from the tag's");
  }
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth) return Corrupt("child pointers loop");
    std::shared_ptr<const CdxPage> page;
    s = Load(offset, &page);
    if (!s.ok()) return s;
    Level level;
    level.offset = offset;
    level.page = *page;
    if (page->leaf()) {
      path->push_back(std::move(level));
      return Status::Ok();
    }
    size_t i = 0;
    while (i + 1 < page->entries.size() &&
           CdxComparePair(page->entries[i].key, page->entries[i].recno, key, recno) < 0) {
      ++i;
    }
    level.index = i;
    offset = page->entries[i].child;
    path->push_back(std::move(level));
  }
}

Status CdxTree::Relink(uint32_t offset, bool set_right, uint32_t target) {
  std::shared_ptr<const CdxPage> page;
  Status s = Load(offset, &page);
  if (!s.ok()) return s;
  CdxPage copy = *page;
  (set_right ? copy.right : copy.left) = target;
  return file_->WritePage(offset, copy, key_length_, fill_);
}

Status CdxTree::Insert(const std::string& key, uint32_t recno) {
  std::vector<Level> path;
  Status s = PathTo(key, recno, &path);
  if (!s.ok()) return s;
  auto& entries = path.back().page.entries;
  size_t i = 0;
  while (i < entries.size() && CdxComparePair(entries[i].key, entries[i].recno, key, recno) < 0) {
    ++i;
  }
  if (i < entries.size() && entries[i].recno == recno && entries[i].key == key) return s;
  entries.insert(entries.begin() + i, CdxEntry{key, recno, 0});
  return Grow(&path, path.size() - 1);
}

// Writes a grown page; one that no longer fits is split, its lower half going to a new page on
// its left, so that the parent's entry for it stays right and only one entry is added above.
Status CdxTree::Grow(std::vector<Level>* path, size_t level) {
  Level& lv = (*path)[level];
  CdxPage& page = lv.page;
  Status s;
  if (CdxPageFits(page, key_length_, fill_)) {
    s = file_->WritePage(lv.offset, page, key_length_, fill_);
    if (!s.ok() || level == 0) return s;
    Level& parent = (*path)[level - 1];
    CdxEntry& above = parent.page.entries[parent.index];
    if (SameMax(above, page.entries.back())) return s;
    above = MaxOf(page, lv.offset);
    return Grow(path, level - 1);
  }
  // Halves, except on the rightmost page of a level: keys that only ever grow (record ids,
  // times) arrive there, and leaving the left page full keeps such a tree dense.
  const size_t n = page.entries.size();
  size_t split = page.right == kCdxNoPage ? n - 1 : n / 2;
  if (page.leaf()) {
    auto fits = [&](size_t m) {
      return CdxLeafBytes(page.entries.data(), m, key_length_, fill_) <= 488 &&
             CdxLeafBytes(page.entries.data() + m, n - m, key_length_, fill_) <= 488;
    };
    size_t delta = 0;
    while (delta < n && !(split + delta < n && fits(split + delta)) &&
           !(split > delta && fits(split - delta))) {
      ++delta;
    }
    if (delta == n) return Corrupt("no split point fits");
    split = (split + delta < n && fits(split + delta)) ? split + delta : split - delta;
  }
  uint32_t new_offset = 0;
  s = file_->AllocatePage(&new_offset);
  if (!s.ok()) return s;
  CdxPage left;
  left.attributes = page.attributes & ~kCdxAttrRoot;
  left.left = page.left;
  left.right = lv.offset;
  left.entries.assign(page.entries.begin(), page.entries.begin() + split);
  page.entries.erase(page.entries.begin(), page.entries.begin() + split);
  page.attributes &= ~kCdxAttrRoot;
  page.left = new_offset;
  if (left.left != kCdxNoPage) {
    s = Relink(left.left, true, new_offset);
    if (!s.ok()) return s;
  }
  s = file_->WritePage(new_offset, left, key_length_, fill_);
  if (s.ok()) s = file_->WritePage(lv.offset, page, key_length_, fill_);
  if (!s.ok()) return s;
  if (level == 0) {
    uint32_t root_offset = 0;
    s = file_->AllocatePage(&root_offset);
    if (!s.ok()) return s;
    CdxPage root;
    root.attributes = kCdxAttrRoot;
    root.entries = {MaxOf(left, new_offset), MaxOf(page, lv.offset)};
    s = file_->WritePage(root_offset, root, key_length_, fill_);
    if (!s.ok()) return s;
    return file_->SetRoot(header_offset_, root_offset);
  }
  Level& parent = (*path)[level - 1];
  parent.page.entries[parent.index] = MaxOf(page, lv.offset);
  parent.page.entries.insert(parent.page.entries.begin() + parent.index, MaxOf(left, new_offset));
  return Grow(path, level - 1);
}

Status CdxTree::Remove(const std::string& key, uint32_t recno, bool* removed) {
  *removed = false;
  std::vector<Level> path;
  Status s = PathTo(key, recno, &path);
  if (!s.ok()) return s;
  auto& entries = path.back().page.entries;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].recno == recno && entries[i].key == key) {
      entries.erase(entries.begin() + i);
      *removed = true;
      return Shrink(&path, path.size() - 1);
    }
  }
  return s;
}

// Writes a page that lost an entry: an empty page leaves the tree, a page that fits into a
// neighbour under the same parent is merged into it, and a root with one child hands the root
// over, so that the tree stays as shallow and as dense as its keys need.
Status CdxTree::Shrink(std::vector<Level>* path, size_t level) {
  Level& lv = (*path)[level];
  CdxPage& page = lv.page;
  Status s;
  if (level == 0) {
    if (!page.leaf() && page.entries.size() == 1) return CollapseRoot(lv.offset, page);
    if (!page.leaf() && page.entries.empty()) {
      page.attributes = kCdxAttrRoot | kCdxAttrLeaf;
      page.left = page.right = kCdxNoPage;
    }
    return file_->WritePage(lv.offset, page, key_length_, fill_);
  }
  Level& parent = (*path)[level - 1];
  auto& above = parent.page.entries;
  if (page.entries.empty()) {
    if (page.left != kCdxNoPage) s = Relink(page.left, true, page.right);
    if (s.ok() && page.right != kCdxNoPage) s = Relink(page.right, false, page.left);
    if (s.ok()) s = file_->FreePage(lv.offset);
    if (!s.ok()) return s;
    above.erase(above.begin() + parent.index);
    return Shrink(path, level - 1);
  }
  // Moves `first`'s entries to the front of `second` when all of them fit one page.
  auto try_merge = [&](const CdxPage& first, CdxPage* second) {
    CdxPage merged = *second;
    merged.entries = first.entries;
    merged.entries.insert(merged.entries.end(), second->entries.begin(), second->entries.end());
    if (!CdxPageFits(merged, key_length_, fill_)) return false;
    *second = std::move(merged);
    second->left = first.left;
    return true;
  };
  for (int side = 0; side < 2; ++side) {
    const bool with_left = side == 0;
    if (with_left ? parent.index == 0 : parent.index + 1 >= above.size()) continue;
    const uint32_t other_offset = above[with_left ? parent.index - 1 : parent.index + 1].child;
    if (other_offset != (with_left ? page.left : page.right)) continue;
    std::shared_ptr<const CdxPage> other_page;
    s = Load(other_offset, &other_page);
    if (!s.ok()) return s;
    CdxPage other = *other_page;
    // The right one of the pair survives: the parent's key for it already covers both.
    CdxPage* first = with_left ? &other : &page;
    CdxPage* second = with_left ? &page : &other;
    const size_t first_index = with_left ? parent.index - 1 : parent.index;
    if (!try_merge(*first, second)) continue;
    const uint32_t first_offset = with_left ? other_offset : lv.offset;
    const uint32_t second_offset = with_left ? lv.offset : other_offset;
    if (second->left != kCdxNoPage) s = Relink(second->left, true, second_offset);
    if (s.ok()) s = file_->FreePage(first_offset);
    if (s.ok()) s = file_->WritePage(second_offset, *second, key_length_, fill_);
    if (!s.ok()) return s;
    above.erase(above.begin() + first_index);
    above[first_index] = MaxOf(*second, second_offset);
    parent.index = first_index;
    return Shrink(path, level - 1);
  }
  s = file_->WritePage(lv.offset, page, key_length_, fill_);
  if (!s.ok() || SameMax(above[parent.index], page.entries.back())) return s;
  above[parent.index] = MaxOf(page, lv.offset);
  return Shrink(path, level - 1);
}

Status CdxTree::CollapseRoot(uint32_t root, CdxPage page) {
  for (int depth = 0; !page.leaf() && page.entries.size() == 1; ++depth) {
    if (depth > kMaxDepth) return Corrupt("child pointers loop");
    const uint32_t child_offset = page.entries[0].child;
    std::shared_ptr<const CdxPage> child;
    Status s = Load(child_offset, &child);
    if (!s.ok()) return s;
    page = *child;
    page.attributes |= kCdxAttrRoot;
    page.left = page.right = kCdxNoPage;
    s = file_->WritePage(child_offset, page, key_length_, fill_);
    if (s.ok()) s = file_->SetRoot(header_offset_, child_offset);
    if (s.ok()) s = file_->FreePage(root);
    if (!s.ok()) return s;
    root = child_offset;
  }
  return Status::Ok();
}

Status CdxTree::CollectPages(std::vector<uint32_t>* pages) {
  pages->clear();
  uint32_t root = 0;
  Status s = Root(&root);
  if (!s.ok()) return s;
  std::set<uint32_t> seen;
  std::vector<uint32_t> todo = {root};
  while (!todo.empty()) {
    const uint32_t offset = todo.back();
    todo.pop_back();
    if (!seen.insert(offset).second) return Corrupt("a page is reached twice");
    std::shared_ptr<const CdxPage> page;
    s = Load(offset, &page);
    if (!s.ok()) return s;
    pages->push_back(offset);
    if (page->leaf()) continue;
    for (const CdxEntry& e : page->entries) todo.push_back(e.child);
  }
  return Status::Ok();
}

void CdxTree::SortForBuild(uint32_t key_length, bool unique, std::vector<CdxEntry>* entries) {
  if (key_length <= 8) {
    SortEntries<1>(key_length, unique, entries);
  } else {
    SortEntries<3>(key_length, unique, entries);
  }
}

Status CdxTree::Build(const CdxPageSink& sink, uint32_t key_length, uint8_t fill,
                      const std::vector<CdxEntry>& sorted, uint32_t* root) {
  // A leaf is a run of `sorted`, encoded straight from it; an interior page holds its entries.
  struct Built {
    uint32_t offset = 0;
    size_t first = 0;
    size_t count = 0;
    CdxPage page;
  };
  std::vector<Built> level;
  // Leaves as full as the compression allows, left to right.
  for (size_t i = 0; i < sorted.size() || level.empty();) {
    Built b;
    b.first = i;
    b.count = CdxLeafFill(sorted.data() + i, sorted.size() - i, key_length, fill);
    if (b.count == 0 && i < sorted.size()) return Corrupt("a key does not fit a leaf");
    level.push_back(std::move(b));
    i += level.back().count;
  }
  const size_t capacity = CdxInteriorCapacity(key_length);
  uint8_t bytes[kCdxPageSize];
  for (bool leaves = true;; leaves = false) {
    for (Built& b : level) {
      Status s = sink.allocate(&b.offset);
      if (!s.ok()) return s;
    }
    for (size_t i = 0; i < level.size(); ++i) {
      CdxPage& p = level[i].page;
      p.attributes = (leaves ? kCdxAttrLeaf : 0) | (level.size() == 1 ? kCdxAttrRoot : 0);
      p.left = i == 0 ? kCdxNoPage : level[i - 1].offset;
      p.right = i + 1 == level.size() ? kCdxNoPage : level[i + 1].offset;
      Status s = leaves ? EncodeCdxLeaf(sorted.data() + level[i].first, level[i].count,
                                        p.attributes, p.left, p.right, key_length, fill, bytes)
                        : EncodeCdxPage(p, key_length, fill, bytes);
      if (s.ok()) s = sink.write(level[i].offset, bytes);
      if (!s.ok()) return s;
    }
    if (level.size() == 1) {
      *root = level[0].offset;
      return Status::Ok();
    }
    std::vector<Built> above;
    for (size_t i = 0; i < level.size(); i += capacity) {
      Built b;
      for (size_t j = i; j < level.size() && j < i + capacity; ++j) {
        const Built& below = level[j];
        if (leaves) {
          CdxEntry last = sorted[below.first + below.count - 1];
          last.child = below.offset;
          b.page.entries.push_back(std::move(last));
        } else {
          b.page.entries.push_back(MaxOf(below.page, below.offset));
        }
      }
      above.push_back(std::move(b));
    }
    level = std::move(above);
  }
}

}  // namespace sdx::xbase
