// Where one field of a DBF record lies and how it is typed. Shared by the table reader, the
// expression compiler (which binds field names to layouts) and the index (which evaluates key
// expressions over record bytes).
#pragma once

#include <cstdint>
#include <string>

namespace sdx::xbase {

struct FieldLayout {
  std::string name;      // upper case as stored, at most 10 characters
  char type = 'C';       // 'C', 'N', 'B', 'L', 'M', or any other letter of a foreign table
  uint32_t offset = 0;   // from the start of the record, the deletion flag being byte 0
  uint32_t width = 0;    // bytes in the record (C fields over 255 wide included)
  uint8_t decimals = 0;  // for N and B; 0 for C fields (their width's high byte is folded in)
  uint8_t flags = 0;     // field flags byte of the descriptor
  int null_bit = -1;     // bit of the record's _NullFlags field for a nullable field, else -1
};

// A view of one record as stored: byte 0 is the deletion flag ('*' deleted, ' ' not).
struct RecordView {
  const uint8_t* bytes = nullptr;
  uint32_t length = 0;
  uint32_t record_number = 0;
  bool deleted() const { return bytes != nullptr && bytes[0] == '*'; }
};

}  // namespace sdx::xbase
