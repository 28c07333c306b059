// The module list that the installer reads: the menu copies "cv_mod.txt" from the disc folder
// named on its command line into the installer's folder under the current folder. Used once
// by start-up, before anything else.
#pragma once

#include <string>
#include <string_view>

namespace sdx::discmenu {

// The program's arguments joined with single spaces: the platform hands the menu its whole
// command line as one text, and a disc folder may have spaces in its name.
std::string JoinCommandLine(int argc, const char* const* argv);

// "<command line>/cv_mod.txt"; an empty command line gives "/cv_mod.txt".
std::string ModuleListSource(std::string_view command_line);

// "<current folder>/Product/cv_mod.txt".
std::string ModuleListDestination(std::string_view current_folder);

// Copies the list over any older copy. The installer's folder is not created: without it, or
// without a list on the disc, nothing is copied. Returns whether the copy was made.
bool CopyModuleList(std::string_view command_line, std::string_view current_folder);

}  // namespace sdx::discmenu
