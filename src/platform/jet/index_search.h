// SPDX-License-Identifier: Apache-2.0
// Finding rows through an index, for lookups on a key: the rows whose
// leading key columns equal given values, and the rows within a range of
// keys, both in key order (then row pointer). Reads down the index's B-tree
// to the first leaf that can hold a match and along the leaves from there;
// the table's rows are not read.
//
// Values are given in key-column order (RealIndex::columns), one per
// leading key column used: fewer than the index has make a prefix lookup.
// Text keys follow the same encoding rules as index upkeep; a value of a
// kind that cannot be encoded throws kErrUnsupported.
#pragma once

#include <optional>
#include <vector>

#include "data_page.h"
#include "format.h"
#include "pager.h"
#include "table_def.h"
#include "value.h"

namespace jet {

// Rows whose first values.size() key columns equal `values`.
std::vector<RowId> findRows(const Pager& pager, const Format& format, const TableDef& table, const RealIndex& index,
                            const std::vector<Value>& values);

// One end of a range: the leading key columns' values and whether keys
// equal to them are inside.
struct KeyBound {
    std::vector<Value> values;
    bool inclusive = true;
};

// Rows whose key lies between `low` and `high` (either may be absent: no
// limit that side), compared on the bound's leading key columns.
std::vector<RowId> scanRange(const Pager& pager, const Format& format, const TableDef& table, const RealIndex& index,
                             const std::optional<KeyBound>& low, const std::optional<KeyBound>& high);

// Rows whose key starts with the bytes `prefix`, in key order.
std::vector<RowId> scanKeyPrefix(const Pager& pager, const Format& format, const RealIndex& index,
                                 const std::vector<uint8_t>& prefix);

}  // namespace jet
