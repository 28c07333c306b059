#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "frame/fake_control_block.h"
#include "platform/isapi/isapi.h"

namespace sdx {
namespace {

// The library as the host loads it, from the fixed place in the build tree.
class ExtensionEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = dlopen(SDX_BINARY_DIR "/sdxremote.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (library_ != nullptr) dlclose(library_);
  }
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
  EXPECT_EQ(dlsym(library_, "_ZN3sdx19ProductCommandTableEv"), nullptr);

  isapi::VersionInfo info{};
  EXPECT_TRUE(get_version(&info));
  EXPECT_EQ(info.extension_version, 0x00040000u);
  EXPECT_STREQ(info.description, "SdxRemote Extension");

  // No page is wired into the product's table yet: the default command answers 501.
  testing::FakeControlBlock request = testing::FakeControlBlock::Get("");
  EXPECT_EQ(proc(request.ecb()), isapi::kStatusSuccess);
  EXPECT_EQ(request.status_line, "501 Not Implemented");
  testing::FakeControlBlock bad = testing::FakeControlBlock::Get("SId=5");
  EXPECT_EQ(proc(bad.ecb()), isapi::kStatusSuccess);
  EXPECT_EQ(bad.status_line, "501 Not Implemented");

  EXPECT_TRUE(terminate(isapi::kTerminateMustUnload));
}

}  // namespace
}  // namespace sdx
