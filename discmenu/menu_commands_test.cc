#include "discmenu/menu_commands.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sdx::discmenu {
namespace {

TEST(MenuCommandsTest, EachControlStartsItsCommandLine) {
  struct Case {
    int control_id;
    std::string_view command_line;
  };
  const Case kCases[] = {
      {1000, "product/master.exe"},
      {1001, ""},
      {1002, ""},
      {1003, ""},
      {1004, ""},
      {1005, ""},
      {1006, ""},  // closes the menu instead
      {1007, "acrord32.exe document/alertweave.pdf"},
      {1008, "Acrobat.exe document/alertweave.pdf"},
      {1009, "Acrobat.exe document/alertweave.pdf"},
      {1010, "Acrobat.exe document/alertweave.pdf"},
      {1011, "Acrobat.exe document/alertweave.pdf"},
      {1012, "Acrobat.exe document/alertweave.pdf"},
      {1013, "Acrobat.exe document/alertweave.pdf"},
      {1014, "Acrobat.exe document/opsdesk.pdf"},
      {1015, "Acrobat.exe document/InternetLicensing.pdf"},
      {999, ""},
      {1016, ""},
      {0, ""},
      {1, ""},  // Enter
      {2, ""},  // Escape
      {-1, ""},
      {0x10000 + 1000, ""},  // a packed command is not a control id
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(CommandLineForControl(c.control_id), c.command_line) << c.control_id;
  }
}

TEST(MenuCommandsTest, ButtonsCarryTheirBitmaps) {
  struct Case {
    int control_id;
    int bitmap_id;
  };
  const Case kCases[] = {{1000, 105}, {1006, 109}, {1007, 135}, {1008, 118}, {1009, 111},
                         {1010, 124}, {1011, 125}, {1012, 126}, {1013, 127}, {1014, 128},
                         {1015, 130}, {1001, 0},   {1005, 0},   {2, 0}};
  for (const Case& c : kCases) {
    EXPECT_EQ(BitmapForControl(c.control_id), c.bitmap_id) << c.control_id;
  }
  ASSERT_EQ(BitmapButtonControls().size(), 11u);
  for (int control_id : BitmapButtonControls()) {
    const int bitmap_id = BitmapForControl(control_id);
    EXPECT_NE(bitmap_id, 0) << control_id;
    const auto loaded = ButtonBitmapIds();
    EXPECT_NE(std::find(loaded.begin(), loaded.end(), bitmap_id), loaded.end()) << control_id;
  }
}

}  // namespace
}  // namespace sdx::discmenu
