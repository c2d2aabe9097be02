// SPDX-License-Identifier: Apache-2.0
// Schema statements through Connection.Execute, as the table actions send
// them: tables created with every field type, dropped, copied whole and in
// part, each result read back through the interface and by mdbtools; every
// refusal with its number and the file byte for byte as it was; and the
// statements after a change seeing the new schema.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
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

using testdata::Failure;
using testdata::failureOf;

std::string run(const std::string& cmd, int* status = nullptr) {
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    int rc = pclose(p);
    if (status) *status = WEXITSTATUS(rc);
    else EXPECT_EQ(rc, 0) << cmd;
    return out;
}

std::string exported(const std::string& path, const std::string& table) {
    return run("mdb-export -D '%Y-%m-%d' -T '%Y-%m-%d %H:%M:%S' '" + path + "' '" + table + "'");
}

std::string schemaOf(const std::string& path, const std::string& table) {
    return run("mdb-schema -T '" + table + "' '" + path + "' access");
}

std::string tablesOf(const std::string& path) { return run("mdb-tables -1 '" + path + "'"); }

class SqlDdl : public testdata::SqlTest {
protected:
    std::string text(long field) { return ado::toText(rs.GetFields()[field].GetValue(), '.'); }

    ado::Recordset rs;
};

const char* const kEveryType =
    "CREATE TABLE AllTypes (FId COUNTER, FText TEXT(20), FMemo MEMO, FByte BYTE, FShort SHORT, FLong LONG, "
    "FSingle SINGLE, FDouble DOUBLE, FMoney CURRENCY, FWhen DATETIME, FFlag YESNO, FPicture OLEOBJECT, FKey GUID)";

TEST_F(SqlDdl, CreatedTableHasEveryTypeAndTakesRows) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::string before = exported(copy.path(), "Table1");
    open(copy.path());
    EXPECT_EQ(execute(kEveryType), 0);
    // The windows' own statement: TEXT without a size holds 255.
    EXPECT_EQ(execute("CREATE TABLE People(Name TEXT, Age INTEGER)"), 0);

    std::string memo(3000, 'm');
    EXPECT_EQ(execute("INSERT INTO AllTypes (FText, FMemo, FByte, FShort, FLong, FSingle, FDouble, FMoney, FWhen, "
                      "FFlag, FKey) VALUES ('first', '" + memo + "', 200, -300, 70000, 1.5, 2.25, 12.3456, "
                      "#2001-02-03 04:05:06#, True, '{01234567-89AB-CDEF-0123-456789ABCDEF}')"),
              1);
    {
        ado::Recordset add;
        add.Open("SELECT * FROM AllTypes", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1);
        add.AddNew();
        std::vector<std::string> values = {"", "second", "short memo", "7", "8", "9", "0.25", "0.5", "1.5",
                                           "12/31/1999", "False", "", ""};
        for (size_t i = 0; i < values.size(); ++i)
            if (!values[i].empty()) add.GetFields().Item(long(i)).SetValue(values[i]);
        add.Update();
        add.Close();
    }
    EXPECT_EQ(execute("INSERT INTO People (Name, Age) VALUES ('" + std::string(255, 'n') + "', 41)"), 1);
    EXPECT_EQ(failureOf([&] { execute("INSERT INTO People (Name) VALUES ('" + std::string(256, 'n') + "')"); }).number,
              jet::kErrFieldTooSmall);

    // Through the interface: the types as ADO gives them and the values.
    rs.Open("SELECT * FROM AllTypes", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    const ado::DataType types[] = {ado::adInteger,  ado::adVarWChar,  ado::adLongVarWChar, ado::adUnsignedTinyInt,
                                   ado::adSmallInt, ado::adInteger,   ado::adSingle,       ado::adDouble,
                                   ado::adCurrency, ado::adDate,      ado::adBoolean,      ado::adLongVarBinary,
                                   ado::adGUID};
    ASSERT_EQ(rs.GetFields().Count(), 13);
    for (long i = 0; i < 13; ++i) EXPECT_EQ(rs.GetFields()[i].Type(), types[i]) << i;
    ASSERT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(text(0), "1");
    EXPECT_EQ(text(1), "first");
    EXPECT_EQ(text(2), memo);
    EXPECT_EQ(text(5), "70000");
    EXPECT_EQ(text(8), "12.3456");
    EXPECT_EQ(text(10), "True");
    rs.MoveNext();
    EXPECT_EQ(text(0), "2");
    EXPECT_EQ(text(1), "second");
    EXPECT_EQ(text(10), "False");
    rs.Close();
    cn.Close();

    // By the independent reader.
    std::string schema = schemaOf(copy.path(), "AllTypes");
    for (const char* field : {"[FId]\t\t\tLong Integer", "[FText]\t\t\tText (20)", "[FMemo]\t\t\tMemo/Hyperlink",
                              "[FByte]\t\t\tByte", "[FShort]\t\t\tInteger", "[FLong]\t\t\tLong Integer",
                              "[FSingle]\t\t\tSingle", "[FDouble]\t\t\tDouble", "[FMoney]\t\t\tCurrency",
                              "[FWhen]\t\t\tDateTime", "[FFlag]\t\t\tBoolean", "[FPicture]\t\t\tOLE",
                              "[FKey]\t\t\tReplication ID"})
        EXPECT_NE(schema.find(field), std::string::npos) << field << "\n" << schema;
    std::string people = schemaOf(copy.path(), "People");
    EXPECT_NE(people.find("[Name]\t\t\tText (255)"), std::string::npos) << people;
    EXPECT_NE(people.find("[Age]\t\t\tLong Integer"), std::string::npos) << people;
    EXPECT_EQ(exported(copy.path(), "AllTypes"),
              "FId,FText,FMemo,FByte,FShort,FLong,FSingle,FDouble,FMoney,FWhen,FFlag,FPicture,FKey\n"
              "1,\"first\",\"" + memo + "\",200,-300,70000,1.5,2.25,12.3456,\"2001-02-03 04:05:06\",1,,"
              "\"{01234567-89AB-CDEF-0123456789ABCDEF}\"\n"  // mdb-export leaves out the last dash
              "2,\"second\",\"short memo\",7,8,9,0.25,0.5,1.5000,\"1999-12-31 00:00:00\",0,,\n");
    EXPECT_EQ(exported(copy.path(), "People"), "Name,Age\n\"" + std::string(255, 'n') + "\",41\n");
    EXPECT_EQ(exported(copy.path(), "Table1"), before);
}

