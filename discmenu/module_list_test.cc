#include "discmenu/module_list.h"

#include <gtest/gtest.h>

#include "discmenu/test_temp_dir.h"

namespace sdx::discmenu {
namespace {

TEST(ModuleListTest, CommandLineIsTheArgumentsJoinedWithSpaces) {
  struct Case {
    std::vector<const char*> argv;
    std::string expected;
  };
  const Case kCases[] = {
      {{"discmenu"}, ""},
      {{"discmenu", "/media/cdrom"}, "/media/cdrom"},
      {{"discmenu", "/media/Alertweave", "Disc", "1"}, "/media/Alertweave Disc 1"},
      {{"discmenu", "", "x"}, " x"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(JoinCommandLine(static_cast<int>(c.argv.size()), c.argv.data()), c.expected);
  }
}

TEST(ModuleListTest, PathsOfTheCopy) {
  EXPECT_EQ(ModuleListSource("/media/cdrom"), "/media/cdrom/cv_mod.txt");
  EXPECT_EQ(ModuleListSource(""), "/cv_mod.txt");
  EXPECT_EQ(ModuleListSource("/media/Alertweave Disc 1"), "/media/Alertweave Disc 1/cv_mod.txt");
  EXPECT_EQ(ModuleListDestination("/media/cdrom"), "/media/cdrom/Product/cv_mod.txt");
}

TEST(ModuleListTest, CopiesOverAnOlderList) {
  TestTempDir folder;
  folder.Write("disc one/cv_mod.txt", "new list\n");
  const auto destination = folder.Write("Product/cv_mod.txt", "old list, a longer one\n");
  EXPECT_TRUE(CopyModuleList((folder.path() / "disc one").string(), folder.path().string()));
  EXPECT_EQ(TestTempDir::Read(destination), "new list\n");
}

TEST(ModuleListTest, NothingToCopyOrNowhereToPutItIsNoCopy) {
  TestTempDir folder;
  const std::string here = folder.path().string();
  // No list on the disc.
  std::filesystem::create_directories(folder.path() / "Product");
  EXPECT_FALSE(CopyModuleList((folder.path() / "disc").string(), here));
  // A folder where the list should be.
  std::filesystem::create_directories(folder.path() / "disc/cv_mod.txt");
  EXPECT_FALSE(CopyModuleList((folder.path() / "disc").string(), here));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "Product/cv_mod.txt"));
  // No installer folder: it is not made.
  folder.Write("other/cv_mod.txt", "list\n");
  std::filesystem::remove(folder.path() / "Product");
  EXPECT_FALSE(CopyModuleList((folder.path() / "other").string(), here));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "Product"));
}

}  // namespace
}  // namespace sdx::discmenu
