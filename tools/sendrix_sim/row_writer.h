// RowWriter: appends rows to one table through the engine, as the paging server does; field
// handles are looked up once by name. Used by the demo folder and the running simulator.
#pragma once

#include <string>
#include <string_view>

#include "platform/xbase/engine_calls.h"

namespace sdx::sim {

class RowWriter {
 public:
  // Opens the table `path` (without extension) in `code_base`.
  RowWriter(CODE4* code_base, const std::string& path);
  ~RowWriter();
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  bool ok() const { return data_ != nullptr; }
  DATA4* data() { return data_; }
  // The field of that name, or null (assignments to null are ignored).
  FIELD4* Field(const char* name) { return data_ == nullptr ? nullptr : d4field(data_, name); }

  // A new blank row; then the assignments; then Append.
  bool Start();
  bool Append();

  static void Set(FIELD4* field, double value);
  static void SetLong(FIELD4* field, long value);
  static void SetText(FIELD4* field, std::string_view text);
  static void SetMemo(FIELD4* field, std::string_view text);

 private:
  DATA4* data_ = nullptr;
};

}  // namespace sdx::sim
