// SPDX-License-Identifier: Apache-2.0
#include "table_writer.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "data_page_writer.h"
#include "index_key.h"
#include "long_value.h"
#include "row_writer.h"
#include "value_parse.h"

namespace jet {

namespace {

constexpr long kErrRecordDeleted = 3167;  // "Record is deleted."

void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

bool writableType(uint8_t type) {
    switch (type) {
    case kBoolean: case kByte: case kInteger: case kLong: case kCurrency: case kSingle: case kDouble:
    case kDateTime: case kBinary: case kText: case kOle: case kMemo: case kGuid: case kNumeric: case kBigInt:
        return true;
    default:
        return false;
    }
}

Guid newGuid() {
    static std::random_device seed;
    static std::mt19937_64 random(seed());
    Guid g;
    for (size_t i = 0; i < 16; i += 8) {
        uint64_t r = random();
        std::memcpy(g.bytes.data() + i, &r, 8);
    }
    g.bytes[7] = uint8_t((g.bytes[7] & 0x0F) | 0x40);  // version 4, stored little-endian
    g.bytes[8] = uint8_t((g.bytes[8] & 0x3F) | 0x80);
    return g;
}

// Hands the writer's long-value storage to the row encoder, one column at a
// time; a column with a head in `kept` keeps the long value stored already.
class ColumnSink : public LongValueSink {
public:
    ColumnSink(LongValueWriter& writer, const TableDef& table, const KeptLongValues& kept)
        : writer_(writer), table_(table), kept_(kept) {}
    std::vector<uint8_t> store(const Column& column, const std::vector<uint8_t>& data, size_t inline_room) override {
        size_t i = size_t(&column - table_.columns.data());
        if (i < kept_.size() && kept_[i]) return *kept_[i];
        return writer_.store(column, data, inline_room);
    }

private:
    LongValueWriter& writer_;
    const TableDef& table_;
    const KeptLongValues& kept_;
};

}  // namespace

TableWriter::TableWriter(Database& db, const std::string& name)
    : db_(db),
      table_(db.tableForWriting(name)),
      pager_(db.writablePager()),
      format_(db.format()),
      long_values_(pager_, format_, table_),
      reader_(pager_, format_, db.codec(), table_),
      related_(db, name, table_) {
    if (!pager_.writable()) throw Error(kErrReadOnly, "Cannot update. The database is read-only.");
    for (const RealIndex& index : table_.real_indexes)
        if (!keyKindsCovered(table_, index))
            throw Error(kErrUnsupported, "The table '" + name +
                                             "' has an index on a column of a kind this version cannot keep "
                                             "up to date; it is left unchanged.");
    for (const Column& c : table_.columns)
        if (!writableType(c.type) || c.calculated())
            throw Error(kErrUnsupported, "The column '" + c.name + "' of table '" + name +
                                             "' is of a kind this version cannot write.");
}

std::vector<uint8_t> TableWriter::encode(const std::vector<Value>& values, const KeptLongValues& kept) {
    if (values.size() != table_.columns.size()) throw Error(kErrConversion, "A row has the wrong number of values.");
    for (size_t i = 0; i < values.size(); ++i) checkValue(format_, table_.columns[i], values[i], false);
    ColumnSink sink(long_values_, table_, kept);
    return encodeRow(format_, table_, db_.codec(), values, sink);
}

void TableWriter::releaseLongValues(Bytes row, const KeptLongValues& kept) {
    for (size_t i = 0; i < table_.columns.size(); ++i) {
        uint8_t t = table_.columns[i].type;
        if ((t != kMemo && t != kOle) || (i < kept.size() && kept[i])) continue;
        if (std::optional<Bytes> head = reader_.stored(row, i)) long_values_.release(*head);
    }
}

// The heads of the long values an update leaves as they are and that live
// outside the row: the new row points at the same LVAL rows, so an edit of
// another column does not copy a memo. Inline ones are encoded afresh.
KeptLongValues TableWriter::unchangedLongValues(Bytes row, const std::vector<Value>& old_values,
                                                const std::vector<Value>& values) const {
    KeptLongValues kept(table_.columns.size());
    for (size_t i = 0; i < table_.columns.size(); ++i) {
        uint8_t t = table_.columns[i].type;
        if ((t != kMemo && t != kOle) || !(old_values[i] == values[i])) continue;
        std::optional<Bytes> head = reader_.stored(row, i);
        if (!head || head->size() < kLongValueHeadSize || head->u32(0) & kLongValueInline) continue;
        kept[i] = std::vector<uint8_t>(head->data(), head->data() + kLongValueHeadSize);
    }
    return kept;
}

RowId TableWriter::dataOf(RowId header, uint16_t flags) {
    if (!(flags & kRowMoved)) return header;
    Bytes pointer = DataPage(pager_.page(header.page), format_).row(header.row);
    if (pointer.size() < 4) corrupt("a moved row has no valid pointer");
    return RowId{pointer.u24(1), pointer.u8(0)};
}

// Rows are read from both ends, so room is added in the middle: after the
// variable data (or the fixed data when there is none), before the tables
// at the end.
std::vector<uint8_t> TableWriter::padded(std::vector<uint8_t> row, size_t size) const {
    if (row.size() == size) return row;
    Bytes r(row.data(), row.size());
    size_t columns = r.u16(0);
    size_t mask = (columns + 7) / 8;
    size_t at = row.size() - mask;
    if (table_.var_columns > 0) {
        size_t var_count = r.u16(row.size() - mask - 2);
        at = r.u16(row.size() - mask - 4 - 2 * var_count);  // end of the variable data
    }
    row.insert(row.begin() + long(at), size - row.size(), 0);
    return row;
}

void TableWriter::adjustRowCount(int delta) {
    table_.row_count = uint32_t(int64_t(table_.row_count) + delta);
    put32(pager_.modify(table_.page) + format_.tdef_row_count, table_.row_count);
}

void TableWriter::setAutonumber(uint32_t value) {
    table_.next_autonumber = value;
    put32(pager_.modify(table_.page) + format_.tdef_autonumber, value);
}

// Sized when first asked, as the table may gain an index while the writer lives.
IndexCache* TableWriter::cacheOf(size_t index) const {
    if (index_caches_.size() <= index) index_caches_.resize(table_.real_indexes.size());
    return &index_caches_[index];
}

bool TableWriter::indexed(size_t i, const std::vector<Value>& values) const {
    const RealIndex& index = table_.real_indexes[i];
    return !(index.flags & kIndexIgnoreNulls) || !allKeyColumnsNull(table_, index, values);
}

std::vector<std::vector<uint8_t>> TableWriter::keysOf(const std::vector<Value>& values) const {
    std::vector<std::vector<uint8_t>> keys;
    for (const RealIndex& index : table_.real_indexes) keys.push_back(encodeKey(table_, index, values));
    return keys;
}

// Every index's rules for the row's new keys; `old_keys` (an update) are
// the row's present ones, which it may keep.
void TableWriter::checkKeys(const std::vector<Value>& values, const std::vector<std::vector<uint8_t>>& keys,
                            const std::vector<std::vector<uint8_t>>* old_keys) const {
    for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
        const RealIndex& index = table_.real_indexes[i];
        bool primary = std::any_of(table_.indexes.begin(), table_.indexes.end(),
                                   [&](const Index& x) { return x.primaryKey() && x.real_index == i; });
        if (primary || (index.flags & kIndexRequired))
            for (const IndexColumn& ic : index.columns)
                for (size_t c = 0; c < table_.columns.size(); ++c)
                    if (table_.columns[c].number == ic.column_number && values[c].isNull())
                        throw Error(kErrNullKey, "Index or primary key cannot contain a Null value.");
        if (indexed(i, values) && !indexKeyFits(format_, keys[i]))
            throw Error(kErrUnsupported, "An index key is too long for a page.");
        // A primary key is unique whatever its flags say.
        if (!(primary || index.unique()) || !indexed(i, values) || allKeyColumnsNull(table_, index, values)) continue;
        if (old_keys && (*old_keys)[i] == keys[i]) continue;
        if (indexHasKey(pager_, format_, index, keys[i], cacheOf(i)))
            throw Error(kErrDuplicateKey,
                        "The changes you requested to the table were not successful because they would create "
                        "duplicate values in the index, primary key, or relationship. Change the data in the field "
                        "or fields that contain duplicate data, remove the index, or redefine the index to permit "
                        "duplicate entries and try again.");
    }
}

