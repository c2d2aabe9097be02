// SPDX-License-Identifier: Apache-2.0
// Primary keys of new tables and columns added to existing ones: the
// definition entries and index pages compared byte for byte with those
// Access wrote in corpus files, a key kept by TableWriter over many rows
// (its tree walked, every row looked up, mdb-export and mdb-schema as
// independent readers), and added columns read as Null from old rows by
// both readers while new rows hold values. Refusals leave the file as it
// was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "jet/database.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_search.h"
#include "jet/table_ddl.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/index_tree.h"
#include "support/testdata.h"

namespace {

using jet::NewColumn;
using jet::Value;

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    return 0;
}

std::string output(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
    return out;
}

// The lines of mdb-schema's PostgreSQL script that declare primary keys.
std::vector<std::string> primaryKeyLines(const std::string& path, const std::string& table) {
    std::istringstream in(output("mdb-schema --indexes -T '" + table + "' '" + path + "' postgres 2>/dev/null"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find("PRIMARY KEY") != std::string::npos) lines.push_back(line);
    return lines;
}

// The stored bytes of a one-page definition's real and logical index
// entries, found as the format lays them out.
struct IndexEntries {
    std::vector<std::vector<uint8_t>> real, logical;
};

IndexEntries indexEntriesOf(const jet::Database& db, uint32_t page) {
    const jet::Format& f = db.format();
    jet::Bytes b = db.pager().page(page);
    size_t columns = b.u16(f.tdef_col_count), real = b.u32(f.tdef_real_index_count);
    size_t logical = b.u32(f.tdef_logical_index_count);
    size_t pos = f.tdef_index_block + real * f.real_index_count_entry + columns * f.column_entry;
    for (size_t i = 0; i < columns; ++i) pos += 2 + b.u16(pos);
    IndexEntries out;
    for (size_t i = 0; i < real; ++i, pos += f.real_index_entry)
        out.real.emplace_back(b.data() + pos, b.data() + pos + f.real_index_entry);
    for (size_t i = 0; i < logical; ++i, pos += f.logical_index_entry)
        out.logical.emplace_back(b.data() + pos, b.data() + pos + f.logical_index_entry);
    return out;
}

std::vector<NewColumn> keyedColumns() {
    std::vector<NewColumn> cols = {jet::newColumn("ID", "COUNTER", 0), jet::newColumn("Name", "TEXT", 50),
                                    jet::newColumn("Amount", "DOUBLE", 0), jet::newColumn("Notes", "MEMO", 0)};
    cols[0].primary_key = true;
    return cols;
}

std::vector<Value> keyedRow(int32_t id) {
    return {id, "name " + std::to_string(id), double(id) / 4, std::string(size_t(id % 7 == 0 ? 3000 : 10), 'n')};
}

// The definition and first index page of a keyed table, against what
// Access wrote for the primary key of a table keyed on its first column.
TEST(TablePrimaryKey, DefinitionAndEmptyRootAsAccessWritesThem) {
    SKIP_WITHOUT_CORPUS();
    IndexEntries access;
    {
        jet::Database db(testdata::file("V2000_with-password.mdb"), "password");
        const jet::TableDef& t = db.table("Table1");
        ASSERT_EQ(t.indexes.size(), 1u);
        ASSERT_TRUE(t.indexes[0].primaryKey());
        EXPECT_EQ(t.real_indexes[0].flags, 0x89);  // unique, required, and the flag Access always sets
        access = indexEntriesOf(db, t.page);
    }
    for (const char* file : {"emptyJet4.mdb", "testV2003.mdb", "testV2010.accdb"}) {
        SCOPED_TRACE(file);
        testdata::Copy copy(file);
        std::vector<NewColumn> cols = keyedColumns();
        uint32_t page;
        {
            jet::Database db(copy.path(), "");
            db.begin();
            page = jet::writeTablePages(db, cols);
            db.commit();
        }
        jet::Database db(copy.path(), "");
        jet::TableDef t = jet::TableDef::read(db.pager(), db.format(), db.codec(), page);
        ASSERT_EQ(t.real_indexes.size(), 1u);
        ASSERT_EQ(t.indexes.size(), 1u);
        EXPECT_EQ(t.indexes[0].name, "PrimaryKey");
        EXPECT_TRUE(t.indexes[0].primaryKey());
        EXPECT_EQ(t.indexes[0].real_index, 0u);
        const jet::RealIndex& pk = t.real_indexes[0];
        EXPECT_TRUE(pk.unique());
        EXPECT_TRUE(pk.flags & jet::kIndexRequired);
        ASSERT_EQ(pk.columns.size(), 1u);
        EXPECT_EQ(pk.columns[0].column_number, 0);
        EXPECT_TRUE(pk.columns[0].ascending);
        EXPECT_TRUE(t.columns[0].autoNumber());
        ASSERT_EQ(t.column_maps.size(), 1u);  // the Memo's maps follow the index

        // Byte for byte as Access's, but for the usage map and root page.
        IndexEntries ours = indexEntriesOf(db, page);
        ASSERT_EQ(ours.real.size(), 1u);
        std::vector<uint8_t> real = ours.real[0], expected = access.real[0];
        std::fill(real.begin() + 34, real.begin() + 42, 0);
        std::fill(expected.begin() + 34, expected.begin() + 42, 0);
        EXPECT_EQ(real, expected);
        EXPECT_EQ(ours.logical, access.logical);

        // An empty leaf owned by the table, as Access leaves a new index.
        jet::Bytes root = db.pager().page(pk.root_page);
        EXPECT_EQ(root.u8(0), jet::kIndexLeafPage);
        EXPECT_EQ(root.u8(1), 0x01);
        EXPECT_EQ(root.u16(2), db.format().page_size - 0x1E0);
        EXPECT_EQ(root.u32(4), page);
        EXPECT_TRUE(std::all_of(root.data() + 8, root.data() + root.size(), [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(jet::readIndex(db.pager(), db.format(), pk.root_page).empty());
        EXPECT_EQ(jet::readUsageMap(db.pager(), db.format(), pk.usage_map), std::vector<uint32_t>{pk.root_page});
        std::vector<uint32_t> free = jet::readUsageMap(db.pager(), db.format(), jet::kGlobalUsageMap);
        EXPECT_FALSE(std::count(free.begin(), free.end(), pk.root_page));
        std::set<uint32_t> maps = {t.owned_pages, t.free_pages, pk.usage_map, t.column_maps[0].owned_pages,
                                   t.column_maps[0].free_pages};
        EXPECT_EQ(maps.size(), 5u);
    }
}

TEST(TablePrimaryKey, SeveralKeyColumnsInDefinitionOrder) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("emptyJet4.mdb");
    std::vector<NewColumn> cols = {jet::newColumn("Qty", "SHORT", 0), jet::newColumn("Part", "LONG", 0),
                                    jet::newColumn("Note", "TEXT", 20), jet::newColumn("When", "DATETIME", 0)};
    cols[1].primary_key = cols[3].primary_key = true;
    jet::Database db(copy.path(), "");
    db.begin();
    uint32_t page = jet::writeTablePages(db, cols);
    db.commit();
    jet::TableDef t = jet::TableDef::read(db.pager(), db.format(), db.codec(), page);
    ASSERT_EQ(t.real_indexes.size(), 1u);
    const std::vector<jet::IndexColumn>& key = t.real_indexes[0].columns;
    ASSERT_EQ(key.size(), 2u);
    EXPECT_EQ(key[0].column_number, 1);
    EXPECT_EQ(key[1].column_number, 3);
    EXPECT_TRUE(jet::keyKindsCovered(t, t.real_indexes[0]));
}

// Rows in a table made by createTable: the index holds every row and only
// them through inserts in random order, deletes and key changes; lookups
// find each row; mdb-export reads every row and mdb-schema the key;
// duplicates and Nulls are refused with the file unchanged; dropping the
// table gives every index page back.
TEST(TablePrimaryKey, KeptByTheWriterOverManyRows) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= 20000; ++i) ids.push_back(i * 3);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(5));
    std::map<int32_t, jet::RowId> rows;
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::createTable(db, "Keyed", keyedColumns());
        jet::TableWriter w(db, "Keyed");
        for (int32_t id : ids) rows[id] = w.insert(keyedRow(id));
        std::vector<Value> numbered = keyedRow(0);
        numbered[0] = Value();  // the autonumber goes on from the highest
        rows[60001] = w.insert(numbered);
        db.commit();
    }
    auto check = [&](const char* phase) {
        SCOPED_TRACE(phase);
        jet::Database db(copy.path(), "");
        const jet::TableDef& t = db.table("Keyed");
        const jet::RealIndex& pk = t.real_indexes.at(0);
        std::vector<testdata::Entry> from_rows;
        jet::TableScan scan(db, t);
        std::vector<Value> values;
        while (scan.next()) {
            scan.read(values);
            from_rows.push_back({jet::encodeKey(t, pk, values), {scan.rowId().page, uint8_t(scan.rowId().row)}});
        }
        std::sort(from_rows.begin(), from_rows.end());
        testdata::Shape shape = testdata::walk(db.pager(), db.format(), pk.root_page);
        EXPECT_EQ(shape.entries, from_rows);
        EXPECT_EQ(t.row_count, rows.size());
        size_t missed = 0;
        for (const auto& [id, row] : rows)
            if (jet::findRows(db.pager(), db.format(), t, pk, {id}) != std::vector<jet::RowId>{row}) ++missed;
        EXPECT_EQ(missed, 0u);
        std::vector<jet::RowId> in_order;
        for (const auto& r : rows) in_order.push_back(r.second);
        EXPECT_EQ(jet::scanRange(db.pager(), db.format(), t, pk, std::nullopt, std::nullopt), in_order);

        std::istringstream csv(testdata::exported(copy.path(), "Keyed"));
        std::string line;
        std::getline(csv, line);
        EXPECT_EQ(line, "ID,Name,Amount,Notes");
        std::set<int32_t> exported;
        while (std::getline(csv, line)) exported.insert(std::stoi(line));
        std::set<int32_t> expected;
        for (const auto& r : rows) expected.insert(r.first);
        EXPECT_EQ(exported, expected);
        return shape;
    };
    EXPECT_GE(check("inserted").depth, 2u);
    EXPECT_EQ(primaryKeyLines(copy.path(), "Keyed"),
              std::vector<std::string>{"ALTER TABLE \"keyed\" ADD CONSTRAINT \"keyed_pkey\" PRIMARY KEY (\"id\");"});

    // A key already there, and a Null key, are refused before any page
    // changes: committing afterwards leaves the file as it was.
    std::vector<unsigned char> before = copy.read();
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Keyed");
        EXPECT_EQ(errorOf([&] { w.insert(keyedRow(ids[17])); }), jet::kErrDuplicateKey);
        EXPECT_EQ(errorOf([&] { w.update(rows[ids[18]], keyedRow(ids[19])); }), jet::kErrDuplicateKey);
        db.commit();
    }
    EXPECT_EQ(copy.read(), before);

    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Keyed");
        for (auto it = rows.begin(); it != rows.end();) {
            if (it->first % 2 == 0) {
                w.remove(it->second);
                it = rows.erase(it);
            } else {
                ++it;
            }
        }
        std::vector<std::pair<int32_t, jet::RowId>> moving;
        for (const auto& r : rows)
            if (r.first % 5 == 0) moving.push_back(r);
        for (const auto& [id, row] : moving) {
            w.update(row, keyedRow(-id));
            rows.erase(id);
            rows[-id] = row;
        }
        db.commit();
    }
    check("deleted and changed");

    std::set<uint32_t> index_pages;
    {
        jet::Database db(copy.path(), "");
        const jet::TableDef& t = db.table("Keyed");
        std::vector<uint32_t> level{t.real_indexes[0].root_page};
        while (!level.empty()) {
            std::vector<uint32_t> below;
            for (uint32_t p : level) {
                index_pages.insert(p);
                jet::IndexPage page = jet::IndexPage::read(db.pager(), db.format(), p);
                if (page.type != jet::kIndexNodePage) continue;
                for (const jet::IndexEntry& e : page.entries) below.push_back(e.child);
                below.push_back(page.tail);
            }
            level = below;
        }
        db.begin();
        jet::dropTable(db, "Keyed");
        db.commit();
    }
    EXPECT_GT(index_pages.size(), 10u);
    jet::Database db(copy.path(), "");
    std::vector<uint32_t> free = jet::readUsageMap(db.pager(), db.format(), jet::kGlobalUsageMap);
    for (uint32_t p : index_pages) {
        if (jet::freeMapCovers(db.pager(), db.format(), p))
            EXPECT_TRUE(std::count(free.begin(), free.end(), p)) << "index page " << p;
        else
            EXPECT_EQ(db.pager().page(p).u8(0), 0) << "index page " << p << " is cleared";
    }
}

