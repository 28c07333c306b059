#include "discmenu/test_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace sdx::discmenu {
namespace {

std::string VariableName(const std::string& assignment) {
  return assignment.substr(0, assignment.find('='));
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
  std::vector<std::string> env_text;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool changed = false;
    for (const std::string& change : options.environment) {
      changed = changed || VariableName(change) == VariableName(text);
    }
    if (!changed) env_text.push_back(text);
  }
  for (const std::string& change : options.environment) {
    if (change.back() != '=') env_text.push_back(change);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (std::string& text : env_text) env.push_back(text.data());
  env.push_back(nullptr);

  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (chdir(options.folder.c_str()) != 0) _exit(126);
  if (!options.error_file.empty()) {
    const int fd = open(options.error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) dup2(fd, 2);
  }
  if (options.keep_fd >= 0) fcntl(options.keep_fd, F_SETFD, 0);
  execvpe(args[0], args.data(), env.data());
  _exit(127);
}

std::optional<int> WaitExit(pid_t pid) {
  int status = 0;
  if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; })) return std::nullopt;
  return status;
}

bool ExitedWith(const std::optional<int>& status, int code) {
  return status.has_value() && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool StillRuns(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

int ChildCount(pid_t parent) {
  int count = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // The command name in parentheses may hold spaces; the fields after it do not.
    const size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 > line.size()) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) ++count;
  }
  return count;
}

}  // namespace sdx::discmenu
