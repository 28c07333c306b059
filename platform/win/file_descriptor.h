// Owns one open file descriptor and closes it when it goes out of scope, so that no error path
// of the profile files or the shared objects leaks one.
#pragma once

#include <unistd.h>

namespace sdx::win {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace sdx::win
