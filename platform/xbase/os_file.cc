#include "platform/xbase/os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace sdx::xbase {

namespace {

// The engine's generic file error codes (negative, as the contract's results are).
constexpr int kErrOpen = -60;
constexpr int kErrRead = -70;
constexpr int kErrWrite = -80;
constexpr int kErrLock = -50;

Status ErrnoStatus(int code, const std::string& what, const std::string& path) {
  return Status::Error(code, what + " " + path + ": " + std::strerror(errno));
}

bool SetLock(int fd, short type, uint64_t offset, uint64_t length, bool wait) {
  struct flock fl;
  std::memset(&fl, 0, sizeof(fl));
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required by OFD locks
  for (;;) {
    if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

OsFile::~OsFile() { Close(); }

OsFile::OsFile(OsFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      mapping_(std::move(other.mapping_)) {}

OsFile& OsFile::operator=(OsFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    mapping_ = std::move(other.mapping_);
  }
  return *this;
}

Status OsFile::Open(const std::string& path, Mode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kReadOnly:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
    case Mode::kCreateTruncate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ErrnoStatus(kErrOpen, "cannot open", path);
  fd_ = fd;
  path_ = path;
  mapping_.set_writable(mode != Mode::kReadOnly);
  return Status::Ok();
}

void OsFile::Close() {
  mapping_.Unmap();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Status OsFile::ReadSomeAt(uint64_t offset, void* buffer, size_t size, size_t* read) const {
  if (mapping_.CopyOut(fd_, offset, buffer, size)) {
    *read = size;
    return Status::Ok();
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      *read = done;
      return ErrnoStatus(kErrRead, "cannot read", path_);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  *read = done;
  return Status::Ok();
}

Status OsFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  size_t read = 0;
  Status s = ReadSomeAt(offset, buffer, size, &read);
  if (!s.ok()) return s;
  if (read != size) {
    return Status::Error(kErrRead, "unexpected end of file in " + path_ + " at offset " +
                                       std::to_string(offset + read));
  }
  return Status::Ok();
}

Status OsFile::WriteAt(uint64_t offset, const void* buffer, size_t size) {
  if (mapping_.CopyIn(offset, buffer, size)) return Status::Ok();
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoStatus(kErrWrite, "cannot write", path_);
    }
    done += static_cast<size_t>(n);
  }
  mapping_.Reached(offset + size);
  return Status::Ok();
}

Status OsFile::Size(uint64_t* size) const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return ErrnoStatus(kErrRead, "cannot stat", path_);
  *size = static_cast<uint64_t>(st.st_size);
  return Status::Ok();
}

Status OsFile::Truncate(uint64_t size) {
  mapping_.Unmap();
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    return ErrnoStatus(kErrWrite, "cannot truncate", path_);
  }
  return Status::Ok();
}

Status OsFile::Sync() {
  if (::fdatasync(fd_) != 0) return ErrnoStatus(kErrWrite, "cannot flush", path_);
  return Status::Ok();
}

bool OsFile::TryLock(uint64_t offset, uint64_t length, bool exclusive) {
  return SetLock(fd_, exclusive ? F_WRLCK : F_RDLCK, offset, length, false);
}

Status OsFile::Lock(uint64_t offset, uint64_t length, bool exclusive) {
  if (SetLock(fd_, exclusive ? F_WRLCK : F_RDLCK, offset, length, true)) return Status::Ok();
  return ErrnoStatus(kErrLock, "cannot lock", path_);
}

void OsFile::Unlock(uint64_t offset, uint64_t length) {
  SetLock(fd_, F_UNLCK, offset, length, false);
}

bool OsFile::IsLockedByOther(uint64_t offset, uint64_t length, bool exclusive) const {
  struct flock fl;
  std::memset(&fl, 0, sizeof(fl));
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  if (fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

}  // namespace sdx::xbase