TEST_F(SqlDdl, DroppedTableLeavesItsNameFree) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::string table2 = exported(copy.path(), "Table2");
    open(copy.path());
    EXPECT_EQ(execute("CREATE TABLE Orders (Item TEXT(30), Qty SHORT)"), 0);
    EXPECT_EQ(execute("INSERT INTO Orders (Item, Qty) VALUES ('bolts', 12)"), 1);
    EXPECT_EQ(execute("DROP TABLE Orders"), 0);
    EXPECT_EQ(tablesOf(copy.path()).find("Orders"), std::string::npos);
    EXPECT_EQ(failureOf([&] { execute("SELECT * FROM Orders"); }).number, jet::kErrNoSuchTable);
    // The name is free again, for a table of another shape.
    EXPECT_EQ(execute("CREATE TABLE orders (Code LONG)"), 0);
    EXPECT_EQ(execute("INSERT INTO Orders (Code) VALUES (5)"), 1);
    // A table from the file itself goes as well.
    EXPECT_EQ(execute("DROP TABLE Table1"), 0);
    cn.Close();
    std::string tables = tablesOf(copy.path());
    EXPECT_EQ(tables.find("Table1"), std::string::npos) << tables;
    EXPECT_NE(tables.find("orders"), std::string::npos) << tables;
    EXPECT_EQ(exported(copy.path(), "orders"), "Code\n5\n");
    EXPECT_EQ(exported(copy.path(), "Table2"), table2);
}

TEST_F(SqlDdl, SelectIntoCopiesATableRowByRow) {
    SKIP_WITHOUT_CORPUS();
    for (const char* file : {"testV2003.mdb", "testV2000.mdb"}) {
        SCOPED_TRACE(file);
        testdata::Copy copy(file);
        SKIP_WITHOUT_CATALOG_WRITES(copy.path());
        ado::Connection c;
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy.path());
        long copied = -1;
        c.Execute("SELECT * INTO OrdersCopy FROM Table1", &copied, -1);
        EXPECT_EQ(copied, 2);
        c.Execute("SELECT * INTO [Wide Copy] FROM Table2", &copied, -1);
        c.Close();
        for (auto [from, to] : {std::pair{"Table1", "OrdersCopy"}, std::pair{"Table2", "Wide Copy"}}) {
            std::string original = exported(copy.path(), from), copied_rows = exported(copy.path(), to);
            EXPECT_EQ(copied_rows, original) << to;
            std::string a = schemaOf(copy.path(), from), b = schemaOf(copy.path(), to);
            // Same fields, types and sizes; indexes are not copied.
            std::string fields_a = a.substr(a.find("\n (\n"), a.find(");") - a.find("\n (\n"));
            std::string fields_b = b.substr(b.find("\n (\n"), b.find(");") - b.find("\n (\n"));
            EXPECT_EQ(fields_b, fields_a) << to;
        }
    }
}

