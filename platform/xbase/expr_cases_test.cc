#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/xbase/expr_expression.h"
#include "platform/xbase/expr_format.h"

namespace sdx::xbase {
namespace {

// A table with one field of every type the language reads, and one record of it.
std::vector<FieldLayout> Layout() {
  std::vector<FieldLayout> fields;
  uint32_t offset = 1;
  auto add = [&](const char* name, char type, uint32_t width, uint8_t decimals = 0) {
    FieldLayout f;
    f.name = name;
    f.type = type;
    f.offset = offset;
    f.width = width;
    f.decimals = decimals;
    fields.push_back(f);
    offset += width;
  };
  add("NAME", 'C', 10);
  add("CITY", 'C', 8);
  add("AMOUNT", 'N', 8, 2);
  add("ID", 'B', 8);
  add("FLAG", 'L', 1);
  add("BORN", 'D', 8);
  add("COUNT", 'I', 4);
  add("PRICE", 'Y', 8, 4);
  add("NOTES", 'M', 4);
  add("PIC", 'G', 4);
  add("CUSTOMERNA", 'C', 6);
  return fields;
}

std::vector<uint8_t> Record() {
  std::string r = " ";
  r += "  Smith   ";
  r += "        ";
  r += "  123.45";
  const double id = -12.5;
  char bytes[8];
  std::memcpy(bytes, &id, 8);
  r.append(bytes, 8);
  r += "T";
  r += "19960704";
  const int32_t count = -7;
  std::memcpy(bytes, &count, 4);
  r.append(bytes, 4);
  const int64_t price = 123456;
  std::memcpy(bytes, &price, 8);
  r.append(bytes, 8);
  r += std::string(4, '\0');
  r += std::string(4, '\0');
  r += "ACME  ";
  return std::vector<uint8_t>(r.begin(), r.end());
}

class ExprCasesTest : public ::testing::Test {
 protected:
  ExprValue Run(const std::string& text, Expression* expression) {
    Status status = Expression::Compile(text, fields_, expression);
    EXPECT_TRUE(status.ok()) << status.message();
    RecordView view{record_.data(), static_cast<uint32_t>(record_.size()), 42};
    return expression->Evaluate(view, &state_);
  }

