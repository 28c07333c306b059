// The field calls: reading the current record's values, assigning them (under lock
// enforcement), and memo texts, which are read on first use and written when the record is.
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/xbase/engine_types.h"
#include "platform/xbase/field_value.h"

using sdx::xbase::FieldLayout;
using sdx::xbase::kErrMemory;
using sdx::xbase::kErrParm;
using sdx::xbase::kErrParmNull;
using sdx::xbase::kSuccess;
using sdx::xbase::NoThrow;
using sdx::xbase::Status;

namespace {

uint8_t* Bytes(const FIELD4* field) { return field->data->record.data() + field->layout().offset; }

long Saturate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<long>::max())) {
    return std::numeric_limits<long>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<long>::min())) {
    return std::numeric_limits<long>::min();
  }
  return static_cast<long>(value);
}

int64_t ReadInt64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return static_cast<int64_t>(v);
}

const FieldLayout* NullFlags(const DATA4* data) {
  for (const FieldLayout& f : data->table->fields()) {
    if (f.type == '0') return &f;
  }
  return nullptr;
}

// Loads the current record's memo into the field unless it holds it already. A memo the file
// cannot give (pointer past its end, absurd length) reads as empty and sets the context's error.
void LoadMemo(FIELD4* field) {
  DATA4* data = field->data;
  if (field->memo_generation == data->generation) return;
  field->memo_generation = data->generation;
  field->memo_changed = false;
  Status s = data->table->ReadMemo(field->layout(), data->record.data(), &field->memo);
  if (!s.ok()) {
    field->memo.clear();
    data->context().Fail(s);
  }
}

int Changed(FIELD4* field) {
  field->data->changed = true;
  return kSuccess;
}

int AssignText(FIELD4* field, const char* text, size_t length) {
  const FieldLayout& f = field->layout();
  uint8_t* p = Bytes(field);
  switch (f.type) {
    case 'N':
    case 'F': {
      while (length > 0 && text[0] == ' ') ++text, --length;
      while (length > 0 && text[length - 1] == ' ') --length;
      if (length > f.width) return kErrParm;
      std::memset(p, ' ', f.width - length);
      std::memcpy(p + f.width - length, text, length);
      break;
    }
    case 'B':
    case 'I': {
      std::string copy(text, length);
      char* end = nullptr;
      const double value = std::strtod(copy.c_str(), &end);
      if (f.type == 'B') {
        sdx::xbase::WriteDouble(value, p);
      } else {
        if (f.width != 4 || !(value >= INT32_MIN && value <= INT32_MAX)) return kErrParm;
        const auto v = static_cast<uint32_t>(static_cast<int32_t>(value));
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
      }
      break;
    }
    default: {
      const size_t n = std::min<size_t>(length, f.width);
      std::memcpy(p, text, n);
      std::memset(p + n, ' ', f.width - n);
      break;
    }
  }
  return Changed(field);
}

}  // namespace

extern "C" {

double f4double(const FIELD4* field) {
  if (field == nullptr) return 0.0;
  const FieldLayout& f = field->layout();
  const uint8_t* p = Bytes(field);
  // Tests in order of frequency rather than a switch: a walk alternates B and N fields, which
  // conditional branches predict far better than one indirect jump.
  if (f.type == 'B') return f.width == 8 ? sdx::xbase::ReadDouble(p) : 0.0;
  if (f.type == 'N' || f.type == 'F' || f.type == 'C') return sdx::xbase::ParseNumeric(p, f.width);
  if (f.type == 'I') return f.width == 4 ? sdx::xbase::ReadInt32(p) : 0.0;
  if (f.type == 'Y') return f.width == 8 ? static_cast<double>(ReadInt64(p)) / 10000.0 : 0.0;
  return 0.0;
}

long f4long(const FIELD4* field) {
  if (field == nullptr) return 0;
  const FieldLayout& f = field->layout();
  if (f.type == 'N') return Saturate(sdx::xbase::ParseNumeric(Bytes(field), f.width));
  if (f.type == 'I' && f.width == 4) return sdx::xbase::ReadInt32(Bytes(field));
  return Saturate(f4double(field));
}

int f4int(const FIELD4* field) {
  const long v = f4long(field);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

int f4true(const FIELD4* field) {
  return field != nullptr && field->layout().width > 0 && sdx::xbase::ReadLogical(Bytes(field)[0]);
}

int f4char(const FIELD4* field) {
  return field == nullptr || field->layout().width == 0 ? 0 : Bytes(field)[0];
}

char* f4ptr(const FIELD4* field) {
  return field == nullptr ? nullptr : reinterpret_cast<char*>(Bytes(field));
}

char* f4str(FIELD4* field) {
  if (field == nullptr) return nullptr;
  return NoThrow<char*>(nullptr, [&] {
    field->text.assign(reinterpret_cast<const char*>(Bytes(field)), field->layout().width);
    return field->text.data();
  });
}

unsigned long f4len(const FIELD4* field) { return field == nullptr ? 0 : field->layout().width; }
int f4type(const FIELD4* field) { return field == nullptr ? 0 : field->layout().type; }
int f4decimals(const FIELD4* field) { return field == nullptr ? 0 : field->layout().decimals; }
const char* f4name(const FIELD4* field) {
  return field == nullptr ? nullptr : field->layout().name.c_str();
}

int f4null(const FIELD4* field) {
  if (field == nullptr || field->layout().null_bit < 0) return 0;
  const FieldLayout* flags = NullFlags(field->data);
  const int bit = field->layout().null_bit;
  if (flags == nullptr || static_cast<uint32_t>(bit / 8) >= flags->width) return 0;
  return (field->data->record[flags->offset + bit / 8] >> (bit % 8)) & 1;
}

int f4assignNotNull(FIELD4* field) {
  if (field == nullptr) return kErrParmNull;
  if (!f4null(field)) return kSuccess;
  if (int rc = field->data->Writable(); rc != kSuccess) return rc;
  const FieldLayout* flags = NullFlags(field->data);
  const int bit = field->layout().null_bit;
  field->data->record[flags->offset + bit / 8] &= static_cast<uint8_t>(~(1u << (bit % 8)));
  return Changed(field);
}

int f4assign(FIELD4* field, const char* text) {
  if (field == nullptr || text == nullptr) return kErrParmNull;
  return f4assignN(field, text, static_cast<unsigned>(std::strlen(text)));
}

int f4assignN(FIELD4* field, const char* text, unsigned length) {
  if (field == nullptr || (text == nullptr && length > 0)) return kErrParmNull;
  if (int rc = field->data->Writable(); rc != kSuccess) return rc;
  if (sdx::xbase::IsMemoType(field->layout().type)) return f4memoAssignN(field, text, length);
  return NoThrow(kErrMemory, [&] { return AssignText(field, text, length); });
}

int f4assignChar(FIELD4* field, int c) {
  if (field == nullptr) return kErrParmNull;
  const char ch = static_cast<char>(c);
  return f4assignN(field, &ch, 1);
}

int f4assignDouble(FIELD4* field, double value) {
  if (field == nullptr) return kErrParmNull;
  if (int rc = field->data->Writable(); rc != kSuccess) return rc;
  const FieldLayout& f = field->layout();
  uint8_t* p = Bytes(field);
  switch (f.type) {
    case 'B':
      if (f.width != 8) return kErrParm;
      sdx::xbase::WriteDouble(value, p);
      break;
    case 'N':
    case 'F': {
      // A value too wide for the field is refused rather than stored as overflow marks.
      std::vector<uint8_t> text(f.width);
      if (!sdx::xbase::FormatNumeric(value, f.width, f.decimals, text.data())) return kErrParm;
      std::memcpy(p, text.data(), f.width);
      break;
    }
    case 'I':
      if (f.width != 4 || !(value >= INT32_MIN && value <= INT32_MAX)) return kErrParm;
      for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(value)) >> (8 * i));
      }
      break;
    default:
      return kErrParm;
  }
  return Changed(field);
}