TEST(TablePrimaryKey, KeyOfTwoColumnsRefusesDuplicatePairsAndNulls) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("emptyJet4.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::vector<NewColumn> cols = {jet::newColumn("Part", "LONG", 0), jet::newColumn("When", "DATETIME", 0),
                                    jet::newColumn("Qty", "SHORT", 0)};
    cols[0].primary_key = cols[1].primary_key = true;
    jet::Database db(copy.path(), "");
    db.begin();
    jet::createTable(db, "Stock", cols);
    jet::TableWriter w(db, "Stock");
    std::vector<jet::RowId> part7;
    for (int day = 5; day > 0; --day) {
        part7.insert(part7.begin(), w.insert({int32_t(7), jet::DateTime{45000.0 + day}, int16_t(day)}));
        w.insert({int32_t(8), jet::DateTime{45000.0 + day}, int16_t(day)});
    }
    EXPECT_EQ(errorOf([&] { w.insert({int32_t(7), jet::DateTime{45003.0}, int16_t(0)}); }), jet::kErrDuplicateKey);
    EXPECT_EQ(errorOf([&] { w.insert({int32_t(7), Value(), int16_t(0)}); }), jet::kErrNullKey);
    db.commit();
    const jet::TableDef& t = db.table("Stock");
    // A lookup on the leading column finds the part's rows in date order.
    EXPECT_EQ(jet::findRows(db.pager(), db.format(), t, t.real_indexes[0], {int32_t(7)}), part7);
    EXPECT_EQ(primaryKeyLines(copy.path(), "Stock"),
              std::vector<std::string>{
                  "ALTER TABLE \"stock\" ADD CONSTRAINT \"stock_pkey\" PRIMARY KEY (\"part\", \"when\");"});
    std::string csv = testdata::exported(copy.path(), "Stock");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 11);
}

