// SPDX-License-Identifier: Apache-2.0
// Creating, dropping and copying tables: the type names, the name rules,
// the pages a new table gets (read back by our reader), refusals that
// leave the file byte-identical, and the whole operations checked with
// mdbtools as an independent reader.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>

#include "jet/database.h"
#include "jet/table_ddl.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/testdata.h"

namespace {

using jet::NewColumn;

std::string run(const std::string& cmd) {
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << cmd;
    return out;
}

std::string exported(const std::string& path, const std::string& table) {
    return run("mdb-export -D '%Y-%m-%d' -T '%Y-%m-%d %H:%M:%S' -b hex '" + path + "' '" + table + "'");
}

// One column of every kind the DDL names.
std::vector<NewColumn> everyType() {
    std::vector<NewColumn> cols;
    const std::pair<const char*, const char*> named[] = {
        {"Id", "COUNTER"},    {"Name", "TEXT"},     {"Code", "TEXT"},   {"Notes", "MEMO"},
        {"Small", "BYTE"},    {"Short", "SHORT"},   {"Long", "LONG"},   {"Single", "SINGLE"},
        {"Double", "DOUBLE"}, {"Money", "CURRENCY"}, {"When", "DATETIME"}, {"Flag", "YESNO"},
        {"Picture", "OLEOBJECT"}, {"Key", "GUID"},
    };
    for (auto [name, type] : named) cols.push_back(jet::newColumn(name, type, std::string(name) == "Code" ? 10 : 0));
    return cols;
}

std::vector<jet::Value> sampleRow(int i) {
    return {jet::Value(), "name " + std::to_string(i), "c" + std::to_string(i), std::string(3000, char('a' + i % 26)),
            uint8_t(i), int16_t(-i), int32_t(100000 + i), float(i) / 4, double(i) / 3,
            jet::Currency{12345 * int64_t(i)}, jet::DateTime{40000.5 + i}, i % 2 == 0,
            jet::Binary(5000, uint8_t(i)), jet::Guid{{uint8_t(i), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}};
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    return 0;
}

TEST(TableDdl, TypeNamesAndSynonyms) {
    const std::pair<const char*, uint8_t> names[] = {
        {"TEXT", jet::kText},        {"VARCHAR", jet::kText},     {"MEMO", jet::kMemo},
        {"LONGTEXT", jet::kMemo},    {"BYTE", jet::kByte},        {"SHORT", jet::kInteger},
        {"SMALLINT", jet::kInteger}, {"LONG", jet::kLong},        {"INTEGER", jet::kLong},
        {"SINGLE", jet::kSingle},    {"REAL", jet::kSingle},      {"DOUBLE", jet::kDouble},
        {"FLOAT", jet::kDouble},     {"CURRENCY", jet::kCurrency}, {"MONEY", jet::kCurrency},
        {"DATETIME", jet::kDateTime}, {"DATE", jet::kDateTime},   {"YESNO", jet::kBoolean},
        {"BIT", jet::kBoolean},      {"OLEOBJECT", jet::kOle},    {"LONGBINARY", jet::kOle},
        {"GUID", jet::kGuid},        {"COUNTER", jet::kLong},     {"AUTOINCREMENT", jet::kLong},
    };
    for (auto [name, type] : names) EXPECT_EQ(jet::newColumn("F", name, 0).type, type) << name;
    EXPECT_TRUE(jet::newColumn("F", "COUNTER", 0).autonumber);
    EXPECT_FALSE(jet::newColumn("F", "LONG", 0).autonumber);
    EXPECT_EQ(jet::newColumn("F", "TEXT", 0).size, 255);
    EXPECT_EQ(jet::newColumn("F", "TEXT", 20).size, 20);
    EXPECT_EQ(errorOf([] { jet::newColumn("F", "TEXT", 256); }), jet::kErrBadFieldType);
    EXPECT_EQ(errorOf([] { jet::newColumn("F", "VARIANT", 0); }), jet::kErrBadFieldType);
    EXPECT_EQ(errorOf([] { jet::newColumn("F", "text", 0); }), jet::kErrBadFieldType);  // the translator upper-cases
}

TEST(TableDdl, NamesCheckedAsAccessChecksThem) {
    for (const char* good : {"People", "Order Details", "a", "Ünïcödé_1", "x-y+z"})
        EXPECT_NO_THROW(jet::checkName(good)) << good;
    std::string sixty_four(64, 'n');
    EXPECT_NO_THROW(jet::checkName(sixty_four));
    for (const std::string& bad : {std::string(), std::string(65, 'n'), std::string(" lead"), std::string("a.b"),
                                   std::string("a!b"), std::string("a`b"), std::string("a[b"), std::string("a]b"),
                                   std::string("tab\there"), std::string("\xff\xfe")})
        EXPECT_EQ(errorOf([&] { jet::checkName(bad); }), jet::kErrBadName) << bad;
}

// Every refusal is decided before a page changes: even a caller that goes
// on to commit leaves the file as it was.
TEST(TableDdl, RefusalsLeaveTheFileByteIdentical) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    std::vector<unsigned char> before = copy.read();
    auto refused = [&](const std::function<void(jet::Database&)>& op) {
        jet::Database db(copy.path(), "");
        db.begin();
        long number = errorOf([&] { op(db); });
        db.commit();
        return number;
    };
    std::vector<NewColumn> one = {jet::newColumn("A", "TEXT", 10)};
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "bad.name", one); }), jet::kErrBadName);
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, " lead", one); }), jet::kErrBadName);
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "TABLE1", one); }), jet::kErrTableExists);
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "msysobjects", one); }), jet::kErrTableExists);
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", {}); }), jet::kErrNoFields);
    std::vector<NewColumn> twice = {one[0], jet::newColumn("a", "LONG", 0)};
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", twice); }), jet::kErrDuplicateField);
    std::vector<NewColumn> bad_field = {jet::newColumn("a]", "LONG", 0)};
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", bad_field); }), jet::kErrBadName);
    std::vector<NewColumn> many(256, one[0]);
    for (size_t i = 0; i < many.size(); ++i) many[i].name = "F" + std::to_string(i);
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", many); }), jet::kErrTooManyFields);
    std::vector<NewColumn> memo_key = {jet::newColumn("M", "MEMO", 0)};
    memo_key[0].primary_key = true;
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", memo_key); }), jet::kErrBadFieldType);
    std::vector<NewColumn> wide_key(11, jet::newColumn("K", "LONG", 0));
    for (size_t i = 0; i < wide_key.size(); ++i) wide_key[i].name = "K" + std::to_string(i), wide_key[i].primary_key = true;
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", wide_key); }), jet::kErrUnsupported);
    std::vector<NewColumn> two_counters = {jet::newColumn("A", "COUNTER", 0), jet::newColumn("B", "COUNTER", 0)};
    EXPECT_EQ(refused([&](auto& db) { jet::createTable(db, "New", two_counters); }), jet::kErrBadFieldType);
    EXPECT_EQ(refused([&](auto& db) { jet::dropTable(db, "NoSuchTable"); }), jet::kErrNoSuchTable);
    EXPECT_EQ(refused([&](auto& db) { jet::dropTable(db, "MSysObjects"); }), jet::kErrUnsupported);
    EXPECT_EQ(refused([&](auto& db) { jet::copyTable(db, "NoSuchTable", "New"); }), jet::kErrNoSuchTable);
    EXPECT_EQ(refused([&](auto& db) { jet::copyTable(db, "Table1", "Table2"); }), jet::kErrTableExists);
    EXPECT_EQ(refused([&](auto& db) { jet::addColumn(db, "Table1", jet::newColumn("b", "LONG", 0)); }),
              jet::kErrDuplicateField);
    EXPECT_EQ(refused([&](auto& db) { jet::addColumn(db, "NoSuchTable", one[0]); }), jet::kErrNoSuchTable);
    EXPECT_EQ(refused([&](auto& db) { jet::addColumn(db, "Table1", jet::newColumn("x]", "LONG", 0)); }),
              jet::kErrBadName);
    EXPECT_EQ(copy.read(), before);

    testdata::Copy jet3("testV1997.mdb");
    std::vector<unsigned char> jet3_before = jet3.read();
    {
        jet::Database db(jet3.path(), "");
        db.begin();
        EXPECT_EQ(errorOf([&] { jet::createTable(db, "New", one); }), jet::kErrUnsupported);
        EXPECT_EQ(errorOf([&] { jet::dropTable(db, "Table1"); }), jet::kErrUnsupported);
        db.commit();
    }
    EXPECT_EQ(jet3.read(), jet3_before);
}

