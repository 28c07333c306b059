#include "host/http_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace sdx::host {
namespace {

constexpr int kReadTimeoutMs = 20000;

}  // namespace

std::string HttpResponse::Header(std::string_view name) const {
  size_t pos = 0;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    if (end == std::string::npos) end = head.size();
    std::string_view line(head.data() + pos, end - pos);
    size_t colon = line.find(':');
    if (colon == name.size() && strncasecmp(line.data(), name.data(), name.size()) == 0) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    pos = end + 2;
  }
  return "";
}

bool HttpResponse::HasHeader(std::string_view name) const {
  std::string probe = "\r\n" + head;
  for (size_t pos = 0; (pos = probe.find("\r\n", pos)) != std::string::npos; pos += 2) {
    if (strncasecmp(probe.data() + pos + 2, name.data(), name.size()) == 0 &&
        probe.size() > pos + 2 + name.size() && probe[pos + 2 + name.size()] == ':') {
      return true;
    }
  }
  return false;
}

HttpTestConnection::HttpTestConnection(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    Close();
  }
}

HttpTestConnection::~HttpTestConnection() { Close(); }

void HttpTestConnection::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool HttpTestConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void HttpTestConnection::ShutdownWrite() { shutdown(fd_, SHUT_WR); }

bool HttpTestConnection::Fill() {
  if (fd_ < 0 || at_end_) return false;
  pollfd waiting{fd_, POLLIN, 0};
  if (poll(&waiting, 1, kReadTimeoutMs) <= 0) return false;
  char chunk[16384];
  ssize_t n = recv(fd_, chunk, sizeof(chunk), 0);
  if (n <= 0) {
    at_end_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

bool HttpTestConnection::ReadLine(std::string* line) {
  size_t end;
  while ((end = buffer_.find("\r\n")) == std::string::npos) {
    if (!Fill()) return false;
  }
  line->assign(buffer_, 0, end);
  buffer_.erase(0, end + 2);
  return true;
}

bool HttpTestConnection::ReadExactly(size_t size, std::string* out) {
  while (buffer_.size() < size) {
    if (!Fill()) return false;
  }
  out->append(buffer_, 0, size);
  buffer_.erase(0, size);
  return true;
}

bool HttpTestConnection::ReadResponse(HttpResponse* response) {
  *response = HttpResponse();
  for (;;) {
    if (!ReadLine(&response->status_line)) return false;
    response->head.clear();
    std::string line;
    while (ReadLine(&line) && !line.empty()) response->head += line + "\r\n";
    if (response->status_line.size() < 12) return false;
    response->status = std::atoi(response->status_line.c_str() + 9);
    if (response->status >= 200) break;
    ++response->interim_responses;
  }
  if (response->status == 204 || response->status == 304) return true;
  response->chunked = response->Header("Transfer-Encoding") == "chunked";
  if (response->chunked) {
    for (;;) {
      std::string size_line;
      if (!ReadLine(&size_line)) return false;
      size_t size = std::strtoul(size_line.c_str(), nullptr, 16);
      if (size == 0) {
        std::string trailer;
        return ReadLine(&trailer) && trailer.empty();
      }
      std::string crlf;
      if (!ReadExactly(size, &response->body) || !ReadExactly(2, &crlf) || crlf != "\r\n") {
        return false;
      }
    }
  }
  if (response->HasHeader("Content-Length")) {
    return ReadExactly(std::strtoul(response->Header("Content-Length").c_str(), nullptr, 10),
                       &response->body);
  }
  return ReadToEnd(&response->body);
}

bool HttpTestConnection::ReadUntil(std::string_view needle, std::string* received) {
  while (buffer_.find(needle) == std::string::npos) {
    if (!Fill()) return false;
  }
  received->append(buffer_);
  buffer_.clear();
  return true;
}

bool HttpTestConnection::ReadToEnd(std::string* received) {
  while (Fill()) {
  }
  received->append(buffer_);
  buffer_.clear();
  return at_end_;
}

HttpResponse Get(int port, std::string_view target) {
  HttpTestConnection connection(port);
  HttpResponse response;
  connection.Send("GET " + std::string(target) +
                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  connection.ReadResponse(&response);
  return response;
}

}  // namespace sdx::host
