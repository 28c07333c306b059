// What the engine benchmarks share: the LogAlarm table's columns and tags, CPU-time measurement,
// the "figure:" line, and appending or binding one generated row on either side. Each benchmark
// brings its own row generator, shaped for what it measures.
#pragma once

#include <sqlite3.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/xbase/engine_calls.h"
#include "tables/event_log_table.h"

namespace sdx::bench {

// The columns of the server's own LogAlarm table, in its order.
inline const FIELD4INFO* LogAlarmColumns() { return sdx::EventLogTable::Schema().fields; }
// The twelve tags of its production index.
inline const TAG4INFO* LogAlarmTags() { return sdx::EventLogTable::Schema().tags; }
inline constexpr int kColumnCount = 20;

// Row i's value of column c.
using RowValue = double (*)(long i, int c);

// The process's CPU time in seconds: other work on a shared machine disturbs it far less than
// wall-clock time.
inline double Now() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

inline void Figure(const char* name, double ours, double peer, const char* unit) {
  std::printf("figure: %s ours=%.4g %s peer=%.4g %s ratio=%.2f\n", name, ours, unit, peer, unit,
              peer > 0 ? ours / peer : 0);
  std::fflush(stdout);
}

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "benchmark: %s failed\n", what);
    std::exit(1);
  }
}

inline void Exec(sqlite3* db, const char* sql) {
  Check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
}

struct Engine {
  CODE4 code;
  DATA4* data = nullptr;
  FIELD4* fields[kColumnCount];
};

// Creates the engine's table with the columns and no index, and binds every column's handle.
inline void CreateEngineTable(Engine& e, const std::string& table) {
  Check(code4initLow(&e.code, nullptr, 6502, 1615, 0) == 0, "code4initLow");
  e.data = d4create(&e.code, table.c_str(), LogAlarmColumns(), nullptr);
  Check(e.data != nullptr, "d4create");
  for (int c = 0; c < kColumnCount; ++c) e.fields[c] = d4field(e.data, LogAlarmColumns()[c].name);
}

// Creates SQLite's table with the same columns (WAL, synchronous off) and answers the prepared
// insert of one row.
inline sqlite3_stmt* CreateSqliteTable(const std::string& database, sqlite3** db) {
  Check(sqlite3_open(database.c_str(), db) == SQLITE_OK, "sqlite3_open");
  Exec(*db, "PRAGMA journal_mode=WAL");
  Exec(*db, "PRAGMA synchronous=OFF");
  std::string create = "CREATE TABLE logalarm(";
  std::string insert_sql = "INSERT INTO logalarm VALUES(";
  for (int c = 0; c < kColumnCount; ++c) {
    create += std::string(c ? "," : "") + LogAlarmColumns()[c].name +
              (LogAlarmColumns()[c].type == 'B' ? " REAL" : " INTEGER");
    insert_sql += c ? ",?" : "?";
  }
  Exec(*db, (create + ")").c_str());
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(*db, (insert_sql + ")").c_str(), -1, &insert, nullptr) == SQLITE_OK,
        "prepare insert");
  return insert;
}

inline bool AppendRow(Engine& e, long i, RowValue value) {
  if (d4appendStart(e.data, 0) != 0 || d4blank(e.data) != 0) return false;
  for (int c = 0; c < kColumnCount; ++c) {
    const int rc = LogAlarmColumns()[c].type == 'B'
                       ? f4assignDouble(e.fields[c], value(i, c))
                       : f4assignLong(e.fields[c], static_cast<long>(value(i, c)));
    if (rc != 0) return false;
  }
  return d4append(e.data) == 0;
}

inline void BindRow(sqlite3_stmt* insert, long i, RowValue value) {
  for (int c = 0; c < kColumnCount; ++c) {
    if (LogAlarmColumns()[c].type == 'B') {
      sqlite3_bind_double(insert, c + 1, value(i, c));
    } else {
      sqlite3_bind_int64(insert, c + 1, static_cast<sqlite3_int64>(value(i, c)));
    }
  }
}

// Fills both tables with rows 0 to rows - 1: the engine's through its appends, SQLite's in one
// transaction.
inline void FillTables(Engine& e, sqlite3* db, sqlite3_stmt* insert, long rows, RowValue value) {
  for (long i = 0; i < rows; ++i) Check(AppendRow(e, i, value), "append");
  Exec(db, "BEGIN");
  for (long i = 0; i < rows; ++i) {
    BindRow(insert, i, value);
    Check(sqlite3_step(insert) == SQLITE_DONE, "insert");
    sqlite3_reset(insert);
  }
  Exec(db, "COMMIT");
}

}  // namespace sdx::bench
