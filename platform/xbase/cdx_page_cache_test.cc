#include "platform/xbase/cdx_page_cache.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace sdx::xbase {
namespace {

std::shared_ptr<const CdxPage> PageMarked(uint32_t mark) {
  auto page = std::make_shared<CdxPage>();
  page->left = mark;
  return page;
}

// Random puts, replacements and erases against a plain map: whatever the cache still holds is
// the page last put at that offset, it never holds more than its capacity, and an erased or
// cleared offset is gone.
TEST(CdxPageCacheTest, HoldsOnlyCurrentPagesWithinItsCapacity) {
  constexpr size_t kCapacity = 16;
  CdxPageCache cache(kCapacity);
  std::map<uint32_t, uint32_t> model;  // offset -> mark of the page last put there
  std::mt19937 random(7);
  for (uint32_t step = 1; step <= 5000; ++step) {
    const uint32_t offset = 512 * (random() % 40);
    switch (random() % 4) {
      case 0:
        cache.Erase(offset);
        model.erase(offset);
        break;
      default:
        cache.Put(offset, PageMarked(step));
        model[offset] = step;
        break;
    }
    if (step % 1000 == 0) {
      cache.Clear();
      model.clear();
    }
    ASSERT_LE(cache.size(), kCapacity);
    size_t held = 0;
    for (uint32_t at = 0; at < 40 * 512; at += 512) {
      const auto* page = cache.Find(at);
      if (page == nullptr) continue;
      ++held;
      ASSERT_TRUE(model.count(at)) << "offset " << at << " at step " << step;
      ASSERT_EQ((*page)->left, model[at]) << "offset " << at << " at step " << step;
    }
    ASSERT_EQ(held, cache.size());
  }
}

}  // namespace
}  // namespace sdx::xbase
