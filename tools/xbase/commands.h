// The subcommands of the `xbase` tool, one file each, and the table main() dispatches through.
// Each Run function gets the arguments after the subcommand's name and answers the exit code:
// 0 done, 1 a missing or bad file, 2 a usage error.
#pragma once

#include <string>
#include <vector>

namespace sdx::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadFile = 1;
inline constexpr int kExitUsage = 2;

struct XbaseCommand {
  const char* name;
  const char* usage;  // the arguments after the name
  const char* help;   // what it does, printed by `xbase help`
  int (*run)(const std::vector<std::string>& args);
};

int RunInfo(const std::vector<std::string>& args);
int RunDump(const std::vector<std::string>& args);
int RunTags(const std::vector<std::string>& args);
int RunWalk(const std::vector<std::string>& args);
int RunStamp(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunReindex(const std::vector<std::string>& args);

}  // namespace sdx::tools
