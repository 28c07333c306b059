#include "tools/sendrix_sim/row_writer.h"

namespace sdx::sim {

RowWriter::RowWriter(CODE4* code_base, const std::string& path)
    : data_(d4open(code_base, path.c_str())) {}

RowWriter::~RowWriter() {
  if (data_ != nullptr) d4close(data_);
}

bool RowWriter::Start() {
  return data_ != nullptr && d4appendStart(data_, 0) == r4success && d4blank(data_) == r4success;
}

bool RowWriter::Append() { return d4append(data_) == r4success && d4unlock(data_) == r4success; }

void RowWriter::Set(FIELD4* field, double value) {
  if (field != nullptr) f4assignDouble(field, value);
}

void RowWriter::SetLong(FIELD4* field, long value) {
  if (field != nullptr) f4assignLong(field, value);
}

void RowWriter::SetText(FIELD4* field, std::string_view text) {
  if (field != nullptr) f4assignN(field, text.data(), static_cast<unsigned>(text.size()));
}

void RowWriter::SetMemo(FIELD4* field, std::string_view text) {
  if (field != nullptr) f4memoAssignN(field, text.data(), static_cast<unsigned>(text.size()));
}

}  // namespace sdx::sim