TEST(TablePrimaryKey, TextKeyKeptInTheIndex) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("emptyJet4.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::vector<NewColumn> cols = {jet::newColumn("Code", "TEXT", 30), jet::newColumn("N", "LONG", 0)};
    cols[0].primary_key = true;
    jet::Database db(copy.path(), "");
    db.begin();
    jet::createTable(db, "Codes", cols);
    jet::TableWriter w(db, "Codes");
    for (int32_t i = 0; i < 2000; ++i) w.insert({"code " + std::to_string(i * 7919 % 2000) + " \xc3\xa9", i});
    EXPECT_EQ(errorOf([&] { w.insert({std::string("code 5 \xc3\xa9"), int32_t(-1)}); }), jet::kErrDuplicateKey);
    db.commit();
    const jet::TableDef& t = db.table("Codes");
    std::vector<testdata::Entry> from_rows;
    jet::TableScan scan(db, t);
    std::vector<Value> values;
    while (scan.next()) {
        scan.read(values);
        from_rows.push_back(
            {jet::encodeKey(t, t.real_indexes[0], values), {scan.rowId().page, uint8_t(scan.rowId().row)}});
    }
    std::sort(from_rows.begin(), from_rows.end());
    EXPECT_EQ(testdata::walk(db.pager(), db.format(), t.real_indexes[0].root_page).entries, from_rows);
    EXPECT_EQ(primaryKeyLines(copy.path(), "Codes"),
              std::vector<std::string>{"ALTER TABLE \"codes\" ADD CONSTRAINT \"codes_pkey\" PRIMARY KEY (\"code\");"});
}

