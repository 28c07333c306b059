// Drives the real menu on a private X server: what it draws, the programs its buttons start,
// the keys and requests it ignores, the second start and the way out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <optional>
#include <string>
#include <vector>

#include "discmenu/bitmap_resources.h"
#include "discmenu/button_image.h"
#include "discmenu/dialog_layout.h"
#include "discmenu/menu_commands.h"
#include "discmenu/menu_startup.h"
#include "discmenu/test_process.h"
#include "discmenu/test_temp_dir.h"
#include "discmenu/test_x_server.h"

namespace sdx::discmenu {
namespace {

// What the dialog must show: black, the background at the origin, and each button's bitmap
// centred and cropped in its button.
std::vector<Rgb> ExpectedDialog(const PixelRect& size) {
  std::vector<Rgb> picture(static_cast<size_t>(size.width) * size.height);
  auto blit = [&](const IndexedBitmap& bitmap, const ImagePlacement& place) {
    for (int y = 0; y < place.height; ++y) {
      for (int x = 0; x < place.width; ++x) {
        const int dx = place.dest_x + x;
        const int dy = place.dest_y + y;
        if (dx >= size.width || dy >= size.height) continue;
        picture[static_cast<size_t>(dy) * size.width + dx] =
            bitmap.ColourAt(place.source_x + x, place.source_y + y);
      }
    }
  };
  const std::optional<IndexedBitmap> background = LoadBitmapResource(131);
  blit(*background, {0, 0, 0, 0, background->width, background->height});
  const DialogLayout& layout = *FindDialogLayout(kLayoutShown);
  for (int control_id : {1000, 1006, 1007}) {
    const std::optional<IndexedBitmap> face = LoadBitmapResource(BitmapForControl(control_id));
    const PixelRect button = ControlPixelRect(*FindControl(layout, control_id));
    blit(*face, PlaceButtonImage(button, face->width, face->height, false));
  }
  return picture;
}

class DiscMenuEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(x_.name().empty()) << "Xvfb did not start";
    ASSERT_TRUE(x_.connected());
    std::filesystem::create_directories(disc_ / "Product");
    std::filesystem::create_directories(record_);
    folder_.Write("source disc/cv_mod.txt", "first list\n");
    WriteRecorder("disc/product/master.exe", "master");
    WriteRecorder("bin/acrord32.exe", "acrord32");
    const char* path = getenv("PATH");
    path_ = (folder_.path() / "bin").string() + ":" + (path != nullptr ? path : "");

    menu_ = StartMenu();
    ASSERT_TRUE(WaitFor([&] { return (dialog_ = x_.FindShownWindow(kMenuWindowClass)) != 0; }))
        << "the menu showed no dialog";
  }

  void TearDown() override {
    if (menu_ > 0 && StillRuns(menu_)) {
      kill(menu_, SIGKILL);
      waitpid(menu_, nullptr, 0);
    }
  }

  // A stand-in program that appends its arguments and its folder to record/<name> and ends.
  void WriteRecorder(const std::string& relative, const std::string& name) {
    const std::string file = (record_ / name).string();
    folder_.Write(relative,
                  "#!/bin/sh\necho \"$*|$(pwd)\" >> '" + file + ".tmp'\nmv '" + file + ".tmp' '" +
                      file + "'\n",
                  true);
  }

  pid_t StartMenu() {
    // Two words that make one folder name, as a disc folder with a space in it arrives.
    SpawnOptions options;
    options.environment = {"DISPLAY=" + x_.name(), "PATH=" + path_};
    options.folder = disc_.string();
    options.error_file = (folder_.path() / "menu-errors.txt").string();
    return Spawn({DISCMENU_PROGRAM, (folder_.path() / "source").string(), "disc"}, options);
  }

  void Xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    SpawnOptions options;
    options.environment = {"DISPLAY=" + x_.name()};
    ASSERT_TRUE(ExitedWith(WaitExit(Spawn(argv, options)), 0)) << "xdotool failed";
  }

  void Click(int control_id) {
    const DialogControl* control = FindControl(*FindDialogLayout(kLayoutShown), control_id);
    ASSERT_NE(control, nullptr);
    const PixelRect button = ControlPixelRect(*control);
    const PixelRect dialog = x_.WindowOnScreen(dialog_);
    Xdotool({"mousemove", std::to_string(dialog.x + button.x + button.width / 2),
             std::to_string(dialog.y + button.y + button.height / 2), "click", "1"});
  }

  std::string Record(const std::string& name) {
    const auto file = record_ / name;
    if (!WaitFor([&] { return std::filesystem::exists(file); })) return "(not started)";
    return TestTempDir::Read(file);
  }

  TestTempDir folder_;
  TestXServer x_{(folder_.path() / "xvfb.log").string()};
  std::filesystem::path disc_ = folder_.path() / "disc";
  std::filesystem::path record_ = folder_.path() / "record";
  std::string path_;
  pid_t menu_ = -1;
  unsigned long dialog_ = 0;
};

