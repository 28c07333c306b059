#include "tables/personnel_table.h"

#include <string>
#include <vector>

#include "tables/table_test_util.h"

namespace sdx {
namespace {

// The profile list's sort as it was first written: passes of neighbour comparisons without
// regard to case, swapping when the first is greater, until a pass swaps nothing.
void BubbleSortNoCase(std::vector<std::string>* list) {
  auto compare_no_case = [](const std::string& a, const std::string& b) {
    for (size_t i = 0;; ++i) {
      const int x = i < a.size() ? std::tolower(static_cast<unsigned char>(a[i])) : -1;
      const int y = i < b.size() ? std::tolower(static_cast<unsigned char>(b[i])) : -1;
      if (x != y) return x < y ? -1 : 1;
      if (x == -1) return 0;
    }
  };
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (size_t i = 0; i + 1 < list->size(); ++i) {
      if (compare_no_case((*list)[i], (*list)[i + 1]) > 0) {
        std::swap((*list)[i], (*list)[i + 1]);
        swapped = true;
      }
    }
  }
}

TEST(SortAscendingNoCaseTest, EqualsTheRepeatedPasses) {
  // A small alphabet makes ties in letter case and prefixes common.
  const std::string alphabet = "aAbBzZ_ ,1";
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> list(next() % 40);
    for (std::string& entry : list) {
      const size_t length = next() % 6;
      for (size_t i = 0; i < length; ++i) entry += alphabet[next() % alphabet.size()];
    }
    std::vector<std::string> expected = list;
    BubbleSortNoCase(&expected);
    SortAscendingNoCase(&list);
    ASSERT_EQ(list, expected);
  }
}

class PersonnelTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::OpenIn(&table_, "Personnel", folder_.database(), &engine_));
  }
  testing::TableFolder folder_;
  DatabaseEngine engine_;
  PersonnelTable table_;
};

TEST_F(PersonnelTableTest, ProfileListHoldsOperatorsSortedWithoutCase) {
  testing::AppendRows(folder_.database() + "/Personnel",
                      {{{"ID", 3.0}, {"NAME", "Carl"}, {"TYPE", 0L}},
                       {{"ID", 1.0}, {"NAME", "anna"}, {"TYPE", 0L}},
                       {{"ID", 2.0}, {"NAME", "Bert"}, {"TYPE", 1L}},
                       {{"ID", 5.0}, {"NAME", "ANNA"}, {"TYPE", 0L}},
                       {{"ID", 4.0}, {"NAME", "Anna"}, {"TYPE", 0L}}});
  EXPECT_EQ(SortedProfileList(&table_),
            (std::vector<std::string>{"anna,1", "Anna,4", "ANNA,5", "Carl,3"}));
}

TEST_F(PersonnelTableTest, FieldsReadAsStored) {
  const std::string full(40, 'N');
  testing::AppendRows(folder_.database() + "/Personnel",
                      {{{"ID", 1.0},
                        {"NAME", full},
                        {"PASSWORD", std::string(40, 'P')},
                        {"ALLNODES", "y"},
                        {"EXCLUDE", "N"},
                        {"TYPE", 3L}},
                       {{"ID", 2.0}, {"NAME", "  Lead  "}, {"ALLNODES", "F"}, {"EXCLUDE", "t"}},
                       {{"ID", 3.0}, {"NAME", "   "}}});
  PersonRecord person;
  ASSERT_TRUE(table_.FindById(1, &person));
  EXPECT_EQ(std::string(person.NAME), full);
  EXPECT_EQ(std::string(person.PASSWORD), std::string(40, 'P'));
  EXPECT_EQ(person.ALLNODES, 1);
  EXPECT_EQ(person.EXCLUDE, 0);
  EXPECT_EQ(person.TYPE, 3);
  ASSERT_TRUE(table_.FindById(2, &person));
  EXPECT_STREQ(person.NAME, "  Lead");
  EXPECT_EQ(person.ALLNODES, 0);
  EXPECT_EQ(person.EXCLUDE, 1);
  EXPECT_EQ(table_.GetNameById(3), "");
  EXPECT_FALSE(table_.FindById(2.5, &person));
  EXPECT_FALSE(table_.ReadByRecordNumber(4, &person));
}

}  // namespace
}  // namespace sdx
