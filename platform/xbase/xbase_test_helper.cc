// A second process for the engine's cross-process tests. Commands:
//   lock TABLE RECORD     lock the record, print "locked <rc of a second lock>", hold it until
//                         standard input closes
//   append TABLE COUNT ID append COUNT rows whose LOG_ID is ID*1000000 + i, print "done"
//   assign TABLE RECORD   with enforcement on, try to change the record without its lock and
//                         print "assign <rc> lock <rc>"
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/xbase/engine_calls.h"

namespace {

int Lock(DATA4* data, long record) {
  if (d4lockInternal(data, static_cast<unsigned long>(record), 1, 1) != 0) {
    std::printf("refused\n");
    return 1;
  }
  std::printf("locked %d\n", d4lockInternal(data, static_cast<unsigned long>(record), 1, 1));
  std::fflush(stdout);
  char buffer[64];
  while (::read(0, buffer, sizeof(buffer)) > 0) {
  }
  return 0;
}

int Append(DATA4* data, long count, long id) {
  FIELD4* log_id = d4field(data, "LOG_ID");
  for (long i = 0; i < count; ++i) {
    if (d4appendStart(data, 0) != 0 || d4blank(data) != 0 ||
        f4assignDouble(log_id, static_cast<double>(id) * 1000000 + i) != 0 || d4append(data) != 0) {
      std::printf("append failed at %ld\n", i);
      return 1;
    }
  }
  std::printf("done\n");
  return 0;
}

int Assign(DATA4* data, long record) {
  if (d4goLow(data, record, 1) != 0) return 1;
  const int assign = f4assignDouble(d4field(data, "LOG_ID"), -1);
  const int lock = d4lockInternal(data, static_cast<unsigned long>(record), 1, 1);
  d4unlock(data);
  std::printf("assign %d lock %d\n", assign, lock);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: xbase_test_helper lock|append|assign TABLE NUMBER [ID]\n");
    return 2;
  }
  CODE4 code;
  if (code4initLow(&code, nullptr, 6502, 1615, 0) != 0) return 1;
  code4lockEnforceSet(&code, 1);
  DATA4* data = d4open(&code, argv[2]);
  if (data == nullptr) {
    std::printf("open failed\n");
    return 1;
  }
  const std::string command = argv[1];
  const long number = std::atol(argv[3]);
  int rc = 2;
  if (command == "lock") rc = Lock(data, number);
  if (command == "append" && argc > 4) rc = Append(data, number, std::atol(argv[4]));
  if (command == "assign") rc = Assign(data, number);
  code4initUndo(&code);
  return rc;
}
