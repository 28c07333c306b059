// The three kinds of template tag every page fills: value tags replaced everywhere, the
// insertion point "<cv_nextrow>" before which generated lines go, and the row block
// "<cv_nextrow>" ... "</cv_nextrow>" cut into head, row and tail. Used by all page handlers.
#pragma once

#include <string>
#include <string_view>

namespace sdx {

inline constexpr std::string_view kNextRowTag = "<cv_nextrow>";
inline constexpr std::string_view kNextRowEndTag = "</cv_nextrow>";

// Replaces every occurrence of `tag` (literal, case-sensitive) by `value` in one pass; a value
// that contains the tag is not replaced again. Returns the number of replacements.
size_t ReplaceTag(std::string* page, std::string_view tag, std::string_view value);

// Inserts `lines` immediately before the first `tag`, which stays in the page. Pages collect
// their generated lines first and insert them at once. False when the tag is absent.
bool InsertBeforeTag(std::string* page, std::string_view tag, std::string_view lines);

struct RowBlock {
  std::string head;  // before "<cv_nextrow>"
  std::string row;   // between "<cv_nextrow>" and the first "</cv_nextrow>" after it
  std::string tail;  // after that "</cv_nextrow>"
};

// Cuts `page` at its row block; false (and `block` untouched) when either marker is missing.
bool SplitRowBlock(std::string_view page, RowBlock* block);

}  // namespace sdx
