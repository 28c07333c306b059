#include "discmenu/program_launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace sdx::discmenu {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder.empty() ? std::string_view(".") : folder);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < command_line.size()) {
    const size_t start = command_line.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    const size_t end = std::min(command_line.find_first_of(" \t", start), command_line.size());
    words.emplace_back(command_line.substr(start, end - start));
    pos = end;
  }
  return words;
}

std::string ResolveProgram(std::string_view name, std::string_view current_folder,
                           std::string_view search_path) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string_view::npos) {
    std::string path = name.front() == '/' ? std::string(name) : JoinPath(current_folder, name);
    return IsExecutableFile(path) ? path : std::string();
  }
  std::string in_current = JoinPath(current_folder, name);
  if (IsExecutableFile(in_current)) return in_current;
  size_t pos = 0;
  while (pos <= search_path.size()) {
    const size_t end = std::min(search_path.find(':', pos), search_path.size());
    // An empty entry of the search path means the current folder, already tried.
    if (end > pos) {
      std::string candidate = JoinPath(search_path.substr(pos, end - pos), name);
      if (IsExecutableFile(candidate)) return candidate;
    }
    pos = end + 1;
  }
  return std::string();
}

bool StartProgram(std::string_view command_line) {
  const std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return false;
  std::error_code error;
  const std::string current_folder = std::filesystem::current_path(error).string();
  if (error) return false;
  const char* search_path = std::getenv("PATH");
  const std::string program =
      ResolveProgram(words.front(), current_folder, search_path == nullptr ? "" : search_path);
  if (program.empty()) return false;

  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGCHLD);
  sigset_t no_mask;
  sigemptyset(&no_mask);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &no_mask);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  const int result = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return result == 0;
}

}  // namespace sdx::discmenu
