// Starts the installer and the PDF reader for the menu's buttons: fire and forget, the way
// the platform starts a program from a command line. Used by the dialog procedure through
// main; the name lookup is apart so that it can be tested on its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sdx::discmenu {

// The words of a command line, split at runs of spaces and tabs.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

// Where a program name leads: a name with a '/' is a path from the current folder; a bare
// name is first looked for in the current folder, as the platform does, then along the
// ':'-separated search path. Only executable regular files count. Empty when none is found.
std::string ResolveProgram(std::string_view name, std::string_view current_folder,
                           std::string_view search_path);

// Starts the command line's program with its arguments and does not wait for it. Returns
// whether it started; a missing program is a normal outcome and prints nothing. The caller
// keeps SIGCHLD ignored so that ended programs leave no zombies; the program itself gets the
// default SIGCHLD handling back.
bool StartProgram(std::string_view command_line);

}  // namespace sdx::discmenu
