// SPDX-License-Identifier: Apache-2.0
// SQL through the access interface as the windows send it: loads, free
// statements, positioned updates and AddNew on query results, and every way
// a statement fails, each failure leaving the file byte for byte as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <memory>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "jet/error.h"
#include "support/sql_fixture.h"
#include "support/testdata.h"

namespace {

using testdata::exported;

// mdb-export's lines, header first, the rows sorted: a row that grows may
// move to another page.
std::string sortedRows(const std::string& csv) {
    std::vector<std::string> lines;
    for (size_t from = 0, end; (end = csv.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(csv.substr(from, end + 1 - from));
    if (!lines.empty()) std::sort(lines.begin() + 1, lines.end());
    std::string out;
    for (const std::string& line : lines) out += line;
    return out;
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ado::Error& e) {
        return e.number();
    }
    return 0;
}

const char* const kJobs = "jobDB1";  // Long, Double and Text columns, no index

class Sql : public testdata::SqlTest {
protected:
    // A copy of the promotion test file with four jobs in its empty table.
    std::unique_ptr<testdata::Copy> jobs() {
        auto copy = std::make_unique<testdata::Copy>("testPromotionV2000.mdb");
        open(copy->path());
        for (int i = 1; i <= 4; ++i)
            EXPECT_EQ(execute("INSERT INTO jobDB1 (ID, MainNumber, PhaseNumber, JobName) VALUES (" +
                              std::to_string(i) + ", " + std::to_string(i * 10) + ", " + std::to_string(i) +
                              ".5, 'job " + std::to_string(i) + "')"),
                      1);
        return copy;
    }
    std::string text(long field) { return ado::toText(rs.GetFields()[field].GetValue(), '.'); }

    ado::Recordset rs;
};

TEST_F(Sql, TableLoadCountsBookmarksAndKeepsTypes) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("testV2000.mdb"));
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), 2);
    std::vector<ado::DataType> table_types;
    for (long i = 0; i < rs.GetFields().Count(); ++i) table_types.push_back(rs.GetFields()[i].Type());
    auto all = rs.GetRows(ado::adGetRowsRest);
    EXPECT_EQ(all[0].size(), 2u);
    rs.MoveFirst();
    rs.MoveNext();
    EXPECT_EQ(rs.Bookmark(), 2);
    rs.Close();

    // A direct column keeps its Access type; computed ones get the natural one.
    rs.Open("SELECT A, G, I, C + 1 AS c1, H * 2 AS h2, A & 'x' AS ax FROM Table1 WHERE D > 100 ORDER BY A", cn,
            ado::adOpenStatic, ado::adLockOptimistic, -1);
    ado::Fields& f = rs.GetFields();
    EXPECT_EQ(f[0L].Type(), table_types[0]);
    EXPECT_EQ(f[1L].Type(), ado::adDate);
    EXPECT_EQ(f[2L].Type(), ado::adBoolean);
    EXPECT_EQ(f[3L].Type(), ado::adInteger);
    EXPECT_EQ(f[4L].Type(), ado::adCurrency);  // Currency times a whole number
    EXPECT_EQ(f["c1"].Name(), "c1");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(text(0), "abcdefg");
    EXPECT_EQ(text(1), "9/21/1974");
    EXPECT_EQ(text(2), "True");
    EXPECT_EQ(text(3), "3");
    EXPECT_EQ(text(4), "7");
    rs.Close();

    // Text compares as Access compares it, without regard to case.
    rs.Open("SELECT count(*) AS n FROM Table1 WHERE A = 'ABCDEFG'", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.GetFields()[0L].Type(), ado::adInteger);
    EXPECT_EQ(text(0), "1");
}

// The pick lists build statements with a leading blank and bracketed names.
TEST_F(Sql, StatementsAsThePickListsBuildThem) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("testV2000.mdb"));
    rs.Open(" SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), 2);
    rs.Close();
    rs.Open(" SELECT * FROM [Table1] WHERE C > 0", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.GetFields().Count(), 9);
    rs.Close();
    EXPECT_EQ(execute(" SELECT * FROM [Table1] WHERE C > 0"), 0);
}

