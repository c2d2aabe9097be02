// SPDX-License-Identifier: Apache-2.0
// Turns the bytes of one row into one value per column.
//
// A row holds, in order: its column count (1 byte in Jet 3, 2 in Jet 4), the
// fixed-length columns at their offsets, the variable-length columns, then
// from the end backwards: the null mask (one bit per column number, set when
// the value is present; Boolean columns keep their value there), the count
// of variable columns, and their offset table (16-bit in Jet 4; in Jet 3
// 8-bit, with a jump table counting the 256-byte boundaries passed) whose
// last entry marks the end of the variable data.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "bytes.h"
#include "format.h"
#include "pager.h"
#include "table_def.h"
#include "text.h"
#include "value.h"

namespace jet {

class ComplexValues;
class Database;

class RowReader {
public:
    RowReader(const Pager& pager, const Format& format, const TextCodec& codec, const TableDef& table);
    // A reader that also shows the values of complex columns, which live in
    // other tables of `db`, and reads calculated columns by the kind of
    // result their properties name; without it complex columns read as
    // Null and calculated ones by their descriptor's type.
    RowReader(const Database& db, const TableDef& table);

    // `values` gets one entry per column of the table, in the order of the table's columns.
    void decode(Bytes row, std::vector<Value>& values) const;
    // The value of column `index` of `row` alone, for readers that want a
    // few columns of many rows. Throws kErrCorrupt as decode does.
    Value decodeColumn(Bytes row, size_t index) const;

    // The stored bytes of column `index` of `row` (for a Memo or OLE column:
    // its long-value head); nothing when the value is Null.
    std::optional<Bytes> stored(Bytes row, size_t index) const;

private:
    struct Layout {
        Bytes row;
        Bytes null_mask;
        size_t column_count;
        std::vector<uint16_t> var_offsets;  // var_count + 1 entries
    };

    void crack(Bytes row, Layout& layout) const;
    void readJet3Offsets(Layout& layout, size_t var_count) const;
    static bool present(const Column& column, const Layout& layout);
    std::optional<Bytes> locate(const Column& column, const Layout& layout) const;
    Value columnValue(const Column& column, const Layout& layout) const;
    Value decodeStored(const Column& column, Bytes data) const;
    Value decodeCalculated(const Column& column, Bytes data) const;

    const Pager& pager_;
    const Format& format_;
    const TextCodec& codec_;
    const TableDef& table_;
    std::shared_ptr<const ComplexValues> complex_;
    std::vector<uint8_t> result_types_;  // per column: a calculated one's result type, 0 unknown
    mutable Layout layout_;  // reused between rows to spare allocations
};

}  // namespace jet
