#include "frame/page_tags.h"

namespace sdx {

size_t ReplaceTag(std::string* page, std::string_view tag, std::string_view value) {
  if (tag.empty()) return 0;
  size_t found = page->find(tag);
  if (found == std::string::npos) return 0;
  std::string filled;
  filled.reserve(page->size() + value.size());
  size_t copied = 0;
  size_t count = 0;
  while (found != std::string::npos) {
    filled.append(*page, copied, found - copied);
    filled.append(value);
    copied = found + tag.size();
    ++count;
    found = page->find(tag, copied);
  }
  filled.append(*page, copied, std::string::npos);
  page->swap(filled);
  return count;
}

bool InsertBeforeTag(std::string* page, std::string_view tag, std::string_view lines) {
  size_t found = page->find(tag);
  if (found == std::string::npos) return false;
  page->insert(found, lines);
  return true;
}

bool SplitRowBlock(std::string_view page, RowBlock* block) {
  size_t open = page.find(kNextRowTag);
  if (open == std::string_view::npos) return false;
  size_t row_start = open + kNextRowTag.size();
  size_t close = page.find(kNextRowEndTag, row_start);
  if (close == std::string_view::npos) return false;
  block->head.assign(page.substr(0, open));
  block->row.assign(page.substr(row_start, close - row_start));
  block->tail.assign(page.substr(close + kNextRowEndTag.size()));
  return true;
}

}  // namespace sdx
