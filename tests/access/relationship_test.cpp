// SPDX-License-Identifier: Apache-2.0
// Enforced relationships on every write path: SQL statements, recordset
// changes, and a crash in the middle of a cascade. Table2 and Table3 of
// the indexTest files are referenced by Table1: Table2 (otherfk1) cascades
// deletes, Table3 (otherfk2) cascades updates.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "ado/recordset.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/relationships.h"
#include "jet/table_writer.h"
#include "support/crash.h"
#include "support/jet_check.h"
#include "support/sql_fixture.h"
#include "support/testdata.h"

namespace {

using testdata::exported;
using testdata::failureOf;

const char* const kFiles[] = {"indexTestV2000.mdb", "indexTestV2007.accdb", "indexTestV2010.accdb"};

const std::string kTable1 =
    "id,otherfk1,otherfk2,data,otherfk3\n"
    "0,0,10,\"baz0\",0\n1,1,11,\"baz11\",0\n2,1,11,\"baz11-2\",0\n3,2,13,\"baz13\",0\n";

// The access layer refuses changes to system tables: relationship rows
// are made and changed through the engine. `fields` by column name; an
// existing row (`name` its szRelationship) keeps the fields not given.
void writeRelationship(const std::string& path, const std::string& name, const std::map<std::string, jet::Value>& fields) {
    jet::Database db(path, "");
    jet::inTransaction(db, [&] {
        jet::TableWriter w(db, "MSysRelationships");
        const jet::TableDef& t = w.table();
        auto fill = [&](std::vector<jet::Value>& row) {
            for (const auto& [column, value] : fields) row[size_t(t.findColumn(column))] = value;
        };
        jet::TableScan scan(db, t);
        std::vector<jet::Value> row;
        while (scan.next()) {
            scan.read(row);
            if (row[size_t(t.findColumn("szRelationship"))] != jet::Value(name)) continue;
            fill(row);
            return w.update(scan.rowId(), row);
        }
        row.assign(t.columns.size(), jet::Value());
        row[size_t(t.findColumn("szRelationship"))] = name;
        fill(row);
        w.insert(row);
    });
}

struct Case {
    const char* statement;
    long error;          // 0: it succeeds
    const char* named;   // the table the refusal names
    std::string table1 = {};       // Table1 after a change
    const char* table = nullptr;   // and the other table it changes, as it is after
    std::string rows = {};
};

const Case kCases[] = {
    {"DELETE FROM Table3 WHERE id=11", jet::kErrHasRelated, "Table1"},
    {"UPDATE Table2 SET id=5 WHERE id=1", jet::kErrHasRelated, "Table1"},
    {"INSERT INTO Table1 (id,otherfk1,otherfk2,data) VALUES (9,7,10,'x')", jet::kErrRelatedRequired, "Table2"},
    {"UPDATE Table1 SET otherfk2=99 WHERE id=0", jet::kErrRelatedRequired, "Table3"},
    {"UPDATE Table3 SET id=21 WHERE id=11", 0, "",
     "id,otherfk1,otherfk2,data,otherfk3\n"
     "0,0,10,\"baz0\",0\n1,1,21,\"baz11\",0\n2,1,21,\"baz11-2\",0\n3,2,13,\"baz13\",0\n",
     "Table3", "id,data\n10,\"bar10\"\n21,\"bar11\"\n12,\"bar12\"\n13,\"bar13\"\n"},
    {"DELETE FROM Table2 WHERE id=1", 0, "",
     "id,otherfk1,otherfk2,data,otherfk3\n0,0,10,\"baz0\",0\n3,2,13,\"baz13\",0\n", "Table2",
     "id,data\n0,\"foo0\"\n2,\"foo2\"\n"},
    {"DELETE FROM Table3 WHERE id=12", 0, "", kTable1, "Table3",
     "id,data\n10,\"bar10\"\n11,\"bar11\"\n13,\"bar13\"\n"},
    {"INSERT INTO Table1 (id,otherfk1,otherfk2,data) VALUES (9,Null,10,'x')", 0, "", kTable1 + "9,,10,\"x\",\n",
     "Table3", "id,data\n10,\"bar10\"\n11,\"bar11\"\n12,\"bar12\"\n13,\"bar13\"\n"},
};

class Relationships : public testdata::SqlTest {};

TEST_F(Relationships, StatementsAreRefusedOrCascadedAsAccessDoes) {
    SKIP_WITHOUT_CORPUS();
    SKIP_WITHOUT_JET_CHECK();
    // Each case on a fresh copy; the changes all together on one more, for
    // jet-check to look at once.
    std::vector<std::unique_ptr<testdata::Copy>> all;
    std::vector<std::pair<std::string, std::string>> checked;
    for (const char* file : kFiles) {
        testdata::Copy& cumulative = *all.emplace_back(std::make_unique<testdata::Copy>(file));
        checked.emplace_back(testdata::file(file), cumulative.path());
        for (const Case& c : kCases) {
            SCOPED_TRACE(std::string(file) + ": " + c.statement);
            testdata::Copy copy(file);
            std::vector<unsigned char> before = copy.read();
            open(copy.path());
            testdata::Failure failure = failureOf([&] { execute(c.statement); });
            cn.Close();
            EXPECT_EQ(failure.number, c.error) << failure.description;
            if (c.error) {
                EXPECT_NE(failure.description.find("table '" + std::string(c.named) + "'"), std::string::npos)
                    << failure.description;
                EXPECT_EQ(copy.read(), before);
                continue;
            }
            EXPECT_EQ(exported(copy.path(), "Table1"), c.table1);
            EXPECT_EQ(exported(copy.path(), c.table), c.rows);
            open(cumulative.path());
            execute(c.statement);
            cn.Close();
        }
    }
    testdata::expectNoNewJetCheckProblems(checked);
}

// No corpus relationship sets to Null on delete; one is made so.
TEST_F(Relationships, CascadeToNullEmptiesTheReferringColumns) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexTestV2010.accdb");
    writeRelationship(copy.path(), "Table2Table1", {{"grbit", int32_t(jet::kRelationCascadeNull)}});
    open(copy.path());
    EXPECT_EQ(execute("DELETE FROM Table2 WHERE id=1"), 1);
    cn.Close();
    EXPECT_EQ(exported(copy.path(), "Table1"),
              "id,otherfk1,otherfk2,data,otherfk3\n"
              "0,0,10,\"baz0\",0\n1,,11,\"baz11\",0\n2,,11,\"baz11-2\",0\n3,2,13,\"baz13\",0\n");
}

