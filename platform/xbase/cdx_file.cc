#include "platform/xbase/cdx_file.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/cdx_tree.h"

namespace sdx::xbase {
namespace {

constexpr uint32_t kDirectoryKeyLength = 10;

Status Corrupt(const std::string& what) {
  return Status::Error(kCdxErrorCorrupt, "index file: " + what);
}

uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool FreeListEmpty(uint32_t head) { return head == 0 || head == kCdxNoPage; }

std::string TrimUpper(std::string_view name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

CdxFile::~CdxFile() {
  if (update_depth_ > 0) {
    update_depth_ = 1;
    EndUpdate();
  }
}

Status CdxFile::Open(const std::string& path, bool writable, std::unique_ptr<CdxFile>* file) {
  std::unique_ptr<CdxFile> f(new CdxFile());
  Status s = f->file_.Open(path, writable ? OsFile::Mode::kReadWrite : OsFile::Mode::kReadOnly);
  if (!s.ok()) return s;
  f->writable_ = writable;
  s = f->Read([&] {
    std::shared_ptr<const CdxHeader> header;
    Status r = f->ReadHeader(0, &header);
    if (r.ok() && header->key_length != kDirectoryKeyLength) {
      r = Corrupt("the tag directory's key length is not 10");
    }
    return r;
  });
  if (!s.ok()) return s;
  *file = std::move(f);
  return Status::Ok();
}

Status CdxFile::Create(const std::string& path, std::unique_ptr<CdxFile>* file) {
  OsFile out;
  Status s = out.Open(path, OsFile::Mode::kCreateNew);
  if (!s.ok()) return s;
  uint8_t bytes[kCdxHeaderSize + kCdxPageSize];
  CdxHeader header;
  header.root = kCdxHeaderSize;
  header.key_length = kDirectoryKeyLength;
  header.options = kCdxOptionStructural | kCdxOptionCompound | kCdxOptionCompact;
  s = EncodeCdxHeader(header, bytes);
  CdxPage directory;
  directory.attributes = kCdxAttrRoot | kCdxAttrLeaf;
  if (s.ok()) s = EncodeCdxPage(directory, kDirectoryKeyLength, ' ', bytes + kCdxHeaderSize);
  if (s.ok()) s = out.WriteAt(0, bytes, sizeof bytes);
  out.Close();
  if (!s.ok()) return s;
  return Open(path, true, file);
}

// The file's size is asked again only when the stamp changed (every writer that adds pages
// bumps the counter) or for a writer, which allocates at the end: a read of a page past a
// stale end fails as impossible contents and the retry asks again.
Status CdxFile::Refresh(bool writing) {
  uint8_t head[16];
  if (!file_.ReadAt(0, head, sizeof head).ok()) return Corrupt("shorter than its header");
  const bool changed = !stamp_valid_ || std::memcmp(stamp_.data(), head + 4, stamp_.size()) != 0;
  if (changed || writing) {
    Status s = file_.Size(&file_size_);
    if (!s.ok()) return s;
    if (file_size_ < kCdxHeaderSize + kCdxPageSize) return Corrupt("shorter than its header");
  }
  if (changed) {
    DropCache();
    std::memcpy(stamp_.data(), head + 4, stamp_.size());
    stamp_valid_ = true;
  }
  free_list_ = Get32(head + 4);
  return Status::Ok();
}

void CdxFile::DropCache() {
  pages_.Clear();
  headers_.clear();
  ++generation_;
}

// A writer bumps the counter only after writing its pages, and the cached pages were read
// under the lock while the counter held this value, so while it holds it they are still a
// consistent picture of the file. A torn load of the stamp either matches (as if loaded just
// before the write) or differs and sends the read the locked way.
bool CdxFile::StampUnchanged() const {
  if (!stamp_valid_) return false;
  std::array<uint8_t, 8> now;
  return file_.ReadAt(4, now.data(), now.size()).ok() && now == stamp_;
}

bool CdxFile::CacheOnlyMiss() {
  if (!cache_only_) return false;
  cache_missed_ = true;
  return true;
}

Status CdxFile::Read(const std::function<Status()>& op) {
  // Inside an update, or nested in a read that runs on the cache (whose misses it reports).
  if (update_depth_ > 0 || cache_only_) return op();
  Status s;
  const bool lock = lock_next_read_;
  lock_next_read_ = false;
  if (!lock && StampUnchanged()) {
    cache_only_ = true;
    cache_missed_ = false;
    s = op();
    cache_only_ = false;
    if (!cache_missed_) return s;
  }
  // A read that met impossible contents is tried again after a short, growing pause, so that
  // a writer that does not lock can finish what it was writing.
  for (int attempt = 0; attempt < read_attempts_; ++attempt) {
    if (attempt > 0) {
      DropCache();
      stamp_valid_ = false;
      std::this_thread::sleep_for(std::chrono::milliseconds(attempt));
    }
    s = file_.Lock(kCdxLockOffset, 1, false);
    if (!s.ok()) return s;
    s = Refresh(false);
    if (s.ok()) s = op();
    file_.Unlock(kCdxLockOffset, 1);
    if (s.code() != kCdxErrorCorrupt) return s;
  }
  return s;
}

Status CdxFile::BeginUpdate() {
  if (!writable_) return Status::Error(kCdxErrorCorrupt, "index opened read-only");
  if (update_depth_++ > 0) return Status::Ok();
  Status s = file_.Lock(kCdxLockOffset, 1, true);
  if (!s.ok()) {
    update_depth_ = 0;
    return s;
  }
  s = Refresh(true);
  if (!s.ok()) {
    file_.Unlock(kCdxLockOffset, 1);
    update_depth_ = 0;
    return s;
  }
  dirty_ = false;
  return Status::Ok();
}

Status CdxFile::EndUpdate() {
  if (update_depth_ == 0 || --update_depth_ > 0) return Status::Ok();
  Status s;
  if (dirty_) {
    uint32_t counter = (uint32_t{stamp_[4]} << 24) | (uint32_t{stamp_[5]} << 16) |
                       (uint32_t{stamp_[6]} << 8) | stamp_[7];
    ++counter;
    Put32(stamp_.data(), FreeListEmpty(free_list_) ? 0 : free_list_);
    for (int i = 0; i < 4; ++i) stamp_[4 + i] = static_cast<uint8_t>(counter >> (24 - 8 * i));
    s = file_.WriteAt(4, stamp_.data(), stamp_.size());
    headers_.erase(0);
    ++generation_;
    dirty_ = false;
  }
  file_.Unlock(kCdxLockOffset, 1);
  return s;
}

Status CdxFile::ReadPage(uint32_t offset, uint32_t key_length, uint8_t fill,
                         std::shared_ptr<const CdxPage>* page) {
  if (const auto* cached = pages_.Find(offset)) {
    *page = *cached;
    return Status::Ok();
  }
  if (CacheOnlyMiss()) return Corrupt("page not cached");
  if (offset % kCdxPageSize != 0 || offset < kCdxHeaderSize ||
      uint64_t{offset} + kCdxPageSize > file_size_) {
    return Corrupt("page offset outside the file");
  }
  uint8_t bytes[kCdxPageSize];
  Status s = file_.ReadAt(offset, bytes, sizeof bytes);
  if (!s.ok()) return Corrupt("page beyond the end of the file");
  auto decoded = std::make_shared<CdxPage>();
  s = DecodeCdxPage(bytes, key_length, fill, file_size_, decoded.get());
  if (!s.ok()) return Status::Error(s.code(), s.message() + " at " + std::to_string(offset));
  pages_.Put(offset, decoded);
  *page = std::move(decoded);
  return Status::Ok();
}

Status CdxFile::ReadHeader(uint32_t offset, std::shared_ptr<const CdxHeader>* header) {
  auto it = headers_.find(offset);
  if (it != headers_.end()) {
    *header = it->second;
    return Status::Ok();
  }
  if (CacheOnlyMiss()) return Corrupt("tag header not cached");
  if (offset % kCdxPageSize != 0 || uint64_t{offset} + kCdxHeaderSize > file_size_) {
    return Corrupt("tag header outside the file");
  }
  uint8_t bytes[kCdxHeaderSize];
  Status s = file_.ReadAt(offset, bytes, sizeof bytes);
  if (!s.ok()) return Corrupt("tag header beyond the end of the file");
  auto parsed = std::make_shared<CdxHeader>();
  s = ParseCdxHeader(bytes, file_size_, parsed.get());
  if (!s.ok()) return Status::Error(s.code(), s.message() + " at " + std::to_string(offset));
  headers_[offset] = parsed;
  *header = std::move(parsed);
  return Status::Ok();
}

Status CdxFile::ReadRaw(uint32_t offset, void* bytes, size_t size) {
  if (CacheOnlyMiss()) return Corrupt("raw bytes are never cached");
  if (uint64_t{offset} + size > file_size_) return Corrupt("read beyond the end of the file");
  return file_.ReadAt(offset, bytes, size);
}

Status CdxFile::WritePage(uint32_t offset, const CdxPage& page, uint32_t key_length, uint8_t fill) {
  if (update_depth_ == 0) return Corrupt("page written outside an update");
  uint8_t bytes[kCdxPageSize];
  Status s = EncodeCdxPage(page, key_length, fill, bytes);
  if (s.ok()) s = file_.WriteAt(offset, bytes, sizeof bytes);
  if (!s.ok()) return s;
  file_size_ = std::max<uint64_t>(file_size_, uint64_t{offset} + kCdxPageSize);
  pages_.Put(offset, std::make_shared<CdxPage>(page));
  dirty_ = true;
  ++generation_;
  return Status::Ok();
}

Status CdxFile::WriteHeader(uint32_t offset, const CdxHeader& header) {
  if (update_depth_ == 0) return Corrupt("header written outside an update");
  uint8_t bytes[kCdxHeaderSize];
  Status s = EncodeCdxHeader(header, bytes);
  if (s.ok()) s = file_.WriteAt(offset, bytes, sizeof bytes);
  if (!s.ok()) return s;
  file_size_ = std::max<uint64_t>(file_size_, uint64_t{offset} + kCdxHeaderSize);
  headers_[offset] = std::make_shared<CdxHeader>(header);
  dirty_ = true;
  return Status::Ok();
}

Status CdxFile::SetRoot(uint32_t header_offset, uint32_t root) {
  std::shared_ptr<const CdxHeader> header;
  Status s = ReadHeader(header_offset, &header);
  if (!s.ok()) return s;
  uint8_t bytes[4];
  Put32(bytes, root);
  s = file_.WriteAt(header_offset, bytes, sizeof bytes);
  if (!s.ok()) return s;
  auto changed = std::make_shared<CdxHeader>(*header);
  changed->root = root;
  headers_[header_offset] = changed;
  dirty_ = true;
  ++generation_;
  return Status::Ok();
}

Status CdxFile::AllocatePage(uint32_t* offset) {
  if (update_depth_ == 0) return Corrupt("page allocated outside an update");
  if (!FreeListEmpty(free_list_)) {
    if (free_list_ % kCdxPageSize != 0 || free_list_ < kCdxHeaderSize ||
        uint64_t{free_list_} + kCdxPageSize > file_size_) {
      return Corrupt("free list points outside the file");
    }
    uint8_t link[4];
    Status s = file_.ReadAt(free_list_, link, sizeof link);
    if (!s.ok()) return s;
    *offset = free_list_;
    free_list_ = Get32(link);
    pages_.Erase(*offset);
    dirty_ = true;
    return Status::Ok();
  }
  const uint64_t end = (file_size_ + kCdxPageSize - 1) / kCdxPageSize * kCdxPageSize;
  if (end + kCdxPageSize > kCdxLockOffset) return Corrupt("index file full");
  const uint8_t zeros[kCdxPageSize] = {};
  Status s = file_.WriteAt(end, zeros, sizeof zeros);
  if (!s.ok()) return s;
  file_size_ = end + kCdxPageSize;
  *offset = static_cast<uint32_t>(end);
  dirty_ = true;
  return Status::Ok();
}

// Tag headers take two adjacent pages, so they always come from the end of the file.
Status CdxFile::AllocateHeader(uint32_t* offset) {
  if (update_depth_ == 0) return Corrupt("header allocated outside an update");
  const uint64_t end = (file_size_ + kCdxPageSize - 1) / kCdxPageSize * kCdxPageSize;
  if (end + kCdxHeaderSize > kCdxLockOffset) return Corrupt("index file full");
  const uint8_t zeros[kCdxHeaderSize] = {};
  Status s = file_.WriteAt(end, zeros, sizeof zeros);
  if (!s.ok()) return s;
  file_size_ = end + kCdxHeaderSize;
  *offset = static_cast<uint32_t>(end);
  dirty_ = true;
  return Status::Ok();
}

// Freed pages are chained through their first four bytes, the rest zeroed, as the other
// writers that reuse pages do.
Status CdxFile::FreePage(uint32_t offset) {
  if (update_depth_ == 0) return Corrupt("page freed outside an update");
  uint8_t bytes[kCdxPageSize] = {};
  Put32(bytes, FreeListEmpty(free_list_) ? 0 : free_list_);
  Status s = file_.WriteAt(offset, bytes, sizeof bytes);
  if (!s.ok()) return s;
  free_list_ = offset;
  pages_.Erase(offset);
  headers_.erase(offset);
  dirty_ = true;
  ++generation_;
  return Status::Ok();
}

Status CdxFile::ListTags(std::vector<CdxTagInfo>* tags) {
  return Read([&] {
    tags->clear();
    CdxTree directory(this, 0, ' ');
    CdxPosition pos;
    Status s = directory.First(&pos);
    for (; s.ok() && pos.valid(); s = directory.Next(&pos)) {
      CdxTagInfo info;
      info.name = TrimUpper(pos.entry().key);
      info.header_offset = pos.entry().recno;
      std::shared_ptr<const CdxHeader> header;
      s = ReadHeader(info.header_offset, &header);
      if (!s.ok()) return s;
      info.header = *header;
      tags->push_back(std::move(info));
    }
    std::sort(tags->begin(), tags->end(), [](const CdxTagInfo& a, const CdxTagInfo& b) {
      return a.header_offset < b.header_offset;
    });
    return s;
  });
}

Status CdxFile::FindTagInfo(const std::string& name, CdxTagInfo* info, bool* found) {
  std::vector<CdxTagInfo> tags;
  *found = false;
  Status s = ListTags(&tags);
  if (!s.ok()) return s;
  const std::string wanted = TrimUpper(name);
  for (CdxTagInfo& tag : tags) {
    if (tag.name == wanted) {
      *info = std::move(tag);
      *found = true;
      break;
    }
  }
  return Status::Ok();
}

Status CdxFile::OpenTag(const std::string& name, CdxKeyType key_type,
                        std::unique_ptr<CdxTag>* tag) {
  CdxTagInfo info;
  bool found = false;
  Status s = FindTagInfo(name, &info, &found);
  if (!s.ok()) return s;
  if (!found) return Status::Error(kCdxErrorTagName, "no tag " + name + " in " + path());
  if (!info.header.collation.empty()) {
    return Status::Error(kCdxErrorCorrupt, "tag " + name + " uses collation " +
                                               info.header.collation + "; rebuild it");
  }
  *tag = std::make_unique<CdxTag>(this, std::move(info), key_type);
  return Status::Ok();
}

Status CdxFile::CreateTag(const CdxTagSpec& tag_def, std::vector<CdxEntry> entries) {
  const std::string name = TrimUpper(tag_def.name);
  if (name.empty() || name.size() > kDirectoryKeyLength ||
      !std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
      })) {
    return Status::Error(kCdxErrorTagName, "bad tag name '" + tag_def.name + "'");
  }
  if (tag_def.key_length < 1 || tag_def.key_length > kCdxMaxKeyLength) {
    return Status::Error(kCdxErrorCorrupt, "key length of tag " + name + " out of range");
  }
  for (const CdxEntry& e : entries) {
    if (e.key.size() != tag_def.key_length) {
      return Status::Error(kCdxErrorCorrupt, "key length differs from the tag's");
    }
  }
  CdxTree::SortForBuild(tag_def.key_length, tag_def.unique, &entries);

