// Index key bytes as the CDX files store them: how a character, numeric or logical value
// becomes the fixed-length byte string that sorts by plain unsigned comparison, and back.
// Used by the index reader and writer and by whoever computes a record's key for a tag.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sdx::xbase {

// What a tag's keys are. The file itself does not say; the type of the key expression does.
// Only the fill byte that leaf pages compress away depends on it.
enum class CdxKeyType { kCharacter, kNumeric, kLogical, kBinary };

// 0x20 for character keys, 0x00 for every binary key (numeric, date, integer).
uint8_t CdxFillByte(CdxKeyType type);

// A character key: the text cut or blank-padded to the tag's key length.
std::string CdxCharacterKey(std::string_view text, uint32_t key_length);
// A numeric key: the double in big-endian order with the sign transform, so that unsigned
// byte order is numeric order. -0.0 becomes +0.0, so that both find the same entries.
std::string CdxDoubleKey(double value);
double CdxKeyDouble(std::string_view key);
std::string CdxLogicalKey(bool value);

// Orders keys the way the files are sorted: unsigned bytes over the shorter length, the
// shorter first on a tie. Tag keys always have the full key length, so a shorter argument is a
// prefix, as a partial seek uses it.
int CdxCompareKeys(std::string_view a, std::string_view b);

}  // namespace sdx::xbase
