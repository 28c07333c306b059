#include "frame/url_decode.h"

namespace sdx {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string UrlDecode(std::string_view value) {
  std::string decoded;
  decoded.reserve(value.size());
  size_t i = 0;
  while (i < value.size()) {
    char c = value[i++];
    if (c == '+') {
      decoded += ' ';
      continue;
    }
    if (c != '%') {
      decoded += c;
      continue;
    }
    int high = i < value.size() ? HexValue(value[i]) : -1;
    if (high < 0) {
      decoded += '?';
      if (i < value.size()) ++i;
      continue;
    }
    int low = i + 1 < value.size() ? HexValue(value[i + 1]) : -1;
    if (low < 0) {
      decoded += '?';
      i += (i + 1 < value.size()) ? 2 : 1;
      continue;
    }
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

}  // namespace sdx
