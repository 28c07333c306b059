// An open CDX compound index: its pages through a cache that is dropped whenever another
// writer changed the file, the readers' shared lock and the writer's exclusive lock on the
// index lock byte, page allocation with the free list, the change counter, and the tag
// directory. Open one CdxFile per index file per process (its locks belong to its own open
// file description); the table layer owns it, CdxTag handles and cursors borrow it, and its
// table lock guards it (a CdxFile is used by one thread at a time).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/xbase/cdx_header.h"
#include "platform/xbase/cdx_key.h"
#include "platform/xbase/cdx_page.h"
#include "platform/xbase/cdx_page_cache.h"
#include "platform/xbase/os_file.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class CdxTag;

// Where the index lock byte lies: readers lock it shared, writers exclusive.
constexpr uint64_t kCdxLockOffset = 0x7FFFFFFE;

// A tag as the directory and its header describe it.
struct CdxTagInfo {
  std::string name;  // upper case, blanks trimmed
  uint32_t header_offset = 0;
  CdxHeader header;
};

// What CreateTag needs besides the keys.
struct CdxTagSpec {
  std::string name;  // at most 10 characters; stored upper case
  std::string key_expression;
  std::string for_expression;  // empty: no FOR clause
  uint32_t key_length = 0;
  CdxKeyType key_type = CdxKeyType::kCharacter;
  bool unique = false;
  bool descending = false;
};

class CdxFile {
 public:
  ~CdxFile();
  CdxFile(const CdxFile&) = delete;
  CdxFile& operator=(const CdxFile&) = delete;

  static Status Open(const std::string& path, bool writable, std::unique_ptr<CdxFile>* file);
  // Creates a new file with an empty tag directory; an existing file is an error.
  static Status Create(const std::string& path, std::unique_ptr<CdxFile>* file);

  // Tags in creation order (header offsets ascending).
  Status ListTags(std::vector<CdxTagInfo>* tags);
  // Finds a tag by name, in any letter case. `key_type` is the type of its key expression.
  Status OpenTag(const std::string& name, CdxKeyType key_type, std::unique_ptr<CdxTag>* tag);
  // Creates (or replaces) a tag holding `entries`, built bottom up. Entries may come in any
  // order; FOR must already be applied. A unique tag keeps the lowest record number of each key.
  Status CreateTag(const CdxTagSpec& tag_def, std::vector<CdxEntry> entries);
  // Removes a tag and releases its pages; `key_type` is needed to read its leaves.
  Status DropTag(const std::string& name, CdxKeyType key_type);

  // A batch of changes under the exclusive lock: the cache is checked on entry, the change
  // counter bumped once on exit when anything was written. Nested calls join the outer batch.
  // Every writing call opens its own batch when none is open.
  Status BeginUpdate();
  Status EndUpdate();

  // Runs `op` under the shared lock with a current cache; contents that cannot be right
  // (a writer that does not lock may be halfway) are retried a few times before they count
  // as corruption. Inside an update the op runs once, under the exclusive lock.
  Status Read(const std::function<Status()>& op);
  // Makes the next Read take the lock even when the cache looks current: a caller that found
  // the index and a record disagreeing waits so for a writer halfway through its change.
  void LockNextRead() { lock_next_read_ = true; }
  // How often Read tries before giving up on impossible contents (tools reading a file known
  // to be idle use 1).
  void set_read_attempts(int attempts) { read_attempts_ = attempts < 1 ? 1 : attempts; }

  // Page access for the tree code, valid inside Read or an update.
  Status ReadPage(uint32_t offset, uint32_t key_length, uint8_t fill,
                  std::shared_ptr<const CdxPage>* page);
  Status ReadHeader(uint32_t offset, std::shared_ptr<const CdxHeader>* header);
  // Raw bytes inside the file (a free page's link), bounds-checked.
  Status ReadRaw(uint32_t offset, void* bytes, size_t size);
  Status WritePage(uint32_t offset, const CdxPage& page, uint32_t key_length, uint8_t fill);
  Status WriteHeader(uint32_t offset, const CdxHeader& header);
  Status SetRoot(uint32_t header_offset, uint32_t root);
  Status AllocatePage(uint32_t* offset);
  Status AllocateHeader(uint32_t* offset);
  Status FreePage(uint32_t offset);
  uint32_t free_list() const { return free_list_; }
  uint64_t file_size() const { return file_size_; }
  // Changes whenever cached pages may no longer be current, so cursors reposition.
  uint64_t generation() const { return generation_; }
  bool writable() const { return writable_; }
  bool updating() const { return update_depth_ > 0; }
  const std::string& path() const { return file_.path(); }

 private:
  CdxFile() = default;
  Status Refresh(bool writing);
  bool StampUnchanged() const;
  bool CacheOnlyMiss();
  void DropCache();
  Status FindTagInfo(const std::string& name, CdxTagInfo* info, bool* found);

  OsFile file_;
  bool writable_ = false;
  int read_attempts_ = 5;
  int update_depth_ = 0;
  bool dirty_ = false;
  uint64_t file_size_ = 0;
  uint32_t free_list_ = 0;
  uint64_t generation_ = 0;
  std::array<uint8_t, 8> stamp_{};  // header bytes 4-11: free list and change counter
  bool stamp_valid_ = false;
  // Set while an op runs on the cache alone; a page it needs from the file sets
  // cache_missed_ and the op is run again under the lock.
  bool cache_only_ = false;
  bool cache_missed_ = false;
  bool lock_next_read_ = false;
  // Decoded pages kept: about 50 MB with short keys, enough for the leaves of the tags a
  // server seeks in at random on a table of a million rows.
  CdxPageCache pages_{16384};
  std::unordered_map<uint32_t, std::shared_ptr<const CdxHeader>> headers_;
};

}  // namespace sdx::xbase

namespace sdx::xbase {

// Holds one update batch of a CdxFile open for its scope: Finish() closes it and reports how
// closing went; a scope left early (an error path) closes it anyway.
class CdxUpdateScope {
 public:
  explicit CdxUpdateScope(CdxFile* file) : file_(file), status_(file->BeginUpdate()) {}
  ~CdxUpdateScope() { Finish(); }
  CdxUpdateScope(const CdxUpdateScope&) = delete;
  CdxUpdateScope& operator=(const CdxUpdateScope&) = delete;

  const Status& status() const { return status_; }
  Status Finish() {
    if (!open()) return Status::Ok();
    finished_ = true;
    return file_->EndUpdate();
  }

 private:
  bool open() const { return status_.ok() && !finished_; }

  CdxFile* file_;
  Status status_;
  bool finished_ = false;
};

}  // namespace sdx::xbase
