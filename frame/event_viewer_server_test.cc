#include "frame/event_viewer_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "frame/page_output.h"
#include "platform/win/named_event.h"
#include "platform/win/named_mutex.h"
#include "platform/win/shared_object.h"
#include "platform/win/temp_folder_test_util.h"

namespace sdx {
namespace {

namespace fs = std::filesystem;

std::string CurrentFolder() {
  char folder[PATH_MAX];
  return getcwd(folder, sizeof folder) != nullptr ? folder : "";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A server object of the test's own: settings in a scratch folder that SDX_EVHUB_INI names,
// the configuration folder there too, and named objects no other process uses.
class EventViewerServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    setenv("SDX_EVHUB_INI", (folder_.path() + "/evhub.ini").c_str(), 1);
    setenv("SDX_CONFIG_DIR", folder_.path().c_str(), 1);
    const std::string prefix = "Global\\SdxServerTest_" + std::to_string(getpid()) + "_";
    names_.instance_mutex = prefix + "Mutex";
    names_.pause_event = prefix + "Pause";
    names_.pause_has_occurred_event = prefix + "PauseHasOccured";
  }
  void TearDown() override {
    unsetenv("SDX_EVHUB_INI");
    unsetenv("SDX_CONFIG_DIR");
    for (const std::string* name :
         {&names_.instance_mutex, &names_.pause_event, &names_.pause_has_occurred_event}) {
      win::SharedObject::Remove(*name);
    }
  }
  void Settings(const std::string& text) {
    std::ofstream(folder_.path() + "/evhub.ini", std::ios::binary) << text;
  }

