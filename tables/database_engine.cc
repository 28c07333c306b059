#include "tables/database_engine.h"

namespace sdx {

DatabaseEngine::DatabaseEngine() {
  initialised_ =
      code4initLow(&code_base_, nullptr, kCode4InterfaceVersion, kCode4StructSize, 0) == r4success;
  if (initialised_) code4lockEnforceSet(&code_base_, 1);
}

DatabaseEngine::~DatabaseEngine() {
  if (initialised_ && code4initUndo(&code_base_) == r4success) initialised_ = false;
}

}  // namespace sdx
