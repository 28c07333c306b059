#include "platform/xbase/dbf_header.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/xbase/engine_codes.h"

namespace sdx::xbase {

namespace {

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

bool KnownVersion(uint8_t v) {
  return v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5 || v == 0x03 || v == 0x83;
}

Status Bad(const std::string& what) { return Status::Error(kErrData, what); }

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 10 || !std::isalpha(static_cast<unsigned char>(name[0]))) {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

}  // namespace

uint32_t DbfHeader::record_count() const { return GetU32(&raw[4]); }
uint16_t DbfHeader::header_length() const { return static_cast<uint16_t>(raw[8] | raw[9] << 8); }
uint16_t DbfHeader::record_length() const { return static_cast<uint16_t>(raw[10] | raw[11] << 8); }
uint32_t DbfHeader::version_stamp() const { return GetU32(&raw[12]); }

int DbfHeader::last_update_year() const {
  int yy = raw[1];
  if (yy >= 100) return 1900 + yy;
  return yy < 80 ? 2000 + yy : 1900 + yy;
}

void DbfHeader::set_record_count(uint32_t count) { PutU32(&raw[4], count); }
void DbfHeader::set_version_stamp(uint32_t stamp) { PutU32(&raw[12], stamp); }

void DbfHeader::set_last_update(int year, int month, int day) {
  raw[1] = static_cast<uint8_t>(year % 100);
  raw[2] = static_cast<uint8_t>(month);
  raw[3] = static_cast<uint8_t>(day);
}

bool DbfHeader::has_memo_fields() const {
  return std::any_of(fields.begin(), fields.end(), [](const FieldLayout& f) {
    return f.type == 'M' || f.type == 'G' || f.type == 'W';
  });
}

Status ParseDbfHeader(const uint8_t* bytes, size_t size, uint64_t file_size, DbfHeader* header) {
  if (size < 32 || file_size < 32) return Bad("file too short for a table header");
  std::copy(bytes, bytes + 32, header->raw.begin());
  header->fields.clear();
  if (!KnownVersion(header->version())) {
    return Bad("unsupported table version byte " + std::to_string(header->version()));
  }
  const uint32_t header_length = header->header_length();
  const uint32_t record_length = header->record_length();
  if (header_length < 32 + 32 + 1) return Bad("header length too small for one field");
  if (header_length > file_size) return Bad("header length beyond the end of the file");
  if (header_length > size) return Bad("header not completely read");
  if (record_length < 2) return Bad("record length too small");

  uint32_t offset = 1;
  uint32_t pos = 32;
  bool terminated = false;
  int null_bits = 0;
  while (pos < header_length) {
    if (bytes[pos] == 0x0D) {
      terminated = true;
      break;
    }
    if (pos + 32 > header_length) break;
    const uint8_t* d = bytes + pos;
    FieldLayout f;
    for (int i = 0; i < 11 && d[i] != 0; ++i) f.name.push_back(static_cast<char>(d[i]));
    if (f.name.empty())
      return Bad("field descriptor without a name at offset " + std::to_string(pos));
    f.type = static_cast<char>(d[11]);
    f.width = d[16];
    f.decimals = d[17];
    f.flags = d[18];
    if (f.type == 'C') {
      // Wide character fields keep their width's high byte in the decimals byte.
      f.width += 256u * d[17];
      f.decimals = 0;
    }
    f.offset = offset;
    offset += f.width;
    if (offset > record_length) return Bad("fields wider than the record length");
    header->fields.push_back(std::move(f));
    pos += 32;
  }
  if (!terminated) return Bad("field descriptors have no terminator");
  if (header->fields.empty()) return Bad("table has no fields");
  if (offset != record_length) return Bad("record length disagrees with the field widths");
  // Nullable columns own one bit each of the hidden _NullFlags field, in field order.
  for (FieldLayout& f : header->fields) {
    if ((f.flags & kFieldFlagNullable) && !(f.flags & kFieldFlagSystem)) f.null_bit = null_bits++;
  }
  return Status::Ok();
}

Status BuildDbfHeader(const std::vector<FieldSpec>& specs, uint8_t flags, uint8_t code_page,
                      std::vector<uint8_t>* bytes, DbfHeader* header) {
  if (specs.empty()) return Status::Error(kErrParm, "a table needs at least one field");
  std::vector<FieldLayout> fields;
  std::set<std::string> names;
  uint32_t offset = 1;
  int nullable = 0;
  for (const FieldSpec& def : specs) {
    FieldLayout f;
    f.name = def.name;
    std::transform(f.name.begin(), f.name.end(), f.name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!ValidName(f.name))
      return Status::Error(kErrFieldName, "bad field name '" + def.name + "'");
    if (!names.insert(f.name).second) {
      return Status::Error(kErrFieldName, "field name '" + f.name + "' given twice");
    }
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(def.type)));
    f.width = def.width;
    f.decimals = 0;
    switch (f.type) {
      case 'C':
        if (f.width < 1 || f.width > 65000) {
          return Status::Error(kErrParm, "bad width for character field " + f.name);
        }
        break;
      case 'N':
        if (f.width < 1 || f.width > 20 || def.decimals >= f.width) {
          return Status::Error(kErrParm, "bad width or decimals for numeric field " + f.name);
        }
        f.decimals = static_cast<uint8_t>(def.decimals);
        break;
      case 'B':
        f.width = 8;
        f.decimals = static_cast<uint8_t>(std::min<uint32_t>(def.decimals, 18));
        break;
      case 'L':
        f.width = 1;
        break;
      case 'M':
        // A Visual FoxPro table always holds binary 4-byte memo pointers; the 10 that older
        // schemas ask for is FoxPro 2's ASCII pointer, which VFP-family readers do not expect.
        f.width = 4;
        flags |= kFlagMemo;
        break;
      default:
        return Status::Error(kErrParm, std::string("unsupported field type '") + f.type + "'");
    }
    if (def.nullable) {
      f.flags |= kFieldFlagNullable;
      f.null_bit = nullable++;
    }
    f.offset = offset;
    offset += f.width;
    fields.push_back(std::move(f));
  }
  if (nullable > 0) {
    FieldLayout n;
    n.name = "_NullFlags";
    n.type = '0';
    n.width = static_cast<uint32_t>((nullable + 7) / 8);
    n.flags = kFieldFlagSystem | 0x04;
    n.offset = offset;
    offset += n.width;
    fields.push_back(std::move(n));
  }
  if (offset > 65535) return Status::Error(kErrParm, "record longer than 65535 bytes");
  const uint32_t header_length = 32 + 32 * static_cast<uint32_t>(fields.size()) + 1 + kBacklinkSize;
  if (header_length > 65535) return Status::Error(kErrParm, "too many fields");

  bytes->assign(header_length + 1, 0);
  uint8_t* b = bytes->data();
  b[0] = kVersionVfp;
  b[8] = static_cast<uint8_t>(header_length);
  b[9] = static_cast<uint8_t>(header_length >> 8);
  b[10] = static_cast<uint8_t>(offset);
  b[11] = static_cast<uint8_t>(offset >> 8);
  b[28] = flags;
  b[29] = code_page;
  uint32_t pos = 32;
  for (const FieldLayout& f : fields) {
    uint8_t* d = b + pos;
    std::copy(f.name.begin(), f.name.end(), d);
    d[11] = static_cast<uint8_t>(f.type);
    PutU32(d + 12, f.offset);
    d[16] = static_cast<uint8_t>(f.width & 0xFF);
    d[17] = f.type == 'C' ? static_cast<uint8_t>(f.width >> 8) : f.decimals;
    d[18] = f.flags;
    pos += 32;
  }
  b[pos] = 0x0D;
  (*bytes)[header_length] = 0x1A;
  std::copy(b, b + 32, header->raw.begin());
  header->fields = std::move(fields);
  return Status::Ok();
}

}  // namespace sdx::xbase
