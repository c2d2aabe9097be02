// SPDX-License-Identifier: Apache-2.0
// Lookups through a table's indexes: each statement is run twice, once as
// written (the planner may answer it through an index) and once with its
// condition hidden inside a function (which no index can answer, so the
// rows are scanned); the two must return the same rows in the same order,
// and the plan must show which path each took. Values cover every numeric
// key kind, ascending and descending keys, Nulls, mixed types (reals and
// text against whole numbers, values out of the kind's range), and tables
// changed after their indexes were written.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "ado/connection.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "jet/database.h"
#include "jet/index_page.h"
#include "jet/text_key.h"
#include "sql/session.h"
#include "support/testdata.h"

namespace {

using ado::sql::Session;

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

using testdata::exported;

// Every row of `text`, each value as SQLite's quote() writes it (which
// tells 5 from 5.0 from '5').
std::vector<std::string> rowsOf(Session& s, const std::string& text, const std::string& table) {
    ado::sql::StatementHandle stmt = s.prepare(text, {table});
    std::vector<std::string> rows;
    while (s.step(stmt.get())) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
            sqlite3_value* v = sqlite3_column_value(stmt.get(), i);
            switch (sqlite3_value_type(v)) {
            case SQLITE_NULL: row += "NULL"; break;
            case SQLITE_INTEGER: row += std::to_string(sqlite3_value_int64(v)); break;
            case SQLITE_FLOAT: {
                char buffer[40];
                std::snprintf(buffer, sizeof buffer, "%.17g", sqlite3_value_double(v));
                row += buffer;
                break;
            }
            default: row += "'" + std::string(reinterpret_cast<const char*>(sqlite3_value_text(v))) + "'";
            }
            row += "|";
        }
        rows.push_back(row);
    }
    return rows;
}

std::string planOf(Session& s, const std::string& text, const std::string& table) {
    ado::sql::StatementHandle stmt = s.prepare("EXPLAIN QUERY PLAN " + text, {table});
    std::string plan;
    while (s.step(stmt.get())) plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 3)) + std::string("; ");
    return plan;
}

bool throughIndex(const std::string& plan) { return plan.find("VIRTUAL TABLE INDEX 2:") != std::string::npos; }

// `condition` answered through an index and by a scan must agree.
void expectSameRows(Session& s, const std::string& table, const std::string& condition, bool expect_index = true) {
    std::string from = "SELECT rowid, * FROM " + quoted(table) + " WHERE ";
    std::string indexed = from + condition, scanned = from + "coalesce((" + condition + "), 0)";
    SCOPED_TRACE(indexed);
    std::string plan = planOf(s, indexed, table);
    EXPECT_EQ(throughIndex(plan), expect_index) << plan;
    EXPECT_FALSE(throughIndex(planOf(s, scanned, table)));
    EXPECT_EQ(rowsOf(s, indexed, table), rowsOf(s, scanned, table));
}

// Constants to compare a column with: each stored value, values either
// side of and between them, the same as reals and as text, values past
// every kind's range, zeros of both signs, text and binary that are no
// number, and Null.
std::vector<std::string> probesFor(Session& s, const std::string& table, const std::string& column) {
    std::vector<std::string> probes = {"NULL", "0", "-0.0", "0.0", "'abc'", "x'01'", "1e300", "-1e300",
                                       "9223372036854775807", "-9223372036854775808", "256", "-1", "65536",
                                       "4294967296", "'  12  '"};
    for (const std::string& row : rowsOf(s, "SELECT DISTINCT quote(" + quoted(column) + ") FROM " + quoted(table) +
                                                " WHERE " + quoted(column) + " IS NOT NULL LIMIT 12",
                                            table)) {
        std::string v = row.substr(1, row.size() - 3);  // the quoted text, unquoted once
        probes.push_back(v);
        probes.push_back("(" + v + " + 0.5)");
        probes.push_back("(" + v + " - 0.25)");
        // A number as text; a text in other cases.
        probes.push_back(v[0] == '\'' ? "upper(" + v + ")" : "'" + v + "'");
        probes.push_back("(" + v + " * 1.0)");
    }
    return probes;
}