bool TableWriter::isLive(RowId row) const {
    if (row.page >= pager_.pageCount() || pager_.page(row.page).u8(0) != kDataPage) return false;
    DataPage page(pager_.page(row.page), format_);
    return page.owner() == table_.page && row.row < page.rowCount() && !(page.flags(row.row) & kRowDeleted);
}

std::vector<Value> TableWriter::valuesAt(RowId header) const {
    std::optional<Bytes> row = readRow(pager_, format_, header);
    if (!row) corrupt("a row being changed cannot be read");
    std::vector<Value> values;
    reader_.decode(*row, values);
    return values;
}

RowId TableWriter::insert(std::vector<Value> values) {
    if (values.size() != table_.columns.size()) throw Error(kErrConversion, "A row has the wrong number of values.");
    uint32_t autonumber = table_.next_autonumber;
    for (size_t i = 0; i < values.size(); ++i) {
        const Column& c = table_.columns[i];
        if (c.autoNumber() && c.type == kLong) {
            if (values[i].isNull()) values[i] = int32_t(table_.next_autonumber + 1);
            if (values[i].is<int32_t>() && values[i].as<int32_t>() > int32_t(autonumber))
                autonumber = uint32_t(values[i].as<int32_t>());
        } else if (c.autoGuid() && c.type == kGuid && values[i].isNull()) {
            values[i] = newGuid();
        }
    }
    for (size_t i = 0; i < values.size(); ++i) checkValue(format_, table_.columns[i], values[i], false);
    std::vector<std::vector<uint8_t>> keys = keysOf(values);
    checkKeys(values, keys, nullptr);
    related_.checkInsert(values);
    if (autonumber != table_.next_autonumber) setAutonumber(autonumber);
    std::vector<uint8_t> row = encode(values, {});
    RowId id = addRow(pager_, format_, PageOwner{table_.page, table_.owned_pages, table_.free_pages}, row);
    for (size_t i = 0; i < keys.size(); ++i)
        if (indexed(i, values))
            insertIndexEntry(pager_, format_, table_.page, table_.real_indexes[i], keys[i], id, cacheOf(i));
    adjustRowCount(+1);
    return id;
}

