// DatabaseEngine: the one engine context of the process. The server object creates it at start,
// hands its context to every table before the tables are opened, and destroys it at shutdown
// after the tables are closed.
#pragma once

#include "platform/xbase/engine_calls.h"

namespace sdx {

class DatabaseEngine {
 public:
  // Initialises the context and switches lock enforcement on: a field of a stored record may
  // only be changed while this process holds the record's lock.
  DatabaseEngine();
  ~DatabaseEngine();
  DatabaseEngine(const DatabaseEngine&) = delete;
  DatabaseEngine& operator=(const DatabaseEngine&) = delete;

  bool initialised() const { return initialised_; }
  CODE4* code_base() { return &code_base_; }

 private:
  CODE4 code_base_;
  bool initialised_ = false;
};

}  // namespace sdx
