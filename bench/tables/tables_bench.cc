// Times the table classes on a demo folder made by sendrix-sim's generator against SQLite doing
// the same work on the same rows with the same indexes: the list page's newest-first walk
// (CollectRecordNumbers without limit), reading every row by record number under its record
// lock, the message, status and profile-name lookups of every row, and the details page's rows
// of one event. Also the making of the folder against inserting the same rows into SQLite.
// Times are the process's CPU time, which other work on a shared machine disturbs less than
// wall-clock time.
#include <sqlite3.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tables/database_engine.h"
#include "tables/table_set.h"
#include "tools/sendrix_sim/demo_folder.h"

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void Figure(const char* name, double ours, double peer, const char* unit) {
  std::printf("figure: %s ours=%.3f %s peer=%.3f %s ratio=%.2f\n", name, ours, unit, peer, unit,
              peer > 0 ? ours / peer : 0.0);
  std::fflush(stdout);
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s: %s\n", sql, error);
    std::exit(1);
  }
}

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s: %s\n", sql, sqlite3_errmsg(db));
    std::exit(1);
  }
  return statement;
}

// The LogAlarm columns in table order, and SQLite indexes for the tags of the table.
constexpr const char* kColumns[] = {
    "LOG_ID",    "STATUS_ID", "COURIERID",  "TIME",       "NODE_ID",    "TECH_ID",   "MSG_ID",
    "ALARM_ID",  "DUPTOTAL",  "COVER_ID",   "NULLIFY_ID", "FLAGS",      "LEVEL",     "ESCL_LVL",
    "ORIG_TIME", "EVENT_ID",  "ORGTECH_ID", "ESCL_FLAGS", "ORGEVENTID", "DOWNDEVICE"};
constexpr const char* kIndexes[] = {
    "CREATE INDEX T_LOG ON LogAlarm(LOG_ID)",
    "CREATE INDEX T_DUP ON LogAlarm(TECH_ID DESC, NODE_ID DESC, MSG_ID DESC, TIME DESC)",
    "CREATE INDEX T_STATUS ON LogAlarm(STATUS_ID)",
    "CREATE INDEX T_TIMED ON LogAlarm(TIME DESC)",
    "CREATE INDEX T_NODE ON LogAlarm(NODE_ID)",
    "CREATE INDEX T_TECH ON LogAlarm(TECH_ID)",
    "CREATE INDEX T_MSG ON LogAlarm(MSG_ID)",
    "CREATE INDEX T_ALARM ON LogAlarm(ALARM_ID)",
    "CREATE INDEX T_DUP2 ON LogAlarm(TECH_ID DESC, NODE_ID DESC, ALARM_ID DESC, TIME DESC)",
    "CREATE INDEX T_CLOSE ON LogAlarm(STATUS_ID) WHERE STATUS_ID > 201 AND STATUS_ID < 212",
    "CREATE INDEX T_EVENT ON LogAlarm(EVENT_ID)",
    "CREATE INDEX T_ESCLFLAG ON LogAlarm(ESCL_FLAGS) WHERE ESCL_FLAGS >= 32768",
};

