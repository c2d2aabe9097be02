// SPDX-License-Identifier: Apache-2.0
// Writing through a recordset: a positioned change, AddNew, and the ways a
// write is refused, each checked in the file by mdb-export.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "jet/error.h"
#include "support/testdata.h"

namespace {

using testdata::exported;

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ado::Error& e) {
        return e.number();
    }
    return 0;
}

class RecordsetWrite : public testing::Test {
protected:
    void open(const testdata::Copy& copy) {
        cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy.path() + ";Jet OLEDB:Database Password=");
    }
    std::string text(const std::string& field) { return ado::toText(rs.GetFields()[field].GetValue(), '.'); }

    ado::Connection cn;
    ado::Recordset rs;
};

TEST_F(RecordsetWrite, MoveSetValueUpdateWritesThatRowOnly) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("overflowTestV2000.mdb");
    std::string before = exported(copy.path(), "Table1");
    open(copy);
    rs.Open("SELECT * FROM Table1", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    rs.Move(2);
    std::string old_value = text("data3");
    rs.GetFields().Item(1).SetValue(std::string("changed by a test"));
    EXPECT_EQ(rs.GetEditMode(), ado::adEditInProgress);
    EXPECT_EQ(text("data3"), "changed by a test");  // the pending value is what the field shows
    rs.Update();
    EXPECT_EQ(rs.GetEditMode(), ado::adEditNone);
    rs.Close();
    cn.Close();

    std::string after = exported(copy.path(), "Table1");
    std::string expected = before;
    size_t at = expected.find("\"" + old_value + "\"");
    ASSERT_NE(at, std::string::npos);
    expected.replace(at + 1, old_value.size(), "changed by a test");
    EXPECT_EQ(after, expected);
}

TEST_F(RecordsetWrite, AddNewInsertsOneRowThatBecomesCurrent) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("overflowTestV2000.mdb");
    open(copy);
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    long count = rs.RecordCount();
    rs.AddNew();
    EXPECT_TRUE(rs.GetFields()[0].GetValue().isNull());
    rs.GetFields()["data1"].SetValue(std::string("added"));
    rs.GetFields()["data10"].SetValue(std::string("last column"));
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), count + 1);
    EXPECT_EQ(text("data1"), "added");
    uint64_t added = rs.RowKey();
    rs.MoveFirst();
    rs.MoveToRowKey(added);
    EXPECT_EQ(text("data10"), "last column");
    rs.Close();

    // A recordset opened later finds the row under the same key.
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), count + 1);
    rs.MoveToRowKey(added);
    EXPECT_EQ(text("data1"), "added");
    rs.Close();
    cn.Close();
    EXPECT_NE(exported(copy.path(), "Table1").find("\"added\",,,,,,,,\"last column\""), std::string::npos);
}

TEST_F(RecordsetWrite, RefusedWritesLeaveTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("fixedNumericTestV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    open(copy);

    rs.Open("SELECT * FROM [test]", cn, ado::adOpenStatic, ado::adLockReadOnly, -1);
    EXPECT_EQ(errorOf([&] { rs.GetFields()[1].SetValue(std::string("7")); }), ado::kErrNotSupported);
    EXPECT_EQ(errorOf([&] { rs.AddNew(); }), ado::kErrNotSupported);
    rs.Close();

    rs.Open("SELECT * FROM [test]", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    EXPECT_EQ(errorOf([&] { rs.GetFields()[1].SetValue(std::string("seven")); }), jet::kErrConversion);
    EXPECT_EQ(rs.GetEditMode(), ado::adEditNone);
    rs.MoveLast();
    rs.MoveNext();
    EXPECT_EQ(errorOf([&] { rs.GetFields()[1].SetValue(std::string("7")); }), ado::kErrNoCurrentRecord);
    rs.MoveFirst();
    rs.GetFields()[1].SetValue(std::string("7"));
    rs.CancelUpdate();
    rs.Update();  // nothing pending: nothing written
    EXPECT_EQ(errorOf([&] { rs.MoveToRowKey(uint64_t(1) << 40); }), ado::kErrNoCurrentRecord);
    rs.Close();
    cn.Close();
    EXPECT_EQ(copy.read(), before);
}

TEST_F(RecordsetWrite, PendingChangesAreStoredWhenTheRecordsetMovesOn) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("fixedNumericTestV2000.mdb");
    open(copy);
    rs.Open("SELECT * FROM [test]", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
    rs.GetFields()["col2"].SetValue(std::string("12345"));
    rs.MoveNext();
    rs.MoveFirst();
    EXPECT_EQ(text("col2"), "12345");
    rs.Close();
    cn.Close();
    std::string csv = exported(copy.path(), "test");
    EXPECT_NE(csv.find("\"some data\",12345,"), std::string::npos) << csv;
}

}  // namespace
