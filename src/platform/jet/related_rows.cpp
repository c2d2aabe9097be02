// SPDX-License-Identifier: Apache-2.0
#include "related_rows.h"

#include <algorithm>

#include "index_key.h"
#include "index_search.h"
#include "table_writer.h"

namespace jet {

namespace {

std::vector<Value> picked(const std::vector<Value>& values, const std::vector<size_t>& columns) {
    std::vector<Value> out;
    for (size_t c : columns) out.push_back(values[c]);
    return out;
}

bool allSet(const std::vector<Value>& values) {
    return std::none_of(values.begin(), values.end(), [](const Value& v) { return v.isNull(); });
}

// An index of `columns` alone, to compare values as a key would.
RealIndex indexOver(const TableDef& table, const std::vector<size_t>& columns) {
    RealIndex index;
    for (size_t c : columns) index.columns.push_back({table.columns[c].number, true});
    return index;
}

// The live rows of `table` whose `columns` hold `values` (all set).
std::vector<RowId> rowsWith(const Database& db, const TableDef& table, const std::vector<size_t>& columns,
                            const std::vector<Value>& values) {
    std::vector<uint16_t> numbers;
    for (size_t c : columns) numbers.push_back(table.columns[c].number);
    std::sort(numbers.begin(), numbers.end());
    for (const RealIndex& index : table.real_indexes) {
        if (db.format().jet3 || index.columns.size() < columns.size() || !keyKindsCovered(table, index)) continue;
        std::vector<uint16_t> leading;
        for (size_t k = 0; k < columns.size(); ++k) leading.push_back(index.columns[k].column_number);
        std::sort(leading.begin(), leading.end());
        if (leading != numbers) continue;
        std::vector<Value> in_key_order;
        for (size_t k = 0; k < columns.size(); ++k)
            for (size_t c = 0; c < columns.size(); ++c)
                if (table.columns[columns[c]].number == index.columns[k].column_number) in_key_order.push_back(values[c]);
        return findRows(db.pager(), db.format(), table, index, in_key_order);
    }
    RealIndex key = indexOver(table, columns);
    bool as_keys = !db.format().jet3 && keyKindsCovered(table, key);
    std::vector<Value> wanted(table.columns.size());
    for (size_t c = 0; c < columns.size(); ++c) wanted[columns[c]] = values[c];
    std::vector<uint8_t> wanted_key = as_keys ? encodeKey(table, key, wanted) : std::vector<uint8_t>();
    std::vector<RowId> rows;
    TableScan scan(db, table);
    std::vector<Value> row;
    while (scan.next()) {
        scan.read(row);
        if (as_keys ? encodeKey(table, key, row) == wanted_key : picked(row, columns) == values)
            rows.push_back(scan.rowId());
    }
    return rows;
}

int columnOf(const TableDef& table, const std::string& name, const Relationship& r) {
    int i = table.findColumn(name);
    if (i < 0) corrupt("the relationship '" + r.name + "' names a column '" + name + "' its table lacks");
    return i;
}

}  // namespace

RelatedRows::RelatedRows(Database& db, const std::string& own, const TableDef& table) : db_(db), table_(table) {
    for (const Relationship& r : readRelationships(db)) {
        if (!r.enforced()) continue;
        for (bool referencing : {true, false}) {
            const std::string& here = referencing ? r.table : r.referenced_table;
            const std::string& there = referencing ? r.referenced_table : r.table;
            if (!sameName(here, own)) continue;
            const TableDef& other = db.table(there);
            Link link{r, there, {}, {}};
            for (size_t k = 0; k < r.columns.size(); ++k) {
                const std::string& mine = referencing ? r.columns[k] : r.referenced_columns[k];
                const std::string& theirs = referencing ? r.referenced_columns[k] : r.columns[k];
                link.columns.push_back(size_t(columnOf(table, mine, r)));
                link.other_columns.push_back(size_t(columnOf(other, theirs, r)));
            }
            (referencing ? references_ : referenced_by_).push_back(std::move(link));
        }
    }
}

// A row of a table that refers to itself may name itself.
void RelatedRows::checkReferenced(const Link& link, const std::vector<Value>& values) const {
    std::vector<Value> key = picked(values, link.columns);
    if (!allSet(key)) return;
    const TableDef& other = db_.table(link.other);
    if (&other == &table_ && picked(values, link.other_columns) == key) return;
    if (rowsWith(db_, other, link.other_columns, key).empty())
        throw Error(kErrRelatedRequired, "You cannot add or change a record because a related record is required in "
                                         "table '" + link.other + "'.");
}

// The rows that refer through `link` to a row holding `values`; in a
// table that refers to itself, they may include that row.
std::vector<RowId> RelatedRows::referring(const Link& link, const std::vector<Value>& values) const {
    std::vector<Value> key = picked(values, link.columns);
    if (!allSet(key)) return {};
    return rowsWith(db_, db_.table(link.other), link.other_columns, key);
}

[[noreturn]] void RelatedRows::refuse(const Link& link) const {
    throw Error(kErrHasRelated,
                "The record cannot be deleted or changed because table '" + link.other + "' includes related records.");
}

void RelatedRows::checkInsert(const std::vector<Value>& values) const {
    for (const Link& link : references_) checkReferenced(link, values);
}

void RelatedRows::checkUpdate(const std::vector<Value>& old_values, const std::vector<Value>& values) const {
    for (const Link& link : references_)
        if (picked(old_values, link.columns) != picked(values, link.columns)) checkReferenced(link, values);
    for (const Link& link : referenced_by_) {
        if (picked(old_values, link.columns) == picked(values, link.columns)) continue;
        if (link.relationship.flags & kRelationCascadeUpdates) continue;
        if (!referring(link, old_values).empty()) refuse(link);
    }
}

// A row that refers to itself alone may go.
void RelatedRows::checkDelete(RowId row, const std::vector<Value>& old_values) const {
    for (const Link& link : referenced_by_) {
        if (link.relationship.flags & (kRelationCascadeDeletes | kRelationCascadeNull)) continue;
        std::vector<RowId> rows = referring(link, old_values);
        if (std::any_of(rows.begin(), rows.end(), [&](RowId r) { return r != row; })) refuse(link);
    }
}

void RelatedRows::cascadeUpdate(const std::vector<Value>& old_values, const std::vector<Value>& values) const {
    for (const Link& link : referenced_by_) {
        if (picked(old_values, link.columns) == picked(values, link.columns)) continue;
        std::vector<RowId> rows = referring(link, old_values);
        if (rows.empty()) continue;
        TableWriter writer(db_, link.other);
        for (RowId at : rows) {
            if (!writer.isLive(at)) continue;
            std::vector<Value> changed = writer.valuesAt(at);
            for (size_t k = 0; k < link.columns.size(); ++k) changed[link.other_columns[k]] = values[link.columns[k]];
            writer.update(at, changed);
        }
    }
}

void RelatedRows::cascadeDelete(const std::vector<Value>& old_values) const {
    for (const Link& link : referenced_by_) {
        std::vector<RowId> rows = referring(link, old_values);
        if (rows.empty()) continue;
        TableWriter writer(db_, link.other);
        for (RowId at : rows) {
            if (!writer.isLive(at)) continue;  // an earlier cascade took it
            if (link.relationship.flags & kRelationCascadeDeletes) {
                writer.remove(at);
                continue;
            }
            std::vector<Value> changed = writer.valuesAt(at);
            for (size_t c : link.other_columns) changed[c] = Value();
            writer.update(at, changed);
        }
    }
}

}  // namespace jet
