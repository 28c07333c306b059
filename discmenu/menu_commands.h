// What each control of the menu does and shows: the command line a button starts and the
// bitmap it carries. The dialog procedure acts on it; the tests read it as the menu's contract.
#pragma once

#include <span>
#include <string_view>

namespace sdx::discmenu {

inline constexpr int kInstallControl = 1000;
inline constexpr int kCloseControl = 1006;
inline constexpr int kFirstManualControl = 1007;
inline constexpr int kLastManualControl = 1015;

// The command line a control starts; empty for the close button and every other id.
std::string_view CommandLineForControl(int control_id);

// The bitmap resource shown on a button; 0 for a control without one.
int BitmapForControl(int control_id);

// The controls that get a bitmap when the dialog opens, in the order they get it.
std::span<const int> BitmapButtonControls();

// The button bitmaps loaded at start and kept until the menu ends.
std::span<const int> ButtonBitmapIds();

}  // namespace sdx::discmenu