void expectEveryComparisonAgrees(Session& s, const std::string& table, const std::string& column, bool ranges,
                                 bool text) {
    std::vector<std::string> probes = probesFor(s, table, column);
    std::string c = quoted(column);
    for (size_t i = 0; i < probes.size(); ++i) {
        const std::string& p = probes[i];
        expectSameRows(s, table, c + " = " + p);
        for (const char* op : {" < ", " <= ", " > ", " >= "}) expectSameRows(s, table, c + op + p, ranges);
        const std::string& q = probes[(i * 7 + 3) % probes.size()];
        expectSameRows(s, table, c + " > " + p + " AND " + c + " <= " + q, ranges);
        expectSameRows(s, table, c + " BETWEEN " + q + " AND " + p, ranges);
        expectSameRows(s, table, c + " IN (" + p + ", " + q + ")");
        // Access's LIKE goes to a text index, which scans where the pattern
        // has no fixed start.
        expectSameRows(s, table, "jet_like(" + c + ", lower(substr(" + p + ", 1, 2)) || '%')", text);
        expectSameRows(s, table, "jet_like(" + c + ", substr(" + p + ", 1, 4) || '_%')", text);
        expectSameRows(s, table, "jet_like(" + c + ", '%' || " + p + ")", text);
    }
}

struct Case {
    const char* file;
    const char* table;
    const char* column;
    bool ranges = true;  // ranges go through the index too
    bool text = false;
};

// Every numeric key kind, each ascending and descending (a Jet 3 file);
// primary keys and indexes of a Jet 4 file, on the same column twice.
const Case kCases[] = {
    {"testIndexCodesV1997.mdb", "Table2", "data"},      {"testIndexCodesV1997.mdb", "Table2_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table3", "data"},      {"testIndexCodesV1997.mdb", "Table3_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table4", "data"},      {"testIndexCodesV1997.mdb", "Table4_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table5", "data"},      {"testIndexCodesV1997.mdb", "Table5_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table6", "data"},      {"testIndexCodesV1997.mdb", "Table6_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table8", "data"},      {"testIndexCodesV1997.mdb", "Table8_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table9", "data"},      {"testIndexCodesV1997.mdb", "Table9_desc", "data"},
    {"testIndexCodesV1997.mdb", "Table11", "id"},       {"indexTestV2000.mdb", "Table1", "id"},
    {"indexTestV2000.mdb", "Table1", "otherfk2"},       {"indexTestV2000.mdb", "Table3", "id"},
    {"fixedTextTestV2000.mdb", "users", "d_stamp_"},
    // Text keys: in Access 97's and the legacy General orders ascending and
    // descending, and in the General order; each file's text sorts in its
    // own order, so ranges go through the index.
    {"testIndexCodesV1997.mdb", "Table1", "data", true, true},
    {"testIndexCodesV1997.mdb", "Table1_desc", "name", true, true},
    {"bigIndexTestV2000.mdb", "Table1", "col1", true, true},
    {"testIndexPropertiesV2010.accdb", "TableIgnoreNulls1", "data", true, true},
    {"testIndexPropertiesV2010.accdb", "TableIgnoreNulls1", "row", true, true},
};

TEST(SqlIndex, EveryComparisonOnAKeyColumnMatchesAScan) {
    SKIP_WITHOUT_CORPUS();
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table + "." + c.column);
        jet::Database db(testdata::file(c.file), "");
        Session s(db);
        expectEveryComparisonAgrees(s, c.table, c.column, c.ranges, c.text);
    }
}

// The rows of one text column as the sort order ranks them: each text as
// its key, so that texts the order holds equal (case aside, and characters
// it passes over) are alike; other values as they are.
std::vector<std::string> ranks(std::vector<std::string> rows, std::optional<jet::TextSortOrder> order) {
    for (std::string& row : rows) {
        if (!order || row.size() < 3 || row[0] != '\'') continue;
        std::vector<uint8_t> key;
        jet::appendTextKey(key, *order, row.substr(1, row.size() - 3), true);
        row.assign(key.begin(), key.end());
    }
    return rows;
}

// ORDER BY a key column comes from its index where one lists every row,
// in the rank order SQLite's own sort gives ("+column" makes it sort).
TEST(SqlIndex, OrderByAKeyColumnComesFromItsIndexInTheSortsOrder) {
    SKIP_WITHOUT_CORPUS();
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table + "." + c.column);
        jet::Database db(testdata::file(c.file), "");
        const jet::TableDef& t = db.table(c.table);
        const jet::Column& key = t.columns[size_t(t.findColumn(c.column))];
        bool every_row = std::any_of(t.real_indexes.begin(), t.real_indexes.end(), [&](const jet::RealIndex& i) {
            return i.columns[0].column_number == key.number && !(i.flags & jet::kIndexIgnoreNulls);
        });
        std::optional<jet::TextSortOrder> order = key.type == jet::kText ? jet::textSortOrder(key) : std::nullopt;
        Session s(db);
        std::string column = quoted(c.column), from = " FROM " + quoted(c.table) + " ORDER BY ";
        for (const char* direction : {"", " DESC"}) {
            std::string indexed = "SELECT " + column + from + column + direction;
            std::string sorted = "SELECT " + column + from + "+" + column + direction;
            EXPECT_EQ(planOf(s, indexed, c.table).find("TEMP B-TREE") == std::string::npos, every_row) << indexed;
            EXPECT_NE(planOf(s, sorted, c.table).find("TEMP B-TREE"), std::string::npos) << sorted;
            EXPECT_EQ(ranks(rowsOf(s, indexed, c.table), order), ranks(rowsOf(s, sorted, c.table), order)) << indexed;
        }
    }
}

