// What the engine benchmarks share: the LogAlarm-shaped columns, CPU-time measurement, the
// "figure:" line, and appending or binding one generated row on either side. Each benchmark
// brings its own row generator, shaped for what it measures.
#pragma once

#include <sqlite3.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/xbase/engine_calls.h"

namespace sdx::bench {

struct Column {
  const char* name;
  char type;
  unsigned short width;
};

inline constexpr Column kColumns[] = {
    {"LOG_ID", 'B', 8},     {"STATUS_ID", 'B', 8},  {"COURIERID", 'B', 8},  {"TIME", 'N', 11},
    {"NODE_ID", 'B', 8},    {"TECH_ID", 'B', 8},    {"MSG_ID", 'B', 8},     {"ALARM_ID", 'B', 8},
    {"DUPTOTAL", 'N', 5},   {"COVER_ID", 'B', 8},   {"NULLIFY_ID", 'B', 8}, {"FLAGS", 'N', 3},
    {"LEVEL", 'N', 2},      {"ESCL_LVL", 'N', 2},   {"ORIG_TIME", 'N', 11}, {"EVENT_ID", 'B', 8},
    {"ORGTECH_ID", 'B', 8}, {"ESCL_FLAGS", 'N', 5}, {"ORGEVENTID", 'B', 8}, {"DOWNDEVICE", 'B', 8},
};
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
  std::vector<FIELD4INFO> info;
  for (const Column& c : kColumns) info.push_back({c.name, c.type, c.width, 0, 0});
  info.push_back({nullptr, 0, 0, 0, 0});
  e.data = d4create(&e.code, table.c_str(), info.data(), nullptr);
  Check(e.data != nullptr, "d4create");
  for (int c = 0; c < kColumnCount; ++c) e.fields[c] = d4field(e.data, kColumns[c].name);
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
    create += std::string(c ? "," : "") + kColumns[c].name +
              (kColumns[c].type == 'B' ? " REAL" : " INTEGER");
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
    const int rc = kColumns[c].type == 'B'
                       ? f4assignDouble(e.fields[c], value(i, c))
                       : f4assignLong(e.fields[c], static_cast<long>(value(i, c)));
    if (rc != 0) return false;
  }
  return d4append(e.data) == 0;
}

inline void BindRow(sqlite3_stmt* insert, long i, RowValue value) {
  for (int c = 0; c < kColumnCount; ++c) {
    if (kColumns[c].type == 'B') {
      sqlite3_bind_double(insert, c + 1, value(i, c));
    } else {
      sqlite3_bind_int64(insert, c + 1, static_cast<sqlite3_int64>(value(i, c)));
    }
  }
}

}  // namespace sdx::bench
