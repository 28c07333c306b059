// One 512-byte page of a CDX tree, decoded: the interior pages with full keys and child
// offsets, and the compressed leaves with their per-page bit widths. Decoding checks
// everything a torn or corrupt page can get wrong; encoding writes leaves the way Visual
// FoxPro 9 does. Used by the index file, its cursors, the writer and the checker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/xbase/status.h"

namespace sdx::xbase {

constexpr uint32_t kCdxPageSize = 512;
constexpr uint32_t kCdxNoPage = 0xFFFFFFFF;
constexpr uint32_t kCdxMaxKeyLength = 240;
// The engine's codes for index trouble: a file or page that cannot be what it claims, and a
// key refused by a unique tag, and a tag name the index does not hold.
constexpr int kCdxErrorCorrupt = -310;
constexpr int kCdxErrorUnique = -340;
constexpr int kCdxErrorTagName = -330;

constexpr uint16_t kCdxAttrRoot = 0x01;
constexpr uint16_t kCdxAttrLeaf = 0x02;

struct CdxEntry {
  std::string key;     // always the tag's full key length
  uint32_t recno = 0;  // record number (the tag directory: a tag header offset)
  uint32_t child = 0;  // interior pages only: the child page's offset
};

struct CdxPage {
  uint16_t attributes = kCdxAttrLeaf;
  uint32_t left = kCdxNoPage;
  uint32_t right = kCdxNoPage;
  std::vector<CdxEntry> entries;

  bool leaf() const { return (attributes & kCdxAttrLeaf) != 0; }
  bool root() const { return (attributes & kCdxAttrRoot) != 0; }
};

// Entries an interior page holds for a key length.
inline size_t CdxInteriorCapacity(uint32_t key_length) { return 500 / (key_length + 8); }

// Orders (key, recno) pairs as the tree does: keys by unsigned bytes, then record numbers.
int CdxComparePair(const std::string& key_a, uint32_t rec_a, const std::string& key_b,
                   uint32_t rec_b);

// Decodes a page; `file_size` bounds the sibling and child offsets. Any inconsistency (bits,
// counts, stored bytes, order, offsets) is a kCdxErrorCorrupt status naming what is wrong.
Status DecodeCdxPage(const uint8_t* bytes, uint32_t key_length, uint8_t fill, uint64_t file_size,
                     CdxPage* page);

// Bytes of the entry area a leaf with these entries needs (entry array plus stored key bytes);
// it fits when this is at most 488.
size_t CdxLeafBytes(const CdxEntry* entries, size_t count, uint32_t key_length, uint8_t fill);
// How many of `entries`, from the first, one leaf holds: the most for which CdxLeafBytes is at
// most 488. Linear in the entries it takes, for filling leaves one after another.
size_t CdxLeafFill(const CdxEntry* entries, size_t count, uint32_t key_length, uint8_t fill);
bool CdxPageFits(const CdxPage& page, uint32_t key_length, uint8_t fill);

// Encodes a page that fits (checked: an error otherwise) into 512 bytes.
Status EncodeCdxPage(const CdxPage& page, uint32_t key_length, uint8_t fill, uint8_t* bytes);

// Encodes a leaf of `count` entries as EncodeCdxPage encodes a page holding them, for writers
// whose entries already lie in one array.
Status EncodeCdxLeaf(const CdxEntry* entries, size_t count, uint16_t attributes, uint32_t left,
                     uint32_t right, uint32_t key_length, uint8_t fill, uint8_t* bytes);

}  // namespace sdx::xbase
