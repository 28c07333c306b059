#include "tables/field_access.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace sdx {

namespace {
constexpr std::chrono::milliseconds kLockRetryStep(50);
constexpr size_t kReadTextLimit = 255;
}  // namespace

void SelectTagByName(DATA4* data, const char* tag_name) {
  d4tagSelect(data, tag_name == nullptr ? nullptr : d4tag(data, tag_name));
}

int LockRecordWithRetry(DATA4* data, long record_number) {
  for (;;) {
    const int rc = d4lockInternal(data, static_cast<unsigned long>(record_number), 1, 1);
    if (rc != r4locked) return rc;
    std::this_thread::sleep_for(kLockRetryStep);
  }
}

void UnlockRecords(DATA4* data) { d4unlock(data); }

double ReadDouble(const FIELD4* field) { return f4double(field); }

int32_t ReadLong(const FIELD4* field) { return static_cast<int32_t>(f4long(field)); }

int ReadInt(const FIELD4* field) { return f4int(field); }

std::string ReadText(const FIELD4* field) {
  const char* bytes = f4ptr(field);
  if (bytes == nullptr) return {};
  std::string text(bytes, std::min<size_t>(f4len(field), kReadTextLimit));
  const size_t end = text.find_last_not_of(std::string_view(" \0", 2));
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string ReadMemoText(FIELD4* field) {
  const char* bytes = f4memoPtr(field);
  if (bytes == nullptr) return {};
  return std::string(bytes, f4memoLen(field));
}

int AssignDouble(FIELD4* field, double value) { return f4assignDouble(field, value); }

int AssignLong(FIELD4* field, int32_t value) { return f4assignLong(field, value); }

int AssignMemoText(FIELD4* field, std::string_view text) {
  return f4memoAssignN(field, text.data(), static_cast<unsigned>(text.size()));
}

bool SeekDouble(DATA4* data, double id) { return d4seekDouble(data, id) == r4success; }

}  // namespace sdx
