// Times the production index against SQLite's indexes doing the same work on the same rows of
// a LogAlarm-shaped table with its twelve tags: seeks with random keys on T_EVENT and T_LOG, a
// full walk of the descending T_TIMED, appends with every tag kept current, and building all
// tags in bulk. Times are the process's CPU time, which other work on a shared machine
// disturbs far less than wall-clock time; the files stay in the page cache.
#include <sqlite3.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/common/logalarm_bench.h"
#include "platform/xbase/engine_index_calls.h"

namespace {

using namespace sdx::bench;

const char* const kSqliteIndexes[] = {
    "CREATE INDEX t_log ON logalarm(LOG_ID)",
    "CREATE INDEX t_dup ON logalarm(printf('%d:%d:%d:%d', TECH_ID, NODE_ID, MSG_ID, TIME) DESC)",
    "CREATE INDEX t_status ON logalarm(STATUS_ID)",
    "CREATE INDEX t_timed ON logalarm(TIME DESC)",
    "CREATE INDEX t_node ON logalarm(NODE_ID)",
    "CREATE INDEX t_tech ON logalarm(TECH_ID)",
    "CREATE INDEX t_msg ON logalarm(MSG_ID)",
    "CREATE INDEX t_alarm ON logalarm(ALARM_ID)",
    "CREATE INDEX t_dup2 ON logalarm(printf('%d:%d:%d:%d', TECH_ID, NODE_ID, ALARM_ID, TIME) DESC)",
    "CREATE INDEX t_close ON logalarm(STATUS_ID) WHERE STATUS_ID > 201 AND STATUS_ID < 212",
    "CREATE INDEX t_event ON logalarm(EVENT_ID)",
    "CREATE INDEX t_esclflag ON logalarm(ESCL_FLAGS) WHERE ESCL_FLAGS >= 32768",
};

// Row i's value of column c, shaped like the server's rows: rising log ids, three rows an
// event, times scattered over a few days, small identity ranges, half the rows waiting.
double Value(long i, int c) {
  switch (c) {
    case 0:
      return static_cast<double>(i + 1);
    case 1:
      return static_cast<double>(195 + i % 25);
    case 3:
      return 1700000000.0 + static_cast<double>((i * 7919) % 400000);
    case 4:
    case 5:
    case 6:
    case 7:
      return static_cast<double>((i * (c + 3)) % (40 * c));
    case 15:
      return static_cast<double>(i / 3 + 1);
    case 17:
      return i % 2 ? 32768.0 + static_cast<double>(i % 4096) : 4096.0;
    default:
      return LogAlarmColumns()[c].len <= 5 ? static_cast<double>(i % 10)
                                           : static_cast<double>(i % 1000);
  }
}

// Seeks `count` random keys of column `column` (T_EVENT or T_LOG) both ways: answers the CPU
// seconds per seek, ours and SQLite's.
void Seeks(Engine& e, sqlite3* db, const char* tag, int column, long rows, long count,
           const char* figure) {
  std::mt19937 random(42);
  std::vector<double> keys;
  for (long i = 0; i < count; ++i)
    keys.push_back(Value(static_cast<long>(random() % rows), column));
  d4tagSelect(e.data, d4tag(e.data, tag));
  long found = 0;
  double start = Now();
  for (double key : keys) found += d4seekDouble(e.data, key) == 0 ? 1 : 0;
  const double ours = (Now() - start) / static_cast<double>(count);
  Check(found == count, "seeks");
  const std::string sql = std::string("SELECT rowid FROM logalarm WHERE ") +
                          LogAlarmColumns()[column].name + " = ? LIMIT 1";
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK, "prepare seek");
  found = 0;
  start = Now();
  for (double key : keys) {
    sqlite3_bind_double(stmt, 1, key);
    found += sqlite3_step(stmt) == SQLITE_ROW ? 1 : 0;
    sqlite3_reset(stmt);
  }
  const double peer = (Now() - start) / static_cast<double>(count);
  sqlite3_finalize(stmt);
  Check(found == count, "sqlite seeks");
  Figure(figure, ours * 1e6, peer * 1e6, "us/seek");
}

