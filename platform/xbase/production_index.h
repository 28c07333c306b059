// A table's production index: the "<base>.cdx" opened with its table, every tag's key and FOR
// expression compiled against the table's fields, the selected order and its cursor. It keeps
// every tag current on each append and change (refusing a duplicate unique key before anything
// is written) and rebuilds all tags in bulk. Owned by the DATA4 of its table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/dbf_table.h"
#include "platform/xbase/expr_expression.h"
#include "platform/xbase/table_index.h"

// One tag of an open production index with its compiled expressions. `maintained` is false
// when this engine cannot compute the tag's keys as the file stores them (an expression it does
// not know, or a binary key of another width): such a tag can be walked but blocks writing.
struct TAG4 {
  std::unique_ptr<sdx::xbase::CdxTag> tag;
  sdx::xbase::Expression key;
  sdx::xbase::Expression filter;
  bool has_filter = false;
  bool maintained = false;
};

namespace sdx::xbase {

// A tag to create: as the table-creation layer lists it.
struct IndexTagSpec {
  std::string name;
  std::string key_expression;
  std::string for_expression;  // empty: every record
  bool unique = false;
  bool descending = false;
};

class ProductionIndex : public TableIndex {
 public:
  // Opens the production index of `table` (the table's base name with ".cdx", exact name or a
  // case-insensitive match); writable unless the table is read-only or the file is not.
  static Status Open(DbfTable* table, std::unique_ptr<ProductionIndex>* out);
  // Creates the production index of `table` with `tags`, built in bulk from the table's rows;
  // an existing index file is an error.
  static Status Create(DbfTable* table, const std::vector<IndexTagSpec>& tags,
                       std::unique_ptr<ProductionIndex>* out);
  // The index file of `table`, whether or not it exists.
  static std::string PathFor(const DbfTable& table);

  // Rebuilds every tag from the table's rows into a new file that then replaces the old one.
  // For a table no other process has open.
  Status Rebuild();

  const std::vector<std::unique_ptr<TAG4>>& tags() const { return tags_; }
  TAG4* FindTag(std::string_view name) const;
  void Select(TAG4* tag);
  TAG4* selected() const { return selected_; }
  CdxFile* file() const { return file_.get(); }
  std::vector<IndexTagSpec> Specs() const;

  // The key of a record's bytes in `tag` and whether its FOR holds.
  void KeyOf(const TAG4& tag, uint32_t record, const uint8_t* bytes, std::string* key,
             bool* in_tag);
  // Seeks `key` (full key length) in the selected order: the record of the first entry not
  // before it in that order (0 past the end) and whether its key equals `key`.
  Status Seek(const std::string& key, uint32_t* record, bool* equal);
  // The file's directory, trees and free list.
  Status CheckStructure();
  // One tag's tree and, when this engine computes its keys, its entries against the table's
  // records (every record whose FOR holds once with its key, no other). States other writers
  // leave that are no fault go to `notes`.
  Status CheckTag(const TAG4& tag, std::vector<std::string>* notes, uint64_t* entries);

  // The key of the entry the selected order's cursor stands on.
  const std::string& cursor_key() const { return cursor_->key(); }

  bool HasSelectedOrder() const override { return selected_ != nullptr; }
  Status First(uint32_t* record) override;
  Status Last(uint32_t* record) override;
  Status Next(uint32_t from, const uint8_t* bytes, int direction, uint32_t* record) override;
  bool Current(uint32_t record, const uint8_t* bytes) override;
  Status BeginChange(uint32_t record, const uint8_t* before, const uint8_t* after) override;
  void CancelChange() override;
  Status RecordAppended(uint32_t record, const uint8_t* bytes) override;
  Status RecordChanged(uint32_t record, const uint8_t* before, const uint8_t* after) override;

 private:
  ProductionIndex(DbfTable* table, std::unique_ptr<CdxFile> file)
      : table_(table), file_(std::move(file)) {}
  // Reads the tag directory and compiles each tag; existing TAG4 handles are kept by name.
  Status LoadTags();
  Status Apply(uint32_t record, const uint8_t* before, const uint8_t* after);
  Status Writable() const;
  // Notes the file's generation the cursor moved in and answers its record (0 off the ends).
  uint32_t Landed(const Status& s);

  DbfTable* table_;
  std::unique_ptr<CdxFile> file_;
  std::vector<std::unique_ptr<TAG4>> tags_;
  TAG4* selected_ = nullptr;
  std::unique_ptr<CdxCursor> cursor_;
  uint64_t cursor_generation_ = UINT64_MAX;
  ExprState state_;
  bool change_open_ = false;
};

// Fills the tags of a new index file from the rows of `table`, one pass over the rows per tag.
Status BuildIndexTags(DbfTable* table, CdxFile* file, const std::vector<IndexTagSpec>& tags);

}  // namespace sdx::xbase
