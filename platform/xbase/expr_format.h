// How xBase turns stored text into numbers and dates and numbers into text: N fields, VAL,
// STR with its rounding and overflow fill, D fields as day numbers, letter case, and the text
// comparison of SET EXACT OFF. Used by the expression evaluator; none of these allocate.
#pragma once

#include <cstdint>
#include <string_view>

namespace sdx::xbase {

// An N or F field's ASCII number. Blanks around it are allowed; anything that is not
// [sign] digits [. digits] after trimming (an overflow "***", stray letters, a lone sign,
// all blanks) reads as 0, as xBase programs show such fields.
double ParseNumericField(std::string_view text);

// VAL(): leading blanks skipped, then the longest [sign] digits [. digits] prefix; 0 when
// there is none ("12abc" is 12, "abc" is 0).
double ParseValPrefix(std::string_view text);

// STR(value, width, decimals) into exactly `width` bytes at `out`: rounded half away from zero
// at `decimals` places (judged on the value's 15 significant digits, so 1.005 gives "1.01"),
// right-aligned with blanks, and `width` asterisks when the text does not fit or the value is
// not finite. A value that rounds to zero has no minus sign.
void FormatStr(double value, uint32_t width, uint32_t decimals, char* out);

// The Julian day number of a "YYYYMMDD" text (1996-07-04 is 2450269), 0 when the text is blank
// or not a date.
double JulianDay(std::string_view yyyymmdd);

// UPPER and LOWER of `length` bytes into `out`, by Windows code page 1252: the tables are
// written on Windows in that code page (mark 0x03), and Visual FoxPro's index keys on
// UPPER(...) carry its capitals (\xE4 becomes \xC4, \xFF becomes \x9F).
void UpperText(const char* text, uint32_t length, char* out);
void LowerText(const char* text, uint32_t length, char* out);

// Orders two texts as xBase relations do with SET EXACT OFF: the left operand is compared over
// the right operand's length, cut when longer and blank-padded when shorter, by unsigned byte.
// So "ABC" = "AB" holds, and "AB" = "AB " holds too. Returns <0, 0 or >0.
int CompareText(std::string_view left, std::string_view right);

}  // namespace sdx::xbase
