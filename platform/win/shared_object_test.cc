#include "platform/win/shared_object.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/win/named_event.h"
#include "platform/win/named_mutex.h"
#include "platform/win/named_object_test_util.h"

namespace sdx::win {
namespace {

TEST(SharedObjectTest, PathOfPlatformNames) {
  struct Case {
    std::string name;
    std::string path;
  };
  const Case kCases[] = {
      {"Global\\CorvanSoftware_SdxPauseEvent", "/CorvanSoftware_SdxPauseEvent"},
      {"Global\\CorvaneSoftware-SdxRemote.dll", "/CorvaneSoftware-SdxRemote.dll"},
      {"Local\\Mine", "/Mine"},
      {"NoPrefix", "/NoPrefix"},
      {"Global\\a/b\\c d:e", "/a_b_c_d_e"},
      {"Global\\Global\\x", "/Global_x"},
      {"", ""},
      {"Global\\", ""},
      {"Global\\..", ""},
      {std::string(300, 'x'), ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(SharedObjectPath(c.name), c.path) << c.name;
  }
}

mode_t ModeOf(const std::string& name) {
  const int fd = shm_open(SharedObjectPath(name).c_str(), O_RDONLY, 0);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    return 0;
  }
  close(fd);
  return st.st_mode & 0777;
}

TEST(SharedObjectTest, OpenSecurityIsForEveryAccountWhateverTheUmask) {
  TestObjectName open_name;
  TestObjectName default_name;
  const mode_t old_umask = umask(077);
  NamedEvent open_event;
  NamedEvent default_event;
  const int open_rc =
      open_event.CreateOrOpen(open_name.get(), EventReset::kManual, true, ObjectSecurity::kOpen);
  const int default_rc = default_event.CreateOrOpen(default_name.get(), EventReset::kManual, true,
                                                    ObjectSecurity::kDefault);
  umask(old_umask);
  ASSERT_EQ(open_rc, 0);
  ASSERT_EQ(default_rc, 0);
  EXPECT_EQ(ModeOf(open_name.get()), 0666u);
  EXPECT_EQ(ModeOf(default_name.get()), 0600u);
}

TEST(SharedObjectTest, ProcessesRacingToCreateInitialiseOnce) {
  TestObjectName name;
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  constexpr int kProcesses = 8;
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    children.push_back(StartChild([&] {
      close(start[1]);
      char byte;
      // Every child is released at the same moment, when the parent closes its end.
      while (read(start[0], &byte, 1) > 0) {
      }
      NamedEvent event;
      // Each would make the event signalled; only one may initialise it, and the parent resets
      // nothing, so everyone must find it set and usable.
      if (event.CreateOrOpen(name.get(), EventReset::kManual, true, ObjectSecurity::kOpen) != 0 ||
          !event.IsSet()) {
        return 2;
      }
      return event.created() ? 1 : 0;
    }));
  }
  close(start[0]);
  close(start[1]);
  int created = 0;
  for (pid_t child : children) {
    const int code = WaitChild(child);
    ASSERT_TRUE(code == 0 || code == 1) << code;
    created += code;
  }
  EXPECT_EQ(created, 1);
}

TEST(SharedObjectTest, ANameHoldsOneKindOfObject) {
  TestObjectName name;
  NamedMutex mutex;
  ASSERT_EQ(mutex.CreateOrOpen(name.get(), ObjectSecurity::kDefault), 0);
  NamedEvent event;
  EXPECT_EQ(event.CreateOrOpen(name.get(), EventReset::kManual, true, ObjectSecurity::kOpen),
            EEXIST);
  EXPECT_EQ(event.Open(name.get()), EEXIST);
  EXPECT_FALSE(event.is_open());

  TestObjectName event_name;
  ASSERT_EQ(event.CreateOrOpen(event_name.get(), EventReset::kManual, true, ObjectSecurity::kOpen),
            0);
  NamedMutex other;
  EXPECT_EQ(other.CreateOrOpen(event_name.get(), ObjectSecurity::kDefault), EEXIST);
}

TEST(SharedObjectTest, MissingAndUnusableNames) {
  TestObjectName name;
  NamedEvent event;
  EXPECT_EQ(event.Open(name.get()), ENOENT);
  NamedMutex mutex;
  EXPECT_EQ(mutex.Open(name.get()), ENOENT);
  EXPECT_EQ(event.CreateOrOpen("", EventReset::kManual, true, ObjectSecurity::kOpen), EINVAL);
  EXPECT_FALSE(event.Set());
  EXPECT_FALSE(event.IsSet());
  EXPECT_EQ(event.Wait(std::chrono::milliseconds(0)), WaitResult::kFailed);
}

TEST(SharedObjectTest, ObjectLeftUninitialisedByADeadCreatorIsCompleted) {
  TestObjectName name;
  // What a creator leaves behind when it dies between making the name and filling it.
  const int fd = shm_open(SharedObjectPath(name.get()).c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  close(fd);

  NamedEvent event;
  EXPECT_EQ(event.Open(name.get()), ENOENT);
  ASSERT_EQ(event.CreateOrOpen(name.get(), EventReset::kManual, false, ObjectSecurity::kOpen), 0);
  EXPECT_TRUE(event.created());
  EXPECT_FALSE(event.IsSet());
  EXPECT_TRUE(event.Set());
}

TEST(SharedObjectTest, MutexIsCreatedOnceAndFoundByOthers) {
  TestObjectName name;
  const pid_t creator = StartChild([&] {
    NamedMutex mutex;
    return mutex.CreateOrOpen(name.get(), ObjectSecurity::kDefault) == 0 && mutex.created() ? 0 : 1;
  });
  ASSERT_EQ(WaitChild(creator), 0);
  NamedMutex mutex;
  ASSERT_EQ(mutex.CreateOrOpen(name.get(), ObjectSecurity::kDefault), 0);
  EXPECT_FALSE(mutex.created());
  NamedMutex opened;
  EXPECT_EQ(opened.Open(name.get()), 0);
}

}  // namespace
}  // namespace sdx::win
