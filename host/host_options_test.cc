#include "host/host_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace sdx::host {
namespace {

bool Parse(std::vector<const char*> args, HostOptions* options, std::string* error) {
  args.insert(args.begin(), "sdxhost");
  return ParseHostOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(HostOptionsTest, ReadsEveryOptionInBothSpellings) {
  HostOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--listen", "0.0.0.0:9000", "--root=/srv/site", "--extension", "/x/e.so",
                     "--threads=8", "--max-body", "2048", "--access-log", "/tmp/a.log"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.listen, "0.0.0.0:9000");
  EXPECT_EQ(options.root, "/srv/site");
  EXPECT_EQ(options.extension, "/x/e.so");
  EXPECT_EQ(options.threads, 8);
  EXPECT_EQ(options.max_body, 2048u);
  EXPECT_EQ(options.access_log, "/tmp/a.log");
  EXPECT_FALSE(options.help);

  HostOptions ipv6;
  EXPECT_TRUE(Parse({"--listen", "[::1]:0", "--no-extension"}, &ipv6, &error)) << error;
  EXPECT_TRUE(ipv6.extension.empty());
}

TEST(HostOptionsTest, KeepsDefaultsAndStopsAtHelp) {
  HostOptions options;
  std::string error;
  ASSERT_TRUE(Parse({}, &options, &error));
  EXPECT_EQ(options.listen, "127.0.0.1:8080");
  EXPECT_EQ(options.threads, kDefaultThreads);
  EXPECT_EQ(options.max_body, kDefaultMaxBody);
  ASSERT_TRUE(Parse({"--help", "--bogus"}, &options, &error));
  EXPECT_TRUE(options.help);
  std::string usage = HostUsage(options);
  for (const char* name : {"--listen", "--root", "--extension", "--no-extension", "--threads",
                           "--max-body", "--access-log", "--help"}) {
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  }
}

TEST(HostOptionsTest, RefusesBadValuesWithOneLine) {
  const std::vector<std::vector<const char*>> kBad = {
      {"--listen", "localhost:80"},
      {"--listen", "127.0.0.1"},
      {"--listen", "1.2.3.4:70000"},
      {"--listen", "1.2.3.4:8x"},
      {"--threads", "0"},
      {"--threads", "-3"},
      {"--threads", "5000"},
      {"--max-body", "4294967296"},
      {"--max-body", "1k"},
      {"--root", ""},
      {"--extension="},
      {"--root"},
      {"--unknown"},
      {"stray"},
  };
  for (const auto& args : kBad) {
    HostOptions options;
    std::string error;
    EXPECT_FALSE(Parse(args, &options, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace sdx::host
