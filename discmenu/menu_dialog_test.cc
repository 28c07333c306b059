#include "discmenu/menu_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace sdx::discmenu {
namespace {

// Records what the procedure does to its window, in order.
class FakeWindow : public DialogWindow {
 public:
  bool SetButtonImage(int control_id, int bitmap_id) override {
    calls.push_back("image " + std::to_string(control_id) + " " + std::to_string(bitmap_id));
    return control_id == 1000 || control_id == 1006 || control_id == 1007;
  }
  void Redraw() override { calls.push_back("redraw"); }
  void EndDialog(int result) override { calls.push_back("end " + std::to_string(result)); }
  void PostDestroyToOwner() override { calls.push_back("destroy owner"); }

  std::vector<std::string> calls;
};

class MenuDialogTest : public ::testing::Test {
 protected:
  MenuDialog dialog_{[this](std::string_view line) { started_.emplace_back(line); }};
  FakeWindow window_;
  std::vector<std::string> started_;
};

TEST_F(MenuDialogTest, InitialisationOffersEveryButtonItsBitmapThenRedraws) {
  dialog_.OnInitDialog(window_);
  const std::vector<std::string> expected = {"image 1000 105", "image 1006 109", "image 1007 135",
                                             "image 1008 118", "image 1009 111", "image 1010 124",
                                             "image 1011 125", "image 1012 126", "image 1013 127",
                                             "image 1014 128", "image 1015 130", "redraw"};
  EXPECT_EQ(window_.calls, expected);
  EXPECT_TRUE(started_.empty());
}

TEST_F(MenuDialogTest, ButtonsStartTheirProgramsAndLeaveTheDialogOpen) {
  struct Case {
    uint32_t command;
    const char* started;  // nullptr: nothing
  };
  const Case kCases[] = {
      {1000, "product/master.exe"},
      {1007, "acrord32.exe document/alertweave.pdf"},
      {1008, "Acrobat.exe document/alertweave.pdf"},
      {1013, "Acrobat.exe document/alertweave.pdf"},
      {1014, "Acrobat.exe document/opsdesk.pdf"},
      {1015, "Acrobat.exe document/InternetLicensing.pdf"},
      // The notification code in the high word is not looked at.
      {(5u << 16) | 1007, "acrord32.exe document/alertweave.pdf"},
      {1, nullptr},  // Enter
      {2, nullptr},  // Escape and the close request
      {1001, nullptr},
      {1005, nullptr},
      {1016, nullptr},
      {999, nullptr},
  };
  for (const Case& c : kCases) {
    started_.clear();
    dialog_.OnCommand(window_, c.command);
    if (c.started == nullptr) {
      EXPECT_TRUE(started_.empty()) << c.command;
    } else {
      EXPECT_EQ(started_, std::vector<std::string>{c.started}) << c.command;
    }
  }
  EXPECT_TRUE(window_.calls.empty());
}

TEST_F(MenuDialogTest, CloseButtonEndsTheDialogThenDestroysItsOwner) {
  dialog_.OnCommand(window_, (1u << 16) | 1006);
  EXPECT_EQ(window_.calls, (std::vector<std::string>{"end 0", "destroy owner"}));
  EXPECT_TRUE(started_.empty());
}

}  // namespace
}  // namespace sdx::discmenu
