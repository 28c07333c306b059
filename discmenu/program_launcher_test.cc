#include "discmenu/program_launcher.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "discmenu/test_temp_dir.h"

namespace sdx::discmenu {
namespace {

TEST(ProgramLauncherTest, SplitsACommandLineIntoWords) {
  struct Case {
    std::string_view line;
    std::vector<std::string> words;
  };
  const Case kCases[] = {
      {"product/master.exe", {"product/master.exe"}},
      {"acrord32.exe document/alertweave.pdf", {"acrord32.exe", "document/alertweave.pdf"}},
      {"  a \t b  ", {"a", "b"}},
      {"", {}},
      {"   ", {}},
  };
  for (const Case& c : kCases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
}

TEST(ProgramLauncherTest, FindsProgramsWhereThePlatformWould) {
  TestTempDir folder;
  const std::string disc = (folder.path() / "disc").string();
  const std::string bin = (folder.path() / "bin").string();
  const std::string other = (folder.path() / "other").string();
  folder.Write("disc/product/master.exe", "#!/bin/sh\n", true);
  folder.Write("disc/product/notes.txt", "not a program\n");
  folder.Write("disc/Acrobat.exe", "#!/bin/sh\n", true);
  folder.Write("bin/Acrobat.exe", "#!/bin/sh\n", true);
  folder.Write("bin/acrord32.exe", "#!/bin/sh\n", true);
  folder.Write("other/acrord32.exe", "#!/bin/sh\n", true);
  folder.Write("bin/readme.exe", "not executable\n");
  folder.Write("other/readme.exe", "#!/bin/sh\n", true);
  const std::string path = bin + "::" + other;

  struct Case {
    std::string name;
    std::string expected;
  };
  const Case kCases[] = {
      {"product/master.exe", disc + "/product/master.exe"},
      {"product/notes.txt", ""},  // not executable
      {"product/missing.exe", ""},
      {"master.exe", ""},                       // a bare name is not looked for in subfolders
      {"Acrobat.exe", disc + "/Acrobat.exe"},   // the current folder comes first
      {"acrord32.exe", bin + "/acrord32.exe"},  // then the search path, in order
      {"readme.exe", other + "/readme.exe"},    // skipping files that cannot run
      {"missing.exe", ""},
      {"", ""},
      {bin + "/acrord32.exe", bin + "/acrord32.exe"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ResolveProgram(c.name, disc, path), c.expected) << c.name;
  }
  EXPECT_EQ(ResolveProgram("acrord32.exe", disc, ""), "");
}

TEST(ProgramLauncherTest, StartsTheProgramWithItsArgumentsAndDoesNotWait) {
  TestTempDir folder;
  const auto record = folder.path() / "record.txt";
  // The program records its arguments, then runs until the record is gone: the start must
  // return while it still runs.
  folder.Write("bin/reader.exe",
               "#!/bin/sh\necho \"$@\" > '" + record.string() + ".tmp'\nmv '" + record.string() +
                   ".tmp' '" + record.string() + "'\nwhile [ -e '" + record.string() +
                   "' ]; do sleep 0.05; done\n",
               true);
  const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", ((folder.path() / "bin").string() + ":" + old_path).c_str(), 1);
  EXPECT_TRUE(StartProgram("reader.exe document/alertweave.pdf"));
  EXPECT_FALSE(StartProgram("no-such-reader.exe document/alertweave.pdf"));
  EXPECT_FALSE(StartProgram(""));
  setenv("PATH", old_path.c_str(), 1);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(TestTempDir::Read(record), "document/alertweave.pdf\n");
  std::filesystem::remove(record);
}

}  // namespace
}  // namespace sdx::discmenu
