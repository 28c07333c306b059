#include "tools/sendrix_sim/simulator.h"

#include <cstdio>
#include <ctime>
#include <thread>

#include "tables/database_engine.h"
#include "tables/event_log_table.h"
#include "tables/field_access.h"
#include "tools/sendrix_sim/demo_random.h"
#include "tools/sendrix_sim/row_writer.h"

namespace sdx::sim {
namespace {

// The highest value of `field` by its ascending tag, 0 for an empty table.
double HighestValue(DATA4* data, const char* tag, const char* field) {
  SelectTagByName(data, tag);
  if (d4bottom(data) != r4success || d4eof(data)) return 0;
  return f4double(d4field(data, field));
}

class Simulator {
 public:
  Simulator(const std::string& folder, const RunOptions& options, CODE4* code_base)
      : options_(options),
        random_(options.seed),
        log_(code_base, folder + "/LogAlarm"),
        responses_(code_base, folder + "/LogResponse") {}

  bool ok() const { return log_.ok() && responses_.ok(); }

  void Start() {
    next_log_id_ = HighestValue(log_.data(), "T_LOG", "LOG_ID") + 1;
    event_id_ = HighestValue(log_.data(), "T_EVENT", "EVENT_ID");
    SelectTagByName(log_.data(), nullptr);
  }

  void Step() {
    const uint32_t choice = random_.Below(100);
    if (event_id_ == 0 || choice < 15) {
      NewEvent();
    } else if (choice < 60) {
      Escalate();
    } else if (choice < 90) {
      ChangeState();
    } else {
      Reply();
    }
  }

 private:
  void AppendRow(int32_t flags, double status) {
    if (!log_.Start()) return;
    const int32_t now = static_cast<int32_t>(std::time(nullptr));
    RowWriter::Set(log_.Field("LOG_ID"), next_log_id_++);
    RowWriter::Set(log_.Field("STATUS_ID"), status);
    RowWriter::SetLong(log_.Field("TIME"), now);
    RowWriter::SetLong(log_.Field("ORIG_TIME"), event_start_ != 0 ? event_start_ : now);
    RowWriter::Set(log_.Field("NODE_ID"), node_);
    RowWriter::Set(log_.Field("TECH_ID"), 1 + random_.Below(15));
    RowWriter::Set(log_.Field("MSG_ID"), alarm_);
    RowWriter::Set(log_.Field("ALARM_ID"), alarm_);
    RowWriter::Set(log_.Field("EVENT_ID"), event_id_);
    RowWriter::SetLong(log_.Field("ESCL_FLAGS"), flags);
    log_.Append();
    last_record_ = static_cast<int32_t>(d4recNoLow(log_.data()));
    Say("append LogAlarm row %ld of event %.0f", static_cast<long>(last_record_), event_id_);
  }

  void NewEvent() {
    ++event_id_;
    event_start_ = static_cast<int32_t>(std::time(nullptr));
    alarm_ = 1 + random_.Below(20);
    node_ = 1001 + random_.Below(50);
    AppendRow(kEsclOpen | kEsclWaitingForReply, 101);
  }

  void Escalate() { AppendRow(kEsclOpen | kEsclWaitingForReply, 105); }

  // Sets a state bit on a recent row under its record lock, as the server does when timers run
  // out or replies arrive.
  void ChangeState() {
    const long count = _d4recCountDo2(log_.data(), 0);
    if (count <= 0) return;
    const long record = std::max(1L, count - static_cast<long>(random_.Below(20)));
    static constexpr int32_t kBits[] = {kEsclReplyTimerExpired, kEsclCloseTimerExpired,
                                        kEsclFinalEscalation, kEsclRepliedByOwn, kEsclClosedByOwn};
    const int32_t bit = kBits[random_.Below(std::size(kBits))];
    DATA4* data = log_.data();
    SelectTagByName(data, nullptr);
    if (LockRecordWithRetry(data, record) != r4success) return;
    if (d4goLow(data, record, 1) == r4success) {
      FIELD4* flags = log_.Field("ESCL_FLAGS");
      int32_t value = ReadLong(flags) | bit;
      if (bit & (kEsclRepliedByOwn | kEsclClosedByOwn)) value &= ~kEsclWaitingForReply;
      AssignLong(flags, value);
      Say("set ESCL_FLAGS %ld on LogAlarm row %ld", static_cast<long>(value), record);
    }
    UnlockRecords(data);
  }

  void Reply() {
    if (!responses_.Start()) return;
    static constexpr const char* kTexts[] = {"On my way", "Checked, all normal again",
                                             "Close - fixed on site"};
    RowWriter::Set(responses_.Field("EVENT_ID"), event_id_);
    RowWriter::Set(responses_.Field("PROFILE_ID"), 1 + random_.Below(12));
    RowWriter::SetLong(responses_.Field("RSP_TIME"), static_cast<long>(std::time(nullptr)));
    RowWriter::SetMemo(responses_.Field("RSP_TEXT"), kTexts[random_.Below(std::size(kTexts))]);
    responses_.Append();
    Say("reply to event %.0f", event_id_);
  }

  template <typename... Args>
  void Say(const char* format, Args... args) {
    if (!options_.verbose) return;
    std::printf(format, args...);
    std::printf("\n");
    std::fflush(stdout);
  }

  RunOptions options_;
  DemoRandom random_;
  RowWriter log_;
  RowWriter responses_;
  double next_log_id_ = 1;
  double event_id_ = 0;
  int32_t event_start_ = 0;
  double alarm_ = 1;
  double node_ = 1001;
  int32_t last_record_ = 0;
};

}  // namespace

bool RunSimulator(const std::string& dir, const RunOptions& options, const std::atomic<bool>& stop,
                  std::string* error) {
  DatabaseEngine engine;
  if (!engine.initialised()) {
    *error = "cannot start the database engine";
    return false;
  }
  bool ran = false;
  {
    Simulator simulator(dir + "/database", options, engine.code_base());
    if (simulator.ok()) {
      ran = true;
      simulator.Start();
      for (long step = 0; !stop.load() && (options.steps == 0 || step < options.steps); ++step) {
        simulator.Step();
        // Sleep in short slices so that a stop request is seen promptly.
        const auto until = std::chrono::steady_clock::now() + options.interval;
        while (!stop.load() && std::chrono::steady_clock::now() < until) {
          std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
              until - std::chrono::steady_clock::now(), std::chrono::milliseconds(100)));
        }
      }
    }
  }
  code4close(engine.code_base());
  if (!ran) *error = "cannot open LogAlarm and LogResponse in " + dir + "/database";
  return ran;
}

}  // namespace sdx::sim
