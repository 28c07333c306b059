// Compiles arbitrary text as an expression over a fixed table layout and, when it compiles,
// evaluates it on a whole record and on records shorter than the layout. A compile error is a
// normal answer; a crash, a sanitizer report or a result wider than the static width is a bug.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/expr_expression.h"

namespace {

using sdx::xbase::Expression;
using sdx::xbase::ExprState;
using sdx::xbase::ExprType;
using sdx::xbase::FieldLayout;
using sdx::xbase::RecordView;

std::vector<FieldLayout> Layout() {
  struct Field {
    const char* name;
    char type;
    uint32_t width;
  };
  static constexpr Field kFields[] = {
      {"NAME", 'C', 20},  {"TECH", 'B', 8},  {"NODE", 'B', 8},   {"TIME", 'N', 11},
      {"STATUS", 'B', 8}, {"FLAGS", 'N', 5}, {"ACTIVE", 'L', 1}, {"BORN", 'D', 8},
      {"COUNT", 'I', 4},  {"PRICE", 'Y', 8}, {"NOTES", 'M', 4},  {"WIDE", 'C', 300},
  };
  std::vector<FieldLayout> fields;
  uint32_t offset = 1;
  for (const Field& f : kFields) {
    FieldLayout field;
    field.name = f.name;
    field.type = f.type;
    field.offset = offset;
    field.width = f.width;
    fields.push_back(field);
    offset += f.width;
  }
  return fields;
}

std::vector<uint8_t> Record(const std::vector<FieldLayout>& fields) {
  const FieldLayout& last = fields.back();
  std::vector<uint8_t> record(last.offset + last.width, ' ');
  auto put = [&](const char* name, const void* bytes, size_t n) {
    for (const FieldLayout& f : fields) {
      if (f.name == name) std::memcpy(record.data() + f.offset, bytes, n);
    }
  };
  put("NAME", " Smith \xE4 12.5", 13);
  const double tech = 4294967296.0;
  put("TECH", &tech, 8);
  const double node = -0.5;
  put("NODE", &node, 8);
  put("TIME", " 1700000814", 11);
  const double status = 205;
  put("STATUS", &status, 8);
  put("FLAGS", "32768", 5);
  put("ACTIVE", "T", 1);
  put("BORN", "19960704", 8);
  const int32_t count = -7;
  put("COUNT", &count, 4);
  const uint32_t notes = 8;
  put("NOTES", &notes, 4);
  return record;
}

void Check(const Expression& expression, const RecordView& view, ExprState* state) {
  const auto value = expression.Evaluate(view, state);
  if (value.type != expression.type()) std::abort();
  if (value.type == ExprType::kCharacter && value.text.size() > expression.width()) std::abort();
  const std::string_view key = expression.EvaluateKey(view, state);
  if (expression.type() == ExprType::kCharacter && key.size() != expression.width()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<FieldLayout> fields = Layout();
  static const std::vector<uint8_t> record = Record(fields);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Expression expression;
  if (!Expression::Compile(text, fields, &expression).ok()) return 0;
  ExprState state;
  Check(expression, RecordView{record.data(), static_cast<uint32_t>(record.size()), 7}, &state);
  Check(expression, RecordView{record.data(), 10, 8}, &state);
  Check(expression, RecordView{}, &state);
  return 0;
}
