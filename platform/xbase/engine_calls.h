// The engine's public face: the context, table and field handles and the calls with C linkage
// that the table layer and the table-creation layer use, named as the programs written for the
// commercial engine expect. No exception leaves any of these calls; results are the codes of
// engine_codes.h (0 success, r4-style conditions positive, errors negative).
//
// A CODE4 is owned by its caller (a member, or std::make_unique<CODE4>()): code4initLow makes it
// usable, code4initUndo releases what it holds. DATA4 and FIELD4 handles are owned by the
// context and stay valid until their table is closed. One context may be used by several
// threads at once as long as each table (DATA4) is used by one thread at a time.
#pragma once

#include <memory>

#include "platform/xbase/engine_codes.h"

namespace sdx::xbase {
class EngineContext;
}

// The codes under the names callers of the engine know them by.
inline constexpr int r4success = sdx::xbase::kSuccess;
inline constexpr int r4bof = sdx::xbase::kBof;
inline constexpr int r4eof = sdx::xbase::kEof;
inline constexpr int r4entry = sdx::xbase::kEntry;
inline constexpr int r4locked = sdx::xbase::kLocked;
inline constexpr int e4lock = sdx::xbase::kErrLock;
inline constexpr int e4parmNull = sdx::xbase::kErrParmNull;
inline constexpr int e4struct = sdx::xbase::kErrStruct;

struct DATA4;
struct FIELD4;

struct CODE4 {
  CODE4();
  ~CODE4();
  CODE4(const CODE4&) = delete;
  CODE4& operator=(const CODE4&) = delete;
  std::unique_ptr<sdx::xbase::EngineContext> context;
};

// A field of a table to create: name, type letter, width, decimals, nullable (not 0).
struct FIELD4INFO {
  const char* name;
  short type;
  unsigned short len;
  unsigned short dec;
  unsigned short nulls;
};

// A tag of a production index to create: name, key expression, FOR filter (or null), unique
// code (0, or the code a duplicate gets) and descending (not 0 for a descending tag).
struct TAG4INFO {
  const char* name;
  const char* expression;
  const char* filter;
  short unique;
  unsigned short descending;
};

inline constexpr long kCode4InterfaceVersion = 6502;
inline constexpr long kCode4StructSize = 1615;

// Lock schemes for d4lockSchemeSet.
inline constexpr int LOCK4VFP = 0;
inline constexpr int LOCK4CLIPPER = 1;

extern "C" {

// Context.
int code4initLow(CODE4* c4, const char* protocol, long version, long struct_size, int client);
int code4initUndo(CODE4* c4);
int code4close(CODE4* c4);  // closes every table of the context
// Lock enforcement: when on, assigning a field of a stored record this process has not locked
// is refused with -50 and changes nothing. Answers the previous setting.
int code4lockEnforceSet(CODE4* c4, int on);
int code4errorCode(CODE4* c4, int code);  // sets the error code, answers the previous one
int error4default(CODE4* c4, int code, long location);
void* u4allocDefault(long size);
void u4freeDefault(void* block);
void* u4allocFreeDefault(CODE4* c4, long size);
void c4ltoa45(long value, char* out, int width);

// Tables.
DATA4* d4open(CODE4* c4, const char* name);
DATA4* d4create(CODE4* c4, const char* name, const FIELD4INFO* fields, const TAG4INFO* tags);
int d4close(DATA4* data);
int d4lockSchemeSet(DATA4* data, int scheme);
long d4versionStamp(DATA4* data);
int d4versionStampSet(DATA4* data, long stamp);

int d4goLow(DATA4* data, long record, short go_for_write);
int d4top(DATA4* data);
int d4bottom(DATA4* data);
int d4skip(DATA4* data, long count);
int d4eof(DATA4* data);
int d4bof(DATA4* data);
long d4recNoLow(DATA4* data);
long _d4recCountDo2(DATA4* data, int assume_locked);
int d4lockInternal(DATA4* data, unsigned long record, char lock_type, int attempts);
int d4unlock(DATA4* data);
int d4lockTest(DATA4* data, long record);
int d4appendStart(DATA4* data, short use_memo_entries);
int d4blank(DATA4* data);
int d4append(DATA4* data);
int d4changed(DATA4* data, int flag);
int d4flush(DATA4* data);
int d4delete(DATA4* data);
int d4recall(DATA4* data);
int d4deleted(DATA4* data);
short d4numFields(DATA4* data);
FIELD4* d4field(DATA4* data, const char* name);
FIELD4* d4fieldJ(DATA4* data, short number);  // 1-based
const char* d4fileName(DATA4* data);
char* d4record(DATA4* data);  // the current record's bytes, deletion flag first
unsigned long d4recWidth(DATA4* data);

// Fields of the current record.
double f4double(const FIELD4* field);
long f4long(const FIELD4* field);
int f4int(const FIELD4* field);
int f4true(const FIELD4* field);
int f4char(const FIELD4* field);
char* f4ptr(const FIELD4* field);
char* f4str(FIELD4* field);  // the value as a zero-terminated text, valid until the next call
unsigned long f4len(const FIELD4* field);
int f4type(const FIELD4* field);
int f4decimals(const FIELD4* field);
const char* f4name(const FIELD4* field);
int f4null(const FIELD4* field);
int f4assignNotNull(FIELD4* field);
int f4assign(FIELD4* field, const char* text);
int f4assignN(FIELD4* field, const char* text, unsigned length);
int f4assignChar(FIELD4* field, int c);
int f4assignDouble(FIELD4* field, double value);
int f4assignLong(FIELD4* field, long value);
int f4assignInt(FIELD4* field, int value);

// Memo fields. A memo is read when first asked for on a record; assigned memos are written to
// new blocks of the memo file when the record is flushed.
char* f4memoStr(FIELD4* field);
unsigned long f4memoLen(FIELD4* field);
char* f4memoPtr(FIELD4* field);
int f4memoSetLen(FIELD4* field, unsigned long length);
int f4memoAssign(FIELD4* field, const char* text);
int f4memoAssignN(FIELD4* field, const char* text, unsigned length);

}  // extern "C"
