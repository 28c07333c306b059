#include "platform/xbase/os_mapping.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

namespace sdx::xbase {

namespace {

// Room left past the end of the file so that a growing table is mapped again only now and then.
constexpr uint64_t kMinSlack = 4 << 20;

// The copy in progress on this thread, if any: a SIGBUS inside it jumps back here.
thread_local sigjmp_buf* t_fault_jump = nullptr;

struct sigaction g_previous_bus;

// A fault outside a guarded copy is none of ours: it goes where it would have gone.
void OnBusFault(int signal, siginfo_t* info, void* context) {
  if (t_fault_jump != nullptr) siglongjmp(*t_fault_jump, 1);
  if (g_previous_bus.sa_flags & SA_SIGINFO) {
    g_previous_bus.sa_sigaction(signal, info, context);
    return;
  }
  if (g_previous_bus.sa_handler != SIG_IGN && g_previous_bus.sa_handler != SIG_DFL) {
    g_previous_bus.sa_handler(signal);
    return;
  }
  // Returning re-runs the faulting access, which now meets the default action.
  sigaction(SIGBUS, &g_previous_bus, nullptr);
}

void InstallBusHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = OnBusFault;
    sigemptyset(&action.sa_mask);
    // SA_NODEFER: the jump out of the handler does not restore the signal mask, and a SIGBUS
    // left blocked would make the next fault fatal.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(SIGBUS, &action, &g_previous_bus);
  });
}

// The copy is a separate function without objects to destroy, as a jump out of it requires.
bool GuardedCopy(void* out, const void* from, size_t size) {
  sigjmp_buf jump;
  if (sigsetjmp(jump, 0) != 0) {
    t_fault_jump = nullptr;
    return false;
  }
  t_fault_jump = &jump;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(out, from, size);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_fault_jump = nullptr;
  return true;
}

}  // namespace

OsMapping::OsMapping(OsMapping&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      covers_(std::exchange(other.covers_, 0)),
      writable_(other.writable_) {}

OsMapping& OsMapping::operator=(OsMapping&& other) noexcept {
  if (this != &other) {
    Unmap();
    base_ = std::exchange(other.base_, nullptr);
    length_ = std::exchange(other.length_, 0);
    covers_ = std::exchange(other.covers_, 0);
    writable_ = other.writable_;
  }
  return *this;
}

void OsMapping::Unmap() {
  if (base_ != nullptr) munmap(base_, length_);
  base_ = nullptr;
  length_ = 0;
  covers_ = 0;
}

bool OsMapping::Cover(int fd, uint64_t end) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size < end) {
    covers_ = size < covers_ ? size : covers_;
    return false;
  }
  if (size > length_) {
    Unmap();
    const uint64_t slack = size / 2 > kMinSlack ? size / 2 : kMinSlack;
    void* base = mmap(nullptr, size + slack, writable_ ? PROT_READ | PROT_WRITE : PROT_READ,
                      MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) return false;
    InstallBusHandler();
    base_ = static_cast<uint8_t*>(base);
    length_ = size + slack;
  }
  covers_ = size;
  return true;
}

void OsMapping::Prefetch(uint64_t offset, size_t size) const {
  if (offset >= covers_ || size > covers_ - offset) return;
  // A prefetch never faults, even on a page the file no longer has.
  for (uint64_t at = offset & ~uint64_t{63}; at < offset + size; at += 64) {
    __builtin_prefetch(base_ + at);
  }
}

bool OsMapping::CopyOut(int fd, uint64_t offset, void* out, size_t size) {
  if (size == 0) return true;
  const uint64_t end = offset + size;
  if (end < offset) return false;
  if (end > covers_ && !Cover(fd, end)) return false;
  if (GuardedCopy(out, base_ + offset, size)) return true;
  // The file shrank under the mapping: ask its size again before trusting the mapping.
  covers_ = 0;
  return false;
}

bool OsMapping::CopyIn(uint64_t offset, const void* in, size_t size) {
  // No mapping yet: a file only written so far (being built) gains nothing from one.
  if (!writable_ || base_ == nullptr || size == 0) return false;
  const uint64_t end = offset + size;
  if (end < offset || end > covers_) return false;
  if (GuardedCopy(base_ + offset, in, size)) return true;
  covers_ = 0;
  return false;
}

void OsMapping::Reached(uint64_t end) {
  if (base_ != nullptr && end > covers_ && end <= length_) covers_ = end;
}

}  // namespace sdx::xbase