TEST_F(Sql, FreeStatementsChangeRowsAndCountThem) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    EXPECT_EQ(execute("UPDATE jobDB1 SET JobName = JobName & ' done', PhaseNumber = PhaseNumber * 2 WHERE ID >= 3"), 2);
    EXPECT_EQ(execute("DELETE FROM jobDB1 WHERE ID = 1"), 1);
    EXPECT_EQ(execute("SELECT * FROM jobDB1"), 0);  // run, its rows dropped
    cn.Close();
    EXPECT_EQ(exported(copy->path(), kJobs),
              "ID,MainNumber,PhaseNumber,JobName,PrevailingWage,JobType,Department,PulledBy,RequestBy,FullNumber\n"
              "2,20,2.5,\"job 2\",,,,,,\n"
              "3,30,7,\"job 3 done\",,,,,,\n"
              "4,40,9,\"job 4 done\",,,,,,\n");
}

TEST_F(Sql, PositionedUpdateAndAddNewAsTheEditorsDriveThem) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    // Writing a cell back: row 3, column 4 of the grid.
    {
        ado::Recordset cell;
        cell.Open("SELECT * FROM jobDB1", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
        cell.Move(3 - 1);
        cell.GetFields().Item(3).SetValue(std::string("renamed"));
        cell.GetFields().Item(2).SetValue(std::string("8.25"));
        cell.Update();
        cell.Close();
    }
    // Adding a row: every field set from text, empty text for the rest.
    {
        ado::Recordset add;
        add.Open("SELECT * FROM jobDB1", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
        add.AddNew();
        std::vector<std::string> values = {"5", "50", "5.5", "added", "", "", "", "", "", "12"};
        for (size_t i = 0; i < values.size(); ++i) add.GetFields().Item(long(i)).SetValue(values[i]);
        add.Update();
        add.Close();
    }
    // A query over one table writes to the row it shows.
    {
        ado::Recordset some;
        some.Open("SELECT JobName, ID FROM jobDB1 WHERE ID > 1 ORDER BY ID DESC", cn, ado::adOpenKeyset,
                  ado::adLockOptimistic, -1);
        EXPECT_EQ(some.RecordCount(), 4);
        some.Move(1);  // ID 4
        EXPECT_EQ(ado::toText(some.GetFields()[1L].GetValue(), '.'), "4");
        some.GetFields()[0L].SetValue(std::string("through a query"));
        some.Update();
        some.Close();
    }
    // Empty text in a text field is an empty text, not Null.
    rs.Open("SELECT ID FROM jobDB1 WHERE PrevailingWage = '' AND JobType = ''", cn, ado::adOpenStatic,
            ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), 1);
    rs.Close();
    cn.Close();
    EXPECT_EQ(sortedRows(exported(copy->path(), kJobs)),
              "ID,MainNumber,PhaseNumber,JobName,PrevailingWage,JobType,Department,PulledBy,RequestBy,FullNumber\n"
              "1,10,1.5,\"job 1\",,,,,,\n"
              "2,20,2.5,\"job 2\",,,,,,\n"
              "3,30,8.25,\"renamed\",,,,,,\n"
              "4,40,4.5,\"through a query\",,,,,,\n"
              "5,50,5.5,\"added\",,,,,,12\n");
}

TEST_F(Sql, ResultsThatAreNotTableRowsCannotBeWritten) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    for (const char* statement : {"SELECT count(*) AS n FROM jobDB1", "SELECT DISTINCT JobName FROM jobDB1",
                                  "SELECT ID * 2 AS twice FROM jobDB1", "SELECT JobName FROM jobDB1 GROUP BY JobName"}) {
        ado::Recordset q;
        q.Open(statement, cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
        EXPECT_EQ(errorOf([&] { q.GetFields()[0L].SetValue(std::string("1")); }), ado::kErrNotSupported) << statement;
        EXPECT_EQ(errorOf([&] { q.AddNew(); }), ado::kErrNotSupported) << statement;
    }
}

