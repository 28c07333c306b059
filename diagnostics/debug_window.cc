#include "diagnostics/debug_window.h"

#include <locale.h>

#include <atomic>

#include "platform/win/debug_socket.h"

namespace sdx {
namespace {

std::atomic<int> web_logger_on{0};

// The date format must not follow whatever locale the hosting process has set.
locale_t CLocale() {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c_locale;
}

}  // namespace

void SetWebLoggerOn(int value) { web_logger_on.store(value, std::memory_order_relaxed); }

int WebLoggerOn() { return web_logger_on.load(std::memory_order_relaxed); }

std::string FormatDebugWindowRecord(const std::tm& local_time, std::string_view text) {
  char stamp[64] = "";
  if (strftime_l(stamp, sizeof(stamp), "%x %H%M\r\n", &local_time, CLocale()) == 0) {
    stamp[0] = '\0';
  }
  std::string record = stamp;
  record += text;
  record += "\r\n";
  record.append(41, '*');
  record += "\r\n";
  return record;
}

void WriteDebugWindow(std::string_view text) {
  if (WebLoggerOn() == 0) return;
  time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  win::SendDebugRecord(win::DebugSocketPath(), win::DebugRecordKind::kDebugWindow,
                       FormatDebugWindowRecord(local, text));
}

void WriteDebuggerOutput(std::string_view text) {
  win::SendDebugRecord(win::DebugSocketPath(), win::DebugRecordKind::kDebuggerOutput, text);
}

}  // namespace sdx
