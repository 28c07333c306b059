// A small blocking HTTP/1.x client on a loopback TCP connection, for the host's end-to-end
// tests: sends raw request bytes and reads responses framed by Content-Length, by chunks or by
// the end of the connection. Every read gives up after a generous deadline instead of hanging.
#pragma once

#include <string>
#include <string_view>

namespace sdx::host {

struct HttpResponse {
  int status = 0;
  std::string status_line;  // "HTTP/1.1 200 OK"
  std::string head;         // the header lines after the status line, as received
  std::string body;         // the body with any chunk framing removed
  bool chunked = false;
  int interim_responses = 0;  // 1xx answers read before this one

  // The value of header `name` (any letter case), or "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

class HttpTestConnection {
 public:
  explicit HttpTestConnection(int port);
  ~HttpTestConnection();
  HttpTestConnection(const HttpTestConnection&) = delete;
  HttpTestConnection& operator=(const HttpTestConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  bool Send(std::string_view bytes);
  void ShutdownWrite();
  void Close();

  // Reads one whole response, after any 1xx answers; a 204 or 304 carries no body.
  bool ReadResponse(HttpResponse* response);
  // Reads raw bytes until `needle` has arrived; everything read so far goes to `received`.
  bool ReadUntil(std::string_view needle, std::string* received);
  // Whether the server has closed the connection (reads until end of stream or deadline).
  bool ReadToEnd(std::string* received);

 private:
  bool Fill();  // reads more bytes into buffer_; false at end of stream or deadline
  bool ReadLine(std::string* line);
  bool ReadExactly(size_t size, std::string* out);

  int fd_ = -1;
  std::string buffer_;  // received and not yet consumed
  bool at_end_ = false;
};

// One request on a fresh connection: "GET <target> HTTP/1.1" with Host and Connection: close.
HttpResponse Get(int port, std::string_view target);

}  // namespace sdx::host
