// The engine's calls over a table's production index: choosing the current order and seeking in
// it. Navigation (d4top, d4bottom, d4skip) follows the order chosen here; with no tag selected
// it is record-number order. TAG4 handles are owned by their table and stay valid until it is
// closed.
#pragma once

#include "platform/xbase/engine_calls.h"

struct TAG4;

// A seek that stopped on a greater key.
inline constexpr int r4after = 2;

extern "C" {

// The tag of that name (case-insensitive) of the table's production index, or null.
TAG4* d4tag(DATA4* data, const char* name);
// Makes `tag` the current order; null selects record-number order.
void d4tagSelect(DATA4* data, TAG4* tag);
// The current order's tag, or null in record-number order.
TAG4* d4tagSelected(DATA4* data);
// Positions on the first entry of the current order whose key equals `key` and answers 0
// (r4success); otherwise positions on the next greater entry (r4after) or past the end
// (r4eof). A tag whose key is not numeric answers an error.
int d4seekDouble(DATA4* data, double key);
// 0 while the entry after the current one still equals `key`, and positions there; otherwise
// the position after the last equal entry and r4after or r4eof.
int d4seekNextDouble(DATA4* data, double key);
// Seeks a character key (blank-padded to the tag's key length); on a numeric tag the text is
// read as a number.
int d4seek(DATA4* data, const char* key);

// Rebuilds every tag of the table's production index from its rows, in bulk, into a new index
// file that replaces the old one (which may be damaged). For a table no other process uses.
int d4reindex(DATA4* data);
// Gives a table that has no production index one with `tags` (closed by a nameless entry),
// built in bulk from its rows, and marks the table as having it.
int d4createIndex(DATA4* data, const TAG4INFO* tags);

}  // extern "C"
