#include "tools/sendrix_sim/demo_folder.h"

#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/win/profile_file.h"
#include "tables/database_engine.h"
#include "tables/event_log_table.h"
#include "tables/response_table.h"
#include "tables/table_set.h"
#include "tools/sendrix_sim/demo_random.h"
#include "tools/sendrix_sim/row_writer.h"

namespace sdx::sim {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kDay = 24 * 60 * 60;
constexpr int kDeviceCount = 50;
constexpr double kFirstDeviceId = 1001;

struct Profile {
  const char* name;
  int type;
  const char* password;
};

// A dozen operators who may sign on (TYPE 0), one of them without a password, and the groups
// and pagers the paging server also escalates to.
constexpr Profile kProfiles[] = {
    {"Anna Berg", 0, "demo"},
    {"Bernd Keller", 0, "pump42"},
    {"carla Diaz", 0, "Valve-7"},
    {"David Okafor", 0, "night0wl"},
    {"Elena Rossi", 0, "boiler"},
    {"Farid Haddad", 0, "chiller9"},
    {"Greta Lund", 0, "sensor!"},
    {"Hiro Tanaka", 0, "panel21"},
    {"Ines Moreau", 0, "relay55"},
    {"Jonas Weber", 0, "feeder3"},
    {"Kofi Mensah", 0, "breaker8"},
    {"Guest Operator", 0, ""},
    {"Night Shift Group", 1, "group"},
    {"Boiler Room Pager", 2, "pager"},
    {"Maintenance Escalation", 3, "escalate"},
};
constexpr int kOperatorCount = 12;

struct Alarm {
  const char* name;
  const char* family;
  const char* module;
  int severity;
  const char* message;
};

constexpr Alarm kAlarms[] = {
    {"Boiler pressure high", "HVAC", "Boiler", 3, "Shut the feed valve"},
    {"Boiler flame failure", "HVAC", "Boiler", 3, "Call the burner service"},
    {"Chiller low flow", "HVAC", "Chiller", 2, "Check the pump"},
    {"Supply air temperature high", "HVAC", "AHU", 1, ""},
    {"Filter differential pressure", "HVAC", "AHU", 0, "Plan a filter change"},
    {"UPS on battery", "Power", "UPS", 3, "Check the mains feed"},
    {"UPS battery low", "Power", "UPS", 3, ""},
    {"Generator start failure", "Power", "Generator", 3, "Start by hand"},
    {"Breaker tripped", "Power", "Switchboard", 2, ""},
    {"Sump pump fault", "Plumbing", "Pumps", 2, ""},
    {"Water leak detected", "Plumbing", "Leak", 3, "Close the main valve"},
    {"Freezer temperature high", "Refrigeration", "Freezer", 2, "Move the stock"},
    {"Door held open", "Security", "Access", 1, ""},
    {"Fire panel trouble", "Life safety", "Fire", 2, "Inform the fire warden"},
    {"Elevator out of service", "Transport", "Elevator", 1, ""},
    {"Network switch down", "IT", "Network", 2, ""},
    {"Server room temperature", "IT", "Climate", 3, ""},
    {"Compressor overload", "Process", "Air", 2, ""},
    {"Tank level low", "Process", "Tanks", 1, ""},
    {"Daily test page", "System", "Test", 0, ""},
};

struct Status {
  double id;
  const char* text;
};

constexpr Status kStatuses[] = {
    {100, "Queued"},
    {101, "Paged"},
    {102, "Delivered"},
    {103, "Delivery failed"},
    {104, "Acknowledged"},
    {105, "Escalated to next level"},
    {106, "Reply timer expired"},
    {110, "Device heartbeat"},
    {202, "Closed by reply"},
    {203, "Closed by operator"},
    {205, "Closed by close timer"},
    {211, "Closed by system"},
};

constexpr const char* kDeviceKinds[] = {"Boiler",  "Chiller", "AHU",  "UPS",    "Pump",
                                        "Freezer", "Panel",   "Door", "Switch", "Tank"};
constexpr const char* kBuildings[] = {"North Wing", "South Wing", "Plant Room", "Data Hall",
                                      "Warehouse"};

// The escalation states, each an ESCL_FLAGS value the pages know.
constexpr int32_t kStates[] = {
    kEsclOpen,
    kEsclOpen | kEsclWaitingForReply,
    kEsclOpen | kEsclRepliedByOwn,
    kEsclOpen | kEsclRepliedByOther,
    kEsclOpen | kEsclClosedByOwn | kEsclRepliedByOwn,
    kEsclOpen | kEsclClosedByOther | kEsclRepliedByOther,
    kEsclOpen | kEsclReplyTimerExpired | kEsclWaitingForReply,
    kEsclOpen | kEsclCloseTimerExpired,
    kEsclOpen | kEsclFinalEscalation,
    kEsclOpen | kEsclDeliveryError,
};

constexpr const char* kReplies[] = {"On my way", "Acknowledged, checking on site",
                                    "Seen it, will call back", "Parts ordered, back tomorrow",
                                    "Reset locally, watching it"};
constexpr const char* kClosingReplies[] = {
    "Fixed the fault, close event", "CLOSE - handled on site",
    "Closing: false alarm after inspection", "Replaced the fuse. Closed."};

std::string MessageText(int index) {
  const Alarm& alarm = kAlarms[index % std::size(kAlarms)];
  std::string text = alarm.name;
  text += index < static_cast<int>(std::size(kAlarms)) ? " - please respond"
                                                       : " - repeated, escalating";
  return text;
}
constexpr int kMessageCount = 2 * static_cast<int>(std::size(kAlarms));

void WriteSettings(const std::string& dir, const DemoOptions& options) {
  const std::string ini = dir + "/evhub.ini";
  sdx::win::WritePrivateProfileString("Sdx24", "path", dir, ini);
  sdx::win::WritePrivateProfileString("Sdx24", "WebTemplates", options.templates, ini);
  // The sign-on page shows the version read from the extension's own file, found here.
  sdx::win::WritePrivateProfileString("Sdx24", "SdxRemoteLocation", options.extension_folder, ini);
  sdx::win::WritePrivateProfileString("Sdx24", "WebSessionMaxMin", "10", ini);
  sdx::win::WritePrivateProfileString("Sdx24", "WebLoggerOn", "1", ini);
  sdx::win::WritePrivateProfileString("evhub", "path", dir + "/", ini);
}

bool CreateTables(const std::string& dir, CODE4* code_base, std::string* error) {
  TableSet tables;
  tables.set_database_folder(dir + "/database");
  tables.set_code_base(code_base);
  tables.OpenLogDatabases();
  const bool all_open = tables.personnel.is_open() && tables.alarms.is_open() &&
                        tables.event_log.is_open() && tables.messages.is_open() &&
                        tables.status_messages.is_open() && tables.responses.is_open();
  tables.CloseLogDatabases();
  if (!all_open) *error = "cannot create the tables in " + dir;
  return all_open;
}

bool CreateDevices(const std::string& folder, CODE4* code_base, DemoRandom* random) {
  static constexpr FIELD4INFO kFields[] = {
      {"ID", 'B', 8, 0, 0}, {"NAME", 'C', 80, 0, 0}, {nullptr, 0, 0, 0, 0}};
  static constexpr TAG4INFO kTags[] = {{"T_ID", "ID", nullptr, 0, 0},
                                       {nullptr, nullptr, nullptr, 0, 0}};
  DATA4* created = d4create(code_base, (folder + "/Devices").c_str(), kFields, kTags);
  if (created == nullptr) return false;
  d4close(created);
  RowWriter devices(code_base, folder + "/Devices");
  FIELD4* id = devices.Field("ID");
  FIELD4* name = devices.Field("NAME");
  for (int i = 0; i < kDeviceCount; ++i) {
    if (!devices.Start()) return false;
    RowWriter::Set(id, kFirstDeviceId + i);
    std::string text = std::string(kDeviceKinds[i % std::size(kDeviceKinds)]) + " " +
                       std::to_string(i / std::size(kDeviceKinds) + 1) + ", " +
                       kBuildings[random->Below(std::size(kBuildings))];
    RowWriter::SetText(name, text);
    if (!devices.Append()) return false;
  }
  return true;
}

bool FillReferenceTables(const std::string& dir, CODE4* code_base) {
  const std::string folder = dir + "/database";
  RowWriter personnel(code_base, folder + "/Personnel");
  for (size_t i = 0; i < std::size(kProfiles); ++i) {
    if (!personnel.Start()) return false;
    RowWriter::Set(personnel.Field("ID"), static_cast<double>(i + 1));
    RowWriter::SetText(personnel.Field("NAME"), kProfiles[i].name);
    RowWriter::SetText(personnel.Field("ALLNODES"), i % 3 == 0 ? "T" : "F");
    RowWriter::SetLong(personnel.Field("TYPE"), kProfiles[i].type);
    RowWriter::SetText(personnel.Field("EXCLUDE"), "F");
    RowWriter::SetText(personnel.Field("PASSWORD"), kProfiles[i].password);
    if (!personnel.Append()) return false;
  }
  RowWriter alarms(code_base, folder + "/Alarms");
  for (size_t i = 0; i < std::size(kAlarms); ++i) {
    if (!alarms.Start()) return false;
    RowWriter::Set(alarms.Field("ID"), static_cast<double>(i + 1));
    RowWriter::SetText(alarms.Field("NAME"), kAlarms[i].name);
    RowWriter::SetText(alarms.Field("FAMILY"), kAlarms[i].family);
    RowWriter::SetText(alarms.Field("MODULE"), kAlarms[i].module);
    RowWriter::SetLong(alarms.Field("SEVERITY"), kAlarms[i].severity);
    RowWriter::SetText(alarms.Field("CUSTMSG"), kAlarms[i].message);
    if (!alarms.Append()) return false;
  }
  RowWriter messages(code_base, folder + "/LogMsgs");
  for (int i = 0; i < kMessageCount; ++i) {
    if (!messages.Start()) return false;
    RowWriter::Set(messages.Field("ID"), i + 1);
    RowWriter::SetText(messages.Field("TEXT"), MessageText(i));
    if (!messages.Append()) return false;
  }
  RowWriter statuses(code_base, dir + "/LogStatusMsgs");
  for (const Status& status : kStatuses) {
    if (!statuses.Start()) return false;
    RowWriter::Set(statuses.Field("ID"), status.id);
    RowWriter::SetText(statuses.Field("MSG"), status.text);
    if (!statuses.Append()) return false;
  }
  return true;
}

// Field handles of LogAlarm, looked up once for the whole fill.
struct LogAlarmFields {
  explicit LogAlarmFields(RowWriter* log)
      : log_id(log->Field("LOG_ID")),
        status_id(log->Field("STATUS_ID")),
        courier_id(log->Field("COURIERID")),
        time(log->Field("TIME")),
        node_id(log->Field("NODE_ID")),
        tech_id(log->Field("TECH_ID")),
        msg_id(log->Field("MSG_ID")),
        alarm_id(log->Field("ALARM_ID")),
        level(log->Field("LEVEL")),
        escl_lvl(log->Field("ESCL_LVL")),
        orig_time(log->Field("ORIG_TIME")),
        event_id(log->Field("EVENT_ID")),
        orgtech_id(log->Field("ORGTECH_ID")),
        escl_flags(log->Field("ESCL_FLAGS")) {}
  FIELD4 *log_id, *status_id, *courier_id, *time, *node_id, *tech_id, *msg_id, *alarm_id, *level,
      *escl_lvl, *orig_time, *event_id, *orgtech_id, *escl_flags;
};

int32_t StatusOfRow(int32_t state, bool last_row, int row) {
  if (!last_row) return row == 0 ? 101 : (row % 2 == 0 ? 105 : 102);
  if (state & kEsclDeliveryError) return 103;
  if (state & (kEsclClosedByOwn | kEsclClosedByOther)) return 202;
  if (state & kEsclCloseTimerExpired) return 205;
  if (state & kEsclReplyTimerExpired) return 106;
  if (state & (kEsclRepliedByOwn | kEsclRepliedByOther)) return 104;
  return 102;
}

// Makes the table anew without its tags: rows go in far faster when no tag is kept current
// row by row, and BuildTags makes them all at once afterwards.
bool RecreateBare(CODE4* code_base, const std::string& path, const TableSchema& schema) {
  for (const char* extension : {".dbf", ".cdx", ".fpt"}) fs::remove(path + extension);
  DATA4* data = d4create(code_base, path.c_str(), schema.fields, nullptr);
  if (data == nullptr) return false;
  d4close(data);
  return true;
}

bool BuildTags(RowWriter* writer, const TableSchema& schema) {
  return d4createIndex(writer->data(), schema.tags) == r4success &&
         d4versionStampSet(writer->data(), schema.version) == r4success;
}

bool FillEvents(const std::string& folder, CODE4* code_base, const DemoOptions& options,
                DemoRandom* random) {
  if (!RecreateBare(code_base, folder + "/LogAlarm", EventLogTable::Schema()) ||
      !RecreateBare(code_base, folder + "/LogResponse", ResponseTable::Schema())) {
    return false;
  }
  RowWriter log(code_base, folder + "/LogAlarm");
  RowWriter responses(code_base, folder + "/LogResponse");
  if (!log.ok() || !responses.ok()) return false;
  const LogAlarmFields f(&log);
  FIELD4* r_log_id = responses.Field("LOG_ID");
  FIELD4* r_event_id = responses.Field("EVENT_ID");
  FIELD4* r_profile_id = responses.Field("PROFILE_ID");
  FIELD4* r_time = responses.Field("RSP_TIME");
  FIELD4* r_text = responses.Field("RSP_TEXT");

  const int64_t now = options.now != 0 ? options.now : static_cast<int64_t>(std::time(nullptr));
  const int64_t first = now - 30 * kDay;
  const int events = std::max(options.events, 1);
  double log_id = 1;
  for (int e = 0; e < events; ++e) {
    const double event_id = 10001 + e;
    const int32_t state = kStates[e % std::size(kStates)];
    const int32_t start =
        static_cast<int32_t>(first + (30LL * kDay * e) / events + random->Below(600));
    const int alarm = static_cast<int>(random->Below(std::size(kAlarms)));
    const double node = kFirstDeviceId + random->Below(kDeviceCount);
    const double message = 1 + alarm + (random->Percent(30) ? std::size(kAlarms) : 0);
    const double first_tech = 1 + random->Below(std::size(kProfiles));
    const int rows = random->Between(3, 15);

    if (random->Percent(5)) {  // a heartbeat that belongs to no event
      if (!log.Start()) return false;
      RowWriter::Set(f.log_id, log_id++);
      RowWriter::Set(f.status_id, 110);
      RowWriter::SetLong(f.time, start - 60);
      RowWriter::SetLong(f.orig_time, start - 60);
      RowWriter::Set(f.node_id, node);
      if (!log.Append()) return false;
    }
    double tech = first_tech;
    int32_t time = start;
    double last_log_id = 0;
    for (int row = 0; row < rows; ++row) {
      const bool last_row = row == rows - 1;
      int32_t flags = state;
      if (!last_row) flags &= ~(kEsclFinalEscalation | kEsclClosedByOwn | kEsclClosedByOther);
      if (!log.Start()) return false;
      last_log_id = log_id++;
      RowWriter::Set(f.log_id, last_log_id);
      RowWriter::Set(f.status_id, StatusOfRow(state, last_row, row));
      RowWriter::Set(f.courier_id, 1 + random->Below(3));
      RowWriter::SetLong(f.time, time);
      RowWriter::Set(f.node_id, node);
      RowWriter::Set(f.tech_id, tech);
      RowWriter::Set(f.msg_id, message);
      RowWriter::Set(f.alarm_id, 1 + alarm);
      RowWriter::SetLong(f.level, 1 + row / 5);
      RowWriter::SetLong(f.escl_lvl, row % 10);
      RowWriter::SetLong(f.orig_time, start);
      RowWriter::Set(f.event_id, event_id);
      RowWriter::Set(f.orgtech_id, first_tech);
      RowWriter::SetLong(f.escl_flags, flags);
      if (!log.Append()) return false;
      time += random->Between(60, 900);
      tech = 1 + random->Below(std::size(kProfiles));
    }

    // Replies: by the row's own profile or by another operator, closing ones for closed events.
    const bool replied = state & (kEsclRepliedByOwn | kEsclRepliedByOther);
    const bool closed = state & (kEsclClosedByOwn | kEsclClosedByOther);
    if (!replied && !closed && !random->Percent(15)) continue;
    const double other = 1 + (static_cast<int>(tech) % kOperatorCount);
    const double replier = (state & (kEsclRepliedByOther | kEsclClosedByOther)) ? other : tech;
    const int replies = closed ? random->Between(1, 2) : 1;
    for (int r = 0; r < replies; ++r) {
      if (!responses.Start()) return false;
      RowWriter::Set(r_log_id, last_log_id);
      RowWriter::Set(r_event_id, event_id);
      RowWriter::Set(r_profile_id, replier);
      RowWriter::SetLong(r_time, time + 120 * (r + 1));
      const bool closing = closed && r == replies - 1;
      RowWriter::SetMemo(r_text, closing
                                     ? kClosingReplies[random->Below(std::size(kClosingReplies))]
                                     : kReplies[random->Below(std::size(kReplies))]);
      if (!responses.Append()) return false;
    }
  }
  return BuildTags(&log, EventLogTable::Schema()) && BuildTags(&responses, ResponseTable::Schema());
}

}  // namespace

