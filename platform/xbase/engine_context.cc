// The context calls: initialisation, settings, errors, the engine's allocation calls, and the
// opening, creation and closing of tables (which the context keeps in its list).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/xbase/engine_index_calls.h"
#include "platform/xbase/engine_position.h"
#include "platform/xbase/engine_types.h"
#include "platform/xbase/field_value.h"
#include "platform/xbase/file_names.h"

using sdx::xbase::DbfTable;
using sdx::xbase::EngineContext;
using sdx::xbase::FieldSpec;
using sdx::xbase::Status;

namespace sdx::xbase {

int EngineContext::Fail(const Status& status) {
  if (!status.ok()) error_code.store(status.code());
  return status.code();
}

}  // namespace sdx::xbase

CODE4::CODE4() = default;
CODE4::~CODE4() = default;

namespace {

EngineContext* ContextOf(CODE4* c4) { return c4 == nullptr ? nullptr : c4->context.get(); }

DATA4* AddTable(CODE4* c4, std::unique_ptr<DbfTable> table) {
  auto data = std::make_unique<DATA4>();
  data->code = c4;
  data->table = std::move(table);
  const size_t length = data->table->record_length();
  data->record.assign(length, ' ');
  for (const auto& f : data->table->fields()) sdx::xbase::BlankField(f, data->record.data());
  for (size_t i = 0; i < data->table->fields().size(); ++i) {
    auto field = std::make_unique<FIELD4>();
    field->data = data.get();
    field->number = i;
    field->field = &data->table->fields()[i];
    data->fields.push_back(std::move(field));
  }
  DATA4* handle = data.get();
  std::scoped_lock lock(c4->context->tables_lock);
  c4->context->tables.push_back(std::move(data));
  return handle;
}

// Opens or creates a table through `make` and adds its handle to the context; null, with the
// context's error code set, when the arguments are missing or the table cannot be had.
template <typename Make>
DATA4* NewTable(CODE4* c4, bool arguments_given, Make&& make) {
  EngineContext* context = ContextOf(c4);
  if (context == nullptr) return nullptr;
  if (!arguments_given) {
    context->error_code.store(sdx::xbase::kErrParmNull);
    return nullptr;
  }
  return sdx::xbase::NoThrow<DATA4*>(nullptr, [&]() -> DATA4* {
    std::unique_ptr<DbfTable> table;
    Status s = make(&table);
    if (!s.ok()) {
      context->Fail(s);
      return nullptr;
    }
    return AddTable(c4, std::move(table));
  });
}

}  // namespace

