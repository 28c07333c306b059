#include "platform/win/shared_object.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <utility>

#include "platform/win/file_descriptor.h"

namespace sdx::win {

namespace {

constexpr uint32_t kInitialisedMagic = 0x57584453;  // "SDXW"
// The state starts on its own cache line, well aligned for the pthread objects inside.
constexpr size_t kStateOffset = 64;
constexpr int kCreateAttempts = 100;

struct Header {
  uint32_t initialised;  // kInitialisedMagic once kind, size and state are complete; set last
  uint32_t kind;
  uint64_t state_size;
};
static_assert(sizeof(Header) <= kStateOffset);

// An exclusive flock of an object for one scope. A mapping keeps the open file description,
// and with it the flock, alive after the descriptor is closed, so it is released explicitly.
class ExclusiveFlock {
 public:
  explicit ExclusiveFlock(int fd) : fd_(fd) {
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        break;
      }
    }
  }
  ~ExclusiveFlock() {
    if (error_ == 0) {
      flock(fd_, LOCK_UN);
    }
  }
  ExclusiveFlock(const ExclusiveFlock&) = delete;
  ExclusiveFlock& operator=(const ExclusiveFlock&) = delete;
  int error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

bool IsPlainNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

// Maps the object behind `fd`, initialising it when nobody has (yet). The whole check runs under
// an exclusive flock of the object, so a process that is initialising it holds everyone else off,
// and one that died while doing so leaves an uninitialised object that the next one completes.
int Attach(int fd, ObjectKind kind, size_t state_size, const SharedObject::Initialiser* init,
           void** mapping, bool* initialised_here) {
  ExclusiveFlock lock(fd);
  if (lock.error() != 0) {
    return lock.error();
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    return errno;
  }
  const size_t total = kStateOffset + state_size;
  if (st.st_size == 0) {
    if (init == nullptr) {
      return ENOENT;
    }
    if (ftruncate(fd, static_cast<off_t>(total)) != 0) {
      return errno;
    }
  } else if (static_cast<size_t>(st.st_size) != total) {
    return EEXIST;
  }
  void* base = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) {
    return errno;
  }
  auto* header = static_cast<Header*>(base);
  std::atomic_ref<uint32_t> initialised(header->initialised);
  int rc = 0;
  *initialised_here = false;
  if (initialised.load(std::memory_order_acquire) != kInitialisedMagic) {
    if (init == nullptr) {
      rc = ENOENT;
    } else {
      header->kind = static_cast<uint32_t>(kind);
      header->state_size = state_size;
      rc = (*init)(static_cast<char*>(base) + kStateOffset);
      if (rc == 0) {
        initialised.store(kInitialisedMagic, std::memory_order_release);
        *initialised_here = true;
      }
    }
  } else if (header->kind != static_cast<uint32_t>(kind) || header->state_size != state_size) {
    rc = EEXIST;
  }
  if (rc != 0) {
    munmap(base, total);
    return rc;
  }
  *mapping = base;
  return 0;
}

}  // namespace

std::string SharedObjectPath(std::string_view name) {
  for (std::string_view prefix : {"Global\\", "Local\\"}) {
    if (name.starts_with(prefix)) {
      name.remove_prefix(prefix.size());
      break;
    }
  }
  if (name.empty() || name.size() >= NAME_MAX) {
    return std::string();
  }
  std::string path = "/";
  for (char c : name) {
    path.push_back(IsPlainNameChar(c) ? c : '_');
  }
  if (path == "/." || path == "/..") {
    return std::string();
  }
  return path;
}

int SharedObject::CreateOrOpen(std::string_view name, ObjectKind kind, size_t state_size,
                               ObjectSecurity security, const Initialiser& init,
                               SharedObject* object, bool* created) {
  const std::string path = SharedObjectPath(name);
  if (path.empty()) {
    return EINVAL;
  }
  const mode_t mode = security == ObjectSecurity::kOpen ? 0666 : 0600;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      // The umask must not take the other accounts' access away. Should this fail, the object
      // keeps the creator's mode, like the platform's fallback to default security.
      if (security == ObjectSecurity::kOpen) {
        fchmod(fd, 0666);
      }
      break;
    }
    if (errno != EEXIST) {
      return errno;
    }
    fd = shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
    // ENOENT: removed between the two calls; create it afresh.
    if (fd < 0 && (errno != ENOENT || attempt + 1 >= kCreateAttempts)) {
      return errno;
    }
  }
  FileDescriptor descriptor(fd);
  void* mapping = nullptr;
  const int rc = Attach(fd, kind, state_size, &init, &mapping, created);
  if (rc == 0) {
    object->Unmap();
    object->mapping_ = mapping;
    object->size_ = kStateOffset + state_size;
  }
  return rc;
}

int SharedObject::Open(std::string_view name, ObjectKind kind, size_t state_size,
                       SharedObject* object) {
  const std::string path = SharedObjectPath(name);
  if (path.empty()) {
    return EINVAL;
  }
  const int fd = shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) {
    return errno;
  }
  FileDescriptor descriptor(fd);
  void* mapping = nullptr;
  bool created = false;
  const int rc = Attach(fd, kind, state_size, nullptr, &mapping, &created);
  if (rc == 0) {
    object->Unmap();
    object->mapping_ = mapping;
    object->size_ = kStateOffset + state_size;
  }
  return rc;
}

int SharedObject::Remove(std::string_view name) {
  const std::string path = SharedObjectPath(name);
  if (path.empty()) {
    return EINVAL;
  }
  return shm_unlink(path.c_str()) == 0 ? 0 : errno;
}

SharedObject::~SharedObject() { Unmap(); }

SharedObject::SharedObject(SharedObject&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SharedObject& SharedObject::operator=(SharedObject&& other) noexcept {
  if (this != &other) {
    Unmap();
    mapping_ = std::exchange(other.mapping_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void SharedObject::Unmap() {
  if (mapping_ != nullptr) {
    munmap(mapping_, size_);
    mapping_ = nullptr;
    size_ = 0;
  }
}

void* SharedObject::state() const {
  return mapping_ == nullptr ? nullptr : static_cast<char*>(mapping_) + kStateOffset;
}

}  // namespace sdx::win