// The definition and map pages of a new table, read back by our reader
// from the committed file, the rest of the file as it was.
TEST(TableDdl, NewTablePagesReadBack) {
    SKIP_WITHOUT_CORPUS();
    for (const char* file : {"emptyJet4.mdb", "testV2003.mdb"}) {
        SCOPED_TRACE(file);
        testdata::Copy copy(file);
        std::vector<std::string> others = jet::Database(copy.path(), "").userTables();
        std::vector<std::string> exports;
        for (const std::string& t : others) exports.push_back(exported(copy.path(), t));
        std::vector<NewColumn> cols = everyType();
        uint32_t page;
        {
            jet::Database db(copy.path(), "");
            db.begin();
            page = jet::writeTablePages(db, cols);
            db.commit();
        }
        jet::Database db(copy.path(), "");
        jet::TableDef t = jet::TableDef::read(db.pager(), db.format(), db.codec(), page);
        EXPECT_EQ(t.table_type, 0x4E);
        EXPECT_EQ(t.row_count, 0u);
        ASSERT_EQ(t.columns.size(), cols.size());
        std::set<std::pair<int, int>> fixed_spans;
        std::set<int> var_slots;
        for (size_t i = 0; i < cols.size(); ++i) {
            const jet::Column& c = t.columns[i];
            EXPECT_EQ(c.name, cols[i].name);
            EXPECT_EQ(c.type, cols[i].type);
            EXPECT_EQ(c.number, i);
            EXPECT_EQ(c.autoNumber(), cols[i].autonumber);
            bool variable = c.type == jet::kText || c.type == jet::kMemo || c.type == jet::kOle;
            EXPECT_EQ(c.fixedLength(), !variable) << c.name;
            if (variable) {
                EXPECT_TRUE(var_slots.insert(c.var_index).second) << c.name;
            } else if (c.type != jet::kBoolean) {
                fixed_spans.insert({c.fixed_offset, c.fixed_offset + c.length});
                EXPECT_EQ(c.length, jet::naturalSize(c.type)) << c.name;
            }
        }
        EXPECT_EQ(t.columns[1].length, 510);  // TEXT: 255 characters of two bytes
        EXPECT_EQ(t.columns[2].length, 20);
        EXPECT_EQ(t.var_columns, var_slots.size());
        int end = 0;
        for (auto [from, to] : fixed_spans) EXPECT_GE(from, end), end = to;  // no two fixed columns overlap
        ASSERT_EQ(t.column_maps.size(), 2u);  // the Memo and the OLE column
        EXPECT_EQ(t.column_maps[0].column_number, 3);
        EXPECT_EQ(t.column_maps[1].column_number, 12);
        std::vector<uint32_t> maps = {t.owned_pages, t.free_pages};
        for (const jet::ColumnMaps& m : t.column_maps) maps.insert(maps.end(), {m.owned_pages, m.free_pages});
        EXPECT_EQ(std::set<uint32_t>(maps.begin(), maps.end()).size(), maps.size());
        for (uint32_t m : maps) EXPECT_TRUE(jet::readUsageMap(db.pager(), db.format(), m).empty());
        std::vector<uint32_t> free = jet::readUsageMap(db.pager(), db.format(), jet::kGlobalUsageMap);
        for (uint32_t p : {page, t.owned_pages >> 8})
            EXPECT_FALSE(std::count(free.begin(), free.end(), p)) << "page " << p << " still marked free";
        for (size_t i = 0; i < others.size(); ++i) EXPECT_EQ(exported(copy.path(), others[i]), exports[i]);
    }
}

