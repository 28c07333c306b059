// The operations every table object uses on its open table: choosing the order, record locks
// with the paging server, and reading and writing field values of the current record. Callers
// hold their table lock around every call.
#pragma once

#include <string>
#include <string_view>

#include "platform/xbase/engine_calls.h"
#include "platform/xbase/engine_index_calls.h"

namespace sdx {

// Makes the tag of that name the current order; null (or an unknown name) gives record-number
// order.
void SelectTagByName(DATA4* data, const char* tag_name);

// Asks for the record's lock until it is granted, sleeping 50 ms between refusals, without
// limit: the paging server holds a row only while it changes it. Answers 0 once the lock is
// held, or the engine's error for a record number it cannot lock at all.
int LockRecordWithRetry(DATA4* data, long record_number);

// Writes a changed current record, then releases every record lock of this process on the table.
void UnlockRecords(DATA4* data);

double ReadDouble(const FIELD4* field);
int32_t ReadLong(const FIELD4* field);
int ReadInt(const FIELD4* field);
// The field's text, at most 255 characters, trailing blanks and zero bytes removed.
std::string ReadText(const FIELD4* field);
std::string ReadMemoText(FIELD4* field);

// Each answers the engine's code: -50 when the record is stored and this process does not hold
// its lock (nothing is written then).
int AssignDouble(FIELD4* field, double value);
int AssignLong(FIELD4* field, int32_t value);
int AssignMemoText(FIELD4* field, std::string_view text);

// Seeks `id` on the current (numeric) tag; true on an equal key.
bool SeekDouble(DATA4* data, double id);

}  // namespace sdx
