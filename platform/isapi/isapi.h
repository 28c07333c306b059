// The contract between the web host and an extension library: the request control block the
// host fills for every request, the version record the extension fills once at start, and the
// three entry points the host looks up with dlopen/dlsym. Plain C layout, so that host and
// extension may be built apart; nothing here allocates or owns.
#pragma once

#include <cstdint>

namespace sdx::isapi {

// Results of HttpExtensionProc.
inline constexpr uint32_t kStatusSuccess = 1;
inline constexpr uint32_t kStatusSuccessAndKeepConn = 2;
inline constexpr uint32_t kStatusPending = 3;
inline constexpr uint32_t kStatusError = 4;

// ServerSupportFunction requests.
// kReqSendResponseHeader: buffer is the status line text ("200 OK"), data the header text, each
// line ended by "\r\n" and the block by an empty line. The host sends the head at once.
inline constexpr uint32_t kReqSendResponseHeader = 3;

// HTTP status codes the frame and the host use.
inline constexpr uint32_t kHttpOk = 200;
inline constexpr uint32_t kHttpNoContent = 204;
inline constexpr uint32_t kHttpBadRequest = 400;
inline constexpr uint32_t kHttpRequestTooLarge = 413;
inline constexpr uint32_t kHttpServerError = 500;
inline constexpr uint32_t kHttpNotImplemented = 501;

inline constexpr uint16_t kVersionMajor = 4;
inline constexpr uint16_t kVersionMinor = 0;
inline constexpr uint32_t kMaxDescriptionLength = 256;

inline constexpr uint32_t MakeVersion(uint16_t major, uint16_t minor) {
  return (static_cast<uint32_t>(major) << 16) | minor;
}

struct VersionInfo {
  uint32_t extension_version;  // MakeVersion(kVersionMajor, kVersionMinor)
  char description[kMaxDescriptionLength];
};

using ConnectionId = void*;

// Writes `*size` bytes synchronously; false once the client has gone away. On return `*size`
// holds the bytes accepted.
using WriteClientFn = bool (*)(ConnectionId conn, const void* buffer, uint32_t* size,
                               uint32_t flags);
// Reads at most `*size` further body bytes; `*size` becomes the count read, 0 at the end.
using ReadClientFn = bool (*)(ConnectionId conn, void* buffer, uint32_t* size);
using ServerSupportFn = bool (*)(ConnectionId conn, uint32_t request, void* buffer, uint32_t* size,
                                 void* data);

// One request. The host owns every pointer and keeps it valid until HttpExtensionProc returns.
struct ExtensionControlBlock {
  uint32_t size;  // sizeof(ExtensionControlBlock), checked by the extension
  ConnectionId connection;
  uint32_t http_status_code;  // set by the extension for the access log
  const char* method;         // "GET", "POST", ...
  const char* query_string;   // everything after the first '?', "" when none
  const char* path_info;      // the URL path
  const char* content_type;   // "" when none
  uint32_t total_bytes;       // Content-Length of the body
  uint32_t available_bytes;   // bytes of the body already read into `data`
  const uint8_t* data;        // the read-ahead body bytes
  WriteClientFn WriteClient;
  ReadClientFn ReadClient;
  ServerSupportFn ServerSupportFunction;
};

}  // namespace sdx::isapi

// The entry points an extension exports with C linkage.
extern "C" {
using GetExtensionVersionFn = bool (*)(sdx::isapi::VersionInfo* info);
using HttpExtensionProcFn = uint32_t (*)(sdx::isapi::ExtensionControlBlock* ecb);
using TerminateExtensionFn = bool (*)(uint32_t flags);
}

namespace sdx::isapi {
inline constexpr const char* kGetExtensionVersionName = "GetExtensionVersion";
inline constexpr const char* kHttpExtensionProcName = "HttpExtensionProc";
inline constexpr const char* kTerminateExtensionName = "TerminateExtension";
// TerminateExtension flag: the host is unloading the extension and will not ask again.
inline constexpr uint32_t kTerminateMustUnload = 1;
}  // namespace sdx::isapi