std::vector<double> Values(const sdx::EventRecord& r) {
  return {
      r.LOG_ID,     r.STATUS_ID,     r.COURIERID,          double(r.TIME),     r.NODE_ID,
      r.TECH_ID,    r.MSG_ID,        r.ALARM_ID,           double(r.DUPTOTAL), r.COVER_ID,
      r.NULLIFY_ID, double(r.FLAGS), double(r.LEVEL),      double(r.ESCL_LVL), double(r.ORIG_TIME),
      r.EVENT_ID,   r.ORGTECH_ID,    double(r.ESCL_FLAGS), r.ORGEVENTID,       r.DOWNDEVICE};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tables_bench WORK_DIR EVENTS\n");
    return 2;
  }
  const std::string work = argv[1];
  sdx::sim::DemoOptions options;
  options.events = std::atoi(argv[2]);
  options.templates = "/nonexistent";
  sdx::sim::DemoSignOn sign_on;
  std::string error;
  double start = Now();
  if (!sdx::sim::MakeDemoFolder(work + "/demo", options, &sign_on, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const double init_seconds = Now() - start;

  sdx::DatabaseEngine engine;
  sdx::TableSet tables;
  tables.set_database_folder(work + "/demo/database");
  tables.set_code_base(engine.code_base());
  tables.OpenLogDatabases();

  // Ours.
  sdx::RecordNumberList numbers;
  start = Now();
  const int32_t listed = tables.event_log.CollectRecordNumbers(&numbers, 0, true);
  const double collect_ours = Now() - start;
  std::vector<sdx::EventRecord> rows;
  rows.reserve(numbers.size());
  start = Now();
  for (int32_t number : numbers) {
    sdx::EventRecord row;
    if (number != 0 && tables.event_log.ReadByRecordNumber(number, &row)) rows.push_back(row);
  }
  const double read_ours = (Now() - start) / rows.size();
  size_t text_bytes = 0;
  start = Now();
  for (const auto& row : rows) {
    text_bytes += tables.messages.GetTextById(row.MSG_ID).size();
    text_bytes += tables.status_messages.GetTextById(row.STATUS_ID).size();
  }
  const double text_ours = (Now() - start) / (2.0 * rows.size());
  start = Now();
  for (const auto& row : rows) text_bytes += tables.personnel.GetNameById(row.TECH_ID).size();
  const double name_ours = (Now() - start) / rows.size();
  std::vector<double> event_ids;
  for (size_t i = 0; i < rows.size(); i += 97) event_ids.push_back(rows[i].EVENT_ID);
  size_t found = 0;
  start = Now();
  for (double id : event_ids) found += tables.event_log.FindByEventId(id, &numbers);
  const double event_ours = (Now() - start) / event_ids.size();

  // SQLite, the same rows and texts.
  const std::string db_path = work + "/peer.sqlite";
  sqlite3* db = nullptr;
  if (sqlite3_open(db_path.c_str(), &db) != SQLITE_OK) return 1;
  Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF");
  std::string create = "CREATE TABLE LogAlarm(";
  std::string insert = "INSERT INTO LogAlarm VALUES(";
  for (size_t c = 0; c < std::size(kColumns); ++c) {
    create += std::string(c ? "," : "") + kColumns[c] + " REAL";
    insert += c ? ",?" : "?";
  }
  Exec(db, (create + ")").c_str());
  for (const char* index : kIndexes) Exec(db, index);
  Exec(db, "CREATE TABLE LogMsgs(ID REAL PRIMARY KEY, TEXT TEXT)");
  Exec(db, "CREATE TABLE LogStatusMsgs(ID REAL PRIMARY KEY, MSG TEXT)");
  Exec(db, "CREATE TABLE Personnel(ID REAL PRIMARY KEY, NAME TEXT)");
  start = Now();
  Exec(db, "BEGIN");
  sqlite3_stmt* add = Prepare(db, (insert + ")").c_str());
  // Record-number order, as the table holds them.
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    const std::vector<double> values = Values(*it);
    for (size_t c = 0; c < values.size(); ++c) sqlite3_bind_double(add, c + 1, values[c]);
    sqlite3_step(add);
    sqlite3_reset(add);
  }
  sqlite3_finalize(add);
  Exec(db, "COMMIT");
  const double insert_peer = Now() - start;
  for (const auto& [table, field] :
       {std::pair{"LogMsgs", "TEXT"}, {"LogStatusMsgs", "MSG"}, {"Personnel", "NAME"}}) {
    sqlite3_stmt* put =
        Prepare(db, (std::string("INSERT OR IGNORE INTO ") + table + " VALUES(?, ?)").c_str());
    for (const auto& row : rows) {
      const double id = std::string(table) == "LogMsgs"     ? row.MSG_ID
                        : std::string(table) == "Personnel" ? row.TECH_ID
                                                            : row.STATUS_ID;
      const std::string text = std::string(table) == "LogMsgs" ? tables.messages.GetTextById(id)
                               : std::string(table) == "Personnel"
                                   ? tables.personnel.GetNameById(id)
                                   : tables.status_messages.GetTextById(id);
      sqlite3_bind_double(put, 1, id);
      sqlite3_bind_text(put, 2, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(put);
      sqlite3_reset(put);
    }
    sqlite3_finalize(put);
  }

  std::vector<int64_t> rowids;
  start = Now();
  sqlite3_stmt* walk =
      Prepare(db, "SELECT rowid FROM LogAlarm WHERE EVENT_ID <> 0 ORDER BY rowid DESC");
  while (sqlite3_step(walk) == SQLITE_ROW) rowids.push_back(sqlite3_column_int64(walk, 0));
  sqlite3_finalize(walk);
  const double collect_peer = Now() - start;
  sqlite3_stmt* read = Prepare(db, "SELECT * FROM LogAlarm WHERE rowid = ?");
  double sum = 0;
  start = Now();
  for (int64_t rowid : rowids) {
    sqlite3_bind_int64(read, 1, rowid);
    if (sqlite3_step(read) == SQLITE_ROW) {
      for (int c = 0; c < 20; ++c) sum += sqlite3_column_double(read, c);
    }
    sqlite3_reset(read);
  }
  const double read_peer = (Now() - start) / rowids.size();
  sqlite3_finalize(read);
  sqlite3_stmt* message = Prepare(db, "SELECT TEXT FROM LogMsgs WHERE ID = ?");
  sqlite3_stmt* status = Prepare(db, "SELECT MSG FROM LogStatusMsgs WHERE ID = ?");
  sqlite3_stmt* name = Prepare(db, "SELECT NAME FROM Personnel WHERE ID = ?");
  auto text_of = [&](sqlite3_stmt* statement, double id) {
    sqlite3_bind_double(statement, 1, id);
    std::string text;
    if (sqlite3_step(statement) == SQLITE_ROW) {
      text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_reset(statement);
    return text;
  };
  start = Now();
  for (const auto& row : rows) {
    text_bytes += text_of(message, row.MSG_ID).size() + text_of(status, row.STATUS_ID).size();
  }
  const double text_peer = (Now() - start) / (2.0 * rows.size());
  start = Now();
  for (const auto& row : rows) text_bytes += text_of(name, row.TECH_ID).size();
  const double name_peer = (Now() - start) / rows.size();
  sqlite3_stmt* event =
      Prepare(db, "SELECT rowid FROM LogAlarm WHERE EVENT_ID = ? ORDER BY EVENT_ID, rowid");
  size_t found_peer = 0;
  start = Now();
  for (double id : event_ids) {
    sqlite3_bind_double(event, 1, id);
    while (sqlite3_step(event) == SQLITE_ROW) ++found_peer;
    sqlite3_reset(event);
  }
  const double event_peer = (Now() - start) / event_ids.size();
  for (sqlite3_stmt* statement : {message, status, name, event}) sqlite3_finalize(statement);
  sqlite3_close(db);

  std::printf("rows %d listed, %zu read, %zu/%zu event rows, checksum %.0f %zu\n", listed,
              rows.size(), found, found_peer, sum, text_bytes);
  Figure("tables_init_logalarm", init_seconds, insert_peer, "s");
  Figure("tables_collect_record_numbers", collect_ours * 1e3, collect_peer * 1e3, "ms");
  Figure("tables_read_by_record_number", read_ours * 1e6, read_peer * 1e6, "us");
  Figure("tables_get_text_by_id", text_ours * 1e6, text_peer * 1e6, "us");
  Figure("tables_get_name_by_id", name_ours * 1e6, name_peer * 1e6, "us");
  Figure("tables_find_by_event_id", event_ours * 1e6, event_peer * 1e6, "us");
  tables.CloseLogDatabases();
  return 0;
}