// Conditions the index takes part of, or none of.
TEST(SqlIndex, PartlyIndexedAndUnindexedConditions) {
    SKIP_WITHOUT_CORPUS();
    jet::Database db(testdata::file("indexTestV2000.mdb"), "");
    Session s(db);
    expectSameRows(s, "Table1", "id >= 1 AND data LIKE 'baz1%'");
    expectSameRows(s, "Table1", "otherfk1 = 1 AND otherfk2 > 10 AND id < 3");
    expectSameRows(s, "Table1", "id = 2 OR id = 0", true);  // SQLite's OR lookups, one per term
    expectSameRows(s, "Table1", "data = 'baz11'", false);
    expectSameRows(s, "Table1", "id <> 1", false);
    expectSameRows(s, "Table1", "id + 0 = 1", false);
    expectSameRows(s, "Table1", "id IS NULL", false);
}

// A large table's primary key and its second index; ORDER BY and
// aggregates over lookups.
TEST(SqlIndex, LargeTableLookupsMatchAScan) {
    SKIP_WITHOUT_CORPUS();
    jet::Database db(testdata::root() + "/large/big100k.mdb", "");
    Session s(db);
    for (const char* condition : {"ID = 50000", "ID = 1", "ID = 98970", "ID = 200000", "ID > 98900", "ID BETWEEN 777 AND 790",
                                  "ID IN (5, 99, 12345, 67890, -1)", "Code = 17", "Code < 20 AND ID < 1000",
                                  "Code >= 999990", "ID = '4242'", "ID = 4242.0", "ID = 4242.5",
                                  "Name = 'Paweł Z13720'", "Name = 'PAWEŁ z13720'", "Name = 'Pawel Z13720'",
                                  "Name IN ('Gül W42068', 'mørk z55647', 'Nobody')", "jet_like(Name, 'paweł z1%')",
                                  "jet_like(Name, 'Ann A_2%')"})
        expectSameRows(s, "BigTable", condition);
    EXPECT_EQ(rowsOf(s, "SELECT count(*), sum(Amount) FROM BigTable WHERE Code BETWEEN 100 AND 300", "BigTable"),
              rowsOf(s, "SELECT count(*), sum(Amount) FROM BigTable WHERE coalesce(Code BETWEEN 100 AND 300, 0)", "BigTable"));
    EXPECT_EQ(rowsOf(s, "SELECT ID, Name FROM BigTable WHERE ID < 300 ORDER BY Name DESC", "BigTable"),
              rowsOf(s, "SELECT ID, Name FROM BigTable WHERE coalesce(ID < 300, 0) ORDER BY Name DESC", "BigTable"));
}

// ORDER BY on text follows the General sort order, the order of the text
// index stored in the file (accents after letters, case not at all).
TEST(SqlIndex, TextSortsInTheOrderOfTheStoredTextIndex) {
    SKIP_WITHOUT_CORPUS();
    // A file of each General order: the newer, Access 97's, the legacy one.
    struct Sorted {
        std::string path;
        const char* table;
        const char* column;
        size_t rows, accented;
    };
    const Sorted cases[] = {{testdata::root() + "/large/big100k.mdb", "BigTable", "Name", 98969, 1000},
                            {testdata::file("testIndexCodesV1997.mdb"), "Table1", "data", 1, 1},
                            {testdata::file("testIndexPropertiesV2000.mdb"), "TableIgnoreNulls1", "data", 1, 0}};
    for (const Sorted& c : cases) {
        SCOPED_TRACE(c.path);
        jet::Database db(c.path, "");
        const jet::TableDef& t = db.table(c.table);
        int name = t.findColumn(c.column);
        const jet::RealIndex* by_name = nullptr;
        for (const jet::RealIndex& index : t.real_indexes)
            if (index.columns.size() == 1 && index.columns[0].column_number == t.columns[size_t(name)].number &&
                index.columns[0].ascending)
                by_name = &index;
        ASSERT_TRUE(by_name);
        jet::RowReader reader(db, t);
        std::map<std::string, std::vector<uint8_t>> key_of;
        for (const jet::IndexEntry& e : jet::readIndex(db.pager(), db.format(), by_name->root_page)) {
            jet::Value v = reader.decodeColumn(*jet::readRow(db.pager(), db.format(), e.row), size_t(name));
            if (v.is<std::string>()) key_of[v.as<std::string>()] = e.key;
        }
        Session s(db);
        std::string column = quoted(c.column);
        ado::sql::StatementHandle stmt = s.prepare(
            "SELECT " + column + " FROM " + c.table + " WHERE " + column + " IS NOT NULL ORDER BY " + column, {c.table});
        std::vector<uint8_t> previous;
        size_t rows = 0, accented = 0;
        while (s.step(stmt.get())) {
            std::string n = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
            const std::vector<uint8_t>& key = key_of.at(n);
            ASSERT_LE(previous, key) << "out of the index's order at " << n;
            previous = key;
            ++rows;
            accented += std::any_of(n.begin(), n.end(), [](char ch) { return ch & 0x80; });
        }
        EXPECT_GE(rows, c.rows);
        EXPECT_GE(accented, c.accented);
        if (c.rows > 1) EXPECT_EQ(rows, c.rows);
    }
}

