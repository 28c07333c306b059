// An extension for the host's end-to-end tests. The query string picks the behaviour:
//   echo               reports method, query, path, content type, sizes and the whole body
//   status=NNN         sends status NNN through request 3 with a short page
//   error              returns kStatusError without sending anything
//   wait=PATH          writes a page in pieces and holds its last piece until PATH exists
//   rows=N             writes N rows, one WriteClient each, until a write fails
// Events the test cannot see on the wire go as files into $SDX_TEST_MARKER_DIR: "read-failed",
// "write-failed", "terminated". $SDX_TEST_REFUSE_START makes GetExtensionVersion fail.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/isapi/isapi.h"

namespace {

using sdx::isapi::ExtensionControlBlock;

void Mark(const char* name) {
  const char* dir = std::getenv("SDX_TEST_MARKER_DIR");
  if (dir == nullptr) return;
  std::string path = std::string(dir) + "/" + name;
  if (FILE* file = std::fopen(path.c_str(), "w")) std::fclose(file);
}

bool Head(ExtensionControlBlock* ecb, const char* status, const char* headers) {
  uint32_t size = static_cast<uint32_t>(std::strlen(status));
  return ecb->ServerSupportFunction(ecb->connection, sdx::isapi::kReqSendResponseHeader,
                                    const_cast<char*>(status), &size, const_cast<char*>(headers));
}

bool Write(ExtensionControlBlock* ecb, const std::string& text) {
  uint32_t size = static_cast<uint32_t>(text.size());
  return ecb->WriteClient(ecb->connection, text.data(), &size, 0);
}

uint32_t Echo(ExtensionControlBlock* ecb) {
  std::string body(reinterpret_cast<const char*>(ecb->data), ecb->available_bytes);
  bool read_ok = true;
  while (body.size() < ecb->total_bytes) {
    char buffer[8192];
    uint32_t size = sizeof(buffer);
    if (!ecb->ReadClient(ecb->connection, buffer, &size) || size == 0) {
      read_ok = false;
      Mark("read-failed");
      break;
    }
    body.append(buffer, size);
  }
  Head(ecb, "200 OK", "Content-Type: text/plain\r\n\r\n");
  std::string text = std::string("method=") + ecb->method + "\nquery=" + ecb->query_string +
                     "\npath=" + ecb->path_info + "\ncontent_type=" + ecb->content_type +
                     "\ntotal=" + std::to_string(ecb->total_bytes) +
                     "\navailable=" + std::to_string(ecb->available_bytes) +
                     "\nread=" + (read_ok ? "ok" : "failed") + "\nbody=" + body;
  Write(ecb, text);
  return sdx::isapi::kStatusSuccess;
}

uint32_t Status(ExtensionControlBlock* ecb, const char* code) {
  std::string status = std::string(code) + " Test Status";
  std::string page = "<p>status " + std::string(code) + "</p>";
  ecb->http_status_code = static_cast<uint32_t>(std::atoi(code));
  Head(ecb, status.c_str(), "Content-Type: text/html\r\n\r\n");
  Write(ecb, page);
  return sdx::isapi::kStatusSuccess;
}

uint32_t Wait(ExtensionControlBlock* ecb, const char* path) {
  Head(ecb, "200 OK", "Content-Type: text/html\r\n\r\n");
  for (const char* piece : {"first", "-", "piece\n"}) Write(ecb, piece);
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (access(path, F_OK) != 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Write(ecb, "last-piece\n");
  return sdx::isapi::kStatusSuccess;
}

uint32_t Rows(ExtensionControlBlock* ecb, long count) {
  Head(ecb, "200 OK", "Content-Type: text/plain\r\n\r\n");
  for (long i = 0; i < count; ++i) {
    if (!Write(ecb, "row " + std::to_string(i) + "\n")) {
      Mark("write-failed");
      break;
    }
  }
  return sdx::isapi::kStatusSuccess;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool GetExtensionVersion(
    sdx::isapi::VersionInfo* info) {
  if (std::getenv("SDX_TEST_REFUSE_START") != nullptr) return false;
  info->extension_version =
      sdx::isapi::MakeVersion(sdx::isapi::kVersionMajor, sdx::isapi::kVersionMinor);
  std::snprintf(info->description, sizeof(info->description), "host test extension");
  return true;
}

extern "C" __attribute__((visibility("default"))) uint32_t HttpExtensionProc(
    ExtensionControlBlock* ecb) {
  const char* query = ecb->query_string;
  if (std::strcmp(query, "echo") == 0 || std::strncmp(query, "echo&", 5) == 0) return Echo(ecb);
  if (std::strncmp(query, "status=", 7) == 0) return Status(ecb, query + 7);
  if (std::strncmp(query, "wait=", 5) == 0) return Wait(ecb, query + 5);
  if (std::strncmp(query, "rows=", 5) == 0) return Rows(ecb, std::atol(query + 5));
  return sdx::isapi::kStatusError;
}

extern "C" __attribute__((visibility("default"))) bool TerminateExtension(uint32_t flags) {
  Mark("terminated");
  return true;
}
