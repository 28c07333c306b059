// The decoded pages of one index file, bounded in number. A full cache gives up a page chosen
// at random: seeks with random keys want every leaf about as much as any other, so no order of
// eviction does better for them, and unlike evicting the oldest or the newest, a random choice
// neither empties the cache of one tag when another is used nor pins pages that stopped being
// used. Interior pages, touched by every seek, come straight back. Owned by a CdxFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/xbase/cdx_page.h"

namespace sdx::xbase {

class CdxPageCache {
 public:
  explicit CdxPageCache(size_t capacity);

  // The cached page at `offset`, or null.
  const std::shared_ptr<const CdxPage>* Find(uint32_t offset) const {
    auto it = index_.find(offset);
    return it == index_.end() ? nullptr : &slots_[it->second].page;
  }
  void Put(uint32_t offset, std::shared_ptr<const CdxPage> page);
  void Erase(uint32_t offset);
  void Clear();
  size_t size() const { return slots_.size(); }

 private:
  struct Slot {
    uint32_t offset;
    std::shared_ptr<const CdxPage> page;
  };

  size_t capacity_;
  std::vector<Slot> slots_;
  std::unordered_map<uint32_t, size_t> index_;  // offset -> its slot
  uint64_t random_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace sdx::xbase