// Rows written after the file was made are found through the indexes the
// writer keeps, and a statement that changes rows it found through an
// index changes exactly the rows a scan would have.
TEST(SqlIndex, ChangedTablesAndChangesThroughLookups) {
    SKIP_WITHOUT_CORPUS();
    const std::vector<std::string> changes = {
        "INSERT INTO Table1 (id, otherfk1, otherfk2, data, otherfk3) VALUES (10, 5, 15, 'new', 1)",
        "INSERT INTO Table1 (id, otherfk1, otherfk2, data, otherfk3) VALUES (-4, 5, 16, 'negative', 1)",
        "UPDATE Table1 SET otherfk2 = otherfk2 + 100, data = data || ' grown to move the row off its page slot' "
        "WHERE %id >= 2",
        "DELETE FROM Table1 WHERE %otherfk1 = 1",
        "UPDATE Table1 SET id = id + 20 WHERE %id BETWEEN -5 AND 3",
    };
    // The same changes, found through the index and by a scan.
    testdata::Copy through_index("indexTestV2000.mdb"), by_scan("indexTestV2000.mdb");
    for (bool scan : {false, true}) {
        jet::Database db((scan ? by_scan : through_index).path(), "");
        Session s(db);
        // The rows of Table2 and Table3 the changes make Table1 refer to.
        const std::pair<std::string, std::string> parents[] = {
            {"Table2", "(5, 'x')"}, {"Table3", "(15, 'x'), (16, 'x'), (111, 'x'), (113, 'x'), (115, 'x')"}};
        for (const auto& [table, rows] : parents) {
            ado::sql::StatementHandle stmt = s.prepare("INSERT INTO " + table + " (id, data) VALUES " + rows, {table});
            while (s.step(stmt.get())) {
            }
        }
        for (std::string change : changes) {
            size_t mark = change.find('%');
            if (mark != std::string::npos) {
                size_t end = change.size();
                change = scan ? change.substr(0, mark) + "coalesce(" + change.substr(mark + 1, end - mark - 1) + ", 0)"
                              : change.substr(0, mark) + change.substr(mark + 1);
                SCOPED_TRACE(change);
                EXPECT_EQ(throughIndex(planOf(s, change, "Table1")), !scan);
            }
            ado::sql::StatementHandle stmt = s.prepare(change, {"Table1"});
            while (s.step(stmt.get())) {
            }
        }
        if (!scan) {
            for (const char* condition : {"id = 10", "id = -4", "id > 5", "otherfk2 >= 100", "otherfk1 = 5", "id = 1"})
                expectSameRows(s, "Table1", condition);
        }
    }
    EXPECT_EQ(exported(through_index.path(), "Table1"), exported(by_scan.path(), "Table1"));
    EXPECT_NE(exported(through_index.path(), "Table1").find("23,2,113"), std::string::npos)
        << exported(through_index.path(), "Table1");
}

// Through the access interface as a window sends it.
TEST(SqlIndex, RecordsetOnALookup) {
    SKIP_WITHOUT_CORPUS();
    ado::Connection cn;
    cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + testdata::root() +
            "/large/big100k.mdb;Jet OLEDB:Database Password=");
    ado::Recordset rs;
    rs.Open("SELECT ID, Code, Name FROM BigTable WHERE ID = 4242", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(ado::toText(rs.GetFields()[0L].GetValue(), '.'), "4242");
    rs.Close();
    rs.Open("SELECT ID FROM BigTable WHERE Code = 17 AND ID < 100", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), 1);
}

}  // namespace
