#include "platform/xbase/cdx_key.h"

#include <algorithm>
#include <cstring>

namespace sdx::xbase {

uint8_t CdxFillByte(CdxKeyType type) { return type == CdxKeyType::kCharacter ? 0x20 : 0x00; }

std::string CdxCharacterKey(std::string_view text, uint32_t key_length) {
  std::string key(text.substr(0, key_length));
  key.resize(key_length, ' ');
  return key;
}

std::string CdxDoubleKey(double value) {
  if (value == 0.0) value = 0.0;  // folds -0.0
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  if (bits >> 63) {
    bits = ~bits;
  } else {
    bits |= uint64_t{1} << 63;
  }
  std::string key(8, '\0');
  for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(bits >> (56 - 8 * i));
  return key;
}

double CdxKeyDouble(std::string_view key) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i) {
    bits = (bits << 8) | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0);
  }
  if (bits >> 63) {
    bits &= ~(uint64_t{1} << 63);
  } else {
    bits = ~bits;
  }
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string CdxLogicalKey(bool value) { return value ? "T" : "F"; }

int CdxCompareKeys(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace sdx::xbase
