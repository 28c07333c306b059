#include "platform/xbase/cdx_page.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/xbase/cdx_key.h"

namespace sdx::xbase {
namespace {

constexpr size_t kLeafHeader = 24;
constexpr size_t kLeafArea = kCdxPageSize - kLeafHeader;  // 488
constexpr size_t kInteriorArea = 500;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint32_t Get32Be(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put32Be(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

void PutPageHead(uint16_t attributes, size_t count, uint32_t left, uint32_t right, uint8_t* bytes) {
  Put16(bytes, attributes);
  Put16(bytes + 2, static_cast<uint16_t>(count));
  Put32(bytes + 4, left);
  Put32(bytes + 8, right);
}

int BitLength(uint64_t v) { return static_cast<int>(std::bit_width(v)); }

Status Corrupt(const std::string& what) {
  return Status::Error(kCdxErrorCorrupt, "index page: " + what);
}

uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Both scans below go eight bytes at a time while they can, since long keys are mostly
// shared lead and fill.
size_t TrailCount(const std::string& key, uint8_t fill) {
  const uint64_t fills = 0x0101010101010101ull * fill;
  size_t n = 0;
  while (n + 8 <= key.size() && Load64(key.data() + key.size() - n - 8) == fills) n += 8;
  while (n < key.size() && static_cast<uint8_t>(key[key.size() - 1 - n]) == fill) ++n;
  return n;
}

size_t CommonPrefix(const char* a, const char* b, size_t length) {
  size_t n = 0;
  while (n + 8 <= length && Load64(a + n) == Load64(b + n)) n += 8;
  while (n < length && a[n] == b[n]) ++n;
  return n;
}

// Per-entry compression exactly as Visual FoxPro chooses it: the longest trailing run of fill
// bytes, and a shared prefix that reaches neither into that run nor past the bytes stored
// for the previous key.
struct Packed {
  size_t dup = 0;
  size_t trail = 0;
};

// `prev` is null for a page's first entry.
Packed PackOne(const CdxEntry* prev, size_t prev_trail, const CdxEntry& cur, uint32_t key_length,
               uint8_t fill) {
  Packed p;
  p.trail = TrailCount(cur.key, fill);
  if (prev == nullptr) return p;
  const size_t common = CommonPrefix(prev->key.data(), cur.key.data(), key_length);
  p.dup = std::min({common, key_length - p.trail, key_length - prev_trail});
  return p;
}

std::vector<Packed> Pack(const CdxEntry* entries, size_t count, uint32_t key_length, uint8_t fill) {
  std::vector<Packed> packed(count);
  for (size_t i = 0; i < count; ++i) {
    packed[i] = i == 0
                    ? PackOne(nullptr, 0, entries[i], key_length, fill)
                    : PackOne(&entries[i - 1], packed[i - 1].trail, entries[i], key_length, fill);
  }
  return packed;
}

struct LeafShape {
  int db = 0;
  int rb = 0;
  int bytes = 0;
};

// The smallest entry width whose record-number field holds `max_rec`, the page's largest
// record number (three bytes for an empty page, as Visual FoxPro writes it).
bool ShapeFor(uint32_t max_rec, bool empty, uint32_t key_length, LeafShape* shape) {
  shape->db = BitLength(key_length);
  if (empty) {
    shape->bytes = 3;
  } else {
    const int need = 2 * shape->db + std::max(1, BitLength(max_rec));
    shape->bytes = (need + 7) / 8;
  }
  shape->rb = 8 * shape->bytes - 2 * shape->db;
  return shape->rb >= 1 && shape->rb <= 32;
}

bool ChooseShape(const CdxEntry* entries, size_t count, uint32_t key_length, LeafShape* shape) {
  uint32_t max_rec = 0;
  for (size_t i = 0; i < count; ++i) max_rec = std::max(max_rec, entries[i].recno);
  return ShapeFor(max_rec, count == 0, key_length, shape);
}

Status DecodeLeaf(const uint8_t* bytes, uint32_t key_length, uint8_t fill, CdxPage* page,
                  size_t count) {
  const uint16_t free_bytes = Get16(bytes + 12);
  const uint32_t rec_mask = Get32(bytes + 14);
  const uint8_t dup_mask = bytes[18];
  const uint8_t trail_mask = bytes[19];
  const int rb = bytes[20];
  const int db = bytes[21];
  const int tb = bytes[22];
  const int width = bytes[23];
  if (width < 1 || width > 8 || rb < 1 || rb > 32 || db > 8 || tb > 8 ||
      rb + db + tb != 8 * width) {
    return Corrupt("leaf bit widths do not add up");
  }
  if (rec_mask != static_cast<uint32_t>((uint64_t{1} << rb) - 1) || dup_mask != (1u << db) - 1 ||
      trail_mask != (1u << tb) - 1) {
    return Corrupt("leaf masks do not match their bit widths");
  }
  if (count * width > kLeafArea) return Corrupt("leaf key count overflows the page");
  size_t pos = kCdxPageSize;
  const size_t array_end = kLeafHeader + count * width;
  std::string prev(key_length, static_cast<char>(fill));
  page->entries.resize(count);
  for (size_t i = 0; i < count; ++i) {
    uint64_t v = 0;
    const uint8_t* e = bytes + kLeafHeader + i * width;
    for (int b = width - 1; b >= 0; --b) v = (v << 8) | e[b];
    const uint32_t recno = static_cast<uint32_t>(v & rec_mask);
    const size_t dup = (v >> rb) & dup_mask;
    const size_t trail = (v >> (rb + db)) & trail_mask;
    if (dup + trail > key_length) return Corrupt("leaf entry compresses more than its key");
    const size_t len = key_length - dup - trail;
    if (pos < array_end + len) return Corrupt("leaf key bytes overlap the entry array");
    pos -= len;
    std::string key;
    key.reserve(key_length);
    key.append(prev, 0, dup);
    key.append(reinterpret_cast<const char*>(bytes + pos), len);
    key.append(trail, static_cast<char>(fill));
    if (i > 0 && CdxComparePair(prev, page->entries[i - 1].recno, key, recno) >= 0) {
      return Corrupt("leaf keys out of order");
    }
    page->entries[i].key = key;
    page->entries[i].recno = recno;
    prev = std::move(key);
  }
  if (free_bytes != pos - array_end) return Corrupt("leaf free byte count is wrong");
  return Status::Ok();
}

Status DecodeInterior(const uint8_t* bytes, uint32_t key_length, uint64_t file_size, CdxPage* page,
                      size_t count) {
  const size_t entry_size = key_length + 8;
  if (count * entry_size > kInteriorArea) return Corrupt("interior key count overflows the page");
  if (count == 0) return Corrupt("interior page without keys");
  page->entries.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = bytes + 12 + i * entry_size;
    CdxEntry& entry = page->entries[i];
    entry.key.assign(reinterpret_cast<const char*>(e), key_length);
    entry.recno = Get32Be(e + key_length);
    entry.child = Get32Be(e + key_length + 4);
    if (entry.child % kCdxPageSize != 0 || entry.child < 2 * kCdxPageSize ||
        entry.child >= file_size) {
      return Corrupt("child pointer outside the file");
    }
    if (i > 0 && CdxComparePair(page->entries[i - 1].key, page->entries[i - 1].recno, entry.key,
                                entry.recno) >= 0) {
      return Corrupt("interior keys out of order");
    }
  }
  return Status::Ok();
}

}  // namespace

int CdxComparePair(const std::string& key_a, uint32_t rec_a, const std::string& key_b,
                   uint32_t rec_b) {
  const int c = CdxCompareKeys(key_a, key_b);
  if (c != 0) return c;
  if (rec_a == rec_b) return 0;
  return rec_a < rec_b ? -1 : 1;
}

Status DecodeCdxPage(const uint8_t* bytes, uint32_t key_length, uint8_t fill, uint64_t file_size,
                     CdxPage* page) {
  page->attributes = Get16(bytes);
  page->left = Get32(bytes + 4);
  page->right = Get32(bytes + 8);
  page->entries.clear();
  if (page->attributes > 7) return Corrupt("unknown page attributes");
  for (uint32_t sibling : {page->left, page->right}) {
    if (sibling != kCdxNoPage &&
        (sibling % kCdxPageSize != 0 || sibling < 2 * kCdxPageSize || sibling >= file_size)) {
      return Corrupt("sibling pointer outside the file");
    }
  }
  const size_t count = Get16(bytes + 2);
  if (page->leaf()) return DecodeLeaf(bytes, key_length, fill, page, count);
  return DecodeInterior(bytes, key_length, file_size, page, count);
}

size_t CdxLeafBytes(const CdxEntry* entries, size_t count, uint32_t key_length, uint8_t fill) {
  LeafShape shape;
  if (!ChooseShape(entries, count, key_length, &shape)) return kLeafArea + 1;
  size_t total = count * shape.bytes;
  const std::vector<Packed> packed = Pack(entries, count, key_length, fill);
  for (const Packed& p : packed) total += key_length - p.dup - p.trail;
  return total;
}

// Adding an entry never shrinks a leaf (its stored bytes are never negative and the entry width
// only grows), so the first entry that does not fit ends the leaf.
size_t CdxLeafFill(const CdxEntry* entries, size_t count, uint32_t key_length, uint8_t fill) {
  size_t stored = 0;
  size_t prev_trail = 0;
  uint32_t max_rec = 0;
  LeafShape shape;
  for (size_t n = 0; n < count; ++n) {
    const Packed p =
        PackOne(n == 0 ? nullptr : &entries[n - 1], prev_trail, entries[n], key_length, fill);
    if (n == 0 || entries[n].recno > max_rec) {
      max_rec = entries[n].recno;
      if (!ShapeFor(max_rec, false, key_length, &shape)) return n;
    }
    const size_t len = key_length - p.dup - p.trail;
    if ((n + 1) * shape.bytes + stored + len > kLeafArea) return n;
    stored += len;
    prev_trail = p.trail;
  }
  return count;
}

bool CdxPageFits(const CdxPage& page, uint32_t key_length, uint8_t fill) {
  if (page.leaf()) {
    return CdxLeafBytes(page.entries.data(), page.entries.size(), key_length, fill) <= kLeafArea;
  }
  return page.entries.size() <= CdxInteriorCapacity(key_length);
}

Status EncodeCdxLeaf(const CdxEntry* entries, size_t count, uint16_t attributes, uint32_t left,
                     uint32_t right, uint32_t key_length, uint8_t fill, uint8_t* bytes) {
  std::memset(bytes, 0, kCdxPageSize);
  LeafShape shape;
  const bool shaped = ChooseShape(entries, count, key_length, &shape);
  const std::vector<Packed> packed = Pack(entries, count, key_length, fill);
  size_t used = count * shape.bytes;
  for (const Packed& p : packed) used += key_length - p.dup - p.trail;
  if (!shaped || used > kLeafArea) return Corrupt("entries do not fit one page");
  PutPageHead(attributes, count, left, right, bytes);
  size_t pos = kCdxPageSize;
  for (size_t i = 0; i < count; ++i) {
    const size_t len = key_length - packed[i].dup - packed[i].trail;
    pos -= len;
    std::memcpy(bytes + pos, entries[i].key.data() + packed[i].dup, len);
    const uint64_t v = uint64_t{entries[i].recno} | (uint64_t{packed[i].dup} << shape.rb) |
                       (uint64_t{packed[i].trail} << (shape.rb + shape.db));
    for (int b = 0; b < shape.bytes; ++b) {
      bytes[kLeafHeader + i * shape.bytes + b] = static_cast<uint8_t>(v >> (8 * b));
    }
  }
  Put16(bytes + 12, static_cast<uint16_t>(pos - kLeafHeader - count * shape.bytes));
  Put32(bytes + 14, static_cast<uint32_t>((uint64_t{1} << shape.rb) - 1));
  bytes[18] = static_cast<uint8_t>((1u << shape.db) - 1);
  bytes[19] = static_cast<uint8_t>((1u << shape.db) - 1);
  bytes[20] = static_cast<uint8_t>(shape.rb);
  bytes[21] = static_cast<uint8_t>(shape.db);
  bytes[22] = static_cast<uint8_t>(shape.db);
  bytes[23] = static_cast<uint8_t>(shape.bytes);
  return Status::Ok();
}

Status EncodeCdxPage(const CdxPage& page, uint32_t key_length, uint8_t fill, uint8_t* bytes) {
  const size_t count = page.entries.size();
  if (page.leaf()) {
    return EncodeCdxLeaf(page.entries.data(), count, page.attributes, page.left, page.right,
                         key_length, fill, bytes);
  }
  std::memset(bytes, 0, kCdxPageSize);
  if (!CdxPageFits(page, key_length, fill)) return Corrupt("entries do not fit one page");
  PutPageHead(page.attributes, count, page.left, page.right, bytes);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* e = bytes + 12 + i * (key_length + 8);
    std::memcpy(e, page.entries[i].key.data(), key_length);
    Put32Be(e + key_length, page.entries[i].recno);
    Put32Be(e + key_length + 4, page.entries[i].child);
  }
  return Status::Ok();
}

}  // namespace sdx::xbase
