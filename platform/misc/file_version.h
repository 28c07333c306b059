// The version text of a built file: the extension carries a marker followed by the project
// version, and func12 finds it by scanning the file. The server object calls func12 once at
// load time on its own file, for the sign-on page.
#pragma once

namespace sdx::misc {

// The marker that precedes the version text in a built file.
inline constexpr char kVersionMarker[] = "SDXVERSION:";

// Fills `out` with the version text that follows the marker in the file at `path`, at most
// size - 1 characters and zero-terminated; the empty text when the file cannot be read or
// holds no marker with a version behind it. `size` 0 writes nothing. The last argument is
// unused and kept for the callers' sake.
void func12(const char* path, char* out, unsigned size, int reserved);

}  // namespace sdx::misc