// Table1.otherfk3 made to refer to Table1.id, with each flag: every row
// refers to row 0, which refers to itself. No index serves the lookups.
TEST_F(Relationships, ATableThatRefersToItself) {
    SKIP_WITHOUT_CORPUS();
    const std::string all_to_5 = "id,otherfk1,otherfk2,data,otherfk3\n5,0,10,\"baz0\",5\n1,1,11,\"baz11\",5\n"
                                 "2,1,11,\"baz11-2\",5\n3,2,13,\"baz13\",5\n";
    const std::string without_1 =
        "id,otherfk1,otherfk2,data,otherfk3\n0,0,10,\"baz0\",0\n2,1,11,\"baz11-2\",0\n3,2,13,\"baz13\",0\n";
    const struct {
        uint32_t flags;
        const char* statement;
        long error;
        std::string table1;  // after, when it succeeds
    } cases[] = {
        {jet::kRelationCascadeDeletes, "DELETE FROM Table1 WHERE id=0", 0, "id,otherfk1,otherfk2,data,otherfk3\n"},
        {0, "DELETE FROM Table1 WHERE id=0", jet::kErrHasRelated, ""},
        {0, "DELETE FROM Table1 WHERE id=1", 0, without_1},
        {0, "UPDATE Table1 SET id=5 WHERE id=0", jet::kErrHasRelated, ""},
        {jet::kRelationCascadeUpdates, "UPDATE Table1 SET id=5 WHERE id=0", 0, all_to_5},
        {0, "INSERT INTO Table1 (id,otherfk1,otherfk2,otherfk3) VALUES (7,0,10,7)", 0, kTable1 + "7,0,10,,7\n"},
        {0, "INSERT INTO Table1 (id,otherfk1,otherfk2,otherfk3) VALUES (8,0,10,9)", jet::kErrRelatedRequired, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        testdata::Copy copy("indexTestV2000.mdb");
        writeRelationship(copy.path(), "Table1Table1",
                          {{"ccolumn", int32_t(1)}, {"grbit", int32_t(c.flags)}, {"icolumn", int32_t(0)},
                           {"szColumn", std::string("otherfk3")}, {"szObject", std::string("Table1")},
                           {"szReferencedColumn", std::string("id")}, {"szReferencedObject", std::string("Table1")}});
        std::vector<unsigned char> before = copy.read();
        open(copy.path());
        EXPECT_EQ(failureOf([&] { execute(c.statement); }).number, c.error);
        cn.Close();
        if (c.error) EXPECT_EQ(copy.read(), before);
        else EXPECT_EQ(exported(copy.path(), "Table1"), c.table1);
    }
}

// The recordset's Update and AddNew go through the same checks.
TEST_F(Relationships, RecordsetChangesAreCheckedToo) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexTestV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    open(copy.path());
    ado::Recordset rs;
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    rs.GetFields()["otherfk1"].SetValue(int32_t(8));
    EXPECT_EQ(failureOf([&] { rs.Update(); }).number, jet::kErrRelatedRequired);
    rs.CancelUpdate();
    rs.AddNew();
    rs.GetFields()["id"].SetValue(int32_t(9));
    rs.GetFields()["otherfk2"].SetValue(int32_t(14));
    EXPECT_EQ(failureOf([&] { rs.Update(); }).number, jet::kErrRelatedRequired);
    rs.CancelUpdate();
    rs.Close();
    rs.Open("SELECT * FROM [Table3]", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    rs.GetFields()["id"].SetValue(int32_t(30));  // the row of 10, which cascades
    rs.Update();
    rs.Close();
    cn.Close();
    EXPECT_NE(copy.read(), before);
    EXPECT_EQ(exported(copy.path(), "Table1").rfind("id,otherfk1,otherfk2,data,otherfk3\n0,0,30,\"baz0\",0\n", 0), 0u);
}

// A child process runs a cascading delete and dies at the k-th write,
// flush or removal; whoever opens the file next finds all of it or none.
TEST_F(Relationships, ACrashInACascadeLeavesTheChangeWholeOrNotAtAll) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexTestV2000.mdb");
    const std::vector<unsigned char> before = copy.read();
    const char* statement = "DELETE FROM Table2 WHERE id=1";
    open(copy.path());
    execute(statement);
    cn.Close();
    const std::vector<unsigned char> after = copy.read();
    bool reached_end = false;
    int befores = 0, afters = 0;
    for (int k = 0; !reached_end && k < 200; ++k) {
        copy.write(before);
        reached_end = testdata::finishesBeforeStep(k, [&] {
            open(copy.path());
            execute(statement);
        });
        open(copy.path());  // plays back what the crash left
        cn.Close();
        std::vector<unsigned char> now = copy.read();
        if (now == before) ++befores;
        else if (now == after) ++afters;
        else ADD_FAILURE() << "the file is neither before nor after the cascade when the writer died at step " << k;
    }
    EXPECT_TRUE(reached_end);
    EXPECT_GT(befores, 1);
    EXPECT_GT(afters, 0);
}

}  // namespace
