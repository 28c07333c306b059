#include "platform/win/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>

#include "platform/win/file_descriptor.h"
#include "platform/win/ignore_case.h"
#include "platform/win/whole_file.h"

namespace sdx::win {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// One line of a profile file as the lookups see it.
struct Line {
  enum Kind { kOther, kSection, kEntry } kind = kOther;
  std::string_view name;   // section name or key, trimmed
  std::string_view value;  // trimmed; entries only
  bool has_equals = false;
};

Line Classify(std::string_view raw) {
  Line line;
  std::string_view text = Trim(raw);
  if (text.empty() || text[0] == ';') return line;
  if (text[0] == '[') {
    line.kind = Line::kSection;
    std::string_view inner = text.substr(1);
    line.name = Trim(inner.substr(0, inner.find(']')));
    return line;
  }
  line.kind = Line::kEntry;
  size_t equals = text.find('=');
  line.has_equals = equals != std::string_view::npos;
  line.name = Trim(text.substr(0, equals));
  if (line.has_equals) line.value = Trim(text.substr(equals + 1));
  return line;
}

// The file's lines without their '\n' (a '\r' before it stays part of the line, so that lines
// we do not touch are written back byte for byte).
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      lines.push_back(text);
      break;
    }
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Index range [begin, end) of the body of the first section named `section`; nullopt when the
// file has no such section.
struct SectionRange {
  size_t header;
  size_t begin;
  size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<std::string_view>& lines,
                                        std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    Line line = Classify(lines[i]);
    if (line.kind != Line::kSection || !EqualIgnoringCase(line.name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && Classify(lines[end]).kind != Line::kSection) ++end;
    return SectionRange{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<std::string> FindValue(const std::string& text, std::string_view section,
                                     std::string_view key) {
  std::vector<std::string_view> lines = SplitLines(text);
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) return std::nullopt;
  for (size_t i = range->begin; i < range->end; ++i) {
    Line line = Classify(lines[i]);
    if (line.kind == Line::kEntry && line.has_equals && EqualIgnoringCase(line.name, key)) {
      return std::string(line.value);
    }
  }
  return std::nullopt;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t put = write(fd, data.data(), data.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

// Edits the lines of the file in place; returns false when nothing changed.
using Edit = std::function<bool(std::vector<std::string>* lines, std::string_view newline)>;

// Reads, edits and replaces the file while holding the exclusive lock on its companion lock
// file. The lock file outlives the renames that replace the profile file's inode, which is why
// the lock cannot be taken on the profile file itself.
bool RewriteLocked(const std::string& path, const Edit& edit) {
  FileDescriptor lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (lock.get() < 0) return false;
  while (flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }

  std::string old_text;
  struct stat old_stat {};
  bool exists = stat(path.c_str(), &old_stat) == 0;
  if (exists && !ReadWholeFile(path, &old_text)) return false;

  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(old_text)) lines.emplace_back(line);
  // New lines follow the file's own line ends, so that files that came from Windows stay CR LF.
  std::string_view newline = (!lines.empty() && !lines[0].empty() && lines[0].back() == '\r')
                                 ? std::string_view("\r\n")
                                 : std::string_view("\n");
  if (!edit(&lines, newline)) return true;

  std::string new_text;
  for (const std::string& line : lines) {
    new_text += line;
    new_text += '\n';
  }
  std::string temp_path = path + ".XXXXXX";
  FileDescriptor temp(mkostemp(temp_path.data(), O_CLOEXEC));
  if (temp.get() < 0) return false;
  mode_t mode = exists ? (old_stat.st_mode & 07777) : 0644;
  bool ok = fchmod(temp.get(), mode) == 0 && WriteAll(temp.get(), new_text) &&
            fsync(temp.get()) == 0 && rename(temp_path.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp_path.c_str());
  return ok;
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return std::string(default_value);
  std::optional<std::string> value = FindValue(text, section, key);
  return value ? *value : std::string(default_value);
}

long GetPrivateProfileInt(std::string_view section, std::string_view key, long default_value,
                          const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return default_value;
  std::optional<std::string> value = FindValue(text, section, key);
  if (!value) return default_value;
  return std::strtol(value->c_str(), nullptr, 10);
}

std::vector<ProfileEntry> GetPrivateProfileSection(std::string_view section,
                                                   const std::string& path) {
  std::vector<ProfileEntry> entries;
  std::string text;
  if (!ReadWholeFile(path, &text)) return entries;
  std::vector<std::string_view> lines = SplitLines(text);
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) return entries;
  for (size_t i = range->begin; i < range->end; ++i) {
    Line line = Classify(lines[i]);
    if (line.kind == Line::kEntry) {
      entries.push_back({std::string(line.name), std::string(line.value)});
    }
  }
  return entries;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
  std::string trimmed_section(Trim(section));
  std::string trimmed_key(Trim(key));
  std::string trimmed_value(Trim(value));
  return RewriteLocked(path, [&](std::vector<std::string>* lines, std::string_view newline) {
    std::string_view cr = newline.size() == 2 ? "\r" : "";
    std::vector<std::string_view> views(lines->begin(), lines->end());
    std::optional<SectionRange> range = FindSection(views, trimmed_section);
    if (!range) {
      if (!lines->empty() && !Trim(lines->back()).empty()) lines->emplace_back(cr);
      lines->push_back("[" + trimmed_section + "]" + std::string(cr));
      lines->push_back(trimmed_key + "=" + trimmed_value + std::string(cr));
      return true;
    }
    size_t last_content = range->header;
    for (size_t i = range->begin; i < range->end; ++i) {
      Line line = Classify(views[i]);
      // Names are written trimmed, so they are looked for trimmed: writing " Day" twice replaces
      // the first line instead of adding a second "Day=".
      if (line.kind == Line::kEntry && line.has_equals &&
          EqualIgnoringCase(line.name, trimmed_key)) {
        (*lines)[i] = std::string(line.name) + "=" + trimmed_value + std::string(cr);
        return true;
      }
      if (!Trim(views[i]).empty()) last_content = i;
    }
    lines->insert(lines->begin() + static_cast<long>(last_content) + 1,
                  trimmed_key + "=" + trimmed_value + std::string(cr));
    return true;
  });
}

bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path) {
  if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return true;
  return RewriteLocked(path, [&](std::vector<std::string>* lines, std::string_view) {
    std::vector<std::string_view> views(lines->begin(), lines->end());
    std::optional<SectionRange> range = FindSection(views, section);
    if (!range) return false;
    std::vector<std::string> kept;
    bool removed = false;
    for (size_t i = 0; i < lines->size(); ++i) {
      Line line = Classify(views[i]);
      if (i >= range->begin && i < range->end && line.kind == Line::kEntry && line.has_equals &&
          EqualIgnoringCase(line.name, key)) {
        removed = true;
        continue;
      }
      kept.push_back(std::move((*lines)[i]));
    }
    if (removed) *lines = std::move(kept);
    return removed;
  });
}

}  // namespace sdx::win
