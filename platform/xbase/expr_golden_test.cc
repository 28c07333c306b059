// Every key expression and FOR filter of the golden tables and of the VFP-written Northwind
// tables, evaluated on every record and checked against the keys those engines stored.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "platform/xbase/expr_expression.h"

namespace sdx::xbase {
namespace {

using Json = nlohmann::json;
using Bytes = std::string;

const std::string kShared = SDX_SHARED_DIR;

Json ReadJson(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  return Json::parse(in, nullptr, false);
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The CDX numeric key form: a big-endian double with the sign bit flipped when >= 0 and all
// bits inverted when < 0. Decoded here because encoding belongs to the index layer.
double DecodeDoubleKey(const Bytes& key) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i) bits = (bits << 8) | static_cast<uint8_t>(key[i]);
  bits = (bits >> 63) ? bits & ~(uint64_t{1} << 63) : ~bits;
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A VFP integer key: big-endian, sign bit flipped.
double DecodeIntegerKey(const Bytes& key) {
  uint32_t bits = 0;
  for (size_t i = 0; i < 4; ++i) bits = (bits << 8) | static_cast<uint8_t>(key[i]);
  return static_cast<int32_t>(bits ^ 0x80000000u);
}

RecordView View(const Bytes& record, uint32_t record_number) {
  return RecordView{reinterpret_cast<const uint8_t*>(record.data()),
                    static_cast<uint32_t>(record.size()), record_number};
}

// Fields as a listing gives them, laid out one after the other from byte 1.
std::vector<FieldLayout> Fields(const Json& listed) {
  std::vector<FieldLayout> fields;
  uint32_t offset = 1;
  for (const Json& f : listed) {
    FieldLayout field;
    field.name = f["name"].get<std::string>();
    field.type = f["type"].get<std::string>()[0];
    field.width = f["length"].get<uint32_t>();
    field.decimals = f["decimals"].get<uint8_t>();
    if (field.type == 'C') {
      // Wide character fields keep the width's high byte in the decimals byte.
      field.width += 256u * field.decimals;
      field.decimals = 0;
    }
    field.offset = offset;
    offset += field.width;
    if (f.contains("offset")) {
      EXPECT_EQ(f["offset"].get<uint32_t>(), field.offset) << field.name;
    }
    fields.push_back(field);
  }
  return fields;
}

// Our key for a record, in a form comparable with a stored one: the padded text for character
// and date keys, the value for numbers.
struct OurKey {
  Bytes text;
  double number = 0;
  bool operator==(const OurKey& other) const {
    return text == other.text && number == other.number;
  }
};

OurKey KeyOf(const Expression& key, const RecordView& record, ExprState* state) {
  OurKey ours;
  if (key.type() == ExprType::kCharacter) {
    ours.text = Bytes(key.EvaluateKey(record, state));
  } else {
    ours.number = key.Evaluate(record, state).number;
  }
  return ours;
}

TEST(ExprGoldenTest, EveryTagOfTheGoldenTables) {
  const Json listing = ReadJson(kShared + "/fixtures/xbase-golden/listing.json");
  ASSERT_FALSE(listing.is_discarded());
  ExprState state;
  int tags_checked = 0;
  for (const Json& table : listing["tables"]) {
    const std::string table_name = table["table"].get<std::string>();
    const std::vector<FieldLayout> fields = Fields(table["fields"]);
    std::map<uint32_t, Bytes> records;
    for (const Json& r : table["records"]) {
      const Bytes raw = FromHex(r["raw"].get<std::string>());
      EXPECT_EQ(raw[0] == '*', r["deleted"].get<bool>());
      EXPECT_EQ(raw.size(), table["dbf_header"]["record_length"].get<size_t>());
      records[r["recno"].get<uint32_t>()] = raw;
    }
    for (const Json& tag : table["tags"]) {
      const std::string tag_name = tag["name"].get<std::string>();
      SCOPED_TRACE(table_name + " " + tag_name);
      Expression key;
      Status status = Expression::Compile(tag["expression"].get<std::string>(), fields, &key);
      ASSERT_TRUE(status.ok()) << status.message();
      Expression filter;
      const bool has_filter = !tag["for"].is_null();
      if (has_filter) {
        status = Expression::CompileFilter(tag["for"].get<std::string>(), fields, &filter);
        ASSERT_TRUE(status.ok()) << status.message();
      }
      const bool character = tag["key_type"] == "C";
      EXPECT_EQ(key.type(), character ? ExprType::kCharacter : ExprType::kNumeric);
      if (character) {
        EXPECT_EQ(key.width(), tag["key_size"].get<uint32_t>());
      }

      std::map<uint32_t, OurKey> stored;
      for (const Json& k : tag["keys"]) {
        const Bytes bytes = FromHex(k["key"].get<std::string>());
        ASSERT_EQ(bytes.size(), tag["key_size"].get<size_t>());
        OurKey theirs;
        if (character) {
          theirs.text = bytes;
        } else {
          theirs.number = DecodeDoubleKey(bytes);
        }
        stored[k["recno"].get<uint32_t>()] = theirs;
      }
      for (const auto& [record_number, raw] : records) {
        SCOPED_TRACE("record " + std::to_string(record_number));
        const RecordView view = View(raw, record_number);
        const bool passes = !has_filter || filter.EvaluateLogical(view, &state);
        const OurKey ours = KeyOf(key, view, &state);
        const auto entry = stored.find(record_number);
        if (entry != stored.end()) {
          EXPECT_TRUE(passes) << "in the tag though its FOR is false";
          EXPECT_EQ(ours.text, entry->second.text);
          EXPECT_EQ(ours.number, entry->second.number);
          continue;
        }
        // Out of the tag: its FOR is false, or a unique tag already holds its key.
        if (!passes) continue;
        EXPECT_TRUE(tag["unique"].get<bool>()) << "missing from the tag though its FOR is true";
        bool duplicate = false;
        for (const auto& [other, theirs] : stored) duplicate = duplicate || theirs == ours;
        EXPECT_TRUE(duplicate) << "unique tag without this record's key";
      }
      ++tags_checked;
    }
  }
  EXPECT_EQ(tags_checked, 21);
}

// The raw records of a VFP table, straight from its DBF file (the listing has values only).
std::vector<Bytes> ReadDbfRecords(const std::string& path, uint32_t* record_length) {
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Bytes> records;
  if (file.size() < 32) return records;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(file[at + i]);
    return v;
  };
  const uint32_t count = le(4, 4);
  const uint32_t header_length = le(8, 2);
  *record_length = le(10, 2);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = header_length + size_t{i} * *record_length;
    if (at + *record_length > file.size()) break;
    records.push_back(file.substr(at, *record_length));
  }
  return records;
}