// Every record in T_TIMED order, reading TIME and, with `row`, EVENT_ID too; SQLite the same
// rows in the same order.
void Walk(Engine& e, sqlite3* db, long rows, bool row, const char* figure) {
  volatile double sink = 0;
  d4tagSelect(e.data, d4tag(e.data, "T_TIMED"));
  long seen = 0;
  double start = Now();
  for (int rc = d4top(e.data); rc == 0 && !d4eof(e.data); rc = d4skip(e.data, 1), ++seen) {
    sink = sink + static_cast<double>(f4long(e.fields[3]));
    if (row) sink = sink + f4double(e.fields[15]);
  }
  const double ours = Now() - start;
  Check(seen == rows, "walk");
  const char* sql = row ? "SELECT TIME, EVENT_ID FROM logalarm ORDER BY TIME DESC, rowid DESC"
                        : "SELECT TIME FROM logalarm ORDER BY TIME DESC, rowid DESC";
  sqlite3_stmt* walk = nullptr;
  Check(sqlite3_prepare_v2(db, sql, -1, &walk, nullptr) == SQLITE_OK, "prepare walk");
  seen = 0;
  start = Now();
  for (; sqlite3_step(walk) == SQLITE_ROW; ++seen) {
    sink = sink + static_cast<double>(sqlite3_column_int64(walk, 0));
    if (row) sink = sink + sqlite3_column_double(walk, 1);
  }
  const double peer = Now() - start;
  sqlite3_finalize(walk);
  Check(seen == rows, "sqlite walk");
  Figure(figure, ours, peer, "s");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
  const long seeks = 200000;
  const long appends = 20000;
  const std::string table = folder + "/logalarm.dbf";
  const std::string database = folder + "/logalarm.sqlite";
  std::remove(table.c_str());
  std::remove((folder + "/logalarm.cdx").c_str());
  std::remove(database.c_str());

  Engine e;
  CreateEngineTable(e, table);
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = CreateSqliteTable(database, &db);
  FillTables(e, db, insert, rows, Value);

  // Building every tag from the rows, in bulk.
  double start = Now();
  Check(d4createIndex(e.data, LogAlarmTags()) == 0, "d4createIndex");
  const double ours_build = Now() - start;
  start = Now();
  for (const char* sql : kSqliteIndexes) Exec(db, sql);
  const double peer_build = Now() - start;
  Figure("xbase_index_build", ours_build, peer_build, "s");

  Seeks(e, db, "T_EVENT", 15, rows, seeks, "xbase_index_seek_event");
  Seeks(e, db, "T_LOG", 0, rows, seeks, "xbase_index_seek_log");

  // A full walk of the descending T_TIMED. A step in tag order loads the whole record, so it
  // is timed twice against SQLite: reading the key column alone, which SQLite answers from its
  // index without touching the rows, and reading a second column, which makes it fetch each
  // row as the engine does.
  Walk(e, db, rows, false, "xbase_index_walk_timed");
  Walk(e, db, rows, true, "xbase_index_walk_timed_rows");

  // Appends with every tag kept current, each visible to other processes when it returns.
  d4tagSelect(e.data, nullptr);
  start = Now();
  for (long i = rows; i < rows + appends; ++i) Check(AppendRow(e, i, Value), "append with tags");
  const double ours_append = (Now() - start) / static_cast<double>(appends);
  start = Now();
  for (long i = rows; i < rows + appends; ++i) {
    BindRow(insert, i, Value);
    Check(sqlite3_step(insert) == SQLITE_DONE, "insert with indexes");
    sqlite3_reset(insert);
  }
  const double peer_append = (Now() - start) / static_cast<double>(appends);
  Figure("xbase_index_append", ours_append * 1e6, peer_append * 1e6, "us/row");

  // Rebuilding the whole index from the rows, as `xbase reindex` does.
  start = Now();
  Check(d4reindex(e.data) == 0, "d4reindex");
  const double ours_reindex = Now() - start;
  start = Now();
  Exec(db, "REINDEX logalarm");
  const double peer_reindex = Now() - start;
  Figure("xbase_index_reindex", ours_reindex, peer_reindex, "s");

  sqlite3_finalize(insert);
  sqlite3_close(db);
  d4close(e.data);
  code4initUndo(&e.code);
  return 0;
}
