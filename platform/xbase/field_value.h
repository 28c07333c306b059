// Decoding and encoding of single field values in record bytes: numbers as text, doubles,
// logicals and memo pointers. Used by the engine's field calls and by the `xbase` tool. Every
// decoder accepts any bytes: garbage gives a documented fallback, never undefined behaviour.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/xbase/field_layout.h"

namespace sdx::xbase {

// The value of an N or F field's text. Blanks around it, a leading '+' and missing decimals are
// accepted; an empty field is 0. Anything else that is not a number (garbage, '*' overflow
// marks) reads as 0 with *valid set to false.
double ParseNumeric(const uint8_t* bytes, uint32_t width, bool* valid = nullptr);

// Writes `value` right-aligned with `decimals` digits after the point, blank-padded to `width`.
// A value that does not fit fills the field with '*' and answers false.
bool FormatNumeric(double value, uint32_t width, uint32_t decimals, uint8_t* out);
bool FormatInteger(long value, uint32_t width, uint8_t* out);

// 8 bytes, little-endian IEEE-754. Inline: the sequential walk reads many of them per record.
inline double ReadDouble(const uint8_t* bytes) {
  uint64_t bits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bits, bytes, sizeof(bits));
  } else {
    for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[i];
  }
  return std::bit_cast<double>(bits);
}
void WriteDouble(double value, uint8_t* out);
int32_t ReadInt32(const uint8_t* bytes);  // 4 bytes, little-endian

// 'T', 't', 'Y', 'y' are true; everything else ('F', '?', blank ...) is false.
bool ReadLogical(uint8_t byte);

// The memo block number a memo-type field points to, read by the field's width: 4 bytes are a
// little-endian number, 10 bytes ASCII digits. Blanks, zeros and garbage give 0 (no memo).
uint32_t ReadMemoPointer(const uint8_t* bytes, uint32_t width);
void WriteMemoPointer(uint32_t block, uint32_t width, uint8_t* out);
bool IsMemoType(char type);

// The bytes of a field of a new blank record: blanks for text-like types, zeros for binary
// ones, 'F' for logicals.
void BlankField(const FieldLayout& field, uint8_t* record);

// The field's value as text for display and dumps: C as stored, N trimmed, B with %.17g,
// L as T/F, other types as their raw bytes (binary types in hex). Memo contents not included.
std::string FieldText(const FieldLayout& field, const uint8_t* record);

}  // namespace sdx::xbase
