// The debug window's transport: each record goes as one datagram to the Unix socket that
// sdx-debugview binds in the configuration folder. Sending never waits: with no viewer, or a
// viewer that is behind, the record is dropped at once. Used by the diagnostics writers and
// read by tools/sdx_debugview.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sdx::win {

// The first byte of every datagram says which channel the record came from.
enum class DebugRecordKind : char {
  kDebugWindow = 'W',     // a formatted debug window record
  kDebuggerOutput = 'D',  // a line of the system debugger output
};

inline constexpr const char* kDebugSocketName = "sdx-debugview.sock";
// Longer records are cut: a datagram must stay below the socket's buffer size.
inline constexpr size_t kMaxDebugRecord = 60000;

// ConfigFolder() + "/" + kDebugSocketName.
std::string DebugSocketPath();

// Sends the kind byte and the record (cut at kMaxDebugRecord) to `socket_path`. True when
// the datagram was accepted; false when nobody listens, the viewer's queue is full or the
// path cannot be a socket address.
bool SendDebugRecord(const std::string& socket_path, DebugRecordKind kind, std::string_view record);

}  // namespace sdx::win
