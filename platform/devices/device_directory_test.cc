#include "platform/devices/device_directory.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "platform/win/temp_folder_test_util.h"
#include "platform/xbase/engine_calls.h"

namespace {

struct Device {
  double id;
  std::string name;
  bool deleted = false;
};

// Writes a Devices table the way the paging server lays it out.
void WriteDevices(const std::string& folder, const std::vector<Device>& devices) {
  static constexpr FIELD4INFO kFields[] = {
      {"ID", 'B', 8, 0, 0}, {"NAME", 'C', 80, 0, 0}, {nullptr, 0, 0, 0, 0}};
  CODE4 code_base;
  ASSERT_EQ(code4initLow(&code_base, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0), 0);
  DATA4* data = d4create(&code_base, (folder + "/Devices").c_str(), kFields, nullptr);
  ASSERT_NE(data, nullptr);
  for (const Device& device : devices) {
    ASSERT_EQ(d4appendStart(data, 0), 0);
    d4blank(data);
    f4assignDouble(d4field(data, "ID"), device.id);
    f4assign(d4field(data, "NAME"), device.name.c_str());
    ASSERT_EQ(d4append(data), 0);
    if (device.deleted) d4delete(data);
  }
  d4close(data);
  code4initUndo(&code_base);
}

std::string Lookup(double id, unsigned size) {
  std::vector<char> buffer(std::max(size, 1u), 'x');
  dbDeviceNameByID(id, buffer.data(), size, nullptr);
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

class DeviceDirectoryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    dbCloseDBEngine();
    sdx::devices::SetDeviceFolder("");
  }
  sdx::testing::TempFolder folder_{"devices"};
};

TEST_F(DeviceDirectoryTest, FillsTheBufferWithinItsSize) {
  const std::string full(80, 'W');
  WriteDevices(folder_.path(), {{1, "Pump 1   "},
                                {2, full},
                                {3, "  Leading"},
                                {4, "Gone", true},
                                {-7, "Negative"},
                                {4294967296.0, "Big"}});
  sdx::devices::SetDeviceFolder(folder_.path());
  ASSERT_EQ(dbDevicesOpen(), 0);
  struct Case {
    double id;
    unsigned size;
    std::string expected;
  };
  const Case cases[] = {
      {1, 80, "Pump 1"},    {2, 80, full.substr(0, 79)},
      {2, 81, full},        {3, 80, "  Leading"},
      {4, 80, ""},          {5, 80, ""},
      {-7, 80, "Negative"}, {4294967296.0, 80, "Big"},
      {1, 4, "Pum"},        {1, 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lookup(c.id, c.size), c.expected) << c.id << " size " << c.size;
  }
  char untouched = 'q';
  int status = -1;
  EXPECT_EQ(dbDeviceNameByID(1, &untouched, 0, &status), 0);
  EXPECT_EQ(untouched, 'q');
  EXPECT_EQ(status, 0);
  dbDeviceNameByID(5, &untouched, 0, &status);
  EXPECT_EQ(status, 1);
}

TEST_F(DeviceDirectoryTest, ClosesTwiceAndReopens) {
  WriteDevices(folder_.path(), {{1, "Pump"}});
  sdx::devices::SetDeviceFolder(folder_.path());
  ASSERT_EQ(dbDevicesOpen(), 0);
  dbCloseDBEngine();
  dbCloseDBEngine();
  EXPECT_EQ(Lookup(1, 80), "");
  ASSERT_EQ(dbDevicesOpen(), 0);
  EXPECT_EQ(Lookup(1, 80), "Pump");
}

TEST_F(DeviceDirectoryTest, MissingTableFindsNothing) {
  sdx::devices::SetDeviceFolder(folder_.path() + "/none");
  EXPECT_NE(dbDevicesOpen(), 0);
  EXPECT_EQ(Lookup(1, 80), "");
}

// Lookups during closes and reopens see one whole directory or none: two folders name every
// device differently, and a mixed or cut name would show.
TEST_F(DeviceDirectoryTest, LookupsDuringReopenSeeWholeTables) {
  constexpr int kDevices = 50;
  const std::string first = folder_.path() + "/a";
  const std::string second = folder_.path() + "/b";
  std::filesystem::create_directories(first);
  std::filesystem::create_directories(second);
  std::vector<Device> a, b;
  for (int i = 1; i <= kDevices; ++i) {
    a.push_back({double(i), "alpha-" + std::to_string(i)});
    b.push_back({double(i), "bravo-device-" + std::to_string(i)});
  }
  WriteDevices(first, a);
  WriteDevices(second, b);
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        for (int i = 1; i <= kDevices; ++i) {
          const std::string name = Lookup(i, 80);
          if (!name.empty() && name != a[i - 1].name && name != b[i - 1].name) ++bad;
        }
      }
    });
  }
  for (int round = 0; round < 200; ++round) {
    sdx::devices::SetDeviceFolder(round % 2 == 0 ? first : second);
    dbDevicesOpen();
    dbCloseDBEngine();
    dbDevicesOpen();
  }
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
