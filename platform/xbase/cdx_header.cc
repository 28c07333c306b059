#include "platform/xbase/cdx_header.h"

#include <cstring>

#include "platform/xbase/cdx_page.h"

namespace sdx::xbase {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

Status Corrupt(const std::string& what) {
  return Status::Error(kCdxErrorCorrupt, "index header: " + what);
}

constexpr size_t kPool = 512;

}  // namespace

Status ParseCdxHeader(const uint8_t* bytes, uint64_t file_size, CdxHeader* header) {
  header->root = Get32(bytes);
  header->free_list = Get32(bytes + 4);
  header->key_length = Get16(bytes + 12);
  header->options = bytes[14];
  if (header->root % kCdxPageSize != 0 || header->root < 2 * kCdxPageSize ||
      header->root >= file_size) {
    return Corrupt("root page outside the file");
  }
  if (header->key_length < 1 || header->key_length > kCdxMaxKeyLength) {
    return Corrupt("key length out of range");
  }
  const char* collation = reinterpret_cast<const char*>(bytes + 494);
  header->collation.assign(collation, strnlen(collation, 8));
  const uint16_t order = Get16(bytes + 502);
  if (order > 1) return Corrupt("unknown order");
  header->descending = order == 1;
  const uint16_t for_at = Get16(bytes + 504);
  const uint16_t for_len = Get16(bytes + 506);
  const uint16_t key_at = Get16(bytes + 508);
  const uint16_t key_len = Get16(bytes + 510);
  const char* pool = reinterpret_cast<const char*>(bytes + kPool);
  auto text = [&](uint16_t at, uint16_t len, std::string* out) {
    if (len == 0) {
      out->clear();
      return at <= kPool;
    }
    if (at >= kPool || len > kPool - at) return false;
    out->assign(pool + at, strnlen(pool + at, len));
    return true;
  };
  if (!text(key_at, key_len, &header->key_expression) ||
      !text(for_at, for_len, &header->for_expression)) {
    return Corrupt("expression outside the pool");
  }
  return Status::Ok();
}

Status EncodeCdxHeader(const CdxHeader& header, uint8_t* bytes) {
  std::memset(bytes, 0, kCdxHeaderSize);
  const size_t key_len = header.key_expression.size() + 1;
  const size_t for_len = header.for_expression.size() + 1;
  if (key_len + for_len > kPool) {
    return Status::Error(kCdxErrorCorrupt, "index expressions longer than the header holds");
  }
  Put32(bytes, header.root);
  Put32(bytes + 4, header.free_list == kCdxNoPage ? 0 : header.free_list);
  Put16(bytes + 12, header.key_length);
  bytes[14] = header.options;
  bytes[15] = 0x01;
  Put16(bytes + 502, header.descending ? 1 : 0);
  Put16(bytes + 504, static_cast<uint32_t>(key_len));
  Put16(bytes + 506, static_cast<uint32_t>(for_len));
  Put16(bytes + 508, 0);
  Put16(bytes + 510, static_cast<uint32_t>(key_len));
  std::memcpy(bytes + kPool, header.key_expression.data(), header.key_expression.size());
  std::memcpy(bytes + kPool + key_len, header.for_expression.data(), header.for_expression.size());
  return Status::Ok();
}

}  // namespace sdx::xbase
