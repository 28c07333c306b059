#include "sessions/sha1_digest.h"

#include <string.h>

#include <algorithm>
#include <cstdio>

namespace sdx {

namespace {

constexpr uint32_t kInitial[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

constexpr char kUnknownReportType[] = "Error: Unknown report type!";

uint32_t RotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t ReadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void WriteBigEndian(uint32_t value, uint8_t* p) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

}  // namespace

Sha1Digest::Sha1Digest() {
  memset(block_, 0, sizeof(block_));
  memset(work_, 0, sizeof(work_));
  Begin();
}

Sha1Digest::~Sha1Digest() { Begin(); }

void Sha1Digest::Begin() {
  memcpy(chaining_, kInitial, sizeof(chaining_));
  bit_count_[0] = 0;
  bit_count_[1] = 0;
}

void Sha1Digest::Feed(const void* bytes, uint32_t length) {
  const auto* input = static_cast<const uint8_t*>(bytes);
  uint32_t index = (bit_count_[0] >> 3) & 63;
  const uint32_t added_low = length << 3;
  bit_count_[0] += added_low;
  if (bit_count_[0] < added_low) {
    ++bit_count_[1];
  }
  bit_count_[1] += length >> 29;

  uint32_t done = 0;
  const uint32_t room = 64 - index;
  if (length >= room) {
    memcpy(block_ + index, input, room);
    Compress(block_);
    // Whole blocks are compressed straight from the caller's bytes, without a copy.
    for (done = room; length - done >= 64; done += 64) {
      Compress(input + done);
    }
    index = 0;
  }
  if (length > done) {
    memcpy(block_ + index, input + done, length - done);
  }
}

void Sha1Digest::Finish() {
  uint8_t length_bytes[8];
  WriteBigEndian(bit_count_[1], length_bytes);
  WriteBigEndian(bit_count_[0], length_bytes + 4);

  // 0x80 and then zeros up to 56 bytes into a block; a message that leaves fewer than 9 bytes
  // of room in its last block pads into a second one.
  uint8_t padding[64] = {0x80};
  const uint32_t index = (bit_count_[0] >> 3) & 63;
  const uint32_t padding_length = index < 56 ? 56 - index : 120 - index;
  Feed(padding, padding_length);
  Feed(length_bytes, sizeof(length_bytes));

  for (int i = 0; i < 5; ++i) {
    WriteBigEndian(chaining_[i], digest_ + 4 * i);
  }

  // The password must not stay behind in this object or on the stack after the sign-on.
  explicit_bzero(block_, sizeof(block_));
  explicit_bzero(work_, sizeof(work_));
  explicit_bzero(chaining_, sizeof(chaining_));
  explicit_bzero(bit_count_, sizeof(bit_count_));
  explicit_bzero(length_bytes, sizeof(length_bytes));
}

void Sha1Digest::FormatDigest(std::string* text, int report_type) const {
  if (report_type != kHex && report_type != kDecimal) {
    *text = kUnknownReportType;
    return;
  }
  const char* first_format = report_type == kHex ? "%02X" : "%u";
  const char* next_format = report_type == kHex ? " %02X" : " %u";
  char piece[8];
  for (int i = 0; i < kDigestSize; ++i) {
    const int n = snprintf(piece, sizeof(piece), i == 0 ? first_format : next_format,
                           static_cast<unsigned>(digest_[i]));
    text->append(piece, static_cast<size_t>(n));
  }
}

void Sha1Digest::Compress(const uint8_t* block) {
  for (int t = 0; t < 16; ++t) {
    work_[t] = ReadBigEndian(block + 4 * t);
  }
  uint32_t a = chaining_[0];
  uint32_t b = chaining_[1];
  uint32_t c = chaining_[2];
  uint32_t d = chaining_[3];
  uint32_t e = chaining_[4];
  for (int t = 0; t < 80; ++t) {
    // The message schedule lives in a ring of 16 words: W[t] overwrites W[t - 16].
    uint32_t w;
    if (t < 16) {
      w = work_[t];
    } else {
      w = RotateLeft(
          work_[(t + 13) & 15] ^ work_[(t + 8) & 15] ^ work_[(t + 2) & 15] ^ work_[t & 15], 1);
      work_[t & 15] = w;
    }
    uint32_t f;
    uint32_t k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    const uint32_t temp = RotateLeft(a, 5) + f + e + k + w;
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = temp;
  }
  chaining_[0] += a;
  chaining_[1] += b;
  chaining_[2] += c;
  chaining_[3] += d;
  chaining_[4] += e;
}

std::string PasswordDigestText(std::string_view password) {
  Sha1Digest digest;
  constexpr size_t kMaxFeed = 1u << 30;
  for (size_t at = 0; at < password.size(); at += kMaxFeed) {
    const size_t n = std::min(kMaxFeed, password.size() - at);
    digest.Feed(password.data() + at, static_cast<uint32_t>(n));
  }
  digest.Finish();
  std::string text;
  digest.FormatDigest(&text, Sha1Digest::kHex);
  std::string digits;
  for (char c : text) {
    if (c != ' ') {
      digits.push_back(c);
    }
  }
  return digits;
}

}  // namespace sdx