// A definition longer than a page runs over a continuation page.
TEST(TableDdl, WideDefinitionSpansPages) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("emptyJet4.mdb");
    std::vector<NewColumn> cols;
    for (int i = 0; i < 255; ++i)
        cols.push_back(jet::newColumn("A rather long column name " + std::to_string(i), i % 4 ? "LONG" : "MEMO", 0));
    cols[1].primary_key = cols[254].primary_key = true;
    uint32_t page;
    {
        jet::Database db(copy.path(), "");
        db.begin();
        page = jet::writeTablePages(db, cols);
        db.commit();
    }
    jet::Database db(copy.path(), "");
    EXPECT_NE(db.pager().page(page).u32(4), 0u);
    jet::TableDef t = jet::TableDef::read(db.pager(), db.format(), db.codec(), page);
    ASSERT_EQ(t.columns.size(), 255u);
    EXPECT_EQ(t.columns[254].name, "A rather long column name 254");
    EXPECT_EQ(t.columns[254].fixed_offset, (254 - 64) * 4);  // every fourth column is a Memo
    // The key's entries lie past the first page; 64 Memo columns need 131
    // maps, more than one page holds.
    ASSERT_EQ(t.indexes.size(), 1u);
    EXPECT_EQ(t.indexes[0].name, "PrimaryKey");
    ASSERT_EQ(t.real_indexes[0].columns.size(), 2u);
    EXPECT_EQ(t.real_indexes[0].columns[1].column_number, 254);
    ASSERT_EQ(t.column_maps.size(), 64u);
    std::set<uint32_t> maps = {t.owned_pages, t.free_pages, t.real_indexes[0].usage_map}, map_pages;
    for (const jet::ColumnMaps& m : t.column_maps) maps.insert({m.owned_pages, m.free_pages});
    EXPECT_EQ(maps.size(), 131u);
    for (uint32_t m : maps) {
        map_pages.insert(m >> 8);
        std::vector<uint32_t> pages = jet::readUsageMap(db.pager(), db.format(), m);
        if (m == t.real_indexes[0].usage_map) EXPECT_EQ(pages, std::vector<uint32_t>{t.real_indexes[0].root_page});
        else EXPECT_TRUE(pages.empty()) << m;
    }
    EXPECT_GE(map_pages.size(), 3u);
}

