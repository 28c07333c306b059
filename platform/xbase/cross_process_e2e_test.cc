// The engine against real second processes: record locks conflict across processes and vanish
// with a killed holder, concurrent appends get distinct records and an exact count, and lock
// enforcement refuses an unlocked change made by another process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "platform/xbase/engine_calls.h"
#include "platform/xbase/test_util.h"

extern char** environ;

namespace sdx::xbase {
namespace {

using testing::TempDir;

// A running helper process with a pipe to its standard input and one from its standard output.
class Helper {
 public:
  explicit Helper(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> all = {XBASE_TEST_HELPER};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    to_child_ = in[1];
    from_child_ = out[0];
  }
  ~Helper() {
    CloseInput();
    if (from_child_ >= 0) ::close(from_child_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  // One line of the helper's output (blocking until it comes or the helper ends).
  std::string ReadLine() {
    std::string line;
    char c;
    while (::read(from_child_, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
  }
  void CloseInput() {
    if (to_child_ >= 0) ::close(to_child_);
    to_child_ = -1;
  }
  void Kill() { ::kill(pid_, SIGKILL); }
  int Wait() {
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
};

const FIELD4INFO kFields[] = {
    {"LOG_ID", 'B', 8, 0, 0}, {"NOTE", 'C', 10, 0, 0}, {nullptr, 0, 0, 0, 0}};

class CrossProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(code4initLow(&code_, nullptr, 6502, 1615, 0), 0);
    code4lockEnforceSet(&code_, 1);
    data_ = d4create(&code_, table_.c_str(), kFields, nullptr);
    ASSERT_NE(data_, nullptr);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(d4appendStart(data_, 0), 0);
      ASSERT_EQ(d4blank(data_), 0);
      ASSERT_EQ(f4assignDouble(d4field(data_, "LOG_ID"), i + 1), 0);
      ASSERT_EQ(d4append(data_), 0);
    }
  }
  void TearDown() override { code4initUndo(&code_); }

  TempDir dir_;
  std::string table_ = dir_.File("shared.dbf");
  CODE4 code_;
  DATA4* data_ = nullptr;
};

TEST_F(CrossProcessTest, RecordLocksConflictAcrossProcessesAndDieWithTheirHolder) {
  Helper holder({"lock", table_, "2"});
  // The holder may lock again what it holds.
  ASSERT_EQ(holder.ReadLine(), "locked 0");
  EXPECT_EQ(d4lockInternal(data_, 2, 1, 1), r4locked);
  EXPECT_EQ(d4lockTest(data_, 2), 0);
  EXPECT_EQ(d4lockInternal(data_, 1, 1, 1), 0);
  EXPECT_EQ(d4lockInternal(data_, 1, 1, 1), 0);

  holder.Kill();
  holder.Wait();
  EXPECT_EQ(d4lockInternal(data_, 2, 1, 1), 0);
  EXPECT_EQ(d4lockTest(data_, 2), 1);

  // And the other way round: what this process holds, another cannot take.
  Helper refused({"lock", table_, "1"});
  EXPECT_EQ(refused.ReadLine(), "refused");
  ASSERT_EQ(d4unlock(data_), 0);
  Helper granted({"lock", table_, "1"});
  EXPECT_EQ(granted.ReadLine(), "locked 0");
  granted.CloseInput();
  EXPECT_EQ(granted.Wait(), 0);
}

TEST_F(CrossProcessTest, ConcurrentAppendsGetDistinctRecordsAndAnExactCount) {
  constexpr int kRows = 400;
  Helper first({"append", table_, std::to_string(kRows), "1"});
  Helper second({"append", table_, std::to_string(kRows), "2"});
  EXPECT_EQ(first.ReadLine(), "done");
  EXPECT_EQ(second.ReadLine(), "done");
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);

  ASSERT_EQ(_d4recCountDo2(data_, 0), 3 + 2 * kRows);
  std::set<double> ids;
  for (int rc = d4top(data_); rc == 0; rc = d4skip(data_, 1)) {
    ids.insert(f4double(d4field(data_, "LOG_ID")));
  }
  EXPECT_EQ(ids.size(), 3u + 2 * kRows);
  for (int i = 0; i < kRows; ++i) {
    EXPECT_EQ(ids.count(1000000.0 + i), 1u);
    EXPECT_EQ(ids.count(2000000.0 + i), 1u);
  }
  const uint64_t size = std::filesystem::file_size(table_);
  EXPECT_EQ(size, 32 + 64 + 1 + 263 + (3 + 2 * kRows) * 19u + 1);
}

TEST_F(CrossProcessTest, EnforcementRefusesAnotherProcessesUnlockedChange) {
  ASSERT_EQ(d4lockInternal(data_, 3, 1, 1), 0);
  Helper other({"assign", table_, "3"});
  EXPECT_EQ(other.ReadLine(), "assign -50 lock 50");
  EXPECT_EQ(other.Wait(), 0);
  ASSERT_EQ(d4unlock(data_), 0);
  ASSERT_EQ(d4goLow(data_, 3, 1), 0);
  EXPECT_EQ(f4double(d4field(data_, "LOG_ID")), 3);
}

}  // namespace
}  // namespace sdx::xbase
