#include "diagnostics/web_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "platform/win/config_folder.h"
#include "platform/win/profile_file.h"

namespace sdx {
namespace {

// The folder value is read into a path buffer of this size on the platform we mirror.
constexpr size_t kMaxPath = 260;
// The record buffer holds 1024 bytes with its terminating zero.
constexpr size_t kMaxRecord = 1023;

}  // namespace

std::string WebLogFolder() {
  std::string folder = win::GetPrivateProfileString("evhub", "path", kDefaultLogBase,
                                                    win::ConfigFolder() + "/evhub.ini");
  if (folder.size() > kMaxPath - 1) folder.resize(kMaxPath - 1);
  std::transform(folder.begin(), folder.end(), folder.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
  });
  size_t evhub = folder.find("evhub");
  if (evhub != std::string::npos) folder.resize(evhub);
  return folder + "Logs";
}

std::string FormatWebLogRecord(std::string_view asctime_text, std::string_view text) {
  std::string record;
  record.reserve(kMaxRecord);
  record += '\n';
  record.append(60, '*');
  record += "\nTime: ";
  record += asctime_text;
  record += '\n';
  record += text;
  record += '\n';
  if (record.size() > kMaxRecord) record.resize(kMaxRecord);
  return record;
}

void WriteWebLog(std::string_view text) {
  std::string folder = WebLogFolder();
  // Every account may write the logs, as with the open security of the platform: the mode is
  // set again after mkdir because the process's umask would narrow it.
  if (mkdir(folder.c_str(), 0777) == 0) chmod(folder.c_str(), 0777);
  std::string path =
      folder + "/Web-" + std::to_string(static_cast<unsigned long>(gettid())) + ".txt";

  time_t now = time(nullptr);
  tm local{};
  char asctime_text[64] = "";
  if (localtime_r(&now, &local) == nullptr || asctime_r(&local, asctime_text) == nullptr) {
    asctime_text[0] = '\0';
  }
  std::string record = FormatWebLogRecord(asctime_text, text);

  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  // One write: a record is never split, and a failed write is simply lost.
  [[maybe_unused]] ssize_t written = write(fd, record.data(), record.size());
  close(fd);
}

}  // namespace sdx
