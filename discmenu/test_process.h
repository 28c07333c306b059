// Starting and watching processes for the menu's end-to-end test: the X server, the menu
// itself and the input tool, with a generous patience instead of fixed sleeps.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sdx::discmenu {

// Polls `condition` until it holds or a generous patience runs out; false then.
bool WaitFor(const std::function<bool()>& condition);

struct SpawnOptions {
  // "NAME=value" sets a variable, "NAME=" removes it; the rest of the environment is kept.
  std::vector<std::string> environment;
  std::string folder = ".";
  std::string error_file;  // standard error goes here when given
  int keep_fd = -1;        // a descriptor the program inherits
};

// Starts a program (looked up on PATH) and returns its pid, -1 when it cannot fork.
pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// The wait status of a child that ends within the patience; nothing if it runs on.
std::optional<int> WaitExit(pid_t pid);

// Whether a child exited normally with that code.
bool ExitedWith(const std::optional<int>& status, int code);

bool StillRuns(pid_t pid);

// The processes whose parent is `parent`, zombies included.
int ChildCount(pid_t parent);

}  // namespace sdx::discmenu