extern "C" {

int code4initLow(CODE4* c4, const char*, long version, long struct_size, int) {
  if (c4 == nullptr) return sdx::xbase::kErrParmNull;
  if (version != kCode4InterfaceVersion || struct_size != kCode4StructSize) {
    return sdx::xbase::kErrStruct;
  }
  if (c4->context == nullptr) c4->context = std::make_unique<EngineContext>();
  return sdx::xbase::kSuccess;
}

int code4initUndo(CODE4* c4) {
  if (ContextOf(c4) == nullptr) return sdx::xbase::kErrStruct;
  code4close(c4);
  c4->context.reset();
  return sdx::xbase::kSuccess;
}

int code4close(CODE4* c4) {
  EngineContext* context = ContextOf(c4);
  if (context == nullptr) return sdx::xbase::kErrStruct;
  std::vector<std::unique_ptr<DATA4>> tables;
  {
    std::scoped_lock lock(context->tables_lock);
    tables.swap(context->tables);
  }
  int result = sdx::xbase::kSuccess;
  for (auto& data : tables) {
    int rc = d4flush(data.get());
    data->table->UnlockAll();
    if (rc < 0) result = rc;
  }
  return result;
}

int code4lockEnforceSet(CODE4* c4, int on) {
  EngineContext* context = ContextOf(c4);
  if (context == nullptr) return sdx::xbase::kErrStruct;
  return context->lock_enforce.exchange(on != 0) ? 1 : 0;
}

int code4errorCode(CODE4* c4, int code) {
  EngineContext* context = ContextOf(c4);
  if (context == nullptr) return sdx::xbase::kErrStruct;
  return context->error_code.exchange(code);
}

int error4default(CODE4* c4, int code, long location) {
  if (EngineContext* context = ContextOf(c4)) context->error_code.store(code);
  std::fprintf(stderr, "xbase engine error %d at location %ld\n", code, location);
  return code;
}

void* u4allocDefault(long size) {
  if (size <= 0) return nullptr;
  return std::calloc(1, static_cast<size_t>(size));
}

void u4freeDefault(void* block) { std::free(block); }

void* u4allocFreeDefault(CODE4* c4, long size) {
  void* block = u4allocDefault(size);
  if (block == nullptr && size > 0) {
    if (EngineContext* context = ContextOf(c4)) context->error_code.store(sdx::xbase::kErrMemory);
  }
  return block;
}

void c4ltoa45(long value, char* out, int width) {
  if (out == nullptr || width == 0) return;
  // A negative width asks for zeros instead of blanks in front of the digits.
  const bool zeros = width < 0;
  const unsigned n = static_cast<unsigned>(zeros ? -width : width);
  char digits[24];
  const int length = std::snprintf(digits, sizeof(digits), "%ld", value < 0 ? -value : value);
  const unsigned need = static_cast<unsigned>(length) + (value < 0 ? 1 : 0);
  if (length < 0 || need > n) {
    std::memset(out, '*', n);
    return;
  }
  std::memset(out, zeros ? '0' : ' ', n);
  std::memcpy(out + n - length, digits, length);
  if (value < 0) out[zeros ? 0 : n - need] = '-';
}

DATA4* d4open(CODE4* c4, const char* name) {
  DATA4* data = NewTable(c4, name != nullptr, [&](std::unique_ptr<DbfTable>* table) {
    return DbfTable::Open(sdx::xbase::WithDefaultExtension(name, "dbf"), false, table);
  });
  if (data == nullptr ||
      !(data->table->header().table_flags() & sdx::xbase::kFlagStructuralIndex)) {
    return data;
  }
  // A table that says it has a production index is not used without it: changes made without
  // keeping its tags would mislead every other program reading them.
  if (sdx::xbase::NoThrow(sdx::xbase::kErrMemory,
                          [&] { return sdx::xbase::OpenProductionIndex(data); }) < 0) {
    const int code = data->context().error_code.load();
    d4close(data);
    c4->context->error_code.store(code);
    return nullptr;
  }
  return data;
}

DATA4* d4create(CODE4* c4, const char* name, const FIELD4INFO* fields, const TAG4INFO* tags) {
  DATA4* data =
      NewTable(c4, name != nullptr && fields != nullptr, [&](std::unique_ptr<DbfTable>* table) {
        std::vector<FieldSpec> specs;
        for (const FIELD4INFO* f = fields; f->name != nullptr; ++f) {
          specs.push_back(
              FieldSpec{f->name, static_cast<char>(f->type), f->len, f->dec, f->nulls != 0});
        }
        return DbfTable::Create(sdx::xbase::WithDefaultExtension(name, "dbf"), specs, 0, table);
      });
  if (data == nullptr || tags == nullptr || tags->name == nullptr) return data;
  // The index flag is set once the index is complete, so a failure leaves no table behind
  // that claims an index it lacks; the new files are removed then.
  const int rc = d4createIndex(data, tags);
  if (rc < 0) {
    const std::string path = data->table->path();
    const std::string memo = data->table->memo() != nullptr ? data->table->memo()->path() : "";
    d4close(data);
    std::remove(path.c_str());
    if (!memo.empty()) std::remove(memo.c_str());
    c4->context->error_code.store(rc);
    return nullptr;
  }
  return data;
}

int d4close(DATA4* data) {
  if (data == nullptr) return sdx::xbase::kErrParmNull;
  EngineContext& context = data->context();
  int rc = d4flush(data);
  data->table->UnlockAll();
  std::unique_ptr<DATA4> owned;
  {
    std::scoped_lock lock(context.tables_lock);
    for (auto it = context.tables.begin(); it != context.tables.end(); ++it) {
      if (it->get() == data) {
        owned = std::move(*it);
        context.tables.erase(it);
        break;
      }
    }
  }
  return rc < 0 ? rc : sdx::xbase::kSuccess;
}

}  // extern "C"