  std::vector<FieldLayout> fields_ = Layout();
  std::vector<uint8_t> record_ = Record();
  ExprState state_;
};

TEST_F(ExprCasesTest, CharacterResultsAndTheirStaticWidths) {
  struct Case {
    const char* text;
    const char* value;
    uint32_t width;
  };
  const Case kCases[] = {
      {"NAME", "  Smith   ", 10},
      {"name", "  Smith   ", 10},
      {"X->NAME", "  Smith   ", 10},
      {"x.name", "  Smith   ", 10},
      {"CUSTOMERNAME", "ACME  ", 6},  // ten significant characters
      {"TRIM(NAME)", "  Smith", 10},
      {"RTRIM(NAME)", "  Smith", 10},
      {"LTRIM(NAME)", "Smith   ", 10},
      {"ALLTRIM(NAME)", "Smith", 10},
      {"TRIM(CITY)", "", 8},
      {"LTRIM(CITY)", "", 8},
      {"ALLTRIM(CITY)", "", 8},
      {"UPPER(NAME)", "  SMITH   ", 10},
      {"LOWER('AbC-\xC4\xD7\x9F')", "abc-\xE4\xD7\xFF", 7},
      {"UPPER('\xE4\xE9\xFF\xF7\x9A\xDF\xB5')", "\xC4\xC9\x9F\xF7\x8A\xDF\xB5", 7},
      {"upper(left(trim(name),40))", "  SMITH", 40},
      {"LEFT(UPPER(TRIM(NAME)),4)", "  SM", 4},
      {"LEFT(NAME, 4.9)", "  Sm", 4},
      {"LEFT(NAME, -1)", "", 0},
      {"LEFT(NAME, 1 + 1)", "  ", 10},  // a computed count keeps the argument's width
      {"RIGHT(TRIM(NAME), 3)", "ith", 3},
      {"RIGHT(NAME, 20)", "  Smith   ", 20},
      {"SUBSTR(NAME, 3, 5)", "Smith", 5},
      {"SUBSTR(NAME, 7)", "h   ", 4},
      {"SUBSTR(NAME, 0, 2)", "  ", 2},
      {"SUBSTR(NAME, -5, 2)", "  ", 2},
      {"SUBSTR(NAME, 11)", "", 0},
      {"SUBSTR(NAME, 20, 3)", "", 3},
      {"SUBSTR('abc', 2, 10)", "bc", 10},
      {"SUBS(NAME, 3, 1)", "S", 1},
      {"'a' + \"b\" + [c]", "abc", 3},
      {"TRIM(NAME) + '|' + CITY + '|'", "  Smith|        |", 20},
      {"LTRIM(STR(AMOUNT,8,0)) + ':' + LTRIM(STR(ID,8,0))  + ':' + LTRIM(STR(COUNT,11,0))",
       "123:-13:-7", 29},
      {"DTOS(BORN)", "19960704", 8},
      {"IIF(FLAG, 'yes', 'no')", "yes", 3},
      {"IIF(.NOT. FLAG, 'yes', 'no!!')", "no!!", 4},
      {"STR(AMOUNT)", "       123", 10},
      {"STR(AMOUNT, 8, 1)", "   123.5", 8},
      {"STR(AMOUNT, 6, 2)", "123.45", 6},
      {"STR(AMOUNT, 5, 2)", "*****", 5},
      {"STR(ID, 8, 2)", "  -12.50", 8},
      {"STR(ID, 4)", " -13", 4},
      {"STR(COUNT)", "        -7", 10},
      {"STR(PRICE, 8, 4)", " 12.3456", 8},
      {"STR(2.5, 3)", "  3", 3},
      {"STR(-2.5, 3)", " -3", 3},
      {"STR(1.005, 5, 2)", " 1.01", 5},
      {"STR(-0.4, 3)", "  0", 3},
      {"STR(-0.004, 5, 2)", " 0.00", 5},
      {"STR(0.5, 4, 2)", "0.50", 4},
      {"STR(.05, 4, 1)", " 0.1", 4},
      {"STR(99.96, 5, 1)", "100.0", 5},
      {"STR(99.96, 4, 1)", "****", 4},
      {"STR(12345, 4)", "****", 4},
      {"STR(-1, 1)", "*", 1},
      {"STR(4294967296, 8, 0)", "********", 8},
      {"STR(4294967296, 10, 0)", "4294967296", 10},
      {"STR(123456789012345678, 20)", "  123456789012346000", 20},  // 15 digits
      {"STR(1 / 3, 12, 10)", "0.3333333333", 12},
      {"STR(RECNO(), 4)", "  42", 4},
      {"STR(-VAL(' 7x'), 3)", " -7", 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    Expression expression;
    const ExprValue value = Run(c.text, &expression);
    EXPECT_EQ(expression.type(), ExprType::kCharacter);
    EXPECT_EQ(value.text, c.value);
    EXPECT_EQ(expression.width(), c.width);
  }
}

TEST_F(ExprCasesTest, NumericResults) {
  struct Case {
    const char* text;
    double value;
  };
  const Case kCases[] = {
      {"AMOUNT", 123.45},
      {"ID", -12.5},
      {"COUNT", -7},
      {"PRICE", 12.3456},
      {"RECNO()", 42},
      {"RECN()", 42},
      {"1 + 2 * 3", 7},
      {"(1 + 2) * 3", 9},
      {"10 - 2 - 3", 5},
      {"-2 * -3", 6},
      {"- -2", 2},
      {"+4", 4},
      {"7 / 2", 3.5},
      {"1 / 0", 0},
      {".5 + 1.", 1.5},
      {"VAL('  12.5abc')", 12.5},
      {"VAL('abc')", 0},
      {"VAL('-3')", -3},
      {"VAL(NAME)", 0},
      {"IIF(ID < 0, -ID, ID)", 12.5},
      {"AMOUNT * 100 - 12345", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    Expression expression;
    const ExprValue value = Run(c.text, &expression);
    EXPECT_EQ(expression.type(), ExprType::kNumeric);
    EXPECT_NEAR(value.number, c.value, 1e-9);
  }
}

TEST_F(ExprCasesTest, LogicalResults) {
  struct Case {
    const char* text;
    bool value;
  };
  const Case kCases[] = {
      {"FLAG", true},
      {".T.", true},
      {".f.", false},
      {".y.", true},
      {".NOT. FLAG", false},
      {"!FLAG", false},
      {"DELETED()", false},
      {"DELE()", false},
      {".NOT. DELETED()", true},
      // SET EXACT OFF: the left text compared over the right one's length.
      {"NAME = '  Sm'", true},
      {"NAME = '  Smith'", true},
      {"NAME = 'Smith'", false},
      {"NAME == '  Smith'", false},
      {"TRIM(NAME) == '  Smith'", true},
      {"'AB' = 'AB '", true},
      {"'AB' = 'ABC'", false},
      {"'ABC' = ''", true},
      {"'' == ''", true},
      {"NAME <> '  Sm'", false},
      {"NAME # 'x'", true},
      {"NAME != 'x'", true},
      {"'abc' < 'abd'", true},
      {"'b' > 'abc'", true},
      {"'ab' < 'ab'", false},
      {"'ab' <= 'ab'", true},
      {"'ab' >= 'abc'", false},
      {"'\xE9' > 'z'", true},  // unsigned bytes
      {"CITY = ''", true},
      {"AMOUNT > 100 .AND. AMOUNT < 200", true},
      {"(AMOUNT > 201) .AND. (AMOUNT < 212)", false},
      {"AMOUNT >= 123.45", true},
      {"ID < 0 .AND. COUNT = -7", true},
      {"COUNT <> -7", false},
      {".T. .OR. .F. .AND. .F.", true},
      {"(.T. .OR. .F.) .AND. .F.", false},
      {".NOT. .T. .OR. .T.", true},
      {".NOT. 1 = 2", true},
      {"1 = 1.AND.2 = 2", true},
      {"1 = 1 .and. .not. 2 = 3", true},
      {"\t1 = 1\r\n.AND. 2 = 2\n", true},
      {"FLAG = .T.", true},
      {"FLAG <> .F.", true},
      {"FLAG == .T. .AND. FLAG # .F.", true},
      {"'mit' $ NAME", true},
      {"'xyz' $ NAME", false},
      {"'' $ NAME", false},
      {"DTOS(BORN) = '1996'", true},
      {"BORN = BORN", true},
      {"BORN > BORN", false},
      {"IIF(FLAG, .F., .T.)", false},
      {"(ESCL >= 32768)", false},
  };
  std::vector<FieldLayout> with_escl = fields_;
  FieldLayout escl;
  escl.name = "ESCL";
  escl.type = 'N';
  escl.offset = 11;  // CITY's blanks read as 0
  escl.width = 5;
  with_escl.push_back(escl);
  fields_ = with_escl;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    Expression expression;
    const ExprValue value = Run(c.text, &expression);
    EXPECT_EQ(expression.type(), ExprType::kLogical);
    EXPECT_EQ(value.logical, c.value);
  }
}

TEST_F(ExprCasesTest, CompileErrorsNameWhatAndWhere) {
  struct Case {
    const char* text;
    const char* message;
    int position;
  };
  const Case kCases[] = {
      {"", "empty expression", 1},
      {"   ", "empty expression", 1},
      {"NAMEX", "unknown field NAMEX", 1},
      {"TRIM(NAME) + FOO(1)", "unknown function FOO", 14},
      {"TRI(NAME)", "unknown function TRI", 1},
      {"LEFT(NAME)", "LEFT takes 2 arguments, not 1", 1},
      {"SUBSTR('a')", "SUBSTR takes 2 to 3 arguments, not 1", 1},
      {"DELETED(1)", "DELETED takes 0 arguments, not 1", 1},
      {"UPPER()", "UPPER takes 1 argument, not 0", 1},
      {"STR(NAME)", "argument 1 of STR must be numeric, not character", 1},
      {"UPPER(AMOUNT)", "argument 1 of UPPER must be character, not numeric", 1},
      {"LEFT(NAME, '3')", "argument 2 of LEFT must be numeric, not character", 1},
      {"DTOS(NAME)", "argument 1 of DTOS must be date, not character", 1},
      {"IIF(FLAG, 'a', 1)", "argument 3 of IIF must be character, not numeric", 1},
      {"IIF(1, 'a', 'b')", "argument 1 of IIF must be logical, not numeric", 1},
      {"STR(1, AMOUNT)", "the width of STR must be a whole number from 1 to 255", 1},
      {"STR(1, 0)", "the width of STR must be a whole number", 1},
      {"STR(1, 256)", "the width of STR must be a whole number", 1},
      {"STR(1, 8.5)", "the width of STR must be a whole number", 1},
      {"STR(1, 5, -1)", "the decimals of STR must be a whole number from 0 to 255", 1},
      {"(NAME", "missing ')' for the '(' at position 1, found end of the expression", 6},
      {"UPPER(NAME", "missing ')' for the '(' of UPPER at position 6", 11},
      {"LEFT(NAME 3)", "missing ')' for the '(' of LEFT at position 5, found number", 11},
      {"NAME)", "')' without its '('", 5},
      {"NAME CITY", "unexpected name CITY after a whole expression", 6},
      {"1 2", "unexpected number after a whole expression", 3},
      {"NAME + 1", "'+' needs two numbers or two character values", 6},
      {"NAME - CITY", "'-' needs two numbers", 6},
      {"NAME * 2", "'*' needs two numbers", 6},
      {"-NAME", "unary '-' needs a number", 1},
      {"AMOUNT .AND. FLAG", ".AND. needs two logical values", 8},
      {"FLAG .OR. 1", ".OR. needs two logical values", 6},
      {".NOT. NAME", ".NOT. needs a logical value, not character", 1},
      {"NAME < 1", "cannot compare character with numeric", 6},
      {"BORN = '19960704'", "cannot compare date with character", 6},
      {"FLAG < .T.", "logical values compare only for equality", 6},
      {"1 $ 2", "'$' needs character values", 3},
      {"NOTES", "memo field NOTES holds a block pointer, not a value", 1},
      {"UPPER(PIC)", "field PIC of type G cannot be used in an expression", 7},
      {"'abc", "text without its closing '", 1},
      {"NAME = [abc", "text without its closing ]", 8},
      {"NAME = ", "the expression ends where a value is expected", 8},
      {"NAME = ,", "unexpected ',' where a value is expected", 8},
      {"1 % 2", "unexpected character '%'", 3},
      {"NAME = '\x01' + \x01", "unexpected byte 0x01", 14},
      {"X->", "a field name must follow the alias X", 4},
      {"X->1", "a field name must follow the alias X", 4},
      {". NAME", "unexpected '.'", 1},
      {"NAME .XOR. CITY", "unexpected '.'", 6},
      {"UPPER(LEFT(NAME, 100000000))", "expression builds too much text", 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    Expression expression;
    Status status = Expression::Compile(c.text, fields_, &expression);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.code(), kErrExpression);
    EXPECT_NE(status.message().find(c.message), std::string::npos) << status.message();
    const std::string where = "(position " + std::to_string(c.position) + " in ";
    EXPECT_NE(status.message().find(where), std::string::npos) << status.message();
  }
}

TEST_F(ExprCasesTest, DeepNestingIsAnErrorNotACrash) {
  for (const std::string& opener :
       {std::string("("), std::string("-"), std::string(".NOT. "), std::string("UPPER(")}) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += opener;
    Expression expression;
    Status status = Expression::Compile(text, fields_, &expression);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.message().find("nested too deeply"), std::string::npos) << opener;
  }
  std::string fine = "NAME";
  for (int i = 0; i < 20; ++i) fine = "(" + fine + ")";
  Expression expression;
  EXPECT_TRUE(Expression::Compile(fine, fields_, &expression).ok());
}

TEST_F(ExprCasesTest, FailedCompileLeavesTheTargetAlone) {
  Expression expression;
  ASSERT_TRUE(Expression::Compile("NAME", fields_, &expression).ok());
  EXPECT_FALSE(Expression::Compile("NAME +", fields_, &expression).ok());
  EXPECT_EQ(expression.text(), "NAME");
  EXPECT_FALSE(Expression::CompileFilter("NAME", fields_, &expression).ok());
  EXPECT_EQ(expression.type(), ExprType::kCharacter);
}

TEST_F(ExprCasesTest, FilterMustBeLogical) {
  Expression filter;
  Status status = Expression::CompileFilter("TRIM(NAME)", fields_, &filter);
  EXPECT_EQ(status.code(), kErrExpression);
  EXPECT_NE(status.message().find("a filter must be a logical expression"), std::string::npos);
  ASSERT_TRUE(Expression::CompileFilter(".NOT. DELETED()", fields_, &filter).ok());
  std::vector<uint8_t> deleted = record_;
  deleted[0] = '*';
  RecordView live{record_.data(), static_cast<uint32_t>(record_.size()), 1};
  RecordView dead{deleted.data(), static_cast<uint32_t>(deleted.size()), 2};
  EXPECT_TRUE(filter.EvaluateLogical(live, &state_));
  EXPECT_FALSE(filter.EvaluateLogical(dead, &state_));
  Expression key;
  ASSERT_TRUE(Expression::Compile("NAME", fields_, &key).ok());
  EXPECT_FALSE(key.EvaluateLogical(live, &state_));
}

TEST_F(ExprCasesTest, KeysArePaddedToTheStaticWidth) {
  struct Case {
    const char* text;
    std::string key;
  };
  const Case kCases[] = {
      {"TRIM(NAME)", "  Smith   "},
      {"ALLTRIM(NAME) + ':'", "Smith:     "},
      {"LTRIM(STR(AMOUNT,8,0)) + ':'", "123:     "},
      {"LEFT(UPPER(TRIM(CITY)),240)", std::string(240, ' ')},
      {"NAME", "  Smith   "},
      {"BORN", "19960704"},
      {"AMOUNT", ""},
      {"FLAG", ""},
  };
  RecordView view{record_.data(), static_cast<uint32_t>(record_.size()), 1};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    Expression expression;
    ASSERT_TRUE(Expression::Compile(c.text, fields_, &expression).ok());
    EXPECT_EQ(expression.EvaluateKey(view, &state_), c.key);
  }
}