TEST(ExprGoldenTest, EveryTagOfTheNorthwindTables) {
  const std::string folder = kShared + "/fixtures/vfp-northwind/";
  const Json listing = ReadJson(folder + "listing.json");
  ASSERT_FALSE(listing.is_discarded());
  ExprState state;
  int tags_checked = 0;
  int null_keys = 0;
  for (const auto& [table_name, table] : listing["tables"].items()) {
    const std::vector<FieldLayout> fields = Fields(table["fields"]);
    uint32_t record_length = 0;
    const std::vector<Bytes> records = ReadDbfRecords(folder + table_name + ".dbf", &record_length);
    ASSERT_EQ(records.size(), table["record_count"].get<size_t>()) << table_name;
    ASSERT_EQ(record_length, fields.back().offset + fields.back().width) << table_name;
    for (const Json& tag : table["tags"]) {
      SCOPED_TRACE(table_name + " " + tag["tag"].get<std::string>());
      Expression key;
      Status status = Expression::Compile(tag["key"].get<std::string>(), fields, &key);
      ASSERT_TRUE(status.ok()) << status.message();
      ASSERT_TRUE(tag["for"].get<std::string>().empty());
      const uint32_t key_length = tag["key_length"].get<uint32_t>();
      // A nullable column's keys carry a leading marker byte: 0x80 before a value.
      uint32_t value_length = key.width();
      if (key.type() == ExprType::kNumeric) value_length = key_length >= 8 ? 8 : 4;
      ASSERT_TRUE(key_length == value_length || key_length == value_length + 1) << key_length;
      const bool nullable = key_length == value_length + 1;
      const char fill = key.type() == ExprType::kCharacter ? ' ' : '\0';

      std::set<uint32_t> walked;
      for (const Json& entry : tag["walk"]) {
        const uint32_t record_number = entry[1].get<uint32_t>();
        SCOPED_TRACE("record " + std::to_string(record_number));
        walked.insert(record_number);
        ASSERT_GE(record_number, 1u);
        ASSERT_LE(record_number, records.size());
        // The reader prints keys without the trailing fill the leaves compress away.
        Bytes stored = FromHex(entry[0].get<std::string>());
        stored.resize(key_length, fill);
        if (nullable) {
          if (static_cast<uint8_t>(stored[0]) != 0x80) {
            ++null_keys;
            continue;
          }
          stored.erase(0, 1);
        }
        const RecordView view = View(records[record_number - 1], record_number);
        const ExprValue value = key.Evaluate(view, &state);
        switch (key.type()) {
          case ExprType::kCharacter:
            EXPECT_EQ(key.EvaluateKey(view, &state), stored);
            break;
          case ExprType::kDate:
            EXPECT_EQ(value.number, DecodeDoubleKey(stored)) << value.text;
            break;
          case ExprType::kNumeric:
            EXPECT_EQ(value.number,
                      value_length == 4 ? DecodeIntegerKey(stored) : DecodeDoubleKey(stored));
            break;
          case ExprType::kLogical:
            ADD_FAILURE() << "no logical tags in these tables";
            break;
        }
      }
      EXPECT_EQ(walked.size(), records.size()) << "a tag without FOR holds every record";
      ++tags_checked;
    }
  }
  EXPECT_EQ(tags_checked, 20);
  EXPECT_GT(null_keys, 0);
}

}  // namespace
}  // namespace sdx::xbase