bool MakeDemoFolder(const std::string& dir_argument, const DemoOptions& options,
                    DemoSignOn* sign_on, std::string* error) {
  std::error_code ec;
  std::string dir = fs::absolute(dir_argument, ec).lexically_normal().string();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const std::string folder = dir + "/database";
  fs::create_directories(folder, ec);
  if (ec) {
    *error = "cannot make " + folder + ": " + ec.message();
    return false;
  }
  for (const char* table : {"/database/LogAlarm.dbf", "/database/Personnel.dbf"}) {
    if (fs::exists(dir + table)) {
      *error = dir + " already holds tables; remove them or choose another folder";
      return false;
    }
  }
  WriteSettings(dir, options);
  // The status-text table finds its folder through the settings file.
  setenv("SDX_EVHUB_INI", (dir + "/evhub.ini").c_str(), 1);

  DatabaseEngine engine;
  if (!engine.initialised()) {
    *error = "cannot start the database engine";
    return false;
  }
  DemoRandom random(options.seed);
  if (!CreateTables(dir, engine.code_base(), error)) return false;
  if (!CreateDevices(folder, engine.code_base(), &random) ||
      !FillReferenceTables(dir, engine.code_base()) ||
      !FillEvents(folder, engine.code_base(), options, &random)) {
    *error = "cannot write the demo rows in " + dir;
    return false;
  }
  code4close(engine.code_base());
  sign_on->profile = kProfiles[0].name;
  sign_on->password = kProfiles[0].password;
  return true;
}

}  // namespace sdx::sim
