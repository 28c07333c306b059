#include "platform/win/named_mutex.h"

#include <utility>

namespace sdx::win {

int NamedMutex::CreateOrOpen(std::string_view name, ObjectSecurity security) {
  SharedObject object;
  bool created = false;
  const int rc = SharedObject::CreateOrOpen(
      name, ObjectKind::kMutex, 0, security, [](void*) { return 0; }, &object, &created);
  if (rc == 0) {
    object_ = std::move(object);
    created_ = created;
  }
  return rc;
}

int NamedMutex::Open(std::string_view name) {
  SharedObject object;
  const int rc = SharedObject::Open(name, ObjectKind::kMutex, 0, &object);
  if (rc == 0) {
    object_ = std::move(object);
    created_ = false;
  }
  return rc;
}

}  // namespace sdx::win
