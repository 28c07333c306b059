// The fixed part of a DBF file: the 32-byte table header and the field descriptors, decoded
// from and encoded to their on-disk bytes. Used by DbfTable when a table is opened or created,
// by the `xbase info` tool and by the reader fuzzer; knows nothing of files or locks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/xbase/field_layout.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

inline constexpr uint8_t kVersionVfp = 0x30;
inline constexpr uint8_t kFlagStructuralIndex = 0x01;
inline constexpr uint8_t kFlagMemo = 0x02;
inline constexpr uint32_t kBacklinkSize = 263;
inline constexpr uint8_t kFieldFlagSystem = 0x01;
inline constexpr uint8_t kFieldFlagNullable = 0x02;

// What a DBF header says. `raw` keeps the 32 header bytes as read, so that rewriting the header
// preserves the reserved bytes other programs put there (the version stamp among them).
struct DbfHeader {
  std::array<uint8_t, 32> raw{};
  std::vector<FieldLayout> fields;
  uint8_t version() const { return raw[0]; }
  uint32_t record_count() const;
  uint16_t header_length() const;
  uint16_t record_length() const;
  uint8_t table_flags() const { return raw[28]; }
  uint8_t code_page() const { return raw[29]; }
  // Header bytes 12..15: the table-creation layer's version stamp, 0 when none.
  uint32_t version_stamp() const;
  int last_update_year() const;  // four digits, from the year byte with a pivot at 80
  int last_update_month() const { return raw[2]; }
  int last_update_day() const { return raw[3]; }

  void set_record_count(uint32_t count);
  void set_version_stamp(uint32_t stamp);
  // Stamps bytes 1..3 with a local calendar date (year mod 100, as Visual FoxPro writes it).
  void set_last_update(int year, int month, int day);

  // True for the versions whose memo pointers are binary and that carry a backlink area.
  bool is_visual_foxpro() const { return version() >= 0x30 && version() <= 0x32; }
  bool has_memo_fields() const;
};

// Decodes the header and the field descriptors from `bytes` (the first `size` bytes of the file,
// at least the whole header when the file has one) of a file of `file_size` bytes. Every length
// is checked against the others and the file size; a bad file gives an error, never a crash.
Status ParseDbfHeader(const uint8_t* bytes, size_t size, uint64_t file_size, DbfHeader* header);

// A field as the table-creation layer asks for it.
struct FieldSpec {
  std::string name;
  char type = 'C';
  uint32_t width = 0;
  uint32_t decimals = 0;
  bool nullable = false;
};

// Builds the header bytes of a new, empty Visual FoxPro table (0x30): header, descriptors,
// terminator and backlink, followed by the 0x1A end mark. Fields are checked and normalised (names
// upper case, B 8 wide, L 1, M 4 with a binary pointer whatever width was asked, C over 255 with
// its high width byte in the decimals byte). `flags` gets 0x02 added when a memo field exists.
Status BuildDbfHeader(const std::vector<FieldSpec>& specs, uint8_t flags, uint8_t code_page,
                      std::vector<uint8_t>* bytes, DbfHeader* header);

}  // namespace sdx::xbase
