// The running simulator: plays the paging server on a demo folder, appending escalation rows
// and replies and moving events through their states with the same record locks the server
// takes, one step per interval, until told to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace sdx::sim {

struct RunOptions {
  uint64_t seed = 1;
  std::chrono::milliseconds interval{1000};
  long steps = 0;  // 0: until stopped
  bool verbose = false;
};

// Runs on the tables of `dir` until `stop` is set (or `steps` are done). False with the reason
// in *error when the tables cannot be opened.
bool RunSimulator(const std::string& dir, const RunOptions& options, const std::atomic<bool>& stop,
                  std::string* error);

}  // namespace sdx::sim
