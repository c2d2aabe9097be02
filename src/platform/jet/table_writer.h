// SPDX-License-Identifier: Apache-2.0
// Changes to the rows of one table: insert, update and delete, each inside
// the caller's transaction (Database::begin / commit).
//
// Invariants kept: the definition's row count is the number of live rows;
// its autonumber counter is the highest number handed out; every live row's
// long values are reachable from it and no deleted row's are. A row that no
// longer fits its slot moves: the data goes to a new slot flagged deleted
// (so scans skip it) and the old slot keeps a pointer to it, flagged moved,
// so the row's place, and what points at it, stay the same.
// An update leaves the stored Memo and OLE values it does not change where
// they are: the new row points at the same long-value rows.
//
// Enforced relationships are kept on every change (related_rows.h): the
// checks come before any page changes, the cascades after the row's own.
//
// Every index holds one entry per live row (ignore-nulls indexes none for a
// row whose key is all Null), under the row's original slot: a moved row
// keeps its entries. Keys are checked (uniqueness, Nulls) before any page
// changes. Tables with keys of a kind that cannot be encoded are refused,
// rather than leave an index that disagrees with its table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "database.h"
#include "index_writer.h"
#include "long_value_writer.h"
#include "related_rows.h"
#include "row_reader.h"

namespace jet {

// Per column, the stored head of a long value a rewritten row keeps.
using KeptLongValues = std::vector<std::optional<std::vector<uint8_t>>>;

class TableWriter {
public:
    // Throws kErrReadOnly / kErrUnsupported when the table cannot be written.
    TableWriter(Database& db, const std::string& table);

    // One value per column, in the order of the table's columns; Null in an autonumber
    // column takes the next number. Returns where the row went.
    RowId insert(std::vector<Value> values);
    void update(RowId row, const std::vector<Value>& values);
    void remove(RowId row);

    const TableDef& table() const { return table_; }
    // Whether `row` is a live row's first slot; the values of one.
    bool isLive(RowId row) const;
    std::vector<Value> valuesAt(RowId header) const;

private:
    std::vector<uint8_t> encode(const std::vector<Value>& values, const KeptLongValues& kept);
    void releaseLongValues(Bytes row, const KeptLongValues& kept);
    KeptLongValues unchangedLongValues(Bytes row, const std::vector<Value>& old_values,
                                       const std::vector<Value>& values) const;
    RowId dataOf(RowId header, uint16_t flags);
    void moveRow(RowId header, RowId data, const std::vector<uint8_t>& row);
    std::vector<uint8_t> padded(std::vector<uint8_t> row, size_t size) const;
    void adjustRowCount(int delta);
    void setAutonumber(uint32_t value);
    std::vector<std::vector<uint8_t>> keysOf(const std::vector<Value>& values) const;
    void checkKeys(const std::vector<Value>& values, const std::vector<std::vector<uint8_t>>& keys,
                   const std::vector<std::vector<uint8_t>>* old_keys) const;
    bool indexed(size_t index, const std::vector<Value>& values) const;
    IndexCache* cacheOf(size_t index) const;

    Database& db_;
    TableDef& table_;
    Pager& pager_;
    const Format& format_;
    LongValueWriter long_values_;
    RowReader reader_;
    RelatedRows related_;
    mutable std::vector<IndexCache> index_caches_;  // by real index, for runs of changes
};

}  // namespace jet