// --- Adding columns -------------------------------------------------------

struct Added {
    const char* name;
    const char* type;
    int size;
    const char* schema;  // as mdb-schema's Access script names the type
};

// Columns added to a corpus table with rows: old rows read the new
// columns as Null (Yes/No as No) by both readers; a new row holds values
// in them; mdb-schema lists them.
void checkAddedColumns(const std::string& file, const std::string& table, const std::vector<Added>& added,
                       const std::vector<Value>& new_values) {
    SCOPED_TRACE(file + " " + table);
    testdata::Copy copy(file);
    std::string before = testdata::exported(copy.path(), table);
    std::vector<std::vector<Value>> old_rows;
    {
        jet::Database db(copy.path(), "");
        jet::TableScan scan(db, db.table(table));
        std::vector<Value> values;
        while (scan.next()) scan.read(values), old_rows.push_back(values);
    }
    ASSERT_FALSE(old_rows.empty());
    size_t old_width = old_rows[0].size();
    {
        jet::Database db(copy.path(), "");
        db.begin();
        for (const Added& a : added) jet::addColumn(db, table, jet::newColumn(a.name, a.type, a.size));
        db.commit();
    }
    // mdb-export: every old line with the new columns empty (Yes/No: 0).
    std::string suffix, header_suffix;
    for (const Added& a : added) {
        header_suffix += std::string(",") + a.name;
        suffix += std::string(",") + (std::string(a.type) == "YESNO" ? "0" : "");
    }
    std::istringstream old_csv(before), new_csv(testdata::exported(copy.path(), table));
    std::string old_line, new_line;
    std::getline(old_csv, old_line);
    std::getline(new_csv, new_line);
    EXPECT_EQ(new_line, old_line + header_suffix);
    while (std::getline(old_csv, old_line)) {
        ASSERT_TRUE(std::getline(new_csv, new_line));
        EXPECT_EQ(new_line, old_line + suffix);
    }
    EXPECT_FALSE(std::getline(new_csv, new_line)) << "a row more than before: " << new_line;
    std::string schema = output("mdb-schema -T '" + table + "' '" + copy.path() + "' access");
    for (const Added& a : added)
        EXPECT_NE(schema.find(std::string("[") + a.name + "]\t\t\t" + a.schema), std::string::npos) << schema;

    jet::RowId fresh;
    {
        jet::Database db(copy.path(), "");
        const jet::TableDef& t = db.table(table);
        ASSERT_EQ(t.columns.size(), old_width + added.size());
        jet::TableScan scan(db, t);
        std::vector<Value> values;
        for (const std::vector<Value>& old : old_rows) {
            ASSERT_TRUE(scan.next());
            scan.read(values);
            std::vector<Value> expected = old;
            for (const Added& a : added) expected.push_back(std::string(a.type) == "YESNO" ? Value(false) : Value());
            EXPECT_EQ(values, expected);
        }
        db.begin();
        jet::TableWriter w(db, table);
        std::vector<Value> row = old_rows[0];
        row[0] = Value(int32_t(900001));  // a key no old row has
        row.insert(row.end(), new_values.begin(), new_values.end());
        fresh = w.insert(row);
        db.commit();
        std::optional<jet::Bytes> stored = jet::readRow(db.pager(), db.format(), fresh);
        ASSERT_TRUE(stored);
        jet::RowReader reader(db.pager(), db.format(), db.codec(), t);
        reader.decode(*stored, values);
        EXPECT_EQ(values, row);
    }
    std::string csv = testdata::exported(copy.path(), table);
    EXPECT_NE(csv.find("900001,"), std::string::npos) << csv;
}

