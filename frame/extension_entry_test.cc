#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "frame/fake_control_block.h"
#include "platform/isapi/isapi.h"
#include "platform/win/temp_folder_test_util.h"

namespace sdx {
namespace {

// The library as the host loads it, from the fixed place in the build tree, with settings of
// the test's own: its templates in a scratch folder and no tables there.
class ExtensionEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    std::ofstream(folder_.path() + "/logon.html") << "sign on <cv_sid> <cv_version>";
    std::ofstream(folder_.path() + "/evhub.ini")
        << "[Sdx24]\npath=" << folder_.path() << "\nSdxRemoteLocation=" SDX_BINARY_DIR "\n";
    setenv("SDX_EVHUB_INI", (folder_.path() + "/evhub.ini").c_str(), 1);
    setenv("SDX_CONFIG_DIR", folder_.path().c_str(), 1);
    library_ = dlopen(SDX_BINARY_DIR "/sdxremote.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (library_ != nullptr) dlclose(library_);
    unsetenv("SDX_EVHUB_INI");
    unsetenv("SDX_CONFIG_DIR");
  }
  testing::TempFolder folder_{"entry"};
  void* library_ = nullptr;
};

TEST_F(ExtensionEntryTest, EntryPointsAndNothingElse) {
  auto get_version =
      reinterpret_cast<GetExtensionVersionFn>(dlsym(library_, isapi::kGetExtensionVersionName));
  auto proc = reinterpret_cast<HttpExtensionProcFn>(dlsym(library_, isapi::kHttpExtensionProcName));
  auto terminate =
      reinterpret_cast<TerminateExtensionFn>(dlsym(library_, isapi::kTerminateExtensionName));
  ASSERT_NE(get_version, nullptr);
  ASSERT_NE(proc, nullptr);
  ASSERT_NE(terminate, nullptr);
  EXPECT_NE(dlsym(library_, "OpenLogDatabases"), nullptr);
  EXPECT_NE(dlsym(library_, "CloseLogDatabases"), nullptr);
  EXPECT_EQ(dlsym(library_, "_ZN3sdx19ProductCommandTableEv"), nullptr);

  isapi::VersionInfo info{};
  EXPECT_TRUE(get_version(&info));
  EXPECT_EQ(info.extension_version, 0x00040000u);
  EXPECT_STREQ(info.description, "SdxRemote Extension");

  // The server object was built at load time from the test's settings: the default command
  // shows its sign-on page with the version of this very file.
  testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
  EXPECT_EQ(proc(request.ecb()), isapi::kStatusSuccess);
  EXPECT_EQ(request.status_line, "200 OK");
  EXPECT_EQ(request.body, "sign on 0 v" SDX_VERSION);
  // The default command takes no parameters.
  testing::FakeControlBlock bad = testing::FakeControlBlock::Get("SId=5");
  EXPECT_EQ(proc(bad.ecb()), isapi::kStatusSuccess);
  EXPECT_EQ(bad.status_line, "400 Bad Request");

  EXPECT_TRUE(terminate(isapi::kTerminateMustUnload));
}

}  // namespace
}  // namespace sdx
