// Helpers of the named-object tests: names no other test run uses, removed again at the end,
// and child processes that report through their exit code.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/win/shared_object.h"

namespace sdx::win {

class TestObjectName {
 public:
  TestObjectName() {
    static std::atomic<int> counter{0};
    name_ = "Global\\SdxWinTest_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    SharedObject::Remove(name_);
  }
  ~TestObjectName() { SharedObject::Remove(name_); }
  const std::string& get() const { return name_; }

 private:
  std::string name_;
};

// Runs `body` in a child process, which ends with body's result as its exit code.
template <typename Body>
pid_t StartChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    _exit(body());
  }
  return pid;
}

// The child's exit code, or -1 when it did not exit normally.
inline int WaitChild(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace sdx::win
