#include "platform/xbase/expr_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sdx::xbase {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads [sign] digits [. digits] from the start of `text`; `used` is how many bytes it took,
// 0 when there is no digit. The digits go through from_chars, which rounds correctly.
double ReadNumber(std::string_view text, size_t* used) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) {
    *used = 0;
    return 0;
  }
  *used = i;
  double value = 0;
  std::from_chars(text.data() + start, text.data() + i, value, std::chars_format::fixed);
  return negative ? -value : value;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

struct CaseTables {
  uint8_t upper[256];
  uint8_t lower[256];
};

constexpr CaseTables MakeCaseTables() {
  CaseTables t{};
  for (int c = 0; c < 256; ++c) t.upper[c] = t.lower[c] = static_cast<uint8_t>(c);
  auto pair = [&t](int capital, int small) {
    t.upper[small] = static_cast<uint8_t>(capital);
    t.lower[capital] = static_cast<uint8_t>(small);
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 0x20);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) pair(c, c + 0x20);  // 0xD7 and 0xF7 are the signs for times and divide
  }
  pair(0x8A, 0x9A);  // S caron
  pair(0x8C, 0x9C);  // OE
  pair(0x8E, 0x9E);  // Z caron
  pair(0x9F, 0xFF);  // Y diaeresis
  return t;
}

constexpr CaseTables kCase = MakeCaseTables();

// A text longer than this cannot fit any STR width.
constexpr size_t kMaxDigits = 300;

// The finite `magnitude` times 10^decimals, rounded half up on its 15 significant digits,
// as decimal digits with at least decimals + 1 of them. Returns the count, 0 on overflow.
size_t RoundedDigits(double magnitude, uint32_t decimals, char* digits) {
  size_t count = 0;
  if (decimals == 0 && magnitude < 9007199254740992.0 && magnitude == std::trunc(magnitude)) {
    // Whole numbers below 2^53 are exact: the common case of ids and times.
    char reversed[20];
    auto whole = static_cast<uint64_t>(magnitude);
    do {
      reversed[count++] = static_cast<char>('0' + whole % 10);
      whole /= 10;
    } while (whole != 0);
    for (size_t i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
    return count;
  }
  if (decimals + 1 > kMaxDigits) return 0;
  if (magnitude != 0) {
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.14e", magnitude);
    char significant[15];
    size_t n = 0;
    const char* p = scientific;
    for (; *p != 'e'; ++p) {
      if (IsDigit(*p)) significant[n++] = *p;
    }
    const long exponent = std::strtol(p + 1, nullptr, 10);
    const long keep = exponent + 1 + static_cast<long>(decimals);
    if (keep > static_cast<long>(kMaxDigits)) return 0;
    for (long i = 0; i < keep; ++i) digits[count++] = i < 15 ? significant[i] : '0';
    if (keep >= 0 && keep < 15 && significant[keep] >= '5') {
      long i = static_cast<long>(count) - 1;
      for (; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';
      if (i >= 0) {
        ++digits[i];
      } else {
        std::memmove(digits + 1, digits, count++);
        digits[0] = '1';
      }
    }
  }
  if (count < decimals + 1) {
    const size_t lead = decimals + 1 - count;
    std::memmove(digits + lead, digits, count);
    std::memset(digits, '0', lead);
    count += lead;
  }
  return count;
}

}  // namespace

double ParseNumericField(std::string_view text) {
  text = TrimBlanks(text);
  size_t used = 0;
  const double value = ReadNumber(text, &used);
  return used == text.size() ? value : 0;
}

double ParseValPrefix(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  size_t used = 0;
  return ReadNumber(text, &used);
}

void FormatStr(double value, uint32_t width, uint32_t decimals, char* out) {
  char digits[kMaxDigits + 2];
  const size_t count = std::isfinite(value) ? RoundedDigits(std::fabs(value), decimals, digits) : 0;
  bool zero = true;
  for (size_t i = 0; i < count && zero; ++i) zero = digits[i] == '0';
  const bool negative = value < 0 && !zero;
  const size_t length = (negative ? 1 : 0) + count + (decimals > 0 ? 1 : 0);
  if (count == 0 || length > width) {
    std::memset(out, '*', width);
    return;
  }
  char* w = out;
  std::memset(w, ' ', width - length);
  w += width - length;
  if (negative) *w++ = '-';
  const size_t whole = count - decimals;
  std::memcpy(w, digits, whole);
  w += whole;
  if (decimals > 0) {
    *w++ = '.';
    std::memcpy(w, digits + whole, decimals);
  }
}

double JulianDay(std::string_view text) {
  if (text.size() != 8) return 0;
  for (char c : text) {
    if (!IsDigit(c)) return 0;
  }
  auto number = [&](size_t from, size_t n) {
    long v = 0;
    for (size_t i = from; i < from + n; ++i) v = v * 10 + (text[i] - '0');
    return v;
  };
  const long year = number(0, 4);
  const long month = number(4, 2);
  const long day = number(6, 2);
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return 0;
  const long a = (14 - month) / 12;
  const long y = year + 4800 - a;
  const long m = month + 12 * a - 3;
  return static_cast<double>(day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045);
}

void UpperText(const char* text, uint32_t length, char* out) {
  for (uint32_t i = 0; i < length; ++i) {
    out[i] = static_cast<char>(kCase.upper[static_cast<uint8_t>(text[i])]);
  }
}

void LowerText(const char* text, uint32_t length, char* out) {
  for (uint32_t i = 0; i < length; ++i) {
    out[i] = static_cast<char>(kCase.lower[static_cast<uint8_t>(text[i])]);
  }
}

int CompareText(std::string_view left, std::string_view right) {
  const size_t n = right.size();
  const size_t common = left.size() < n ? left.size() : n;
  if (common > 0) {
    const int c = std::memcmp(left.data(), right.data(), common);
    if (c != 0) return c;
  }
  for (size_t i = common; i < n; ++i) {
    const auto r = static_cast<unsigned char>(right[i]);
    if (r != ' ') return ' ' < r ? -1 : 1;
  }
  return 0;
}

}  // namespace sdx::xbase
