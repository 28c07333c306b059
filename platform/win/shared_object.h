// A named kernel object of this machine: a POSIX shared-memory object that processes create or
// open by name and map, the Linux home of the platform's "Global\\Name" objects. Owns the
// mapping; NamedEvent and NamedMutex keep their process-shared state in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sdx::win {

// What lives in an object; a name holds one kind only, as on the platform.
enum class ObjectKind : uint32_t { kEvent = 1, kMutex = 2 };

// kDefault: the creator's account only. kOpen: every account may use the object (the
// platform's null access list), which the paging server under its own account relies on.
enum class ObjectSecurity { kDefault, kOpen };

// The shared-memory name of a platform object name: "Global\\" or "Local\\" dropped, every
// character but letters, digits, '.', '-' and '_' replaced by '_', and a leading '/'. Empty when
// the name cannot be one (empty, or too long).
std::string SharedObjectPath(std::string_view name);

class SharedObject {
 public:
  // Fills the state of an object that nobody has initialised yet.
  using Initialiser = std::function<int(void* state)>;

  // Opens the object of that name, or creates it and runs `init` on its state when there is
  // none. Of several processes that race for one name, exactly one initialises it; the others
  // wait for it and find the state it made. `*created` tells whether this call initialised it.
  // Returns 0 or an errno value (EEXIST: the name holds an object of another kind or size).
  static int CreateOrOpen(std::string_view name, ObjectKind kind, size_t state_size,
                          ObjectSecurity security, const Initialiser& init, SharedObject* object,
                          bool* created);
  // Opens an existing, initialised object; ENOENT when there is none.
  static int Open(std::string_view name, ObjectKind kind, size_t state_size, SharedObject* object);
  // Removes the name; processes that have the object open keep using it.
  static int Remove(std::string_view name);

  SharedObject() = default;
  ~SharedObject();
  SharedObject(SharedObject&& other) noexcept;
  SharedObject& operator=(SharedObject&& other) noexcept;
  SharedObject(const SharedObject&) = delete;
  SharedObject& operator=(const SharedObject&) = delete;

  bool is_open() const { return mapping_ != nullptr; }
  // The object's state, shared with every process that has it open; null when not open.
  void* state() const;

 private:
  void Unmap();

  void* mapping_ = nullptr;
  size_t size_ = 0;
};

}  // namespace sdx::win
