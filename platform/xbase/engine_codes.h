// The engine's result codes, shared by its internal layers and the C-linkage calls: 0 is
// success, positive values are conditions a caller expects (end of file, a refused lock),
// negative values are errors.
#pragma once

namespace sdx::xbase {

inline constexpr int kSuccess = 0;
inline constexpr int kBof = 2;
inline constexpr int kEof = 3;
inline constexpr int kEntry = 5;    // no record of that number
inline constexpr int kLocked = 50;  // a lock held by another open of the file

inline constexpr int kErrCreate = -20;
inline constexpr int kErrLock = -50;
inline constexpr int kErrOpen = -60;
inline constexpr int kErrRead = -70;
inline constexpr int kErrWrite = -80;
inline constexpr int kErrData = -200;  // not a table this engine reads, or a corrupt header
inline constexpr int kErrFieldName = -210;
inline constexpr int kErrMemo = -230;  // a memo pointer or length the memo file cannot hold
inline constexpr int kErrMemory = -920;
inline constexpr int kErrParm = -930;
inline constexpr int kErrParmNull = -935;
inline constexpr int kErrStruct = -970;  // a context or handle that is not initialised

}  // namespace sdx::xbase
