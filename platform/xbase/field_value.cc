#include "platform/xbase/field_value.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sdx::xbase {

double ParseNumeric(const uint8_t* bytes, uint32_t width, bool* valid) {
  if (valid != nullptr) *valid = true;
  // One pass: blanks, an optional sign, digits, an optional point with digits, blanks. Integers
  // of up to 18 digits (every N field of the system's tables) are exact without strtod.
  uint32_t i = 0;
  while (i < width && (bytes[i] == ' ' || bytes[i] == 0)) ++i;
  if (i == width) return 0.0;
  const uint32_t begin = i;
  if (width - i <= 18) {
    // The common shape, blanks then digits to the end, four digits a step: the multiply-add
    // chain, not the loads, is what limits a walk over many numeric fields.
    uint64_t v = 0;
    uint32_t j = i;
    auto digit = [&](uint32_t k) { return static_cast<unsigned>(bytes[k] - '0'); };
    for (; j + 4 <= width; j += 4) {
      const unsigned a = digit(j), b = digit(j + 1), c = digit(j + 2), d = digit(j + 3);
      if ((a | b | c | d) >= 10) break;
      v = v * 10000 + ((a * 10 + b) * 100 + (c * 10 + d));
    }
    for (; j < width && digit(j) < 10; ++j) v = v * 10 + digit(j);
    if (j == width) return static_cast<double>(v);
  }
  bool negative = false;
  if (bytes[i] == '+' || bytes[i] == '-') negative = bytes[i++] == '-';
  uint64_t integer = 0;
  uint32_t digits = 0;
  for (; i < width && bytes[i] >= '0' && bytes[i] <= '9'; ++i, ++digits) {
    integer = integer * 10 + (bytes[i] - '0');
  }
  uint32_t fraction_digits = 0;
  const bool point = i < width && bytes[i] == '.';
  if (point) {
    for (++i; i < width && bytes[i] >= '0' && bytes[i] <= '9'; ++i) ++fraction_digits;
  }
  const uint32_t end = i;
  while (i < width && (bytes[i] == ' ' || bytes[i] == 0)) ++i;
  if (i != width || digits + fraction_digits == 0) {
    if (valid != nullptr) *valid = false;
    return 0.0;
  }
  if (!point && digits <= 18) {
    const double v = static_cast<double>(integer);
    return negative ? -v : v;
  }
  char buffer[300];
  const uint32_t n = std::min<uint32_t>(end - begin, sizeof(buffer) - 1);
  std::memcpy(buffer, bytes + begin, n);
  buffer[n] = 0;
  return std::strtod(buffer, nullptr);
}

bool FormatNumeric(double value, uint32_t width, uint32_t decimals, uint8_t* out) {
  char buffer[400];
  int n = -1;
  if (std::isfinite(value) && std::fabs(value) < 1e300 && width < 300) {
    n = std::snprintf(buffer, sizeof(buffer), "%*.*f", static_cast<int>(width),
                      static_cast<int>(decimals), value);
  }
  if (n < 0 || static_cast<uint32_t>(n) > width) {
    std::memset(out, '*', width);
    return false;
  }
  // A value that rounds to zero is written without its sign ("0.00", never "-0.00").
  char* minus = std::strchr(buffer, '-');
  if (minus != nullptr && std::strpbrk(buffer, "123456789") == nullptr) *minus = ' ';
  std::memcpy(out, buffer, width);
  return true;
}

bool FormatInteger(long value, uint32_t width, uint8_t* out) {
  char buffer[32];
  int n = std::snprintf(buffer, sizeof(buffer), "%ld", value);
  if (n < 0 || static_cast<uint32_t>(n) > width) {
    std::memset(out, '*', width);
    return false;
  }
  std::memset(out, ' ', width - n);
  std::memcpy(out + (width - n), buffer, n);
  return true;
}

void WriteDouble(double value, uint8_t* out) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &bits, sizeof(bits));
  } else {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
}

int32_t ReadInt32(const uint8_t* bytes) {
  uint32_t v = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
               static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return static_cast<int32_t>(v);
}

bool ReadLogical(uint8_t byte) { return byte == 'T' || byte == 't' || byte == 'Y' || byte == 'y'; }

bool IsMemoType(char type) { return type == 'M' || type == 'G' || type == 'W'; }

uint32_t ReadMemoPointer(const uint8_t* bytes, uint32_t width) {
  if (width == 4) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  }
  uint64_t block = 0;
  uint32_t i = 0;
  while (i < width && bytes[i] == ' ') ++i;
  for (; i < width && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
    block = block * 10 + (bytes[i] - '0');
    if (block > UINT32_MAX) return 0;
  }
  while (i < width && bytes[i] == ' ') ++i;
  return i == width ? static_cast<uint32_t>(block) : 0;
}

void WriteMemoPointer(uint32_t block, uint32_t width, uint8_t* out) {
  if (width == 4) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(block >> (8 * i));
  } else if (block == 0) {
    std::memset(out, ' ', width);
  } else {
    FormatInteger(static_cast<long>(block), width, out);
  }
}

void BlankField(const FieldLayout& field, uint8_t* record) {
  uint8_t* p = record + field.offset;
  switch (field.type) {
    case 'C':
    case 'N':
    case 'F':
    case 'D':
      std::memset(p, ' ', field.width);
      break;
    case 'L':
      std::memset(p, 'F', field.width);
      break;
    case 'M':
    case 'G':
    case 'W':
      WriteMemoPointer(0, field.width, p);
      break;
    default:
      std::memset(p, 0, field.width);
      break;
  }
}

std::string FieldText(const FieldLayout& field, const uint8_t* record) {
  const uint8_t* p = record + field.offset;
  char buffer[64];
  switch (field.type) {
    case 'C':
    case 'D':
      return std::string(reinterpret_cast<const char*>(p), field.width);
    case 'N':
    case 'F': {
      uint32_t b = 0, e = field.width;
      while (b < e && p[b] == ' ') ++b;
      while (e > b && p[e - 1] == ' ') --e;
      return std::string(reinterpret_cast<const char*>(p + b), e - b);
    }
    case 'B':
      if (field.width != 8) break;
      std::snprintf(buffer, sizeof(buffer), "%.17g", ReadDouble(p));
      return buffer;
    case 'I':
      if (field.width != 4) break;
      return std::to_string(ReadInt32(p));
    case 'L':
      return field.width == 0 ? "" : std::string(1, ReadLogical(p[0]) ? 'T' : 'F');
    case 'M':
    case 'G':
    case 'W':
      return std::to_string(ReadMemoPointer(p, field.width));
    default:
      break;
  }
  std::string hex;
  for (uint32_t i = 0; i < field.width; ++i) {
    std::snprintf(buffer, sizeof(buffer), "%02x", p[i]);
    hex += buffer;
  }
  return hex;
}

}  // namespace sdx::xbase
