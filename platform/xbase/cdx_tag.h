// One tag of an open CDX file and the cursors that walk it. CdxTag maintains the tag (insert
// and remove of (key, record number), refusing a second record with a key on a unique tag);
// CdxCursor walks it in tag order, descending tags backwards, and seeks. The table layer holds
// one CdxTag per tag of its production index; both borrow the CdxFile that opened them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_key.h"
#include "platform/xbase/cdx_tree.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

class CdxTag {
 public:
  CdxTag(CdxFile* file, CdxTagInfo info, CdxKeyType key_type)
      : file_(file),
        info_(std::move(info)),
        key_type_(key_type),
        tree_(file, info_.header_offset, CdxFillByte(key_type)) {}

  const CdxTagInfo& info() const { return info_; }
  const std::string& name() const { return info_.name; }
  uint32_t key_length() const { return info_.header.key_length; }
  bool descending() const { return info_.header.descending; }
  bool unique() const { return info_.header.unique(); }
  const std::string& key_expression() const { return info_.header.key_expression; }
  const std::string& for_expression() const { return info_.header.for_expression; }
  CdxKeyType key_type() const { return key_type_; }
  CdxFile* file() const { return file_; }
  CdxTree* tree() { return &tree_; }

  // A key as the tag stores it: character keys blank-padded to the key length; other keys
  // must already have it.
  Status NormalizeKey(std::string* key) const;

  // Adds (key, recno). On a unique tag a key already held by another record is refused with
  // kCdxErrorUnique and nothing changes.
  Status Insert(std::string key, uint32_t recno);
  // kCdxErrorUnique when this is a unique tag and another record holds `key`: lets a caller
  // test every tag before changing any, so that a refused change leaves all tags as they were.
  Status CheckUnique(std::string key, uint32_t recno);
  // Keeps the tag right when record `recno` changes: its key and whether its FOR holds, before
  // and after (an appended record has no before: old_in false). Nothing is done when nothing
  // that the tag sees changed; a refused new key leaves the old entry in place.
  Status Update(std::string old_key, bool old_in, std::string new_key, bool new_in, uint32_t recno);
  // Removes (key, recno); `removed` tells whether it was there.
  Status Remove(std::string key, uint32_t recno, bool* removed = nullptr);
  // Entries in the tag.
  Status Count(uint64_t* count);

 private:
  Status HeldByOther(const std::string& key, uint32_t recno);

  CdxFile* file_;
  CdxTagInfo info_;
  CdxKeyType key_type_;
  CdxTree tree_;
};

class CdxCursor {
 public:
  explicit CdxCursor(CdxTag* tag) : tag_(tag) {}

  // Moves to the first or last entry in tag order; on an empty tag the cursor is at eof.
  Status First();
  Status Last();
  // One step in tag order; past the last entry eof(), before the first bof().
  Status Next();
  Status Prev();
  // Positions on the first entry in tag order whose key, cut to the length of `key`, is not
  // before `key` (a shorter character key seeks by prefix); `exact` tells whether that
  // entry's key starts with `key`. Nothing left: eof().
  Status Seek(std::string_view key, bool* exact);
  // Positions on exactly (key, recno), used to continue a walk from a known record.
  Status SeekEntry(std::string_view key, uint32_t recno, bool* found);

  // The record number `distance` entries further in tag order (backwards for a negative
  // distance) when that entry is on the page the cursor stands on; 0 otherwise.
  uint32_t RecordAhead(int distance) const;

  bool valid() const { return state_ == State::kOn; }
  bool eof() const { return state_ == State::kEof; }
  bool bof() const { return state_ == State::kBof; }
  const std::string& key() const { return key_; }
  uint32_t recno() const { return recno_; }

 private:
  enum class State { kNone, kOn, kEof, kBof };

  Status Step(bool forward);
  Status Finish(const CdxPosition& pos, State off_state);

  CdxTag* tag_;
  State state_ = State::kNone;
  CdxPosition pos_;
  uint64_t generation_ = 0;
  std::string key_;
  uint32_t recno_ = 0;
};

}  // namespace sdx::xbase