TEST(TableDdl, CreatedTableReadByEveryReader) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    std::vector<std::string> others = jet::Database(copy.path(), "").userTables();
    std::vector<std::string> exports;
    for (const std::string& t : others) exports.push_back(exported(copy.path(), t));
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::createTable(db, "People", everyType());
        jet::TableWriter w(db, "People");
        for (int i = 0; i < 20; ++i) w.insert(sampleRow(i));
        db.commit();
    }
    EXPECT_NE(run("mdb-tables -1 '" + copy.path() + "'").find("People\n"), std::string::npos);
    std::string schema = run("mdb-schema -T People '" + copy.path() + "' access");
    for (const char* name : {"[Id]", "[Name]", "[Notes]", "[Flag]", "[Key]"}) EXPECT_NE(schema.find(name), std::string::npos) << schema;
    std::string csv = exported(copy.path(), "People");
    EXPECT_NE(csv.find("1,\"name 0\",\"c0\""), std::string::npos) << csv.substr(0, 400);
    EXPECT_NE(csv.find("20,\"name 19\""), std::string::npos);
    jet::Database db(copy.path(), "");
    jet::TableScan scan(db, db.table("people"));
    std::vector<jet::Value> row;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(scan.next());
        scan.read(row);
        std::vector<jet::Value> expected = sampleRow(i);
        expected[0] = int32_t(i + 1);
        EXPECT_EQ(row, expected) << "row " << i;
    }
    EXPECT_FALSE(scan.next());
    for (size_t i = 0; i < others.size(); ++i) EXPECT_EQ(exported(copy.path(), others[i]), exports[i]) << others[i];
}

