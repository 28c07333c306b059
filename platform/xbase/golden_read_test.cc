// Every row and field of the golden tables (written by an independent xBase engine) and of the
// Visual FoxPro Northwind sample reads as their listings say.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/xbase/engine_calls.h"
#include "platform/xbase/test_util.h"

namespace sdx::xbase {
namespace {

using nlohmann::json;
using testing::TempDir;

json LoadListing(const std::string& set) {
  std::vector<uint8_t> bytes = testing::ReadWholeFile(testing::FixtureDir(set) + "/listing.json");
  return json::parse(bytes.begin(), bytes.end());
}

// The listings write bytes 0x80..0xFF as \u00XX; back to the table's single bytes.
std::string Bytes(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0xC0 && c <= 0xC3 && i + 1 < utf8.size()) {
      out.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string Hex(const char* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out.push_back(kDigits[static_cast<unsigned char>(p[i]) >> 4]);
    out.push_back(kDigits[static_cast<unsigned char>(p[i]) & 15]);
  }
  return out;
}

std::string RightTrimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string Base64(const std::string& in) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    uint32_t v = static_cast<unsigned char>(in[i]) << 16 |
                 static_cast<unsigned char>(in[i + 1]) << 8 | static_cast<unsigned char>(in[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out.push_back(kAlphabet[(v >> k) & 63]);
  }
  if (i < in.size()) {
    uint32_t v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

class GoldenReadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0); }
  void TearDown() override { code4initUndo(&code_); }
  CODE4 code_;
};

TEST_F(GoldenReadTest, GoldenTablesReadAsListed) {
  TempDir dir;
  testing::CopyFixtures("xbase-golden", dir.path());
  const json listing = LoadListing("xbase-golden");
  for (const json& table : listing["tables"]) {
    const std::string name = table["table"];
    SCOPED_TRACE(name);
    DATA4* data = d4open(&code_, dir.File(table["files"]["dbf"]).c_str());
    ASSERT_NE(data, nullptr);
    const json& header = table["dbf_header"];
    EXPECT_EQ(_d4recCountDo2(data, 0), header["record_count"].get<long>());
    EXPECT_EQ(d4recWidth(data), header["record_length"].get<unsigned long>());
    ASSERT_EQ(d4numFields(data), static_cast<short>(table["fields"].size()));
    for (size_t j = 0; j < table["fields"].size(); ++j) {
      const json& f = table["fields"][j];
      FIELD4* field = d4fieldJ(data, static_cast<short>(j + 1));
      EXPECT_STREQ(f4name(field), f["name"].get<std::string>().c_str());
      EXPECT_EQ(f4type(field), f["type"].get<std::string>()[0]);
      // Wide character fields keep the high byte of their width in the decimals byte.
      const unsigned long width = f["length"].get<unsigned long>() +
                                  (f["type"] == "C" ? 256 * f["decimals"].get<unsigned long>() : 0);
      EXPECT_EQ(f4len(field), width);
    }

    long expected_record = 1;
    for (int rc = d4top(data); rc == 0; rc = d4skip(data, 1), ++expected_record) {
      const json& record = table["records"][static_cast<size_t>(expected_record - 1)];
      ASSERT_EQ(d4recNoLow(data), record["recno"].get<long>());
      EXPECT_EQ(Hex(d4record(data), d4recWidth(data)), record["raw"].get<std::string>());
      EXPECT_EQ(d4deleted(data) != 0, record["deleted"].get<bool>());
      for (const auto& [field_name, value] : record["values"].items()) {
        SCOPED_TRACE(field_name + " of record " + std::to_string(expected_record));
        FIELD4* field = d4field(data, field_name.c_str());
        ASSERT_NE(field, nullptr);
        switch (f4type(field)) {
          case 'B':
          case 'N':
            EXPECT_EQ(f4double(field), value.get<double>());
            if (value.is_number_integer() && std::fabs(value.get<double>()) < 2e9) {
              EXPECT_EQ(f4long(field), value.get<long>());
            }
            break;
          case 'C':
            EXPECT_EQ(std::string(f4str(field), f4len(field)), Bytes(value.get<std::string>()));
            break;
          case 'L':
            EXPECT_EQ(f4true(field) != 0, value.get<bool>());
            break;
          case 'M':
            EXPECT_EQ(std::string(f4memoStr(field), f4memoLen(field)),
                      Bytes(value.get<std::string>()));
            break;
          default:
            ADD_FAILURE() << "unexpected field type";
        }
      }
    }
    EXPECT_EQ(expected_record - 1, header["record_count"].get<long>());
    EXPECT_TRUE(d4eof(data));
    EXPECT_EQ(d4close(data), 0);
  }
}

TEST_F(GoldenReadTest, VisualFoxProNorthwindReadsAsListed) {
  TempDir dir;
  testing::CopyFixtures("vfp-northwind", dir.path());
  const json listing = LoadListing("vfp-northwind");
  for (const auto& [name, table] : listing["tables"].items()) {
    SCOPED_TRACE(name);
    DATA4* data = d4open(&code_, dir.File(name).c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(_d4recCountDo2(data, 0), table["record_count"].get<long>());
    ASSERT_EQ(d4numFields(data), static_cast<short>(table["fields"].size()));
    size_t index = 0;
    for (int rc = d4top(data); rc == 0; rc = d4skip(data, 1), ++index) {
      const json& record = table["records"][index];
      ASSERT_EQ(d4recNoLow(data), record["recno"].get<long>());
      EXPECT_EQ(d4deleted(data) != 0, record["deleted"].get<bool>());
      for (const auto& [field_name, value] : record["values"].items()) {
        SCOPED_TRACE(field_name + " of record " + std::to_string(index + 1));
        FIELD4* field = d4field(data, field_name.c_str());
        ASSERT_NE(field, nullptr);
        const std::string raw(f4ptr(field), f4len(field));
        switch (f4type(field)) {
          case 'I':
            EXPECT_EQ(f4long(field), value.get<long>());
            break;
          case 'N':
            EXPECT_EQ(f4double(field), value.get<double>());
            break;
          case 'Y':
            EXPECT_EQ(f4double(field), std::stod(value.get<std::string>()));
            break;
          case 'C':
            EXPECT_EQ(RightTrimmed(raw), Bytes(value.get<std::string>()));
            break;
          case 'D':
            if (value.is_null()) {
              EXPECT_EQ(raw, "        ");
            } else {
              std::string iso = value.get<std::string>();
              EXPECT_EQ(raw, iso.substr(0, 4) + iso.substr(5, 2) + iso.substr(8, 2));
            }
            break;
          case 'M':
          case 'G': {
            const std::string memo(f4memoStr(field), f4memoLen(field));
            if (value.is_null()) {
              EXPECT_EQ(memo, "");
            } else if (value.is_object()) {
              EXPECT_EQ(Base64(memo), value["bytes_b64"].get<std::string>());
            } else {
              EXPECT_EQ(memo, Bytes(value.get<std::string>()));
            }
            break;
          }
          case '0':
            EXPECT_EQ(Base64(raw), value["bytes_b64"].get<std::string>());
            break;
          default:
            ADD_FAILURE() << "unexpected field type " << static_cast<char>(f4type(field));
        }
      }
    }
    EXPECT_EQ(index, table["records"].size());
    EXPECT_EQ(d4close(data), 0);
  }
}

}  // namespace
}  // namespace sdx::xbase
