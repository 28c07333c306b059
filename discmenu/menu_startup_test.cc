#include "discmenu/menu_startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discmenu/test_temp_dir.h"

namespace sdx::discmenu {
namespace {

// Records the start-up steps; each answer can be set.
class FakePlatform : public MenuPlatform {
 public:
  explicit FakePlatform(const TestTempDir& folder) : folder_(folder) {}

  bool MenuIsRunning(std::string_view window_class, std::string_view title) override {
    // The module list must already be copied when the running menu is looked for.
    copied_before_search = std::filesystem::exists(folder_.path() / "Product/cv_mod.txt");
    calls.push_back("search " + std::string(window_class) + " / " + std::string(title));
    return running;
  }
  bool RegisterMenuClass(std::string_view window_class) override {
    calls.push_back("register " + std::string(window_class));
    return register_ok;
  }
  bool CreateMainWindow(std::string_view window_class, std::string_view) override {
    calls.push_back("create " + std::string(window_class));
    return create_ok;
  }
  void LoadButtonBitmaps(std::span<const int> bitmap_ids) override {
    std::string call = "load";
    for (int id : bitmap_ids) call += " " + std::to_string(id);
    calls.push_back(call);
  }
  bool ShowDialog(int layout_id, MenuDialog&) override {
    calls.push_back("dialog " + std::to_string(layout_id));
    return dialog_ok;
  }
  int RunMessageLoop() override {
    calls.push_back("loop");
    return 0;
  }

  bool running = false;
  bool register_ok = true;
  bool create_ok = true;
  bool dialog_ok = true;
  bool copied_before_search = false;
  std::vector<std::string> calls;

 private:
  const TestTempDir& folder_;
};

class MenuStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("disc/cv_mod.txt", "modules\n");
    std::filesystem::create_directories(folder_.path() / "Product");
  }
  int Run() {
    return RunDiscMenu((folder_.path() / "disc").string(), folder_.path().string(), platform_,
                       dialog_);
  }

  TestTempDir folder_;
  FakePlatform platform_{folder_};
  MenuDialog dialog_{[](std::string_view) {}};
  const std::string search_ = "search Vantorel Suite / " + std::string(kMenuWindowTitle);
};

TEST_F(MenuStartupTest, RunsTheStepsInOrder) {
  EXPECT_EQ(Run(), 0);
  const std::vector<std::string> expected = {search_,
                                             "register Vantorel Suite",
                                             "create Vantorel Suite",
                                             "load 105 109 135 118 111 124 125 126 127 128 130",
                                             "dialog 102",
                                             "loop"};
  EXPECT_EQ(platform_.calls, expected);
  EXPECT_TRUE(platform_.copied_before_search);
  EXPECT_EQ(TestTempDir::Read(folder_.path() / "Product/cv_mod.txt"), "modules\n");
}

TEST_F(MenuStartupTest, SecondStartCopiesTheListThenEnds) {
  platform_.running = true;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform_.calls, std::vector<std::string>{search_});
  EXPECT_TRUE(platform_.copied_before_search);
}

TEST_F(MenuStartupTest, FailedWindowStepsEndWithZero) {
  platform_.register_ok = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform_.calls.back(), "register Vantorel Suite");

  FakePlatform create_fails(folder_);
  create_fails.create_ok = false;
  EXPECT_EQ(RunDiscMenu("", folder_.path().string(), create_fails, dialog_), 0);
  EXPECT_EQ(create_fails.calls.back(), "create Vantorel Suite");

  // No dialog: the menu ends rather than wait unseen in its loop.
  FakePlatform dialog_fails(folder_);
  dialog_fails.dialog_ok = false;
  EXPECT_EQ(RunDiscMenu("", folder_.path().string(), dialog_fails, dialog_), 0);
  EXPECT_EQ(dialog_fails.calls.back(), "dialog 102");
}

TEST_F(MenuStartupTest, MissingModuleListDoesNotStopTheMenu) {
  std::filesystem::remove(folder_.path() / "disc/cv_mod.txt");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform_.calls.back(), "loop");
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "Product/cv_mod.txt"));
}

TEST(MenuIdentityTest, TitleStartsWithMainMenu) {
  EXPECT_EQ(kMenuWindowClass, "Vantorel Suite");
  EXPECT_TRUE(kMenuWindowTitle.starts_with("Main Menu"));
  EXPECT_GT(kMenuWindowTitle.size(), std::string_view("Main Menu").size());
}

}  // namespace
}  // namespace sdx::discmenu
