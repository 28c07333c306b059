// The index integrity checker: page structure, key order, interior keys against their
// subtrees, sibling links on every level, entry counts, the free list, and (given a way to
// compute each record's key) that every record is in each tag exactly as its key and FOR
// say. Used by the `xbase` tool, the tests, and the table layer before it trusts an index.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/xbase/cdx_file.h"
#include "platform/xbase/cdx_tag.h"
#include "platform/xbase/status.h"

namespace sdx::xbase {

// The records an index is checked against, supplied by the table layer.
class CdxRecordSource {
 public:
  virtual ~CdxRecordSource() = default;
  virtual uint32_t RecordCount() const = 0;
  // The tag's key for record `recno` (full key length) and whether its FOR holds.
  virtual Status KeyFor(const CdxTag& tag, uint32_t recno, std::string* key,
                        bool* in_tag) const = 0;
};

// Checks one tag's tree; with a `source`, its entries against the records too. A problem is a
// kCdxErrorCorrupt status saying where and what; states that other writers leave behind and
// that are no fault (a unique key whose owner left the tag while a duplicate stays out) go to
// `notes`. `entries` (optional) receives the number of entries.
Status CheckCdxTag(CdxTag* tag, const CdxRecordSource* source, std::vector<std::string>* notes,
                   uint64_t* entries = nullptr);

// Checks the directory, every tag's tree and the free list, and that no page is used twice.
// `key_type` gives the type of each tag's key expression.
Status CheckCdxFile(CdxFile* file, const std::function<CdxKeyType(const CdxTagInfo&)>& key_type);

}  // namespace sdx::xbase