int f4assignLong(FIELD4* field, long value) {
  if (field == nullptr) return kErrParmNull;
  const FieldLayout& f = field->layout();
  if ((f.type == 'N' || f.type == 'F') && f.decimals == 0) {
    if (int rc = field->data->Writable(); rc != kSuccess) return rc;
    uint8_t text[32];
    if (f.width > sizeof(text)) {
      std::memset(Bytes(field), ' ', f.width - sizeof(text));
      if (!sdx::xbase::FormatInteger(value, sizeof(text), text)) return kErrParm;
      std::memcpy(Bytes(field) + f.width - sizeof(text), text, sizeof(text));
    } else {
      if (!sdx::xbase::FormatInteger(value, f.width, text)) return kErrParm;
      std::memcpy(Bytes(field), text, f.width);
    }
    return Changed(field);
  }
  return f4assignDouble(field, static_cast<double>(value));
}

int f4assignInt(FIELD4* field, int value) { return f4assignLong(field, value); }

char* f4memoStr(FIELD4* field) {
  if (field == nullptr) return nullptr;
  if (!sdx::xbase::IsMemoType(field->layout().type)) return f4str(field);
  return NoThrow<char*>(nullptr, [&] {
    LoadMemo(field);
    return field->memo.data();
  });
}

unsigned long f4memoLen(FIELD4* field) {
  if (field == nullptr) return 0;
  if (!sdx::xbase::IsMemoType(field->layout().type)) return field->layout().width;
  return NoThrow<unsigned long>(0, [&] {
    LoadMemo(field);
    return static_cast<unsigned long>(field->memo.size());
  });
}

char* f4memoPtr(FIELD4* field) { return f4memoStr(field); }

int f4memoSetLen(FIELD4* field, unsigned long length) {
  if (field == nullptr) return kErrParmNull;
  if (!sdx::xbase::IsMemoType(field->layout().type)) return kErrParm;
  if (int rc = field->data->Writable(); rc != kSuccess) return rc;
  return NoThrow(kErrMemory, [&] {
    LoadMemo(field);
    field->memo.resize(length, '\0');
    field->memo_changed = true;
    return Changed(field);
  });
}

int f4memoAssign(FIELD4* field, const char* text) {
  if (field == nullptr || text == nullptr) return kErrParmNull;
  return f4memoAssignN(field, text, static_cast<unsigned>(std::strlen(text)));
}

int f4memoAssignN(FIELD4* field, const char* text, unsigned length) {
  if (field == nullptr || (text == nullptr && length > 0)) return kErrParmNull;
  if (!sdx::xbase::IsMemoType(field->layout().type)) return f4assignN(field, text, length);
  if (int rc = field->data->Writable(); rc != kSuccess) return rc;
  return NoThrow(kErrMemory, [&] {
    field->memo.assign(text == nullptr ? "" : text, length);
    field->memo_generation = field->data->generation;
    field->memo_changed = true;
    return Changed(field);
  });
}

}  // extern "C"