TEST_F(SqlDdl, SelectIntoWithFieldsAndWhereTypesItsFields) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    open(copy.path());
    EXPECT_EQ(execute("SELECT A, G, H, C + 1 AS Next, F * 2 AS Twice, 'x' & A AS Tagged, Len(B) AS Size, "
                      "G + 1 AS DayAfter INTO Picked FROM Table1 WHERE D > 100"),
              1);
    EXPECT_EQ(execute("SELECT A INTO Nothing FROM Table1 WHERE D > 100000"), 0);
    // The new table is a table like any: rows go in and come out.
    EXPECT_EQ(execute("INSERT INTO Picked (A, Next) VALUES ('added', 7)"), 1);
    rs.Open("SELECT A, Next, Tagged FROM Picked ORDER BY A", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    ASSERT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(text(0), "abcdefg");
    EXPECT_EQ(text(1), "3");
    EXPECT_EQ(text(2), "xabcdefg");
    rs.Close();
    cn.Close();
    std::string schema = schemaOf(copy.path(), "Picked");
    for (const char* field : {"[A]\t\t\tText (50)", "[G]\t\t\tDateTime", "[H]\t\t\tCurrency", "[Next]\t\t\tLong Integer",
                              "[Twice]\t\t\tDouble", "[Tagged]\t\t\tText (255)", "[Size]\t\t\tLong Integer",
                              "[DayAfter]\t\t\tDateTime"})
        EXPECT_NE(schema.find(field), std::string::npos) << field << "\n" << schema;
    EXPECT_EQ(exported(copy.path(), "Picked"),
              "A,G,H,Next,Twice,Tagged,Size,DayAfter\n"
              "\"abcdefg\",\"1974-09-21 00:00:00\",3.5000,3,889.11,\"xabcdefg\",9,\"1974-09-22 00:00:00\"\n"
              "\"added\",,,7,,,,\n");
    EXPECT_EQ(exported(copy.path(), "Nothing"), "A\n");
}