  testing::TempFolder folder_{"server"};
  ServerObjectNames names_;
};

TEST_F(EventViewerServerTest, DefaultsWithoutSettingsFile) {
  EventViewerServer server(names_);
  EXPECT_EQ(server.database_folder(), CurrentFolder() + "/database");
  EXPECT_EQ(server.template_folder(), CurrentFolder());
  EXPECT_EQ(server.session_limit(), 600);
  EXPECT_EQ(server.web_logger_on(), 0);
  EXPECT_EQ(server.version_text(), ": can not found dll file at: /sdxremote.so");
  EXPECT_EQ(server.message_banner(), kMessageBanner);
  // Made here, so signalled: no pause is pending.
  ASSERT_TRUE(server.pause_event().is_open());
  ASSERT_TRUE(server.pause_has_occurred_event().is_open());
  EXPECT_TRUE(server.pause_event().IsSet());
  EXPECT_TRUE(server.pause_has_occurred_event().IsSet());
  win::NamedMutex instance;
  EXPECT_EQ(instance.Open(names_.instance_mutex), 0);
}

TEST_F(EventViewerServerTest, SettingsAreRead) {
  const std::string data = folder_.path() + "/data";
  const std::string site = folder_.path() + "/site";
  fs::create_directories(site);
  std::ofstream(site + "/menu.html") << "<!-- ***-->menu of <cv_name>";
  struct Case {
    std::string templates_setting;
    std::string template_folder;
  };
  const Case kCases[] = {
      {site, site},
      {site + "/", site},
      {site + "\\", site},
      {site + "/\\", site},
      // One of each, no more.
      {site + "//", site + "/"},
      {"", ""},
  };
  for (const Case& c : kCases) {
    Settings("[Sdx24]\npath=" + data + "\nWebTemplates=" + c.templates_setting +
             "\nWebSessionMaxMin=30\nWebLoggerOn=1\nSdxRemoteLocation=" SDX_BINARY_DIR "\n");
    EventViewerServer server(names_);
    EXPECT_EQ(server.template_folder(), c.template_folder) << c.templates_setting;
    EXPECT_EQ(server.database_folder(), data + "/database");
    EXPECT_EQ(server.session_limit(), 1800);
    EXPECT_EQ(server.web_logger_on(), 1);
    EXPECT_EQ(server.version_text(), SDX_VERSION);
    if (c.template_folder == site) {
      EXPECT_EQ(server.templates().GetTemplateText(2), "menu of <cv_name>");
    }
  }
}

TEST_F(EventViewerServerTest, TemplatesFollowPathUnlessSetAndLongValuesAreCut) {
  const std::string data = folder_.path() + "/" + std::string(300, 'd');
  Settings("[Sdx24]\npath=" + folder_.path() + "/\nSdxRemoteLocation=/" + std::string(100, 'x') +
           "\nWebSessionMaxMin=-5\n");
  {
    EventViewerServer server(names_);
    EXPECT_EQ(server.template_folder(), folder_.path());
    EXPECT_EQ(server.database_folder(), folder_.path() + "//database");
    EXPECT_EQ(server.session_limit(), -300);
    EXPECT_EQ(server.version_text(),
              (": can not found dll file at: /" + std::string(100, 'x')).substr(0, 79));
  }
  Settings("[Sdx24]\npath=" + data + "\nWebSessionMaxMin=99999999999\n");
  EventViewerServer server(names_);
  EXPECT_EQ(server.database_folder(), data.substr(0, 255));
  EXPECT_EQ(server.template_folder(), data.substr(0, 253));
  EXPECT_EQ(server.session_limit(), INT32_MAX);
}

TEST_F(EventViewerServerTest, PauseEventsMadeBeforeKeepTheirState) {
  // The paging server, another process, made the events first and announced a pause.
  const pid_t child = fork();
  if (child == 0) {
    win::NamedEvent pause, occurred;
    const int made =
        pause.CreateOrOpen(names_.pause_event, win::EventReset::kManual, false,
                           win::ObjectSecurity::kOpen) |
        occurred.CreateOrOpen(names_.pause_has_occurred_event, win::EventReset::kManual, false,
                              win::ObjectSecurity::kOpen);
    _exit(made == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EventViewerServer server(names_);
  ASSERT_TRUE(server.pause_event().is_open());
  EXPECT_FALSE(server.pause_event().created());
  EXPECT_FALSE(server.pause_event().IsSet());
  EXPECT_FALSE(server.pause_has_occurred_event().IsSet());
}

TEST_F(EventViewerServerTest, StartUpLinesGoToTheWebLog) {
  // The web log's folder is lower-cased, so it must be a lower-case path.
  const std::string logs = SDX_BINARY_DIR "/test-tmp/serverlog-" + std::to_string(getpid());
  fs::remove_all(logs);
  fs::create_directories(logs);
  Settings("[evhub]\npath=" + logs + "/evhub\n");
  { EventViewerServer server(names_); }
  const std::string log = ReadFile(logs + "/Logs/Web-" + std::to_string(gettid()) + ".txt");
  fs::remove_all(logs);
  const size_t starting = log.find("\nStarting...\n");
  const size_t templates = log.find("\nDone Reading in Templates\n");
  const size_t handle = log.find("\nHandle: ");
  ASSERT_NE(starting, std::string::npos) << log;
  ASSERT_NE(templates, std::string::npos) << log;
  ASSERT_NE(handle, std::string::npos) << log;
  EXPECT_LT(starting, templates);
  EXPECT_LT(templates, handle);
  EXPECT_NE(log.find(" **************\n", handle), std::string::npos);
}

TEST_F(EventViewerServerTest, StartOpensTablesOnceAndShutdownClosesThem) {
  const std::string database = folder_.path() + "/database";
  fs::create_directories(database);
  Settings("[Sdx24]\npath=" + folder_.path() + "\n");
  EventViewerServer server(names_);
  isapi::VersionInfo info{};
  ASSERT_TRUE(server.GetExtensionVersion(&info));
  EXPECT_EQ(info.extension_version, 0x00040000u);
  EXPECT_STREQ(info.description, "SdxRemote Extension");
  EXPECT_TRUE(server.tables().tables_open());
  EXPECT_TRUE(server.tables().personnel.is_open());
  // A second open opens nothing: a table closed behind the flag's back stays closed.
  ASSERT_TRUE(fs::exists(database + "/Personnel.dbf"));
  server.tables().personnel.CloseTable();
  server.OpenLogDatabases();
  EXPECT_FALSE(server.tables().personnel.is_open());
  server.CloseLogDatabases();
  EXPECT_FALSE(server.tables().tables_open());
  server.OpenLogDatabases();
  EXPECT_TRUE(server.tables().personnel.is_open());
  // The exports act on the started server's tables.
  ::CloseLogDatabases();
  EXPECT_FALSE(server.tables().tables_open());
  ::OpenLogDatabases();
  EXPECT_TRUE(server.tables().tables_open());

  std::shared_ptr<WebSession> session = server.sessions().CreateSession();
  ASSERT_NE(session, nullptr);
  EXPECT_TRUE(server.TerminateExtension(isapi::kTerminateMustUnload));
  EXPECT_EQ(server.sessions().size(), 0u);
  EXPECT_FALSE(server.tables().tables_open());
  EXPECT_FALSE(server.tables().personnel.is_open());
  // After the shutdown the exports find no server and do nothing.
  ::OpenLogDatabases();
  EXPECT_FALSE(server.tables().tables_open());
}

}  // namespace
}  // namespace sdx
