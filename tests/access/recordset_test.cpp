// SPDX-License-Identifier: Apache-2.0
// Recordset: opening a table, moving, bookmarks, counts, GetRows and fields.
#include <gtest/gtest.h>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "jet/error.h"
#include "support/testdata.h"

namespace {

class RecordsetTest : public testing::Test {
protected:
    void open(const std::string& file) {
        cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + testdata::file(file) +
                ";Persist Security Info=False; Jet OLEDB:Database Password=;User ID=");
    }
    std::string text(const std::string& field) { return ado::toText(rs.GetFields()[field].GetValue(), '.'); }
    long errorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const ado::Error& e) {
            return e.number();
        }
        return 0;
    }

    ado::Connection cn;
    ado::Recordset rs;
};

TEST_F(RecordsetTest, StaticCursorCountsMovesAndBookmarks) {
    SKIP_WITHOUT_CORPUS();
    open("compIndexTestV2000.mdb");
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    ASSERT_EQ(rs.RecordCount(), 512);
    EXPECT_FALSE(rs.Bof());
    EXPECT_EQ(rs.Bookmark(), 1);
    std::string first = text("CD_AGENTE");

    rs.Move(10);  // from the first row to the 11th
    EXPECT_EQ(rs.Bookmark(), 11);
    long eleventh = rs.Bookmark();
    std::string at_eleventh = text("CD_AGENTE");
    rs.MoveLast();
    EXPECT_EQ(rs.Bookmark(), 512);
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), ado::kErrNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.GetFields()[0].GetValue(); }), ado::kErrNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.Bookmark(); }), ado::kErrNoCurrentRecord);

    rs.SetBookmark(eleventh);
    EXPECT_EQ(text("CD_AGENTE"), at_eleventh);
    rs.MoveFirst();
    EXPECT_EQ(text("CD_AGENTE"), first);
    rs.Move(-1);
    EXPECT_TRUE(rs.Bof());
    rs.Move(600);
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(errorOf([&] { rs.SetBookmark(513); }), ado::kErrInvalidArgument);
}

TEST_F(RecordsetTest, GetRowsReturnsFieldsByRowsAndEndsAtEof) {
    SKIP_WITHOUT_CORPUS();
    open("testV2000.mdb");
    rs.Open("SELECT * FROM Table1", cn, ado::adOpenStatic, ado::adLockOptimistic);
    auto rows = rs.GetRows(ado::adGetRowsRest);
    ASSERT_EQ(rows.size(), 9u);  // fields
    ASSERT_EQ(rows[0].size(), 2u);  // rows
    EXPECT_EQ(ado::toText(rows[0][0]), "abcdefg");
    EXPECT_EQ(ado::toText(rows[3][0]), "222");
    EXPECT_EQ(ado::toText(rows[7][0], '.'), "3.5");
    EXPECT_EQ(ado::toText(rows[8][1]), "False");
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(errorOf([&] { rs.GetRows(); }), ado::kErrNoCurrentRecord);
    rs.MoveFirst();
    EXPECT_EQ(rs.GetRows(1)[1].size(), 1u);
    EXPECT_EQ(rs.Bookmark(), 2);
}

TEST_F(RecordsetTest, FieldsByNameOrNumberWithAdoTypes) {
    SKIP_WITHOUT_CORPUS();
    open("testV2000.mdb");
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic);
    ado::Fields& f = rs.GetFields();
    ASSERT_EQ(f.Count(), 9);
    const ado::DataType expected[] = {ado::adVarWChar, ado::adVarWChar, ado::adUnsignedTinyInt,
                                      ado::adSmallInt, ado::adInteger,  ado::adDouble,
                                      ado::adDate,     ado::adCurrency, ado::adBoolean};
    for (long i = 0; i < f.Count(); ++i) EXPECT_EQ(f[i].Type(), expected[i]) << f[i].Name();
    EXPECT_EQ(&f["a"], &f["A"]);
    EXPECT_EQ(f["g"].Name(), "G");
    EXPECT_EQ(text("G"), "9/21/1974");
    EXPECT_EQ(errorOf([&] { f["nope"]; }), ado::kErrItemNotFound);
    EXPECT_EQ(errorOf([&] { f[9]; }), ado::kErrItemNotFound);
    EXPECT_EQ(errorOf([&] { f[-1]; }), ado::kErrItemNotFound);
}

TEST_F(RecordsetTest, LongValuesAndBinaryTypes) {
    SKIP_WITHOUT_CORPUS();
    open("longtextV2016.accdb");
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic);
    bool saw_memo = false;
    for (long i = 0; i < rs.GetFields().Count(); ++i) {
        if (rs.GetFields()[i].Type() != ado::adLongVarWChar) continue;
        saw_memo = true;
        EXPECT_GT(rs.GetFields()[i].GetValue().as<std::string>().size(), 64u);
    }
    EXPECT_TRUE(saw_memo);
}