// The lines of a CSV, header first, the rows sorted: a copy holds the rows
// in scan order, where a row moved by an update may come later than in the
// source's pages.
std::string sortedLines(const std::string& csv) {
    std::vector<std::string> lines;
    for (size_t from = 0, end; (end = csv.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(csv.substr(from, end + 1 - from));
    if (!lines.empty()) std::sort(lines.begin() + 1, lines.end());
    std::string out;
    for (const std::string& line : lines) out += line;
    return out;
}

// A table of many pages and long values, copied whole and in part.
TEST_F(SqlDdl, SelectIntoCopiesALargeTable) {
    SKIP_WITHOUT_CORPUS();
    std::string big = testdata::root() + "/large/big100k.mdb";
    if (!std::filesystem::exists(big)) GTEST_SKIP() << "the large test file is missing: " << big;
    testdata::Copy copy(big);
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    open(copy.path());
    EXPECT_EQ(execute("SELECT * INTO BigCopy FROM BigTable"), 98969);
    rs.Open("SELECT count(*) AS n FROM BigTable WHERE Qty > 10", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    long expected = std::stol(text(0));
    rs.Close();
    EXPECT_EQ(execute("SELECT ID, Notes, Amount * 2 AS Twice INTO BigPart FROM BigTable WHERE Qty > 10"), expected);
    cn.Close();
    EXPECT_EQ(sortedLines(exported(copy.path(), "BigCopy")), sortedLines(exported(copy.path(), "BigTable")));
    std::string part = exported(copy.path(), "BigPart");
    EXPECT_EQ(std::count(part.begin(), part.end(), '\n'), expected + 1);
}

// An AutoNumber taken into a new table stays one: its values are kept and
// the next row is numbered after the highest.
TEST_F(SqlDdl, SelectIntoKeepsAnAutoNumber) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    open(copy.path());
    EXPECT_EQ(execute("CREATE TABLE Numbered (Id COUNTER, Name TEXT(10))"), 0);
    for (const char* name : {"one", "two", "three", "four"})
        EXPECT_EQ(execute(std::string("INSERT INTO Numbered (Name) VALUES ('") + name + "')"), 1);
    EXPECT_EQ(execute("SELECT Id, Name, Id * 10 AS Tens INTO Later FROM Numbered WHERE Id IN (2, 3) ORDER BY Id"), 2);
    EXPECT_EQ(execute("INSERT INTO Later (Name) VALUES ('five')"), 1);
    cn.Close();
    EXPECT_EQ(exported(copy.path(), "Later"), "Id,Name,Tens\n2,\"two\",20\n3,\"three\",30\n4,\"five\",\n");
}

// A failure after the new table's pages were written (here its one row is
// too large for a page) takes the whole statement back.
TEST_F(SqlDdl, SelectIntoFailingMidwayLeavesTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::vector<unsigned char> before = copy.read();
    open(copy.path());
    std::string wide = "SELECT A";
    for (int i = 0; i < 20; ++i) wide += ", '" + std::string(250, char('a' + i)) + "' AS W" + std::to_string(i);
    wide += " INTO TooWide FROM Table1";
    Failure o = failureOf([&] { execute(wide); });
    EXPECT_EQ(o.number, jet::kErrRecordTooLarge) << o.description;
    EXPECT_EQ(failureOf([&] { execute("SELECT * FROM TooWide"); }).number, jet::kErrNoSuchTable);
    cn.Close();
    EXPECT_EQ(copy.read(), before);
}

// Each refusal comes with Access's number and a description, and the file
// stays byte for byte as it was.
TEST_F(SqlDdl, RefusalsLeaveTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    std::vector<unsigned char> before = copy.read();
    open(copy.path());
    const std::pair<const char*, long> refused[] = {
        {"CREATE TABLE Table1 (X TEXT)", jet::kErrTableExists},
        {"CREATE TABLE table2 (X TEXT)", jet::kErrTableExists},
        {"CREATE TABLE [ Lead] (X TEXT)", jet::kErrBadName},
        {"CREATE TABLE Good ([a!b] TEXT)", jet::kErrBadName},
        {"CREATE TABLE Good (X VARIANT)", 3292},
        {"CREATE TABLE Good (X TEXT(300))", 3292},
        {"CREATE TABLE Good (X TEXT, x LONG)", jet::kErrDuplicateField},
        {"CREATE TABLE Good ()", 3290},
        {"DROP TABLE NoSuchTable", 3376},
        {"DROP TABLE MSysObjects", jet::kErrUnsupported},
        {"SELECT * INTO Table2 FROM Table1", jet::kErrTableExists},
        {"SELECT * INTO Good FROM NoSuchTable", jet::kErrNoSuchTable},
        {"SELECT A, A INTO Good FROM Table1", jet::kErrDuplicateField},
        {"SELECT * INTO [Bad.Name] FROM Table1", jet::kErrBadName},
        {"SELECT A & 'x' AS Tagged INTO [ Lead] FROM Table1", jet::kErrBadName},
        {"ALTER TABLE NoSuchTable ADD COLUMN X TEXT", jet::kErrNoSuchTable},
    };
    for (auto [statement, number] : refused) {
        Failure o = failureOf([&] { execute(statement); });
        EXPECT_EQ(o.number, number) << statement << ": " << o.description;
        EXPECT_FALSE(o.description.empty()) << statement;
    }
    EXPECT_EQ(failureOf([&] { execute("DROP TABLE Gone"); }).description, "Table 'Gone' does not exist.");
    EXPECT_EQ(failureOf([&] { execute("CREATE TABLE TABLE1 (X TEXT)"); }).description, "Table 'Table1' already exists.");
    // The connection goes on working after each refusal.
    rs.Open("SELECT count(*) AS n FROM Table1", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(text(0), "2");
    rs.Close();
    cn.Close();
    EXPECT_EQ(copy.read(), before);

    // Access 97 files are read, not changed.
    testdata::Copy jet3("testV1997.mdb");
    std::vector<unsigned char> jet3_before = jet3.read();
    ado::Connection old;
    old.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + jet3.path());
    for (const char* statement : {"CREATE TABLE People(Name TEXT, Age INTEGER)", "DROP TABLE Table1",
                                  "SELECT * INTO Table1Copy FROM Table1"}) {
        Failure o = failureOf([&] { old.Execute(statement, nullptr, -1); });
        EXPECT_EQ(o.number, jet::kErrUnsupported) << statement << ": " << o.description;
    }
    old.Close();
    EXPECT_EQ(jet3.read(), jet3_before);
}

// A field added to a table with rows: the old rows read it as Null, the
// next statements (the table was declared to SQL before) see and write it,
// and a field the engine cannot add to stored rows is refused whole.
TEST_F(SqlDdl, AddedColumnIsSeenByTheNextStatements) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    open(copy.path());
    rs.Open("SELECT * FROM Table1 WHERE C > 0", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.GetFields().Count(), 9);
    rs.Close();
    EXPECT_EQ(execute("ALTER TABLE Table1 ADD COLUMN Extra TEXT(10)"), 0);
    rs.Open("SELECT * FROM Table1 WHERE C > 0", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    ASSERT_EQ(rs.GetFields().Count(), 10);
    EXPECT_EQ(rs.GetFields()[9L].Name(), "Extra");
    EXPECT_TRUE(rs.GetFields()[9L].GetValue().isNull());
    rs.Close();
    EXPECT_EQ(execute("UPDATE Table1 SET Extra = 'set' WHERE C > 0"), 1);

    std::vector<unsigned char> before = copy.read();
    const std::pair<const char*, long> refused[] = {
        {"ALTER TABLE Table1 ADD COLUMN extra LONG", jet::kErrDuplicateField},
        {"ALTER TABLE Table1 ADD COLUMN Numbered COUNTER", jet::kErrUnsupported},
        {"ALTER TABLE Table1 ADD COLUMN [Bad.Name] LONG", jet::kErrBadName},
        {"ALTER TABLE MSysObjects ADD COLUMN More LONG", jet::kErrUnsupported},
    };
    for (auto [statement, number] : refused) {
        Failure o = failureOf([&] { execute(statement); });
        EXPECT_EQ(o.number, number) << statement << ": " << o.description;
    }
    cn.Close();
    EXPECT_EQ(copy.read(), before);
    EXPECT_NE(schemaOf(copy.path(), "Table1").find("[Extra]\t\t\tText (10)"), std::string::npos);
    std::string csv = exported(copy.path(), "Table1");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "A,B,C,D,E,F,G,H,I,Extra");
    EXPECT_NE(csv.find(",\"set\"\n"), std::string::npos) << csv;
}

// A primary key given at CREATE TABLE is kept: a second row with the same
// key, or none, is refused.
TEST_F(SqlDdl, CreatedPrimaryKeyRefusesDuplicates) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    open(copy.path());
    EXPECT_EQ(execute("CREATE TABLE Keyed (Code TEXT(8) PRIMARY KEY, Qty SHORT)"), 0);
    EXPECT_EQ(execute("INSERT INTO Keyed (Code, Qty) VALUES ('a1', 1)"), 1);
    EXPECT_EQ(failureOf([&] { execute("INSERT INTO Keyed (Code, Qty) VALUES ('A1', 2)"); }).number,
              jet::kErrDuplicateKey);
    EXPECT_EQ(failureOf([&] { execute("INSERT INTO Keyed (Qty) VALUES (3)"); }).number, jet::kErrNullKey);
    std::vector<unsigned char> before = copy.read();
    Failure required = failureOf([&] { execute("CREATE TABLE Strict (Name TEXT NOT NULL)"); });
    EXPECT_EQ(required.number, jet::kErrUnsupported) << required.description;
    cn.Close();
    EXPECT_EQ(copy.read(), before);
    EXPECT_EQ(exported(copy.path(), "Keyed"), "Code,Qty\n\"a1\",1\n");
    std::string keys = run("mdb-schema --indexes -T Keyed '" + copy.path() + "' postgres 2>/dev/null");
    EXPECT_NE(keys.find("PRIMARY KEY (\"code\")"), std::string::npos) << keys;
}

