#include "platform/xbase/production_index.h"

#include <stdio.h>
#include <unistd.h>

#include "platform/xbase/cdx_check.h"
#include "platform/xbase/cdx_record_key.h"
#include "platform/xbase/engine_codes.h"
#include "platform/xbase/file_names.h"

namespace sdx::xbase {

namespace {

Status CompileTag(const IndexTagSpec& def, const std::vector<FieldLayout>& fields, Expression* key,
                  Expression* filter) {
  Status s = Expression::Compile(def.key_expression, fields, key);
  if (!s.ok()) return Status::Error(s.code(), "tag " + def.name + ": " + s.message());
  if (def.for_expression.empty()) return Status::Ok();
  s = Expression::CompileFilter(def.for_expression, fields, filter);
  if (!s.ok()) return Status::Error(s.code(), "tag " + def.name + " FOR: " + s.message());
  return Status::Ok();
}

}  // namespace

Status BuildIndexTags(DbfTable* table, CdxFile* file, const std::vector<IndexTagSpec>& tags) {
  uint32_t count = 0;
  Status s = table->ReadRecordCount(&count);
  if (!s.ok()) return s;
  std::vector<uint8_t> bytes(table->record_length());
  ExprState state;
  for (const IndexTagSpec& def : tags) {
    Expression key;
    Expression filter;
    s = CompileTag(def, table->fields(), &key, &filter);
    if (!s.ok()) return s;
    CdxTagSpec cdx_spec{def.name,
                        def.key_expression,
                        def.for_expression,
                        CdxKeyLengthOf(key),
                        CdxKeyTypeOf(key.type()),
                        def.unique,
                        def.descending};
    std::vector<CdxEntry> entries;
    entries.reserve(count);
    for (uint32_t record = 1; record <= count; ++record) {
      s = table->ReadRecord(record, bytes.data());
      if (!s.ok()) return s;
      RecordView view{bytes.data(), table->record_length(), record};
      if (!def.for_expression.empty() && !filter.EvaluateLogical(view, &state)) continue;
      entries.push_back(
          CdxEntry{CdxKeyOf(key.Evaluate(view, &state), cdx_spec.key_length), record, 0});
    }
    s = file->CreateTag(cdx_spec, std::move(entries));
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

std::string ProductionIndex::PathFor(const DbfTable& table) {
  return CompanionFileName(table.path(), "cdx");
}

Status ProductionIndex::Open(DbfTable* table, std::unique_ptr<ProductionIndex>* out) {
  const std::string path = PathFor(*table);
  std::unique_ptr<CdxFile> file;
  Status s = CdxFile::Open(path, !table->read_only(), &file);
  // An index we may not write is still worth reading: the table then refuses changes.
  if (!s.ok() && !table->read_only()) s = CdxFile::Open(path, false, &file);
  if (!s.ok()) return s;
  std::unique_ptr<ProductionIndex> index(new ProductionIndex(table, std::move(file)));
  s = index->LoadTags();
  if (!s.ok()) return s;
  *out = std::move(index);
  return Status::Ok();
}

Status ProductionIndex::Create(DbfTable* table, const std::vector<IndexTagSpec>& tags,
                               std::unique_ptr<ProductionIndex>* out) {
  const std::string path = PathFor(*table);
  std::unique_ptr<CdxFile> file;
  Status s = CdxFile::Create(path, &file);
  if (!s.ok()) return s;
  s = BuildIndexTags(table, file.get(), tags);
  std::unique_ptr<ProductionIndex> index(new ProductionIndex(table, std::move(file)));
  if (s.ok()) s = index->LoadTags();
  if (!s.ok()) {
    ::unlink(path.c_str());
    return s;
  }
  *out = std::move(index);
  return Status::Ok();
}

Status ProductionIndex::LoadTags() {
  std::vector<CdxTagInfo> infos;
  Status s = file_->ListTags(&infos);
  if (!s.ok()) return s;
  std::vector<std::unique_ptr<TAG4>> loaded;
  for (CdxTagInfo& info : infos) {
    std::unique_ptr<TAG4> tag;
    for (auto& old : tags_) {
      if (old != nullptr && old->tag->name() == info.name) tag = std::move(old);
    }
    if (tag == nullptr) tag = std::make_unique<TAG4>();
    IndexTagSpec def{info.name, info.header.key_expression, info.header.for_expression};
    tag->key = Expression();
    tag->filter = Expression();
    tag->has_filter = !def.for_expression.empty();
    const bool compiled = CompileTag(def, table_->fields(), &tag->key, &tag->filter).ok();
    const CdxKeyType key_type = compiled ? CdxKeyTypeOf(tag->key.type()) : CdxKeyType::kCharacter;
    // Keys of another width than this engine makes (Visual FoxPro's 4-byte integers, a
    // character key one wider than its field) come from rules it does not know.
    tag->maintained = compiled && CdxKeyLengthOf(tag->key) == info.header.key_length;
    s = file_->OpenTag(info.name, key_type, &tag->tag);
    if (!s.ok()) return s;
    loaded.push_back(std::move(tag));
  }
  // A selected tag that is gone leaves record-number order.
  TAG4* selected = nullptr;
  for (auto& tag : loaded) {
    if (tag.get() == selected_) selected = selected_;
  }
  tags_ = std::move(loaded);
  // The tags' CdxTag handles are new: a cursor on the old ones must not survive.
  cursor_.reset();
  Select(selected);
  return Status::Ok();
}

Status ProductionIndex::Rebuild() {
  const std::vector<IndexTagSpec> specs = Specs();
  const std::string path = file_->path();
  const std::string fresh_path = path + ".new";
  ::unlink(fresh_path.c_str());
  std::unique_ptr<CdxFile> fresh;
  Status s = CdxFile::Create(fresh_path, &fresh);
  if (s.ok()) s = BuildIndexTags(table_, fresh.get(), specs);
  fresh.reset();
  if (s.ok() && ::rename(fresh_path.c_str(), path.c_str()) != 0) {
    s = Status::Error(kErrWrite, "cannot replace " + path);
  }
  if (!s.ok()) {
    ::unlink(fresh_path.c_str());
    return s;
  }
  s = CdxFile::Open(path, true, &fresh);
  if (!s.ok()) return s;
  // The old tag handles borrow the old file until LoadTags has replaced them.
  std::unique_ptr<CdxFile> old = std::move(file_);
  file_ = std::move(fresh);
  cursor_.reset();
  return LoadTags();
}

std::vector<IndexTagSpec> ProductionIndex::Specs() const {
  std::vector<IndexTagSpec> specs;
  for (const auto& tag : tags_) {
    specs.push_back(IndexTagSpec{tag->tag->name(), tag->tag->key_expression(),
                                 tag->tag->for_expression(), tag->tag->unique(),
                                 tag->tag->descending()});
  }
  return specs;
}

TAG4* ProductionIndex::FindTag(std::string_view name) const {
  std::string upper(name);
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const auto& tag : tags_) {
    if (tag->tag->name() == upper) return tag.get();
  }
  return nullptr;
}

void ProductionIndex::Select(TAG4* tag) {
  // Selecting the selected tag again keeps its cursor, which every move checks anyway.
  if (tag == selected_ && (tag == nullptr || cursor_ != nullptr)) return;
  selected_ = tag;
  cursor_ = tag != nullptr ? std::make_unique<CdxCursor>(tag->tag.get()) : nullptr;
}

void ProductionIndex::KeyOf(const TAG4& tag, uint32_t record, const uint8_t* bytes,
                            std::string* key, bool* in_tag) {
  const RecordView view{bytes, table_->record_length(), record};
  *in_tag = !tag.has_filter || tag.filter.EvaluateLogical(view, &state_);
  *key = CdxKeyOf(tag.key.Evaluate(view, &state_), tag.tag->key_length());
}

Status ProductionIndex::CheckStructure() {
  return CheckCdxFile(file_.get(), [&](const CdxTagInfo& info) {
    const TAG4* tag = FindTag(info.name);
    return tag != nullptr ? tag->tag->key_type() : CdxKeyType::kCharacter;
  });
}

Status ProductionIndex::CheckTag(const TAG4& tag, std::vector<std::string>* notes,
                                 uint64_t* entries) {
  if (!tag.maintained) {
    notes->push_back(
        "keys not compared with the records (an expression this engine does not "
        "compute as the file stores it)");
    return CheckCdxTag(tag.tag.get(), nullptr, notes, entries);
  }
  uint32_t count = 0;
  Status s = table_->ReadRecordCount(&count);
  if (!s.ok()) return s;
  std::vector<uint8_t> bytes(table_->record_length());
  auto reader = [&](uint32_t record, RecordView* view) {
    *view = RecordView{bytes.data(), table_->record_length(), record};
    return table_->ReadRecord(record, bytes.data());
  };
  CdxExpressionSource source(count, reader, &tag.key, tag.has_filter ? &tag.filter : nullptr);
  return CheckCdxTag(tag.tag.get(), &source, notes, entries);
}

Status ProductionIndex::Seek(const std::string& key, uint32_t* record, bool* equal) {
  bool exact = false;
  Status s = cursor_->Seek(key, &exact);
  if (!s.ok()) return s;
  *record = Landed(s);
  *equal = exact && cursor_->valid();
  return Status::Ok();
}

uint32_t ProductionIndex::Landed(const Status& s) {
  cursor_generation_ = file_->generation();
  return s.ok() && cursor_->valid() ? cursor_->recno() : 0;
}

Status ProductionIndex::First(uint32_t* record) {
  Status s = cursor_->First();
  *record = Landed(s);
  return s;
}

Status ProductionIndex::Last(uint32_t* record) {
  Status s = cursor_->Last();
  *record = Landed(s);
  return s;
}

Status ProductionIndex::Next(uint32_t from, const uint8_t* bytes, int direction, uint32_t* record) {
  *record = 0;
  const bool descending = selected_->tag->descending();
  bool on_entry = cursor_->valid() && cursor_->recno() == from;
  std::string key;
  bool in_tag = false;
  // Nothing written to the index since the cursor landed on `from`: its entry is the record's.
  const bool unchanged = cursor_generation_ == file_->generation();
  if (selected_->maintained && !(on_entry && unchanged)) {
    KeyOf(*selected_, from, bytes, &key, &in_tag);
    on_entry = on_entry && in_tag && key == cursor_->key();
  }
  Status s;
  if (!on_entry) {
    if (!selected_->maintained) {
      return Status::Error(kErrData, "tag " + selected_->tag->name() +
                                         " cannot be entered at a record by this engine");
    }
    bool found = false;
    s = cursor_->SeekEntry(key, from, &found);
    if (!s.ok()) return s;
    if (!found) {
      // The cursor stands where (key, from) would be, the physically next entry: that is the
      // answer when the walk goes physically forward, else one physical step back.
      if ((direction > 0) != descending && !(cursor_->valid() && cursor_->recno() == from)) {
        *record = Landed(s);
        return Status::Ok();
      }
      if (descending && cursor_->eof()) {
        s = cursor_->First();
        *record = Landed(s);
        return s;
      }
    }
  }
  s = direction > 0 ? cursor_->Next() : cursor_->Prev();
  *record = Landed(s);
  // Records in tag order lie all over the table: ask for one a few steps ahead now, so that
  // its memory is on its way by the time the walk reaches it.
  if (*record != 0)
    table_->PrefetchRecord(cursor_->RecordAhead(direction > 0 ? DbfTable::kPrefetchDistance
                                                              : -DbfTable::kPrefetchDistance));
  return s;
}

bool ProductionIndex::Current(uint32_t record, const uint8_t* bytes) {
  if (selected_ == nullptr || !selected_->maintained || !cursor_->valid()) return true;
  std::string key;
  bool in_tag = false;
  KeyOf(*selected_, record, bytes, &key, &in_tag);
  if (in_tag && cursor_->recno() == record && key == cursor_->key()) return true;
  file_->LockNextRead();
  return false;
}

Status ProductionIndex::Writable() const {
  if (!file_->writable()) return Status::Error(kErrWrite, file_->path() + " is open read-only");
  for (const auto& tag : tags_) {
    if (!tag->maintained) {
      return Status::Error(kErrData,
                           "tag " + tag->tag->name() + " has keys this engine cannot keep current");
    }
  }
  return Status::Ok();
}

Status ProductionIndex::BeginChange(uint32_t record, const uint8_t* before, const uint8_t* after) {
  Status s = Writable();
  if (!s.ok()) return s;
  s = file_->BeginUpdate();
  if (!s.ok()) return s;
  change_open_ = true;
  for (const auto& tag : tags_) {
    if (!tag->tag->unique()) continue;
    std::string new_key;
    bool new_in = false;
    KeyOf(*tag, record, after, &new_key, &new_in);
    if (!new_in) continue;
    if (before != nullptr) {
      std::string old_key;
      bool old_in = false;
      KeyOf(*tag, record, before, &old_key, &old_in);
      if (old_in && old_key == new_key) continue;
    }
    s = tag->tag->CheckUnique(new_key, record);
    if (!s.ok()) {
      CancelChange();
      return s;
    }
  }
  return Status::Ok();
}

void ProductionIndex::CancelChange() {
  if (!change_open_) return;
  change_open_ = false;
  file_->EndUpdate();
}

Status ProductionIndex::Apply(uint32_t record, const uint8_t* before, const uint8_t* after) {
  if (!change_open_) {
    Status s = BeginChange(record, before, after);
    if (!s.ok()) return s;
  }
  Status s;
  for (const auto& tag : tags_) {
    std::string old_key;
    bool old_in = false;
    if (before != nullptr) KeyOf(*tag, record, before, &old_key, &old_in);
    std::string new_key;
    bool new_in = false;
    KeyOf(*tag, record, after, &new_key, &new_in);
    s = tag->tag->Update(std::move(old_key), old_in, std::move(new_key), new_in, record);
    if (!s.ok()) break;
  }
  change_open_ = false;
  Status ended = file_->EndUpdate();
  return s.ok() ? ended : s;
}

Status ProductionIndex::RecordAppended(uint32_t record, const uint8_t* bytes) {
  return Apply(record, nullptr, bytes);
}

Status ProductionIndex::RecordChanged(uint32_t record, const uint8_t* before,
                                      const uint8_t* after) {
  return Apply(record, before, after);
}

}  // namespace sdx::xbase
