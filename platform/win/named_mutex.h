// A named mutex shared between processes, the platform's CreateMutex without ownership: the
// frame makes "Global\\CorvaneSoftware-SdxRemote.dll" so that other programs can see that the
// extension has been loaded. Only the object's existence counts; nobody locks it.
#pragma once

#include <string_view>

#include "platform/win/shared_object.h"

namespace sdx::win {

class NamedMutex {
 public:
  // Creates the mutex or opens the existing one of that name. Returns 0 or an errno value.
  int CreateOrOpen(std::string_view name, ObjectSecurity security);
  // Opens an existing mutex; ENOENT when there is none.
  int Open(std::string_view name);

  bool is_open() const { return object_.is_open(); }
  // True when the last CreateOrOpen made the mutex rather than finding it.
  bool created() const { return created_; }

 private:
  SharedObject object_;
  bool created_ = false;
};

}  // namespace sdx::win
