// Where the byte-range locks of a table lie: the convention decides which other programs see
// our record, header and memo locks. Chosen per table (DbfTable), Visual FoxPro's by default.
#pragma once

#include <cstdint>

namespace sdx::xbase {

enum class LockScheme {
  kVfp,      // record n at 0x7FFFFFFE - n, header at 0x7FFFFFFE (Visual FoxPro, Harbour "VFP")
  kClipper,  // record n at 1,000,000,000 + n, header at 1,000,000,000 (Clipper, Harbour default)
};

inline uint64_t HeaderLockOffset(LockScheme scheme) {
  return scheme == LockScheme::kVfp ? 0x7FFFFFFEull : 1000000000ull;
}

inline uint64_t RecordLockOffset(LockScheme scheme, uint32_t record) {
  return scheme == LockScheme::kVfp ? 0x7FFFFFFEull - record : 1000000000ull + record;
}

// The memo allocation lock: one byte at offset 0 of the memo file, held while "next free" is
// read, the blocks written and the new "next free" stored (the convention Harbour uses).
inline constexpr uint64_t kMemoLockOffset = 0;

}  // namespace sdx::xbase