TEST(AddColumn, OldRowsReadNullAndNewRowsHoldValues) {
    SKIP_WITHOUT_CORPUS();
    // A table with variable columns and a Long primary key.
    checkAddedColumns("indexTestV2000.mdb", "Table2",
                      {{"Count", "LONG", 0, "Long Integer"},
                       {"Label", "TEXT", 20, "Text (20)"},
                       {"Ratio", "DOUBLE", 0, "Double"},
                       {"Done", "YESNO", 0, "Boolean"},
                       {"Notes", "MEMO", 0, "Memo/Hyperlink"},
                       {"When", "DATETIME", 0, "DateTime"}},
                      {int32_t(-5), "label", 0.125, true, std::string(6000, 'm'), jet::DateTime{40000.25}});
    // Fixed columns only.
    checkAddedColumns("oldDatesV2007.accdb", "Table1",
                      {{"Count", "LONG", 0, "Long Integer"}, {"Done", "YESNO", 0, "Boolean"},
                       {"Price", "CURRENCY", 0, "Currency"}},
                      {int32_t(12), false, jet::Currency{123400}});
}

// Within the caller's transaction: a rollback takes the column away again,
// from the file and from the cached definition.
TEST(AddColumn, RollbackTakesTheColumnAway) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexTestV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    {
        jet::Database db(copy.path(), "");
        size_t width = db.table("Table2").columns.size();
        db.begin();
        jet::addColumn(db, "Table2", jet::newColumn("Extra", "MEMO", 0));
        EXPECT_EQ(db.table("Table2").columns.size(), width + 1);
        db.rollback();
        EXPECT_EQ(db.table("Table2").columns.size(), width);
    }
    EXPECT_EQ(copy.read(), before);
}

