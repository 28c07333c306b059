// What the engine's navigation, seeks and table opening share: loading a record as the current
// one, standing past the end, and attaching the production index. Internal to the engine.
#pragma once

#include <cstdint>

#include "platform/xbase/engine_types.h"

namespace sdx::xbase {

// Loads `record` as the current record, as the file holds it now.
int LoadRecord(DATA4* data, uint32_t record);
// Leaves the cursor past the last record: an empty record buffer numbered count + 1; kEof.
int PositionPastEnd(DATA4* data);
// How often a move through an index is made again when the record it found changed under it
// (another process rewrote it between the index lookup and the record read).
inline constexpr int kIndexMoveAttempts = 100;
// Opens the production index of a table whose header says it has one; the error code (recorded
// in the context) when it cannot.
int OpenProductionIndex(DATA4* data);

}  // namespace sdx::xbase
