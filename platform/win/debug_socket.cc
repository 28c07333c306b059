#include "platform/win/debug_socket.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/win/config_folder.h"

namespace sdx::win {

std::string DebugSocketPath() { return ConfigFolder() + "/" + kDebugSocketName; }

bool SendDebugRecord(const std::string& socket_path, DebugRecordKind kind,
                     std::string_view record) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.empty() || socket_path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, socket_path.data(), socket_path.size());

  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  char kind_byte = static_cast<char>(kind);
  if (record.size() > kMaxDebugRecord) record = record.substr(0, kMaxDebugRecord);
  iovec parts[2] = {{&kind_byte, 1}, {const_cast<char*>(record.data()), record.size()}};
  msghdr message{};
  message.msg_name = &address;
  message.msg_namelen = sizeof(address);
  message.msg_iov = parts;
  message.msg_iovlen = 2;
  // Non-blocking: a missing viewer gives ENOENT or ECONNREFUSED, a full queue EAGAIN, and the
  // request thread goes on either way.
  ssize_t sent = sendmsg(fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
  close(fd);
  return sent == static_cast<ssize_t>(record.size() + 1);
}

}  // namespace sdx::win
