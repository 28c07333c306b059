// Times the table engine against SQLite doing the same work on the same rows of a LogAlarm-
// shaped table (20 fields: 13 doubles, 7 numbers): a sequential read of every record and field,
// random reads by record number, and appends made one by one, each visible to other processes
// when it returns (SQLite: one autocommit transaction per row, synchronous off). The sequential
// read is also set against reading the table file's bytes with plain read calls. Times are the
// process's CPU time (user and system), which other work on a shared machine disturbs far less
// than wall-clock time; every operation here is CPU-bound on files in the page cache.
#include <fcntl.h>
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/common/logalarm_bench.h"
#include "platform/xbase/engine_calls.h"

namespace {

using namespace sdx::bench;

// Row i's value of column c: deterministic, varied, and fitting every numeric width.
double Value(long i, int c) {
  switch (LogAlarmColumns()[c].len) {
    case 11:
      return 1700000000.0 + i;
    case 5:
      return static_cast<double>((i * 7 + c) % 32768);
    case 3:
      return static_cast<double>((i + c) % 256);
    case 2:
      return static_cast<double>((i + c) % 10);
    default:
      return static_cast<double>(i) * 3 + c + (c % 3 == 0 ? 0.5 : 0);
  }
}

double Seconds(double since) { return Now() - since; }

// Reads every field of the current record; the sum keeps the reads from being optimised away.
double ReadFields(Engine& e) {
  double sum = 0;
  for (int c = 0; c < kColumnCount; ++c) {
    sum += LogAlarmColumns()[c].type == 'B' ? f4double(e.fields[c])
                                            : static_cast<double>(f4long(e.fields[c]));
  }
  return sum;
}

double ReadColumns(sqlite3_stmt* stmt) {
  double sum = 0;
  for (int c = 0; c < kColumnCount; ++c) {
    sum += LogAlarmColumns()[c].type == 'B' ? sqlite3_column_double(stmt, c)
                                            : static_cast<double>(sqlite3_column_int64(stmt, c));
  }
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
  const long random_reads = 200000;
  const long appends = 100000;
  const std::string table = folder + "/logalarm.dbf";
  const std::string database = folder + "/logalarm.sqlite";
  std::remove(table.c_str());
  std::remove(database.c_str());

  Engine e;
  CreateEngineTable(e, table);

  sqlite3* db = nullptr;
  sqlite3_stmt* insert = CreateSqliteTable(database, &db);

  // The tables to read, built once.
  FillTables(e, db, insert, rows, Value);
  Check(_d4recCountDo2(e.data, 0) == rows, "record count");

  // Sequential read of every record and field.
  volatile double sink = 0;
  double start = Now();
  long seen = 0;
  for (int rc = d4top(e.data); rc == 0; rc = d4skip(e.data, 1), ++seen) sink = sink + ReadFields(e);
  const double ours_seq = Seconds(start);
  Check(seen == rows, "sequential walk");
  // Again on the open table, as a running server reads it: the first walk also paid for
  // mapping the file's pages into the process.
  start = Now();
  seen = 0;
  for (int rc = d4top(e.data); rc == 0; rc = d4skip(e.data, 1), ++seen) sink = sink + ReadFields(e);
  const double ours_seq_open = Seconds(start);
  Check(seen == rows, "second sequential walk");
  sqlite3_stmt* scan = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM logalarm ORDER BY rowid", -1, &scan, nullptr) ==
            SQLITE_OK,
        "prepare scan");
  start = Now();
  while (sqlite3_step(scan) == SQLITE_ROW) sink = sink + ReadColumns(scan);
  const double peer_seq = Seconds(start);
  sqlite3_finalize(scan);

  // The plain-read limit: the same file's bytes with read calls of 64 KiB.
  start = Now();
  {
    const int fd = ::open(table.c_str(), O_RDONLY);
    Check(fd >= 0, "open for plain read");
    std::vector<unsigned char> buffer(64 * 1024);
    ssize_t n;
    unsigned long bytes = 0;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) bytes += buffer[0] + n;
    ::close(fd);
    sink = sink + static_cast<double>(bytes);
  }
  const double plain = Seconds(start);
  Figure("xbase_table_seq_read_rate", rows / ours_seq, rows / peer_seq, "records/s");
  Figure("xbase_table_seq_read_time", ours_seq, peer_seq, "s");
  Figure("xbase_table_seq_read_vs_plain_read", ours_seq, plain, "s");
  Figure("xbase_table_seq_read_again_vs_plain_read", ours_seq_open, plain, "s");

  // Random reads by record number.
  std::mt19937 random(42);
  std::uniform_int_distribution<long> pick(1, rows);
  std::vector<long> numbers(random_reads);
  for (long& n : numbers) n = pick(random);
  start = Now();
  for (long n : numbers) {
    Check(d4goLow(e.data, n, 1) == 0, "d4goLow");
    sink = sink + ReadFields(e);
  }
  const double ours_random = Seconds(start);
  sqlite3_stmt* get = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM logalarm WHERE rowid=?", -1, &get, nullptr) ==
            SQLITE_OK,
        "prepare get");
  start = Now();
  for (long n : numbers) {
    sqlite3_bind_int64(get, 1, n);
    Check(sqlite3_step(get) == SQLITE_ROW, "select by rowid");
    sink = sink + ReadColumns(get);
    sqlite3_reset(get);
  }
  const double peer_random = Seconds(start);
  sqlite3_finalize(get);
  Figure("xbase_table_random_read", ours_random / random_reads * 1e6,
         peer_random / random_reads * 1e6, "us/read");

  // Appends, one row at a time, each committed on its own.
  start = Now();
  for (long i = rows; i < rows + appends; ++i) Check(AppendRow(e, i, Value), "append");
  const double ours_append = Seconds(start);
  start = Now();
  for (long i = rows; i < rows + appends; ++i) {
    BindRow(insert, i, Value);
    Check(sqlite3_step(insert) == SQLITE_DONE, "insert");
    sqlite3_reset(insert);
  }
  const double peer_append = Seconds(start);
  Figure("xbase_table_append", ours_append / appends * 1e6, peer_append / appends * 1e6,
         "us/append");

  sqlite3_finalize(insert);
  sqlite3_close(db);
  code4initUndo(&e.code);
  std::remove(table.c_str());
  std::remove(database.c_str());
  std::fprintf(stderr, "(checksum %g)\n", static_cast<double>(sink));
  return 0;
}