TEST(TableDdl, DropFreesPagesAndKeepsOthers) {
    SKIP_WITHOUT_CORPUS();
    // A small file, so the pages the table takes lie inside the range the
    // free-space map covers.
    testdata::Copy copy("testPromotionV2000.mdb");
    std::set<uint32_t> table_pages;
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::createTable(db, "Scratch", everyType());
        jet::TableWriter w(db, "Scratch");
        for (int i = 0; i < 50; ++i) w.insert(sampleRow(i));
        db.commit();
        const jet::TableDef& t = db.table("Scratch");
        table_pages.insert(t.page);
        for (uint32_t p : jet::readUsageMap(db.pager(), db.format(), t.owned_pages)) table_pages.insert(p);
        for (const jet::ColumnMaps& m : t.column_maps)
            for (uint32_t p : jet::readUsageMap(db.pager(), db.format(), m.owned_pages)) table_pages.insert(p);
    }
    std::vector<std::string> others = jet::Database(copy.path(), "").userTables();
    std::vector<std::string> exports;
    for (const std::string& t : others)
        if (t != "Scratch") exports.push_back(exported(copy.path(), t));
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::dropTable(db, "scratch");
        db.commit();
    }
    jet::Database db(copy.path(), "");
    EXPECT_EQ(errorOf([&] { db.table("Scratch"); }), jet::kErrNoSuchTable);
    std::vector<uint32_t> free = jet::readUsageMap(db.pager(), db.format(), jet::kGlobalUsageMap);
    for (uint32_t p : table_pages) EXPECT_TRUE(std::count(free.begin(), free.end(), p)) << "page " << p;
    EXPECT_EQ(run("mdb-tables -1 '" + copy.path() + "'").find("Scratch"), std::string::npos);
    size_t k = 0;
    for (const std::string& t : others)
        if (t != "Scratch") {
            EXPECT_EQ(exported(copy.path(), t), exports[k++]) << t;
        }
}

TEST(TableDdl, CopyHasEveryRow) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::copyTable(db, "Table1", "Table1Copy");
        db.commit();
    }
    jet::Database db(copy.path(), "");
    jet::TableScan a(db, db.table("Table1")), b(db, db.table("Table1Copy"));
    std::vector<jet::Value> ra, rb;
    while (a.next()) {
        ASSERT_TRUE(b.next());
        a.read(ra);
        b.read(rb);
        EXPECT_EQ(ra, rb);
    }
    EXPECT_FALSE(b.next());
    std::string original = exported(copy.path(), "Table1"), copied = exported(copy.path(), "Table1Copy");
    EXPECT_EQ(original.substr(original.find('\n')), copied.substr(copied.find('\n')));
}

// A crash at any write of the commit leaves the file without the table or
// with all of it.
TEST(TableDdl, CrashDuringCreateLeavesBeforeOrAfter) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy original("testV2003.mdb");
    std::vector<unsigned char> before = original.read();
    for (int crash_at = 0;; ++crash_at) {
        testdata::Copy copy("testV2003.mdb");
        pid_t child = fork();
        if (child == 0) {
            jet::Pager::setIoHook([crash_at](int n) {
                if (n == crash_at) _exit(3);
            });
            jet::Database db(copy.path(), "");
            db.begin();
            jet::createTable(db, "People", everyType());
            db.commit();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        jet::Database db(copy.path(), "");
        std::vector<std::string> tables = db.userTables();
        bool created = std::count(tables.begin(), tables.end(), "People");
        if (created) EXPECT_EQ(db.table("People").columns.size(), everyType().size());
        else EXPECT_EQ(copy.read(), before) << "crash at " << crash_at;
        if (WEXITSTATUS(status) == 0) {
            EXPECT_TRUE(created);
            break;
        }
    }
}

}  // namespace
