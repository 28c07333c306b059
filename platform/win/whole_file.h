// Reading a whole file into memory, for the small text files the system reads at once
// (profile files, page templates).
#pragma once

#include <string>

namespace sdx::win {

// Replaces `text` with the file's bytes; false when it cannot be opened or read (a folder
// opens but does not read), with `text` then holding whatever was read.
bool ReadWholeFile(const std::string& path, std::string* text);

}  // namespace sdx::win
