// The 1024-byte header of a CDX file and of each of its tags: root, free list, change counter,
// key length, options, order and the key and FOR expression texts. Used by the index file to
// open tags and by the writer to create them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/xbase/status.h"

namespace sdx::xbase {

constexpr uint32_t kCdxHeaderSize = 1024;
constexpr uint8_t kCdxOptionUnique = 0x01;
constexpr uint8_t kCdxOptionFor = 0x08;
constexpr uint8_t kCdxOptionCompact = 0x20;
constexpr uint8_t kCdxOptionCompound = 0x40;
constexpr uint8_t kCdxOptionStructural = 0x80;

struct CdxHeader {
  uint32_t root = 0;
  uint32_t free_list = 0;  // file header only; 0 and 0xFFFFFFFF both mean none
  uint32_t key_length = 0;
  uint8_t options = kCdxOptionCompact | kCdxOptionCompound;
  bool descending = false;
  std::string collation;  // empty for MACHINE, the only one whose keys are raw bytes
  std::string key_expression;
  std::string for_expression;

  bool unique() const { return (options & kCdxOptionUnique) != 0; }
};

// Parses and checks a header; the root must lie inside a file of `file_size` bytes.
Status ParseCdxHeader(const uint8_t* bytes, uint64_t file_size, CdxHeader* header);
// Writes a fresh header as Visual FoxPro lays it out (counter 0, signature 1, statistics 0).
Status EncodeCdxHeader(const CdxHeader& header, uint8_t* bytes);

}  // namespace sdx::xbase