TEST_F(ExprCasesTest, RecordShorterThanTheLayoutReadsAsBlank) {
  Expression expression;
  ASSERT_TRUE(
      Expression::Compile("TRIM(NAME) + STR(AMOUNT, 3) + STR(ID, 3)", fields_, &expression).ok());
  RecordView shorter{record_.data(), 5, 1};
  EXPECT_EQ(expression.Evaluate(shorter, &state_).text, "  0  0");
  EXPECT_EQ(expression.Evaluate(RecordView{}, &state_).text, "  0  0");
  RecordView whole{record_.data(), static_cast<uint32_t>(record_.size()), 1};
  EXPECT_EQ(expression.Evaluate(whole, &state_).text, "  Smith123-13");
  Expression live;
  ASSERT_TRUE(Expression::CompileFilter(".NOT. DELETED()", {}, &live).ok());
  EXPECT_TRUE(live.EvaluateLogical(RecordView{}, &state_));
}

TEST_F(ExprCasesTest, MovedExpressionsAndSharedStatesKeepWorking) {
  // Literal texts live in the expression; a move must not leave them behind.
  Expression first;
  ASSERT_TRUE(Expression::Compile("'ab' + TRIM(NAME)", fields_, &first).ok());
  Expression second;
  ASSERT_TRUE(Expression::Compile("UPPER(NAME + CITY + NAME)", fields_, &second).ok());
  std::vector<Expression> moved;
  moved.push_back(std::move(first));
  moved.push_back(std::move(second));
  moved.shrink_to_fit();
  RecordView view{record_.data(), static_cast<uint32_t>(record_.size()), 1};
  ExprState shared;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(moved[0].Evaluate(view, &shared).text, "ab  Smith");
    EXPECT_EQ(moved[1].Evaluate(view, &shared).text,
              "  SMITH   " + std::string(8, ' ') + "  SMITH   ");
  }
  const Expression empty;
  EXPECT_EQ(empty.Evaluate(view, &shared).type, ExprType::kLogical);
  EXPECT_FALSE(empty.EvaluateLogical(view, &shared));
}