TEST(AddColumn, EmptyTableTakesAnyKindIncludingAnAutoNumber) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexCursorTestV2000.mdb");
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::addColumn(db, "test", jet::newColumn("Serial", "COUNTER", 0));
        jet::addColumn(db, "test", jet::newColumn("Blob", "OLEOBJECT", 0));
        jet::TableWriter w(db, "test");
        for (int32_t i = 0; i < 3; ++i) w.insert({i * 10, "v" + std::to_string(i), Value(), jet::Binary(5000, uint8_t(i))});
        db.commit();
    }
    std::string csv = output("mdb-export -b hex '" + copy.path() + "' test");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "id,value,Serial,Blob");
    EXPECT_NE(csv.find("20,\"v2\",3,"), std::string::npos) << csv.substr(0, 300);
    EXPECT_NE(csv.find(std::string(2000, '0')), std::string::npos);  // the first row's 5000 zero bytes
}

// A table made here, keyed and filled, then widened: the key still finds
// every row, old rows read the new columns as Null, new rows fill them.
TEST(AddColumn, KeyedTableMadeHereWidensAndKeepsItsIndex) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("emptyJet4.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::map<int32_t, jet::RowId> rows;
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::createTable(db, "Grows", keyedColumns());
        {
            jet::TableWriter w(db, "Grows");
            for (int32_t id = 1; id <= 500; ++id) rows[id] = w.insert(keyedRow(id));
        }
        jet::addColumn(db, "Grows", jet::newColumn("Code", "TEXT", 8));
        jet::addColumn(db, "Grows", jet::newColumn("Size", "LONG", 0));
        jet::TableWriter w(db, "Grows");
        for (int32_t id = 501; id <= 600; ++id) {
            std::vector<Value> row = keyedRow(id);
            row.insert(row.end(), {"c" + std::to_string(id), int32_t(id * 2)});
            rows[id] = w.insert(row);
        }
        std::vector<Value> dup = keyedRow(250);
        dup.insert(dup.end(), {Value(), Value()});
        EXPECT_EQ(errorOf([&] { w.insert(dup); }), jet::kErrDuplicateKey);
        db.commit();
    }
    jet::Database db(copy.path(), "");
    const jet::TableDef& t = db.table("Grows");
    for (const auto& [id, row] : rows) {
        ASSERT_EQ(jet::findRows(db.pager(), db.format(), t, t.real_indexes[0], {id}), std::vector<jet::RowId>{row});
        std::optional<jet::Bytes> stored = jet::readRow(db.pager(), db.format(), row);
        ASSERT_TRUE(stored);
        std::vector<Value> values;
        jet::RowReader(db.pager(), db.format(), db.codec(), t).decode(*stored, values);
        EXPECT_EQ(values[4], id > 500 ? Value("c" + std::to_string(id)) : Value()) << id;
        EXPECT_EQ(values[5], id > 500 ? Value(int32_t(id * 2)) : Value()) << id;
    }
    std::string csv = testdata::exported(copy.path(), "Grows");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "ID,Name,Amount,Notes,Code,Size");
    EXPECT_NE(csv.find("\n7,\"name 7\",1.75,\"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"), std::string::npos);
    EXPECT_NE(csv.find(",\"nnnnnnnnnn\",,\n"), std::string::npos);   // an old row: Code and Size empty
    EXPECT_NE(csv.find(",\"nnnnnnnnnn\",\"c600\",1200\n"), std::string::npos);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 601);
}

