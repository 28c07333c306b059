// The web log: one text file per thread in the "Logs" folder that "evhub.ini" points at,
// appended one record at a time. Start-up, the pause handling and the event list write to it;
// nothing is kept between records, so administrators may move or delete the files at any time.
#pragma once

#include <string>
#include <string_view>

namespace sdx {

inline constexpr const char* kDefaultLogBase = "/var/lib/sendrix/";

// The folder the records go to: `path` of section "evhub" in "evhub.ini" of the configuration
// folder (default kDefaultLogBase), lower-cased, cut before "evhub" when it holds that word,
// followed directly by "Logs".
std::string WebLogFolder();

// The record as it is written: "\n", 60 '*', "\nTime: ", asctime's text (with its own "\n"),
// "\n", the text and "\n", cut at 1023 bytes.
std::string FormatWebLogRecord(std::string_view asctime_text, std::string_view text);

// Appends one record to "<WebLogFolder()>/Web-<thread id>.txt", creating the folder (open to
// every account) and the file when needed. Any failure drops the record silently.
void WriteWebLog(std::string_view text);

}  // namespace sdx