// Attachments show their file names, multi-value fields their values, a
// version history its newest text; none of them takes a write.
TEST_F(RecordsetTest, ComplexFieldsShowTheirValuesAndRefuseWrites) {
    SKIP_WITHOUT_CORPUS();
    const char* history = "VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880";
    struct Case {
        const char *file, *table, *field;
        std::vector<std::string> values;  // by row, in stored order
    } cases[] = {
        {"complexDataTestV2007.accdb", "Table1", "attach-data", {"", "test_data.txt; test_data2.txt", "", "test_data2.txt"}},
        {"complexDataTestV2010.accdb", "Table1", "multi-value-data",
         {"", "value1; value4", "value1; value2; value3; value4", ""}},
        {"complexDataTestV2010.accdb", "Table1", history, {"", "row2-memo", "row3-memo-again", "row4-memo"}},
        {"unsupportedFieldsTestV2007.accdb", "Test", "UnknownComplex", {"", "", ""}},
    };
    for (const Case& c : cases) {
        testdata::Copy copy(c.file);
        std::vector<unsigned char> before = copy.read();
        cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy.path() + ";Jet OLEDB:Database Password=");
        rs.Open(std::string("SELECT * FROM [") + c.table + "]", cn, ado::adOpenDynamic, ado::adLockOptimistic);
        EXPECT_EQ(rs.GetFields()[c.field].Type(), ado::adVarWChar) << c.field;
        std::vector<std::string> seen;
        for (; !rs.Eof(); rs.MoveNext()) seen.push_back(text(c.field));
        EXPECT_EQ(seen, c.values) << c.file << " " << c.field;
        rs.MoveFirst();
        EXPECT_EQ(errorOf([&] { rs.GetFields()[c.field].SetValue(std::string("x.txt")); rs.Update(); }),
                  jet::kErrUnsupported);
        rs.Close();
        cn.Close();
        EXPECT_EQ(copy.read(), before) << c.file;
    }
}

// Calculated fields read as their results, of the kind their properties
// name (values as Jackcess reads them from the same file).
TEST_F(RecordsetTest, CalculatedFieldsReadAsTheirResults) {
    SKIP_WITHOUT_CORPUS();
    open("calcFieldTestV2010.accdb");
    rs.Open("SELECT * FROM Table1 WHERE ID = 1", cn, ado::adOpenStatic, ado::adLockReadOnly);
    const std::pair<const char*, const char*> expected[] = {
        {"LastFirst", "Wayne, Bruce"},     {"LastFirstLen", "12"},          {"MonthlySalary", "83333.3333"},
        {"IsRich", "True"},                {"AllNames", "Wayne, Bruce=Wayne, Bruce"},
        {"WeeklySalary", "19230.7692307692"}, {"SalaryTest", "1000000"},    {"BoolTest", "True"},
        {"DecimalTest", "50.325"},         {"FloatTest", "2583.2092"},
        {"BigNumTest", "56505085819.42479129657228018"},
    };
    for (const auto& [field, value] : expected) EXPECT_EQ(text(field), value) << field;
}

TEST_F(RecordsetTest, EmptyTableIsAtBofAndEofAtOnce) {
    SKIP_WITHOUT_CORPUS();
    open("bigIndexTestV2000.mdb");
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic);
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.Bof());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_GT(rs.GetFields().Count(), 0);
    rs.MoveFirst();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(errorOf([&] { rs.Move(1); }), ado::kErrNoCurrentRecord);
}

TEST_F(RecordsetTest, ForwardOnlyStreamsAndCannotGoBack) {
    SKIP_WITHOUT_CORPUS();
    open("compIndexTestV2000.mdb");
    rs.Open("SELECT * FROM [Table1]", cn);
    EXPECT_EQ(rs.RecordCount(), -1);
    long n = 0;
    for (; !rs.Eof(); rs.MoveNext()) ++n;
    EXPECT_EQ(n, 512);
    EXPECT_EQ(errorOf([&] { rs.MoveFirst(); }), ado::kErrNotSupported);
}

TEST_F(RecordsetTest, OpenErrors) {
    SKIP_WITHOUT_CORPUS();
    EXPECT_EQ(errorOf([&] { rs.Open("SELECT * FROM [Table1]", cn); }), ado::kErrObjectClosed);
    open("testV2000.mdb");
    EXPECT_EQ(errorOf([&] { rs.Open("SELECT * FROM [NoSuchTable]", cn); }), jet::kErrNoSuchTable);
    // The numbers are the SQL translator's; any error will do here.
    EXPECT_NE(errorOf([&] { rs.Open("", cn); }), 0);
    EXPECT_NE(errorOf([&] { rs.Open("SELECT * FROM [Table1", cn); }), 0);
    EXPECT_EQ(rs.State(), ado::adStateClosed);
    rs.Open("select * from [table1];", cn, ado::adOpenStatic);
    EXPECT_EQ(errorOf([&] { rs.Open("SELECT * FROM [Table1]", cn); }), ado::kErrObjectOpen);
    rs.Close();
    EXPECT_EQ(errorOf([&] { rs.Close(); }), ado::kErrObjectClosed);
    EXPECT_EQ(errorOf([&] { rs.Eof(); }), ado::kErrObjectClosed);
}

}  // namespace