TEST_F(ExprCasesTest, ThreadsShareOneCompiledExpression) {
  Expression expression;
  ASSERT_TRUE(Expression::Compile("UPPER(TRIM(NAME)) + STR(AMOUNT, 8, 2) + DTOS(BORN)", fields_,
                                  &expression)
                  .ok());
  const RecordView view{record_.data(), static_cast<uint32_t>(record_.size()), 1};
  const std::string expected(expression.EvaluateKey(view, &state_));
  ASSERT_EQ(expected, "  SMITH  123.4519960704   ");
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int& count : mismatches) {
    threads.emplace_back([&expression, &view, &expected, &count] {
      ExprState own;
      for (int i = 0; i < 2000; ++i) count += expression.EvaluateKey(view, &own) != expected;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(ExprFormatTest, NumericFieldsParseLeniently) {
  struct Case {
    const char* text;
    double value;
  };
  const Case kCases[] = {
      {"   12", 12},
      {" -1.50", -1.5},
      {"+7", 7},
      {"12.", 12},
      {".5", 0.5},
      {"-.25 ", -0.25},
      {"0000123", 123},
      {"", 0},
      {"     ", 0},
      {"***", 0},
      {"  -  ", 0},
      {"1 2", 0},
      {"1e5", 0},
      {"12a", 0},
      {"1.2.3", 0},
      {"1700000814", 1700000814},
      {"-2147483648", -2147483648.0},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ParseNumericField(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(ExprFormatTest, ValReadsTheLeadingNumber) {
  struct Case {
    const char* text;
    double value;
  };
  const Case kCases[] = {
      {"  12.5abc", 12.5}, {"abc", 0}, {"-3", -3}, {" +4 5", 4}, {"", 0}, {"-", 0}, {".5x", 0.5},
  };
  for (const Case& c : kCases) EXPECT_EQ(ParseValPrefix(c.text), c.value) << c.text;
}

TEST(ExprFormatTest, DatesBecomeJulianDays) {
  struct Case {
    const char* text;
    double day;
  };
  const Case kCases[] = {
      {"19960704", 2450269}, {"20000229", 2451604}, {"20000101", 2451545}, {"        ", 0},
      {"19990229", 0},       {"19961301", 0},       {"1996070", 0},        {"1996-7-4", 0},
  };
  for (const Case& c : kCases) EXPECT_EQ(JulianDay(c.text), c.day) << c.text;
}

TEST(ExprFormatTest, StrOfValuesThatAreNotFinite) {
  char out[6];
  FormatStr(std::numeric_limits<double>::infinity(), 6, 0, out);
  EXPECT_EQ(std::string(out, 6), "******");
  FormatStr(std::numeric_limits<double>::quiet_NaN(), 6, 2, out);
  EXPECT_EQ(std::string(out, 6), "******");
  FormatStr(1e300, 6, 2, out);
  EXPECT_EQ(std::string(out, 6), "******");
  FormatStr(1e-300, 6, 2, out);
  EXPECT_EQ(std::string(out, 6), "  0.00");
}

}  // namespace
}  // namespace sdx::xbase