// Each failing statement raises an error with a number and leaves the file
// exactly as it was.
TEST_F(Sql, FailuresRaiseAndChangeNothing) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    cn.Close();
    std::vector<unsigned char> before = copy->read();
    std::string exported_before = exported(copy->path(), kJobs);
    open(copy->path());
    struct Case {
        const char* statement;
        long number;  // 0: any error
    } cases[] = {
        {"", 0},
        {"UPDAT jobDB1 SET ID = 1", 0},
        {"SELECT * FROM NoSuchTable", jet::kErrNoSuchTable},
        {"DELETE FROM NoSuchTable", jet::kErrNoSuchTable},
        {"UPDATE jobDB1 SET NoSuchColumn = 1", 0},
        {"SELECT * FROM job DB1", 0},  // a blank in an unbracketed name: no guessing
        {"UPDATE jobDB1 SET ID = 'abc'", jet::kErrConversion},
        // Row 4 overflows after rows 1 to 3 were written: all or nothing.
        {"UPDATE jobDB1 SET MainNumber = MainNumber * 60000000", jet::kErrOverflow},
        {"INSERT INTO jobDB1 (ID) VALUES (1); DELETE FROM jobDB1", 0},
        {"DELETE FROM jobDB1; DELETE FROM jobDB1", 0},
        {"INSERT INTO jobDB1 (rowid, ID) VALUES (5, 5)", 0},
        // Jet's own tables hold the catalog and its permissions.
        {"DELETE FROM MSysObjects", ado::kErrNotSupported},
        {"UPDATE MSysObjects SET Id = Id + 1 WHERE Name = 'jobDB1'", ado::kErrNotSupported},
        {"UPDATE msysaces SET ACM = 0", ado::kErrNotSupported},
        {"INSERT INTO MSysObjects (Name) VALUES ('x')", ado::kErrNotSupported},
        // A Double holds no infinity nor NaN, as Single and Currency hold none.
        {"UPDATE jobDB1 SET PhaseNumber = 1e308 * 10", jet::kErrOverflow},
        {"UPDATE jobDB1 SET PhaseNumber = 'Infinity'", jet::kErrOverflow},
        {"INSERT INTO jobDB1 (ID, PhaseNumber) VALUES (9, 'nan')", jet::kErrOverflow},
    };
    for (const Case& c : cases) {
        long number = errorOf([&] { execute(c.statement); });
        if (c.number) EXPECT_EQ(number, c.number) << c.statement;
        else EXPECT_NE(number, 0) << c.statement;
    }
    // Nor does a recordset change them, as the grid and the add-row form drive it.
    rs.Open("SELECT * FROM MSysACEs", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    rs.GetFields()["ACM"].SetValue(std::string("0"));
    EXPECT_EQ(errorOf([&] { rs.Update(); }), ado::kErrNotSupported);
    rs.CancelUpdate();
    rs.AddNew();
    EXPECT_EQ(errorOf([&] { rs.Update(); }), ado::kErrNotSupported);
    rs.CancelUpdate();
    rs.Close();
    // A statement without rows is refused as a row source, before it runs.
    EXPECT_NE(errorOf([&] { rs.Open("DELETE FROM jobDB1", cn, ado::adOpenStatic, ado::adLockOptimistic, -1); }), 0);
    EXPECT_EQ(rs.State(), ado::adStateClosed);
    // A conversion that fails, and an Update on a row deleted meanwhile.
    rs.Open("SELECT * FROM jobDB1 WHERE ID >= 2", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    EXPECT_EQ(errorOf([&] { rs.GetFields()["MainNumber"].SetValue(std::string("many")); }), jet::kErrConversion);
    EXPECT_EQ(errorOf([&] { rs.GetFields()["PhaseNumber"].SetValue(std::string("-Infinity")); }), jet::kErrOverflow);
    rs.Move(2);
    rs.GetFields()["JobName"].SetValue(std::string("too late"));
    EXPECT_EQ(execute("DELETE FROM jobDB1 WHERE ID = 4"), 1);
    exported_before = exported(copy->path(), kJobs);
    before = copy->read();
    EXPECT_NE(errorOf([&] { rs.Update(); }), 0);
    rs.CancelUpdate();
    rs.Close();
    cn.Close();
    EXPECT_EQ(exported(copy->path(), kJobs), exported_before);
    EXPECT_TRUE(copy->read() == before);
}

// Index pages damaged so that they still read, their entries out of order,
// are refused (3049) when a change would rewrite them, before anything is
// written. One byte, then four, changed in the mask of a leaf.
TEST_F(Sql, ChangesThroughDamagedIndexPagesAreRefused) {
    SKIP_WITHOUT_CORPUS();
    const struct {
        size_t at;
        std::vector<unsigned char> bytes;
        const char* statement;
    } cases[] = {
        {0x2002c, {0x30}, "DELETE FROM Table1 WHERE CD_AGENTE = 19"},
        {0x200c0, {0x4d, 0xca, 0x18, 0x25}, "INSERT INTO [Table1] SELECT TOP 2 * FROM [Table1]"},
    };
    for (const auto& c : cases) {
        testdata::Copy copy("compIndexTestV2000.mdb");
        copy.patch(c.at, c.bytes);
        const std::vector<unsigned char> before = copy.read();
        open(copy.path());
        EXPECT_EQ(errorOf([&] { execute(c.statement); }), jet::kErrCorrupt) << c.statement;
        cn.Close();
        EXPECT_EQ(copy.read(), before) << c.statement;
    }
}

}  // namespace
