// Thin handle classes over the engine's table and field handles, as the table layer keeps them
// in its objects: a Data4 is empty until its table is opened, a Field4 unbound until it is bound
// to a field of an open table. Neither owns anything; the context owns the handles.
#pragma once

#include "platform/xbase/engine_calls.h"

class Data4 {
 public:
  Data4() = default;
  explicit Data4(DATA4* data) : data_(data) {}

  DATA4* dat() const { return data_; }
  bool isValid() const { return data_ != nullptr; }
  void reset(DATA4* data = nullptr) { data_ = data; }

 private:
  DATA4* data_ = nullptr;
};

class Field4 {
 public:
  Field4() = default;
  explicit Field4(FIELD4* field) : field_(field) {}
  Field4(const Data4& data, const char* name) : field_(d4field(data.dat(), name)) {}
  Field4(const Data4& data, short number) : field_(d4fieldJ(data.dat(), number)) {}

  FIELD4* field() const { return field_; }
  bool isValid() const { return field_ != nullptr; }
  void reset(FIELD4* field = nullptr) { field_ = field; }

 private:
  FIELD4* field_ = nullptr;
};