void TableWriter::update(RowId header, const std::vector<Value>& values) {
    uint16_t flags = DataPage(pager_.page(header.page), format_).flags(header.row);
    if (flags & kRowDeleted) throw Error(kErrRecordDeleted, "Record is deleted.");
    RowId data = dataOf(header, flags);
    std::vector<Value> old_values = valuesAt(header);
    std::vector<std::vector<uint8_t>> old_keys = keysOf(old_values);
    if (values.size() != table_.columns.size()) throw Error(kErrConversion, "A row has the wrong number of values.");
    for (size_t i = 0; i < values.size(); ++i) checkValue(format_, table_.columns[i], values[i], false);
    std::vector<std::vector<uint8_t>> keys = keysOf(values);
    checkKeys(values, keys, &old_keys);
    related_.checkUpdate(old_values, values);
    for (size_t i = 0; i < keys.size(); ++i) {
        bool was = indexed(i, old_values), is = indexed(i, values);
        if (was == is && (!is || old_keys[i] == keys[i])) continue;
        if (was) removeIndexEntry(pager_, format_, table_.page, table_.real_indexes[i], old_keys[i], header);
        if (is) insertIndexEntry(pager_, format_, table_.page, table_.real_indexes[i], keys[i], header, cacheOf(i));
    }
    std::optional<Bytes> old = readRow(pager_, format_, header);
    std::vector<uint8_t> old_row(old->data(), old->data() + old->size());
    Bytes old_bytes(old_row.data(), old_row.size());
    KeptLongValues kept = unchangedLongValues(old_bytes, old_values, values);
    std::vector<uint8_t> row = encode(values, kept);
    releaseLongValues(old_bytes, kept);

    size_t slot = slotSize(pager_, format_, data);
    if (row.size() <= slot) overwriteRow(pager_, format_, data, padded(std::move(row), slot));
    else moveRow(header, data, row);
    related_.cascadeUpdate(old_values, values);
}

// The row no longer fits its slot: the header slot keeps a pointer to a
// new one.
void TableWriter::moveRow(RowId header, RowId data, const std::vector<uint8_t>& row) {
    RowId moved = addRow(pager_, format_, PageOwner{table_.page, table_.owned_pages, table_.free_pages}, row,
                         kRowDeleted);
    // A data slot left behind by an earlier move is deleted for good (its
    // flag so far said only "not a row of its own"); the header slot now
    // points at the new one.
    if (data != header) setRowFlags(pager_, format_, data, kRowDeleted | kRowMoved);
    std::vector<uint8_t> pointer(slotSize(pager_, format_, header), 0);
    if (pointer.size() < 4) corrupt("a row is too short to hold a pointer");
    pointer[0] = uint8_t(moved.row);
    pointer[1] = uint8_t(moved.page), pointer[2] = uint8_t(moved.page >> 8), pointer[3] = uint8_t(moved.page >> 16);
    overwriteRow(pager_, format_, header, pointer);
    setRowFlags(pager_, format_, header, kRowMoved);
}

void TableWriter::remove(RowId header) {
    uint16_t flags = DataPage(pager_.page(header.page), format_).flags(header.row);
    if (flags & kRowDeleted) throw Error(kErrRecordDeleted, "Record is deleted.");
    RowId data = dataOf(header, flags);
    std::vector<Value> old_values = valuesAt(header);
    related_.checkDelete(header, old_values);
    std::vector<std::vector<uint8_t>> keys = keysOf(old_values);
    for (size_t i = 0; i < keys.size(); ++i)
        if (indexed(i, old_values)) removeIndexEntry(pager_, format_, table_.page, table_.real_indexes[i], keys[i], header);
    releaseLongValues(DataPage(pager_.page(data.page), format_).row(data.row), {});
    // Access flags a deleted row both deleted and moved; readers that test
    // only one of the bits then still skip it. A moved row's data slot goes
    // too, or readers that scan pages would still find it.
    setRowFlags(pager_, format_, header, kRowDeleted | kRowMoved);
    if (data != header) setRowFlags(pager_, format_, data, kRowDeleted | kRowMoved);
    adjustRowCount(-1);
    related_.cascadeDelete(old_values);
}

}  // namespace jet
