#include "platform/xbase/cdx_tag.h"

namespace sdx::xbase {

Status CdxTag::NormalizeKey(std::string* key) const {
  if (key_type_ == CdxKeyType::kCharacter && key->size() < key_length()) {
    key->resize(key_length(), ' ');
  }
  if (key->size() != key_length()) {
    return Status::Error(kCdxErrorCorrupt, "key of " + std::to_string(key->size()) +
                                               " bytes for tag " + name() + " of " +
                                               std::to_string(key_length()));
  }
  return Status::Ok();
}

Status CdxTag::HeldByOther(const std::string& key, uint32_t recno) {
  if (!unique()) return Status::Ok();
  CdxPosition pos;
  CdxTarget target;
  target.key = key;
  Status s = tree_.Seek(target, &pos);
  if (s.ok() && pos.valid() && pos.entry().key == key && pos.entry().recno != recno) {
    s = Status::Error(kCdxErrorUnique, "duplicate key in unique tag " + name());
  }
  return s;
}

Status CdxTag::CheckUnique(std::string key, uint32_t recno) {
  Status s = NormalizeKey(&key);
  if (!s.ok() || !unique()) return s;
  return file_->Read([&] { return HeldByOther(key, recno); });
}

Status CdxTag::Insert(std::string key, uint32_t recno) {
  return Update(std::string(), false, std::move(key), true, recno);
}

Status CdxTag::Update(std::string old_key, bool old_in, std::string new_key, bool new_in,
                      uint32_t recno) {
  Status s;
  if (old_in) s = NormalizeKey(&old_key);
  if (s.ok() && new_in) s = NormalizeKey(&new_key);
  if (!s.ok() || (old_in == new_in && (!old_in || old_key == new_key))) return s;
  CdxUpdateScope update(file_);
  if (!update.status().ok()) return update.status();
  if (new_in) s = HeldByOther(new_key, recno);
  bool removed = false;
  if (s.ok() && old_in) s = tree_.Remove(old_key, recno, &removed);
  if (s.ok() && new_in) s = tree_.Insert(new_key, recno);
  Status finish = update.Finish();
  return s.ok() ? finish : s;
}

Status CdxTag::Remove(std::string key, uint32_t recno, bool* removed) {
  bool local = false;
  if (removed == nullptr) removed = &local;
  *removed = false;
  Status s = NormalizeKey(&key);
  if (!s.ok()) return s;
  CdxUpdateScope update(file_);
  if (!update.status().ok()) return update.status();
  s = tree_.Remove(key, recno, removed);
  Status finish = update.Finish();
  return s.ok() ? finish : s;
}

Status CdxTag::Count(uint64_t* count) {
  return file_->Read([&] {
    *count = 0;
    CdxPosition pos;
    Status s = tree_.First(&pos);
    while (s.ok() && pos.valid()) {
      *count += pos.leaf->entries.size();
      pos.index = pos.leaf->entries.size() - 1;
      s = tree_.Next(&pos);
    }
    return s;
  });
}

Status CdxCursor::Finish(const CdxPosition& pos, State off_state) {
  pos_ = pos;
  generation_ = tag_->file()->generation();
  if (pos.valid()) {
    state_ = State::kOn;
    key_ = pos.entry().key;
    recno_ = pos.entry().recno;
  } else {
    state_ = off_state;
  }
  return Status::Ok();
}

uint32_t CdxCursor::RecordAhead(int distance) const {
  if (state_ != State::kOn || !pos_.valid()) return 0;
  const int64_t step = tag_->descending() ? -distance : distance;
  const int64_t index = static_cast<int64_t>(pos_.index) + step;
  if (index < 0 || index >= static_cast<int64_t>(pos_.leaf->entries.size())) return 0;
  return pos_.leaf->entries[static_cast<size_t>(index)].recno;
}

Status CdxCursor::First() {
  CdxPosition pos;
  CdxTree* tree = tag_->tree();
  Status s =
      tag_->file()->Read([&] { return tag_->descending() ? tree->Last(&pos) : tree->First(&pos); });
  if (!s.ok()) return s;
  return Finish(pos, State::kEof);
}

Status CdxCursor::Last() {
  CdxPosition pos;
  CdxTree* tree = tag_->tree();
  Status s =
      tag_->file()->Read([&] { return tag_->descending() ? tree->First(&pos) : tree->Last(&pos); });
  if (!s.ok()) return s;
  return Finish(pos, State::kEof);
}

Status CdxCursor::Next() {
  if (state_ == State::kNone || state_ == State::kBof) return First();
  if (state_ == State::kEof) return Status::Ok();
  return Step(true);
}

Status CdxCursor::Prev() {
  if (state_ == State::kNone || state_ == State::kEof) return Last();
  if (state_ == State::kBof) return Status::Ok();
  return Step(false);
}

// A step from the current entry. When the file changed since the cursor last looked, the
// entry is found again by its (key, record number); if it is gone, the step lands on its
// neighbour in the direction of travel.
Status CdxCursor::Step(bool forward) {
  const bool physical_forward = forward != tag_->descending();
  CdxTree* tree = tag_->tree();
  CdxPosition pos;
  Status s = tag_->file()->Read([&] {
    pos = pos_;
    if (generation_ == tag_->file()->generation()) {
      return physical_forward ? tree->Next(&pos) : tree->Prev(&pos);
    }
    CdxTarget target;
    target.key = key_;
    target.exact_recno = true;
    target.recno = recno_;
    Status r = tree->Seek(target, &pos);
    if (!r.ok()) return r;
    const bool same = pos.valid() && pos.entry().recno == recno_ && pos.entry().key == key_;
    if (physical_forward) return same ? tree->Next(&pos) : r;
    return pos.valid() ? tree->Prev(&pos) : tree->Last(&pos);
  });
  if (!s.ok()) return s;
  return Finish(pos, forward ? State::kEof : State::kBof);
}

Status CdxCursor::Seek(std::string_view key, bool* exact) {
  *exact = false;
  key = key.substr(0, tag_->key_length());
  CdxTree* tree = tag_->tree();
  CdxPosition pos;
  Status s = tag_->file()->Read([&] {
    CdxTarget target;
    target.key = std::string(key);
    // A descending walk meets equal keys from the highest record number down, so its first
    // match is the physically last entry not above the key.
    target.after = tag_->descending();
    Status r = tree->Seek(target, &pos);
    if (!r.ok() || !tag_->descending()) return r;
    return pos.valid() ? tree->Prev(&pos) : tree->Last(&pos);
  });
  if (!s.ok()) return s;
  *exact = pos.valid() && pos.entry().key.compare(0, key.size(), key) == 0;
  return Finish(pos, State::kEof);
}

Status CdxCursor::SeekEntry(std::string_view key, uint32_t recno, bool* found) {
  *found = false;
  std::string full(key);
  Status s = tag_->NormalizeKey(&full);
  if (!s.ok()) return s;
  CdxTree* tree = tag_->tree();
  CdxPosition pos;
  s = tag_->file()->Read([&] {
    CdxTarget target;
    target.key = full;
    target.exact_recno = true;
    target.recno = recno;
    return tree->Seek(target, &pos);
  });
  if (!s.ok()) return s;
  *found = pos.valid() && pos.entry().recno == recno && pos.entry().key == full;
  return Finish(pos, State::kEof);
}

}  // namespace sdx::xbase
