// Profile (INI) files with the platform's private-profile semantics: section and key names
// found without regard to case, a missing file or key reads as the default, values trimmed,
// the first matching section and key win. Writes rewrite the whole file into a temporary file
// and rename it over the old one under an exclusive flock of "<file>.lock", so readers always
// see a whole file and concurrent writers in any thread or process lose nothing. Used for the
// settings file, "evhub.ini" and the saved filters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sdx::win {

struct ProfileEntry {
  std::string key;
  std::string value;  // empty for a line without '='
};

// The value of `key` in `section`, or `default_value` when the file, the section or the key is
// missing.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path);

// The value read as a decimal integer (leading blanks and a sign allowed, conversion stops at
// the first non-digit, no digits gives 0); `default_value` when the key is missing.
long GetPrivateProfileInt(std::string_view section, std::string_view key, long default_value,
                          const std::string& path);

// Every line of the section that is not blank or a ';' comment, in file order.
std::vector<ProfileEntry> GetPrivateProfileSection(std::string_view section,
                                                   const std::string& path);

// Sets `key` to `value`: replaces the first matching line (keeping the key's spelling there),
// or adds a line at the end of the section, or adds the section at the end of the file,
// creating the file when needed. Every other line stays as it was. False when the file cannot
// be written (the old content is then untouched).
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

// Removes every line of `key` in the section; a missing file, section or key is no error.
bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path);

}  // namespace sdx::win
