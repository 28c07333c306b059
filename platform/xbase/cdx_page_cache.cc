#include "platform/xbase/cdx_page_cache.h"

#include <utility>

namespace sdx::xbase {

CdxPageCache::CdxPageCache(size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {
  slots_.reserve(capacity_);
  index_.reserve(capacity_);
}

void CdxPageCache::Put(uint32_t offset, std::shared_ptr<const CdxPage> page) {
  auto it = index_.find(offset);
  if (it != index_.end()) {
    slots_[it->second].page = std::move(page);
    return;
  }
  if (slots_.size() < capacity_) {
    index_.emplace(offset, slots_.size());
    slots_.push_back(Slot{offset, std::move(page)});
    return;
  }
  // xorshift64: the choice needs to be spread, not unpredictable.
  random_ ^= random_ << 13;
  random_ ^= random_ >> 7;
  random_ ^= random_ << 17;
  Slot& victim = slots_[random_ % slots_.size()];
  index_.erase(victim.offset);
  index_.emplace(offset, static_cast<size_t>(&victim - slots_.data()));
  victim = Slot{offset, std::move(page)};
}

void CdxPageCache::Erase(uint32_t offset) {
  auto it = index_.find(offset);
  if (it == index_.end()) return;
  const size_t slot = it->second;
  index_.erase(it);
  if (slot + 1 != slots_.size()) {
    slots_[slot] = std::move(slots_.back());
    index_[slots_[slot].offset] = slot;
  }
  slots_.pop_back();
}

void CdxPageCache::Clear() {
  slots_.clear();
  index_.clear();
}

}  // namespace sdx::xbase