TEST_F(DiscMenuEndToEndTest, DrawsTheDialogCentredWithEveryButtonInPlace) {
  const PixelRect dialog = x_.WindowOnScreen(dialog_);
  const PixelRect screen = x_.Screen();
  EXPECT_EQ(dialog.width, 641);
  EXPECT_EQ(dialog.height, 479);
  EXPECT_EQ(dialog.x, (screen.width - 641) / 2);
  EXPECT_EQ(dialog.y, (screen.height - 479) / 2);

  const std::vector<Rgb> expected = ExpectedDialog(dialog);
  int wrong = 0;
  std::string first_wrong;
  // Drawing follows the first exposure; look until the screen shows it.
  const bool drawn = WaitFor([&] {
    const std::vector<Rgb> seen = x_.Capture(dialog);
    if (seen.size() != expected.size()) return false;
    wrong = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
      if (seen[i] == expected[i]) continue;
      if (wrong++ == 0) {
        first_wrong = std::to_string(i % dialog.width) + "," + std::to_string(i / dialog.width);
      }
    }
    return wrong == 0;
  });
  EXPECT_TRUE(drawn) << wrong << " pixels differ, the first at " << first_wrong;
}

TEST_F(DiscMenuEndToEndTest, ButtonsStartTheInstallerAndTheReader) {
  EXPECT_EQ(TestTempDir::Read(disc_ / "Product/cv_mod.txt"), "first list\n");
  Click(1000);
  EXPECT_EQ(Record("master"), "|" + disc_.string() + "\n");
  Click(1007);
  EXPECT_EQ(Record("acrord32"), "document/alertweave.pdf|" + disc_.string() + "\n");
  // Both have ended; the menu keeps no zombie of either.
  EXPECT_TRUE(WaitFor([&] { return ChildCount(menu_) == 0; }));
  EXPECT_TRUE(StillRuns(menu_));
  EXPECT_EQ(TestTempDir::Read(folder_.path() / "menu-errors.txt"), "");
}

TEST_F(DiscMenuEndToEndTest, EscapeAndTheCloseRequestLeaveTheMenuOpen) {
  ASSERT_TRUE(WaitFor([&] { return x_.FocusWindow() == dialog_; }))
      << "the dialog did not take the keyboard";
  Xdotool({"key", "Escape"});
  x_.SendCloseRequest(dialog_);
  // A click after both is still answered: the menu read them and stayed.
  Click(1007);
  EXPECT_EQ(Record("acrord32"), "document/alertweave.pdf|" + disc_.string() + "\n");
  EXPECT_TRUE(StillRuns(menu_));
  EXPECT_EQ(x_.FindShownWindow(kMenuWindowClass), dialog_);
}

TEST_F(DiscMenuEndToEndTest, SecondStartCopiesTheListAndEndsAtOnce) {
  EXPECT_EQ(TestTempDir::Read(disc_ / "Product/cv_mod.txt"), "first list\n");
  folder_.Write("source disc/cv_mod.txt", "second list\n");
  EXPECT_TRUE(ExitedWith(WaitExit(StartMenu()), 0));
  EXPECT_EQ(TestTempDir::Read(disc_ / "Product/cv_mod.txt"), "second list\n");
  EXPECT_TRUE(StillRuns(menu_));
  EXPECT_EQ(x_.FindShownWindow(kMenuWindowClass), dialog_);
}

TEST_F(DiscMenuEndToEndTest, CloseButtonEndsTheMenuWithZero) {
  Click(1006);
  EXPECT_TRUE(ExitedWith(WaitExit(menu_), 0));
  menu_ = -1;
  EXPECT_EQ(x_.FindShownWindow(kMenuWindowClass), 0u);
}

TEST(DiscMenuWithoutDisplayTest, SaysSoAndFails) {
  TestTempDir folder;
  SpawnOptions options;
  options.folder = folder.path().string();
  options.error_file = (folder.path() / "errors.txt").string();
  for (const char* display : {"DISPLAY=", "DISPLAY=:4711"}) {
    options.environment = {display};
    const std::optional<int> status = WaitExit(Spawn({DISCMENU_PROGRAM}, options));
    ASSERT_TRUE(status.has_value()) << display;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << display;
    const std::string errors = TestTempDir::Read(options.error_file);
    EXPECT_NE(errors.find("X display"), std::string::npos) << display << ": " << errors;
  }
}

}  // namespace
}  // namespace sdx::discmenu
