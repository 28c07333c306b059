// RecordNumberList: engine record numbers (1-based; 0 names no record) that a query collects and
// a page then reads one by one. Every query that fills one empties it first.
#pragma once

#include <cstdint>
#include <vector>

namespace sdx {

using RecordNumberList = std::vector<int32_t>;

}  // namespace sdx