// What cannot be added safely is refused before a page changes.
TEST(AddColumn, RefusalsLeaveTheFileByteIdentical) {
    SKIP_WITHOUT_CORPUS();
    auto refused = [](const std::string& file, const std::string& table, NewColumn column) {
        testdata::Copy copy(file);
        std::vector<unsigned char> before = copy.read();
        jet::Database db(copy.path(), file == "V2000_with-password.mdb" ? "password" : "");
        db.begin();
        long number = errorOf([&] { jet::addColumn(db, table, column); });
        db.commit();
        EXPECT_EQ(copy.read(), before) << file << " " << table;
        return number;
    };
    // Rows of a table without variable columns have no room to name one.
    EXPECT_EQ(refused("oldDatesV2007.accdb", "Table1", jet::newColumn("T", "TEXT", 10)), jet::kErrUnsupported);
    // Access would number the existing rows.
    EXPECT_EQ(refused("indexTestV2000.mdb", "Table2", jet::newColumn("N", "COUNTER", 0)), jet::kErrUnsupported);
    // Rows counting deleted columns would be misread by mdb-export.
    EXPECT_EQ(refused("delColTestV2000.mdb", "Table1", jet::newColumn("N", "LONG", 0)), jet::kErrUnsupported);
    EXPECT_EQ(refused("currencyV2016.accdb", "Table", jet::newColumn("N", "LONG", 0)), jet::kErrUnsupported);
    // A definition already over two pages.
    EXPECT_EQ(refused("testV2003.mdb", "Table2", jet::newColumn("N", "LONG", 0)), jet::kErrUnsupported);
    NewColumn key = jet::newColumn("K", "LONG", 0);
    key.primary_key = true;
    EXPECT_EQ(refused("indexCursorTestV2000.mdb", "test", key), jet::kErrUnsupported);
    // A second AutoNumber would share the table's one counter.
    EXPECT_EQ(refused("oldDatesV2007.accdb", "Table1", jet::newColumn("N", "COUNTER", 0)), jet::kErrBadFieldType);
    EXPECT_EQ(refused("testV2003.mdb", "MSysObjects", jet::newColumn("N", "LONG", 0)), jet::kErrUnsupported);
    NewColumn too_wide = jet::newColumn("N", "TEXT", 10);
    too_wide.size = 300;
    EXPECT_EQ(refused("testV2003.mdb", "Table1", too_wide), jet::kErrBadFieldType);
    EXPECT_EQ(refused("testV1997.mdb", "Table1", jet::newColumn("N", "LONG", 0)), jet::kErrUnsupported);
}

}  // namespace