// A recordset still open on a table keeps it from being dropped (as Access
// cannot lock it); closed, the table goes.
TEST_F(SqlDdl, OpenTableIsNotDroppedUnderItsRecordset) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    std::vector<unsigned char> before = copy.read();
    open(copy.path());
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    Failure o = failureOf([&] { execute("DROP TABLE Table1"); });
    EXPECT_EQ(o.number, ado::kErrTableInUse) << o.description;
    EXPECT_EQ(failureOf([&] { execute("ALTER TABLE table1 ADD COLUMN Extra LONG"); }).number, ado::kErrTableInUse);
    EXPECT_EQ(text(0), "abcdefg");  // the recordset reads on
    // Copying it is reading it, which an open recordset does not hinder.
    if (testdata::catalogWritable(copy.path())) {
        EXPECT_EQ(execute("SELECT * INTO Copied FROM Table1"), 2);
        EXPECT_EQ(execute("DROP TABLE Copied"), 0);
    }
    rs.Close();
    if (!testdata::catalogWritable(copy.path())) {
        cn.Close();
        EXPECT_EQ(copy.read(), before);
        return;
    }
    EXPECT_EQ(execute("DROP TABLE Table1"), 0);
    cn.Close();
    EXPECT_EQ(tablesOf(copy.path()).find("Table1"), std::string::npos);
}