  CdxUpdateScope update(this);
  if (!update.status().ok()) return update.status();
  CdxTagInfo old;
  bool found = false;
  Status s = FindTagInfo(name, &old, &found);
  if (s.ok() && found) s = DropTag(name, tag_def.key_type);
  CdxHeader header;
  header.key_length = tag_def.key_length;
  header.options = kCdxOptionCompact | kCdxOptionCompound |
                   (tag_def.unique ? kCdxOptionUnique : 0) |
                   (tag_def.for_expression.empty() ? 0 : kCdxOptionFor);
  header.descending = tag_def.descending;
  header.key_expression = tag_def.key_expression;
  header.for_expression = tag_def.for_expression;
  uint32_t header_offset = 0;
  if (s.ok()) s = AllocateHeader(&header_offset);
  // The tree's pages that lie one after another reach the file in large writes. Pages taken
  // from the end of the file are not zeroed first: the batch that holds them follows before
  // anything reads them.
  constexpr size_t kBatchBytes = 1 << 20;
  std::vector<uint8_t> batch;
  uint32_t batch_start = 0;
  auto flush = [&] {
    Status w = file_.WriteAt(batch_start, batch.data(), batch.size());
    batch.clear();
    return w;
  };
  CdxPageSink sink;
  sink.allocate = [&](uint32_t* offset) {
    if (!FreeListEmpty(free_list_)) return AllocatePage(offset);
    const uint64_t end = (file_size_ + kCdxPageSize - 1) / kCdxPageSize * kCdxPageSize;
    if (end + kCdxPageSize > kCdxLockOffset) return Corrupt("index file full");
    file_size_ = end + kCdxPageSize;
    *offset = static_cast<uint32_t>(end);
    return Status::Ok();
  };
  sink.write = [&](uint32_t offset, const uint8_t* bytes) {
    Status w;
    if (!batch.empty() && (offset != batch_start + batch.size() || batch.size() >= kBatchBytes)) {
      w = flush();
    }
    if (batch.empty()) batch_start = offset;
    batch.insert(batch.end(), bytes, bytes + kCdxPageSize);
    return w;
  };
  if (s.ok()) {
    s = CdxTree::Build(sink, tag_def.key_length, CdxFillByte(tag_def.key_type), entries,
                       &header.root);
  }
  if (s.ok() && !batch.empty()) s = flush();
  dirty_ = true;
  ++generation_;
  if (s.ok()) s = WriteHeader(header_offset, header);
  if (s.ok()) {
    CdxTree directory(this, 0, ' ');
    s = directory.Insert(CdxCharacterKey(name, kDirectoryKeyLength), header_offset);
  }
  Status finish = update.Finish();
  return s.ok() ? finish : s;
}

Status CdxFile::DropTag(const std::string& name, CdxKeyType key_type) {
  CdxUpdateScope update(this);
  if (!update.status().ok()) return update.status();
  CdxTagInfo info;
  bool found = false;
  Status s = FindTagInfo(name, &info, &found);
  if (s.ok() && !found) s = Status::Error(kCdxErrorTagName, "no tag " + name + " in " + path());
  std::vector<uint32_t> pages;
  if (s.ok()) s = CdxTree(this, info.header_offset, CdxFillByte(key_type)).CollectPages(&pages);
  bool removed = false;
  if (s.ok()) {
    CdxTree directory(this, 0, ' ');
    s = directory.Remove(CdxCharacterKey(info.name, kDirectoryKeyLength), info.header_offset,
                         &removed);
  }
  pages.push_back(info.header_offset);
  pages.push_back(info.header_offset + kCdxPageSize);
  for (size_t i = 0; s.ok() && i < pages.size(); ++i) s = FreePage(pages[i]);
  Status finish = update.Finish();
  return s.ok() ? finish : s;
}

}  // namespace sdx::xbase