// The SQL layer declares each table it reads once; after a schema change
// the next statement must see the table as it now is.
TEST_F(SqlDdl, StatementsAfterAChangeSeeTheNewSchema) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    open(copy.path());
    EXPECT_EQ(execute("CREATE TABLE Shifting (One TEXT(5), Two LONG)"), 0);
    EXPECT_EQ(execute("INSERT INTO Shifting (One, Two) VALUES ('a', 1)"), 1);
    rs.Open("SELECT * FROM Shifting WHERE Two = 1", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.GetFields().Count(), 2);
    rs.Close();
    EXPECT_EQ(execute("DROP TABLE Shifting"), 0);
    EXPECT_EQ(execute("CREATE TABLE Shifting (Three DOUBLE, Four MEMO, Five YESNO)"), 0);
    Failure gone = failureOf([&] { execute("INSERT INTO Shifting (One) VALUES ('a')"); });
    EXPECT_NE(gone.number, 0);
    EXPECT_NE(gone.description.find("One"), std::string::npos) << gone.description;
    EXPECT_EQ(execute("INSERT INTO Shifting (Three, Four, Five) VALUES (2.5, 'memo', True)"), 1);
    rs.Open("SELECT * FROM Shifting WHERE Three > 1", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    ASSERT_EQ(rs.GetFields().Count(), 3);
    EXPECT_EQ(rs.GetFields()[0L].Name(), "Three");
    EXPECT_EQ(text(1), "memo");
    rs.Close();
    // A table made by SELECT ... INTO is there for the next statement too.
    EXPECT_EQ(execute("SELECT Three * 2 AS Doubled INTO Derived FROM Shifting"), 1);
    rs.Open("SELECT Doubled FROM Derived WHERE Doubled = 5", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
    EXPECT_EQ(rs.RecordCount(), 1);
    rs.Close();
    // And the table list shows what is there now.
    auto schema = cn.OpenSchema(ado::adSchemaTables, {ado::Value(), ado::Value(), ado::Value(), std::string("TABLE")});
    std::string names;
    while (!schema->Eof()) {
        names += ado::toText(schema->GetFields()["TABLE_NAME"].GetValue()) + ";";
        schema->MoveNext();
    }
    EXPECT_EQ(names, "Derived;Shifting;Table1;Table2;Table3;Table4;");
}

// The command-line tool runs the same statements: the count, then the
// table there for the next run.
TEST_F(SqlDdl, ToolRunsSchemaStatements) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2003.mdb");
    SKIP_WITHOUT_CATALOG_WRITES(copy.path());
    std::string tool = std::string("LC_ALL=C ") + PELLINORDB_SQL_TOOL + " '" + copy.path() + "' ";
    int status = -1;
    EXPECT_EQ(run(tool + "'CREATE TABLE People(Name TEXT, Age INTEGER)'", &status), "0\r\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run(tool + "'SELECT * INTO OrdersCopy FROM Table1'", &status), "2\r\n");
    EXPECT_EQ(run(tool + "--tables"), "OrdersCopy\r\nPeople\r\nTable1\r\nTable2\r\nTable3\r\nTable4\r\n");
    EXPECT_EQ(run(tool + "'DROP TABLE People'", &status), "0\r\n");
    run(tool + "'DROP TABLE People' 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(run(tool + "'DROP TABLE People' 2>&1 >/dev/null", &status),
              "pellinordb-sql: error 3376: Table 'People' does not exist.\n");
}

}  // namespace
