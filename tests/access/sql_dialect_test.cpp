// SPDX-License-Identifier: Apache-2.0
// Access SQL as users type it, run through Connection.Execute and
// Recordset.Open on copies of corpus files: names, clauses, joins,
// aggregates, literals, functions and operators, the row statements, the
// schema statements as the translator hands them on, and every kind of
// error with its number, each failure leaving the file as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "jet/error.h"
#include "sql/dialect.h"
#include "support/sql_fixture.h"
#include "support/testdata.h"

namespace {

using ado::sql::StatementKind;

using testdata::exported;
using testdata::Failure;
using testdata::failureOf;

class Dialect : public testdata::SqlTest {
protected:
    // The rows of a SELECT as text: fields joined by "|", rows by "; ".
    std::string rows(const std::string& select) {
        ado::Recordset rs;
        rs.Open(select, cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
        std::string out;
        for (bool first = true; !rs.Eof(); rs.MoveNext(), first = false) {
            if (!first) out += "; ";
            for (long i = 0; i < rs.GetFields().Count(); ++i)
                out += (i ? "|" : "") + ado::toText(rs.GetFields()[i].GetValue(), '.');
        }
        return out;
    }
    std::vector<ado::DataType> types(const std::string& select) {
        ado::Recordset rs;
        rs.Open(select, cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
        std::vector<ado::DataType> out;
        for (long i = 0; i < rs.GetFields().Count(); ++i) out.push_back(rs.GetFields()[i].Type());
        return out;
    }
    std::vector<std::string> names(const std::string& select) {
        ado::Recordset rs;
        rs.Open(select, cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
        std::vector<std::string> out;
        for (long i = 0; i < rs.GetFields().Count(); ++i) out.push_back(rs.GetFields()[i].Name());
        return out;
    }
    // A copy of the promotion file with six jobs in its empty table.
    std::unique_ptr<testdata::Copy> jobs() {
        auto copy = std::make_unique<testdata::Copy>("testPromotionV2000.mdb");
        open(copy->path());
        const char* values[] = {
            "1, 10, 1.5, 'alpha', 'A'", "2, 20, 2.5, 'Beta', 'B'",  "3, 30, 3.5, 'beta', 'B'",
            "4, 40, 4.5, 'Gamma', NULL", "5, 50, 5.5, 'delta', 'A'", "6, 60, NULL, 'it''s', 'C'",
        };
        for (const char* v : values)
            EXPECT_EQ(execute(std::string("INSERT INTO jobDB1 (ID, MainNumber, PhaseNumber, JobName, JobType) VALUES (") +
                              v + ")"),
                      1);
        return copy;
    }

};

// Two fields of the promotion file renamed, in place, to names of the same
// length with a blank: "PulledBy" to "Taken By", "RequestBy" to "Wanted By".
void renameWithBlanks(const testdata::Copy& copy) {
    std::vector<unsigned char> bytes = copy.read();
    auto utf16 = [](const std::string& s) {
        std::vector<unsigned char> out;
        for (char c : s) out.push_back(static_cast<unsigned char>(c)), out.push_back(0);
        return out;
    };
    for (auto [from, to] : {std::pair<std::string, std::string>{"PulledBy", "Taken By"}, {"RequestBy", "Wanted By"}}) {
        std::vector<unsigned char> f = utf16(from), t = utf16(to);
        // On the table definition page (type 2), where the reader takes names from.
        for (size_t i = 0; i + f.size() <= bytes.size(); ++i)
            if (bytes[i / 4096 * 4096] == 0x02 && std::equal(f.begin(), f.end(), bytes.begin() + long(i)))
                std::copy(t.begin(), t.end(), bytes.begin() + long(i));
    }
    copy.write(bytes);
}

TEST_F(Dialect, NamesInBracketsAndNamesWithBlanks) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    cn.Close();
    renameWithBlanks(*copy);
    open(copy->path());
    EXPECT_EQ(execute("UPDATE [jobDB1] SET [Taken By] = 'ann', [jobDB1].[Wanted By] = JobName & '!' WHERE [ID] <= 2"), 2);
    EXPECT_EQ(rows("SELECT [Taken By], [Wanted By] AS [Asked For] FROM [jobDB1] WHERE [Taken By] IS NOT NULL ORDER BY ID"),
              "ann|alpha!; ann|Beta!");
    EXPECT_EQ(names("SELECT [Taken By], [Wanted By] AS [Asked For] FROM jobDB1")[1], "Asked For");
    EXPECT_EQ(rows("SELECT [j].[Taken By] FROM [jobDB1] AS [j] WHERE [j].[ID] = 1"), "ann");
    cn.Close();
    std::string before = exported(copy->path(), "jobDB1");
    std::vector<unsigned char> bytes = copy->read();
    EXPECT_NE(before.find("Taken By"), std::string::npos);
    open(copy->path());

    // Never guessed: each unbracketed name with a blank is an error naming the place
    // (in FROM, a second name is an alias, as Access reads it).
    struct Case {
        const char* statement;
        long number;
        const char* place;
    } cases[] = {
        {"SELECT Taken By FROM jobDB1", 3141, "'By'"},
        {"SELECT * FROM job DB1", 3078, "'job'"},  // the table job under the alias DB1
        {"SELECT * FROM jobDB1 Copy Two", 3131, "Two"},
        {"UPDATE jobDB1 SET Taken By = 'x'", 3144, ""},
        {"DELETE FROM jobDB1 WHERE Taken By = 'ann'", ado::kErrCommandText, "'By'"},
        {"INSERT INTO jobDB1 (ID, Taken By) VALUES (9, 'x')", 3134, ""},
        {"SELECT [Taken By FROM jobDB1", 3075, "not closed"},
    };
    for (const Case& c : cases) {
        Failure f = failureOf([&] { execute(c.statement); });
        EXPECT_EQ(f.number, c.number) << c.statement << ": " << f.description;
        EXPECT_NE(f.description.find(c.place), std::string::npos) << c.statement << ": " << f.description;
    }
    cn.Close();
    EXPECT_EQ(exported(copy->path(), "jobDB1"), before);
    EXPECT_TRUE(copy->read() == bytes);
}

TEST_F(Dialect, SelectClausesAndTextAsAccessComparesIt) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    EXPECT_EQ(rows("SELECT DISTINCT JobName FROM jobDB1 WHERE JobName LIKE 'b%'"), "Beta");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobName = 'BETA' ORDER BY ID"), "2; 3");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobName LIKE '_ETA' OR JobName LIKE \"%MM%\" ORDER BY ID"), "2; 3; 4");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobName NOT LIKE '%a' ORDER BY ID"), "6");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobName LIKE '[a-c]%' ORDER BY ID"), "1; 2; 3");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobName = \"it's\" OR JobName = 'it''s'"), "6");
    EXPECT_EQ(rows("SELECT TOP 2 ID, JobName FROM jobDB1 ORDER BY JobName DESC, ID"), "6|it's; 4|Gamma");
    // TOP takes the rows tied with its last one; by a name of the list it cannot tell ties.
    EXPECT_EQ(rows("SELECT TOP 2 JobType FROM jobDB1 ORDER BY JobType"), "; A; A");
    EXPECT_EQ(rows("SELECT TOP 2 JobType AS t FROM jobDB1 ORDER BY t"), "; A");
    // TOP n PERCENT rounds up: 34% of 6 rows is 2.04 of them.
    EXPECT_EQ(rows("SELECT TOP 34 PERCENT ID FROM jobDB1 ORDER BY ID"), "1; 2; 3");
    EXPECT_EQ(rows("SELECT TOP 50 PERCENT ID FROM jobDB1 ORDER BY ID"), "1; 2; 3");
    EXPECT_EQ(rows("SELECT JobName FROM jobDB1 WHERE ID IN (1, 4, 5) ORDER BY JobName"), "alpha; delta; Gamma");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE MainNumber BETWEEN 20 AND 40 AND NOT ID = 3 ORDER BY ID"), "2; 4");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobType IS NULL OR PhaseNumber IS NULL ORDER BY ID"), "4; 6");
    EXPECT_EQ(rows("SELECT JobType, Count(*) AS n, Sum(MainNumber) AS total FROM jobDB1 WHERE JobType <> 'C' "
                   "GROUP BY JobType HAVING Count(*) > 1 ORDER BY Sum(MainNumber) DESC"),
              "A|2|60; B|2|50");
    // Text groups without regard to case, as Access groups it.
    EXPECT_EQ(rows("SELECT Count(*) FROM jobDB1 GROUP BY JobName HAVING Count(*) = 2"), "2");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE JobName > 'b' AND JobName < 'E' ORDER BY ID"), "2; 3; 5");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE ID = (SELECT Max(ID) FROM jobDB1 WHERE JobType = 'A')"), "5");
    EXPECT_EQ(rows("SELECT ID FROM jobDB1 WHERE True AND ID < 2"), "1");
    EXPECT_EQ(rows("SELECT Count(*) FROM jobDB1 WHERE False"), "0");
}

// Accents count after the letters, apostrophes and hyphens only after all
// else, as in Access's General sort order.
TEST_F(Dialect, TextSortsInAccessOrder) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("nwind.mdb"));
    EXPECT_EQ(rows("SELECT ProductName FROM Products WHERE Left(ProductName, 1) IN ('P', 'B', 'A') ORDER BY ProductName"),
              "Alice Mutton; Aniseed Syrup; Boston Crab Meat; Pâté chinois; Pavlova; Perth Pasties");
    // An Access 97 file sorts in Access 97's order, as its own index on
    // CompanyName does: the apostrophe counts there, as it does not later.
    EXPECT_EQ(rows("SELECT CompanyName FROM Customers WHERE CompanyName LIKE 'B%' ORDER BY CompanyName"),
              "B's Beverages; Berglunds snabbköp; Blauer See Delikatessen; Blondel père et fils; "
              "Bólido Comidas preparadas; Bon app'; Bottom-Dollar Markets");
    EXPECT_EQ(rows("SELECT Count(*) FROM Customers WHERE CompanyName = 'BON APP'''"), "1");
    // Sums of Currency are exact, as Access's are (not 58.599999999999994).
    EXPECT_EQ(rows("SELECT Sum(UnitPrice), Sum(UnitPrice * Quantity) FROM [Order Details] WHERE OrderID IN (10248, 10253)"
                   " GROUP BY OrderID"),
              "58.6|440; 40.4|1444.8");
}

TEST_F(Dialect, JoinsAsAccessParenthesisesThem) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexTestV2000.mdb");
    open(copy.path());
    EXPECT_EQ(rows("SELECT Table1.id, Table2.data FROM Table1 INNER JOIN Table2 ON Table1.otherfk1 = Table2.id "
                   "WHERE Table2.data <> 'foo0' ORDER BY Table1.id"),
              "1|foo1; 2|foo1; 3|foo2");
    // Table3 has ids 10 to 13; Table1's otherfk2 are 10, 11, 11, 13.
    EXPECT_EQ(rows("SELECT t3.id, Count(t1.id) FROM Table3 AS t3 LEFT JOIN Table1 AS t1 ON t1.otherfk2 = t3.id "
                   "GROUP BY t3.id ORDER BY t3.id"),
              "10|1; 11|2; 12|0; 13|1");
    EXPECT_EQ(rows("SELECT t3.id, t1.id FROM Table1 AS t1 RIGHT JOIN Table3 AS t3 ON t1.otherfk2 = t3.id "
                   "WHERE t1.id IS NULL"),
              "12|");
    EXPECT_EQ(rows("SELECT t1.id, t2.data, t3.data FROM (Table1 AS t1 INNER JOIN Table2 AS t2 ON t1.otherfk1 = t2.id) "
                   "INNER JOIN Table3 AS t3 ON t1.otherfk2 = t3.id ORDER BY t1.id DESC"),
              "3|foo2|bar13; 2|foo1|bar11; 1|foo1|bar11; 0|foo0|bar10");
    EXPECT_EQ(rows("SELECT Count(*) FROM ((Table1 LEFT JOIN Table2 ON Table1.otherfk1 = Table2.id) "
                   "LEFT JOIN Table3 ON Table1.otherfk2 = Table3.id)"),
              "4");
    EXPECT_EQ(rows("SELECT Count(*) FROM Table2, Table3"), "12");
    // DISTINCTROW gives each row of the tables whose fields are selected once.
    EXPECT_EQ(rows("SELECT DISTINCTROW Table2.data FROM Table1 INNER JOIN Table2 ON Table1.otherfk1 = Table2.id "
                   "ORDER BY Table2.data"),
              "foo0; foo1; foo2");
    EXPECT_EQ(rows("SELECT DISTINCTROW t2.* FROM Table1, Table2 AS t2 WHERE Table1.otherfk1 = t2.id AND t2.id > 0"),
              "1|foo1; 2|foo2");
    EXPECT_EQ(rows("SELECT DISTINCTROW Table2.data, Table1.id FROM Table1 INNER JOIN Table2 ON Table1.otherfk1 = Table2.id "
                   "WHERE Table2.data = 'foo1'"),
              "foo1|1; foo1|2");
    // Two columns of one name are told apart by their tables.
    std::vector<std::string> n = names("SELECT t1.data, t2.data FROM Table1 AS t1 INNER JOIN Table2 AS t2 ON t1.otherfk1 = t2.id");
    EXPECT_EQ(n, (std::vector<std::string>{"t1.data", "t2.data"}));
    EXPECT_EQ(names("SELECT * FROM Table1 INNER JOIN Table2 ON Table1.otherfk1 = Table2.id"),
              (std::vector<std::string>{"Table1.id", "otherfk1", "otherfk2", "Table1.data", "otherfk3", "Table2.id",
                                        "Table2.data"}));
    EXPECT_EQ(failureOf([&] { rows("SELECT * FROM Table1 INNER JOIN Table2 Table1.otherfk1 = Table2.id"); }).number, 3131);
    EXPECT_EQ(failureOf([&] { rows("SELECT * FROM (Table1 INNER JOIN Table2 ON Table1.id = Table2.id"); }).number, 3131);
}

TEST_F(Dialect, AggregatesWithNullsAndEmptyGroups) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    EXPECT_EQ(rows("SELECT Count(*), Count(PhaseNumber), Count(JobType), Sum(PhaseNumber), Avg(MainNumber), "
                   "Min(JobName), Max(JobName) FROM jobDB1"),
              "6|5|5|17.5|35|alpha|it's");
    EXPECT_EQ(rows("SELECT First(JobName), Last(JobName) FROM jobDB1 WHERE ID > 1 AND ID < 5"), "Beta|Gamma");
    // Of 10, 20, 30, 40, 50, 60: variance 350 (sample), 291.67 (population).
    EXPECT_EQ(rows("SELECT Var(MainNumber), Round(VarP(MainNumber), 2), Round(StDev(MainNumber), 4), "
                   "Round(StDevP(MainNumber), 4) FROM jobDB1"),
              "350|291.67|18.7083|17.0783");
    EXPECT_EQ(rows("SELECT StDev(MainNumber), Var(MainNumber), Sum(MainNumber), Count(*) FROM jobDB1 WHERE ID = 1"),
              "||10|1");
    EXPECT_EQ(rows("SELECT Sum(MainNumber), Max(JobName), First(JobName), Count(ID) FROM jobDB1 WHERE ID > 99"),
              "|||0");
    // A crosstab: a column per pivot value in order, "<>" for Null, or the
    // IN list's; a cell without rows is empty, a count too.
    const char* crosstab = "TRANSFORM Sum(MainNumber) AS s SELECT JobName FROM jobDB1 GROUP BY JobName "
                           "ORDER BY JobName PIVOT JobType";
    EXPECT_EQ(names(crosstab), (std::vector<std::string>{"JobName", "<>", "A", "B", "C"}));
    EXPECT_EQ(rows(crosstab), "alpha||10||; Beta|||50|; delta||50||; Gamma|40|||; it's||||60");
    EXPECT_EQ(rows("TRANSFORM Count(*) SELECT JobType FROM jobDB1 WHERE ID < 6 GROUP BY JobType ORDER BY JobType "
                   "PIVOT ID Mod 2 IN (1, 0, 7)"),
              "||1|; A|2||; B|1|1|");
    EXPECT_EQ(types("SELECT Count(*), Sum(MainNumber), Avg(MainNumber) FROM jobDB1"),
              (std::vector<ado::DataType>{ado::adInteger, ado::adInteger, ado::adDouble}));
}

TEST_F(Dialect, TextFunctionsAndOperators) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    EXPECT_EQ(rows("SELECT Len(JobName), Left(JobName, 2), Right(JobName, 3), Mid(JobName, 2, 2), Mid(JobName, 3), "
                   "UCase(JobName), LCase(JobName) FROM jobDB1 WHERE ID = 4"),
              "5|Ga|mma|am|mma|GAMMA|gamma");
    EXPECT_EQ(rows("SELECT Trim('  a b  ') & '|', LTrim('  x') & RTrim('y  ') & '|', Len(''), Left('abc', 9), Mid('abc', 5) & '.' "
                   "FROM jobDB1 WHERE ID = 1"),
              "a b||xy||0|abc|.");
    // & treats Null as empty text; + joins texts but gives Null for a Null.
    EXPECT_EQ(rows("SELECT JobName & '-' & JobType, JobName + JobType, 'n' & Null, JobType & PhaseNumber FROM jobDB1 "
                   "WHERE ID IN (4, 6) ORDER BY ID"),
              "Gamma-||n|4.5; it's-C|it'sC|n|C");
    EXPECT_EQ(rows("SELECT Null & Null IS NULL, ID & '' FROM jobDB1 WHERE ID = 1"), "-1|1");
    EXPECT_EQ(rows("SELECT IIf(JobType = 'A', 'first', IIf(JobType IS NULL, 'none', 'other')), Nz(JobType, 'z'), "
                   "Nz(PhaseNumber, 0) FROM jobDB1 WHERE ID >= 4 ORDER BY ID"),
              "none|z|4.5; first|A|5.5; other|C|0");
    EXPECT_EQ(rows("SELECT InStr(JobName, 'ET'), InStr(3, 'abcabc', 'b'), InStr('abc', 'z'), Replace(JobName, 'E', 'o'), "
                   "StrComp('abc', 'ABC'), StrComp('a', 'b'), Space(2) & '|', String(3, '*') FROM jobDB1 WHERE ID = 2"),
              "2|5|0|Bota|0|-1|  ||***");
    EXPECT_EQ(rows("SELECT Val('12.5 kg'), Val('x'), CStr(ID) & 'x', Asc('A'), Chr(66), IsNull(JobType), "
                   "IsNumeric('3.5'), IsNumeric('x'), IsDate('1/31/2020') FROM jobDB1 WHERE ID = 4"),
              "12.5|0|4x|65|B|-1|-1|0|-1");
    EXPECT_EQ(rows("SELECT UCase('straße ÿ é'), LCase('ÀÉÎ ΣΩ ДЖ'), Len('éé') FROM jobDB1 WHERE ID = 1"),
              "STRAßE Ÿ É|àéî σω дж|2");
    EXPECT_EQ(types("SELECT JobName & 'x', Len(JobName) FROM jobDB1"),
              (std::vector<ado::DataType>{ado::adVarWChar, ado::adInteger}));
}

TEST_F(Dialect, NumbersRoundingAndArithmetic) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    const std::string one = " FROM jobDB1 WHERE ID = 1";
    EXPECT_EQ(rows("SELECT 7 Mod 3, -7 Mod 3, 7.6 Mod 3, 7 \\ 2, -7 \\ 2, 9.5 \\ 2, 2 ^ 10, 2 ^ -1, 7 / 2, 1 + 2 * 3 ^ 2" + one),
              "1|-1|2|3|-3|5|1024|0.5|3.5|19");
    // Half to even, as Access rounds; Int floors, Fix truncates.
    EXPECT_EQ(rows("SELECT Round(2.5), Round(3.5), Round(-2.5), Round(0.125, 2), Round(1.2345, 3), Round(7), "
                   "Int(2.7), Int(-2.5), Fix(-2.5), Abs(-3), Sgn(-0.5), Sqr(16)" + one),
              "2|4|-2|0.12|1.234|7|2|-3|-2|3|-1|4");
    EXPECT_EQ(rows("SELECT CLng(2.5), CLng(3.5), CInt('12'), CDbl('1.5') * 2, CCur(1.23456), CBool(5), CBool(0)" + one),
              "2|4|12|3|1.2346|-1|0");
    EXPECT_EQ(rows("SELECT ID + MainNumber, PhaseNumber * 2, MainNumber - ID, '3' + 4, 5 + Null" + one), "11|3|9|7|");
    EXPECT_EQ(rows("SELECT ID = 1, ID = 2, ID > 0 AND MainNumber > 100, NOT (ID = 1)" + one), "-1|0|0|0");
    EXPECT_EQ(types("SELECT ID + 1, PhaseNumber + 1, 7 / 7, ID \\ 1" + one),
              (std::vector<ado::DataType>{ado::adInteger, ado::adDouble, ado::adDouble, ado::adInteger}));
    EXPECT_EQ(failureOf([&] { rows("SELECT 1 / 0" + one); }).number, 11);
    EXPECT_EQ(failureOf([&] { rows("SELECT ID Mod 0" + one); }).number, 11);
    EXPECT_EQ(failureOf([&] { rows("SELECT JobName + 1" + one); }).number, 3464);
    EXPECT_EQ(failureOf([&] { rows("SELECT CInt(40000)" + one); }).number, 6);
    EXPECT_EQ(failureOf([&] { rows("SELECT Left(JobName, -1)" + one); }).number, 5);
    // Access has no infinities: one given to a function, or a result past
    // its kind, overflows (6); a text past Access's longest is out of
    // string space (14).
    const std::pair<std::string, long> refused[] = {
        {"CCur(1e300)", 6}, {"CDate(3000000)", 6}, {"Format(3000000, 'yyyy')", 6}, {"Val('1e999')", 6},
        {"Len(String(2000000000, 'x'))", 14}, {"Len(Space(900000000))", 14}, {"Len(Replace(Space(1000), ' ', Space(999999)))", 14},
    };
    for (const auto& [expression, number] : refused)
        EXPECT_EQ(failureOf([&] { rows("SELECT " + expression + one); }).number, number) << expression;
    for (std::string expression :
         {"Format(@, 'Standard')", "Format(@)", "Format(@, 'yyyy')", "Int(@)", "Fix(@)", "Abs(@)", "Sgn(@)", "Round(@)",
          "Round(1.5, @)", "Sqr(@)", "CLng(@)", "CDbl(@)", "CCur(@)", "CBool(@)", "CDate(@)", "Year(@)", "Weekday(@)",
          "Weekday(1, @)", "DateValue(@)", "Chr(@)", "Left('a', @)", "Space(@)", "String(2, @)", "Mid('a', 1, @)",
          "InStr(@, 'a', 'a')", "DateAdd('d', @, #1/1/2000#)", "DateDiff('d', @, #1/1/2000#)", "DateSerial(@, 1, 1)",
          "DateSerial(2000, 1, -@)", "TimeSerial(0, @, 0)", "ID + @", "@ / 2", "@ Mod 2", "@ \\ 2", "@ ^ 2"}) {
        expression.replace(expression.find('@'), 1, "(1e308 * 10)");
        EXPECT_EQ(failureOf([&] { rows("SELECT " + expression + one); }).number, 6) << expression;
    }
    // An infinity stored in a file (Table1.F, 444.555, made one) is read,
    // and overflows where a function is given it.
    testdata::Copy stored("testV2000.mdb");
    stored.patch(0x1bfc1, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F});
    cn.Close();
    open(stored.path());
    EXPECT_EQ(rows("SELECT F FROM Table1 WHERE A = 'abcdefg'"), "Infinity");
    EXPECT_EQ(failureOf([&] { rows("SELECT Format(F, 'Standard') FROM Table1"); }).number, 6);
}

// Nesting past Access's 50 levels is refused (3360) before SQLite sees it;
// a long run of one operator is written flat, so it runs.
TEST_F(Dialect, DeepNestingIsRefusedAndLongRunsOfOneOperatorRun) {
    auto repeated = [](const std::string& s, size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i) out += s;
        return out;
    };
    for (const std::string& statement :
         {"SELECT " + repeated("(", 2000) + "1" + repeated(")", 2000),
          "SELECT 1 FROM T WHERE " + repeated("EXISTS (SELECT 1 FROM T WHERE ", 1000) + "1 = 1" + repeated(")", 1000),
          "SELECT " + repeated("Len(", 5000) + "'x'" + repeated(")", 5000),
          "SELECT * FROM " + repeated("(", 2000) + "T" + repeated(")", 2000)})
        EXPECT_EQ(failureOf([&] { ado::sql::translate(statement); }).number, 3360) << statement.substr(0, 40);
    auto ors = [](size_t n) {
        std::string out = "ID = 0";
        for (size_t i = 1; i < n; ++i) out += " OR ID = " + std::to_string(i);
        return out;
    };
    EXPECT_FALSE(ado::sql::translate("SELECT * FROM T WHERE " + ors(20000)).sqlite.empty());  // lists of lists of lists

    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    const std::string one = " FROM jobDB1 WHERE ID = 1";
    EXPECT_EQ(rows("SELECT " + repeated("(", 45) + "ID" + repeated(")", 45) + ", " + repeated("Len(", 25) + "'x'" +
                   repeated(")", 25) + ", " + repeated("-", 20000) + "ID, " + repeated("NOT ", 20001) + "(ID = 2)" + one),
              "1|1|1|-1");
    EXPECT_EQ(rows("SELECT count(*)" + repeated(" FROM jobDB1 WHERE EXISTS (SELECT 1", 10) + " FROM jobDB1" +
                   repeated(")", 10)),
              "6");
    // Nesting SQLite's parser cannot hold is refused as too complex as well.
    EXPECT_EQ(failureOf([&] { rows("SELECT " + repeated("Len(", 45) + "'x'" + repeated(")", 45) + one); }).number, 3360);
    for (size_t n : {100, 2000}) EXPECT_EQ(rows("SELECT count(*) FROM jobDB1 WHERE " + ors(n)), "6") << n;
    EXPECT_EQ(rows("SELECT ID" + repeated(" + ID", 250) + ", ID" + repeated(" & ID", 250) + ", 1" +
                   repeated(" + 1", 250) + ", ID" + repeated(" * 2", 250) + ", " + repeated("ID AND ", 250) + "ID" + one),
              "251|" + repeated("1", 251) + "|251|1.8092513943330656E+75|-1");
}

// The rest of VBA's library as a query offers it: each expression with
// the text of its value, or the error it raises.
TEST_F(Dialect, FunctionsOfTheLibraryAsVbaDefinesThem) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    const std::pair<const char*, const char*> cases[] = {
        {"DatePart('q', #5/15/2021#)", "2"},          {"DatePart('y', #12/31/2020#)", "366"},
        {"DatePart('w', #5/15/2021#, 2)", "6"},       {"DatePart('ww', #1/1/2021#)", "1"},
        {"DatePart('ww', #1/3/2021#, 2, 2)", "53"},   {"DatePart('ww', #12/31/2021#, 1, 3)", "52"},
        {"DatePart('h', #3:04:05 PM#)", "15"},        {"DatePart('x', #1/1/2021#)", "error 5"},
        {"MonthName(2)", "February"},                 {"MonthName(12, True)", "Dec"},
        {"MonthName(13)", "error 5"},                 {"WeekdayName(1)", "Sunday"},
        {"WeekdayName(1, True, 2)", "Mon"},           {"TimeValue('3:04:05 PM')", "3:04:05 PM"},
        {"Switch(1 = 2, 'a', 2 = 2, 'b')", "b"},      {"Switch(1 = 2, 'a') IS NULL", "-1"},
        {"Choose(2, 'x', 'y', 'z')", "y"},            {"Choose(4, 'x') IS NULL", "-1"},
        {"InStrRev('abcabc', 'bc')", "5"},            {"InStrRev('abcabc', 'BC', 4)", "2"},
        {"InStrRev('abc', 'z')", "0"},                {"StrReverse('abc')", "cba"},
        {"StrReverse(Null)", "error 94"},             {"StrConv('hello wORLD', 3)", "Hello World"},
        {"CByte(254.5)", "254"},                      {"CByte(256)", "error 6"},
        {"CSng(1.1)", "1.1"},                         {"CSng(1E+39)", "error 6"},
        {"Hex(255)", "FF"},                           {"Hex(-1)", "FFFFFFFF"},
        {"Oct(8)", "10"},                             {"Val('&H1F')", "31"},
        {"Val('&O17')", "15"},                        {"Val('&HFFFF')", "-1"},
        {"Str(5) & '|' & Str(-5)", " 5|-5"},          {"Log(1)", "0"},
        {"Log(0)", "error 5"},                        {"Exp(0)", "1"},
        {"Round(Atn(1) * 4, 5)", "3.14159"},          {"Cos(0) + Sin(0) + Tan(0)", "1"},
        {"CVDate('1/2/2003')", "1/2/2003"},           {"IsEmpty(Null)", "0"},
        {"Rnd() < 1 AND Rnd() >= 0", "-1"},           {"Timer() >= 0", "-1"},
        {"'x' & (1 / 3)", "x0.333333333333333"},     {"Len(2 / 3)", "17"},
        {"FormatNumber(1234.567)", "1,234.57"},       {"FormatNumber(-0.5, 1, 0)", "-.5"},
        {"FormatNumber(1234.5, 0, -1, -1, 0)", "1235"}, {"FormatCurrency(-5)", "($5.00)"},
        {"FormatCurrency(1234.5, 0)", "$1,235"},      {"FormatPercent(0.256)", "25.60%"},
        {"FormatDateTime(#1/2/2003 3:04:05 PM#, 2)", "1/2/2003"}, {"FormatDateTime(#1/2/2003#, 5)", "error 5"},
        {"Partition(23, 0, 100, 10)", "  20:  29"},   {"Partition(-1, 0, 100, 10)", "    :  -1"},
        {"Partition(150, 0, 100, 10)", " 101:    "},  {"Partition(95, 0, 99, 10)", " 90: 99"},
        {"CDec(1.5) * 2", "3"},                       {"CDec(1E+30)", "error 6"},
    };
    for (const auto& [expression, expected] : cases) {
        std::string got;
        Failure f = failureOf([&] { got = rows(std::string("SELECT ") + expression + " FROM jobDB1 WHERE ID = 1"); });
        if (f.number) got = "error " + std::to_string(f.number);
        EXPECT_EQ(got, expected) << expression;
    }
}

TEST_F(Dialect, DateLiteralsFunctionsAndFormat) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    open(copy.path());
    // Table1.G: 21 September 1974 and 12 December 1981, both at midnight.
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE G = #9/21/1974#"), "abcdefg");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE G = #1974-09-21#"), "abcdefg");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE G > #21-Sep-1974 12:00# AND G < #December 13, 1981#"), "a");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE G BETWEEN #1/1/1980# AND #12/31/1981 11:59:59 PM#"), "a");
    EXPECT_EQ(rows("SELECT Year(G), Month(G), Day(G), Weekday(G), Hour(G), DateDiff('d', G, #9/30/1974#), "
                   "DateDiff('m', G, #2/1/1975#), DateDiff('yyyy', G, #1/1/1980#) FROM Table1 WHERE A = 'abcdefg'"),
              "1974|9|21|7|0|9|5|6");
    EXPECT_EQ(rows("SELECT #1/31/2020 13:45:30#, DateAdd('m', 1, #1/31/2020#), DateAdd('d', -1, #3/1/2020#), "
                   "DateAdd('h', 36, #1/1/2020#), DateSerial(2020, 14, 0), TimeSerial(25, 0, 0), DateValue('2/29/2020 8:00') "
                   "FROM Table1 WHERE A = 'a'"),
              "1/31/2020 1:45:30 PM|2/29/2020|2/29/2020|1/2/2020 12:00:00 PM|1/31/2021|12/31/1899 1:00:00 AM|2/29/2020");
    EXPECT_EQ(rows("SELECT Format(G, 'yyyy-mm-dd'), Format(G, 'Long Date'), Format(G, 'Medium Date'), "
                   "Format(G, 'Short Date'), Format(G, 'dddd d mmm yy'), Format(#1/5/2020 14:07:09#, 'hh:nn:ss'), "
                   "Format(#1/5/2020 14:07:09#, 'h:nn AM/PM'), Format(#1/5/2020 14:07#, 'General Date'), "
                   "Format(#1/5/2020#), Format(G, 'q \"quarter\"') FROM Table1 WHERE A = 'abcdefg'"),
              "1974-09-21|Saturday, September 21, 1974|21-Sep-74|9/21/1974|Saturday 21 Sep 74|14:07:09|2:07 PM|"
              "1/5/2020 2:07:00 PM|1/5/2020|3 quarter");
    EXPECT_EQ(rows("SELECT Format(H, 'Currency'), Format(-1234.5, 'Currency'), Format(E, 'Standard'), Format(F, 'Fixed'), "
                   "Format(0.125, 'Percent'), Format(1234.5, 'Scientific'), Format(F, '0000.0'), Format(2.5, '0'), "
                   "Format(E, '#,##0'), Format(-5, '0;(0)'), Format(0, '0.0;-0.0;\"zero\"'), Format(I, 'Yes/No'), "
                   "Format(123456789, '000-00-0000'), Format(C, '00'), Format(A, '>'), Format(F) FROM Table1 WHERE A = 'abcdefg'"),
              "$3.50|($1,234.50)|333,333,333.00|444.56|12.50%|1.23E+03|0444.6|3|333,333,333|(5)|zero|Yes|"
              "123-45-6789|02|ABCDEFG|444.555");
    // A column keeps its Access type; a date expression is a date.
    EXPECT_EQ(types("SELECT A, C, D, E, F, G, H, I, #1/1/2020#, Now(), DateSerial(2020, 1, 1), Year(G), True FROM Table1"),
              (std::vector<ado::DataType>{ado::adVarWChar, ado::adUnsignedTinyInt, ado::adSmallInt, ado::adInteger,
                                          ado::adDouble, ado::adDate, ado::adCurrency, ado::adBoolean, ado::adDate,
                                          ado::adDate, ado::adDate, ado::adInteger, ado::adInteger}));
    // Results computed from a date column are dates too, as Access shows them.
    EXPECT_EQ(rows("SELECT Max(G), Min(t.G), G + 1, G - 1, IIf(C > 0, G, #1/1/2000#), Nz(G), G - G "
                   "FROM Table1 AS t GROUP BY G, C ORDER BY G DESC"),
              "12/12/1981|12/12/1981|12/13/1981|12/11/1981|1/1/2000|12/12/1981|0; "
              "9/21/1974|9/21/1974|9/22/1974|9/20/1974|9/21/1974|9/21/1974|0");
    EXPECT_EQ(types("SELECT Max(G), G + 1, G - G FROM Table1 GROUP BY G"),
              (std::vector<ado::DataType>{ado::adDate, ado::adDate, ado::adDouble}));
    // Currency stays Currency where Access keeps it: summed, with whole
    // numbers or Currency added or multiplied; not divided or with a Double.
    EXPECT_EQ(types("SELECT Sum(H), Max(H), Sum(H * C), Sum(F) FROM Table1"),
              (std::vector<ado::DataType>{ado::adCurrency, ado::adCurrency, ado::adCurrency, ado::adDouble}));
    EXPECT_EQ(types("SELECT H * E, H + 1, -H, H - H, IIf(C > 0, H, H), CCur(F), H * F, H / 2 FROM Table1"),
              (std::vector<ado::DataType>{ado::adCurrency, ado::adCurrency, ado::adCurrency, ado::adCurrency,
                                          ado::adCurrency, ado::adCurrency, ado::adDouble, ado::adDouble}));
    EXPECT_EQ(rows("SELECT Count(*) FROM Table1 WHERE Now() > #1/1/2020# AND Date() <= Now() AND Time() < 1"), "2");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE I = True"), "abcdefg");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE I = Yes AND I <> Off"), "abcdefg");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE I = No OR I = False"), "a");
    EXPECT_EQ(rows("SELECT On, Off FROM Table1 WHERE I = Yes"), "-1|0");
    EXPECT_EQ(rows("SELECT A FROM Table1 WHERE NOT I"), "a");
    EXPECT_EQ(failureOf([&] { rows("SELECT * FROM Table1 WHERE G > #2/30/2020#"); }).number, 3075);
    EXPECT_EQ(failureOf([&] { rows("SELECT * FROM Table1 WHERE G > #1/1/2020"); }).number, 3075);
    EXPECT_EQ(failureOf([&] { execute("UPDATE Table1 SET G = G + 3000000"); }).number, jet::kErrOverflow);
}

TEST_F(Dialect, RowStatementsLandAsMdbExportReadsThem) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    EXPECT_EQ(execute("INSERT INTO jobDB1 VALUES (7, 70, 7.25, \"seven\", Null, 'D', Null, Null, Null, 2 ^ 3)"), 1);
    EXPECT_EQ(execute("INSERT INTO jobDB1 (ID, MainNumber, JobName, Department) SELECT ID + 100, MainNumber * 2, "
                      "UCase(JobName), 'copy of ' & ID FROM jobDB1 WHERE JobType = 'A'"),
              2);
    EXPECT_EQ(execute("UPDATE jobDB1 SET FullNumber = ID Mod 4, JobName = Left(JobName, 3) & '.' WHERE JobName LIKE '%ET%'"), 2);
    EXPECT_EQ(execute("DELETE * FROM jobDB1 WHERE ID = 6"), 1);
    EXPECT_EQ(execute("DELETE FROM jobDB1 WHERE ID > 100 AND Department = 'COPY OF 5'"), 1);
    EXPECT_EQ(execute("UPDATE jobDB1 SET PhaseNumber = Null WHERE False"), 0);
    cn.Close();
    EXPECT_EQ(exported(copy->path(), "jobDB1"),
              "ID,MainNumber,PhaseNumber,JobName,PrevailingWage,JobType,Department,PulledBy,RequestBy,FullNumber\n"
              "1,10,1.5,\"alpha\",,\"A\",,,,\n"
              "2,20,2.5,\"Bet.\",,\"B\",,,,2\n"
              "3,30,3.5,\"bet.\",,\"B\",,,,3\n"
              "4,40,4.5,\"Gamma\",,,,,,\n"
              "5,50,5.5,\"delta\",,\"A\",,,,\n"
              "7,70,7.25,\"seven\",,\"D\",,,,8\n"
              "101,20,,\"ALPHA\",,,\"copy of 1\",,,\n");
}

TEST_F(Dialect, SchemaStatementsAreHandedOnInTheirParts) {
    ado::sql::Statement st = ado::sql::translate("CREATE TABLE People(Name TEXT, Age INTEGER)");
    EXPECT_EQ(st.kind, StatementKind::CreateTable);
    EXPECT_EQ(st.target, "People");
    ASSERT_EQ(st.columns.size(), 2u);
    EXPECT_EQ(st.columns[0].name, "Name");
    EXPECT_EQ(st.columns[0].type, "TEXT");
    EXPECT_EQ(st.columns[0].size, 0);
    EXPECT_EQ(st.columns[1].type, "LONG");

    st = ado::sql::translate("CREATE TABLE [Order Lines] ([Line No] COUNTER PRIMARY KEY, Paid YESNO, Price CURRENCY, "
                             "Notes MEMO, Shipped DATE, Picture OLEOBJECT, Code TEXT(12) NOT NULL, Qty SHORT, "
                             "Weight single, Ratio DOUBLE, Flags BYTE, Ref GUID, Stamp DATETIME, Big LONG)");
    EXPECT_EQ(st.target, "Order Lines");
    std::vector<std::string> kinds;
    for (const auto& c : st.columns) kinds.push_back(c.type);
    EXPECT_EQ(kinds, (std::vector<std::string>{"COUNTER", "YESNO", "CURRENCY", "MEMO", "DATETIME", "OLEOBJECT", "TEXT",
                                               "SHORT", "SINGLE", "DOUBLE", "BYTE", "GUID", "DATETIME", "LONG"}));
    EXPECT_EQ(st.columns[0].name, "Line No");
    EXPECT_TRUE(st.columns[0].primary_key);
    EXPECT_EQ(st.columns[6].size, 12);
    EXPECT_TRUE(st.columns[6].not_null);

    st = ado::sql::translate("DROP TABLE Orders");
    EXPECT_EQ(st.kind, StatementKind::DropTable);
    EXPECT_EQ(st.target, "Orders");

    st = ado::sql::translate("SELECT * INTO OrdersCopy FROM Orders");
    EXPECT_EQ(st.kind, StatementKind::SelectInto);
    EXPECT_EQ(st.target, "OrdersCopy");
    EXPECT_EQ(st.tables, (std::vector<std::string>{"Orders"}));
    EXPECT_EQ(st.sqlite, "SELECT * FROM \"Orders\"");

    st = ado::sql::translate("ALTER TABLE [Order Lines] ADD COLUMN Extra TEXT(40)");
    EXPECT_EQ(st.kind, StatementKind::AddColumn);
    EXPECT_EQ(st.target, "Order Lines");
    ASSERT_EQ(st.columns.size(), 1u);
    EXPECT_EQ(st.columns[0].size, 40);
    EXPECT_EQ(ado::sql::translate("ALTER TABLE t ADD c YESNO").columns[0].type, "YESNO");

    // The simple actions send names as typed: a blank is an error, never guessed.
    struct Case {
        const char* statement;
        long number;
    } cases[] = {
        {"CREATE TABLE People()", 3290},
        {"CREATE TABLE Order Details(Name TEXT)", 3290},
        {"CREATE TABLE People(Name TEXT, Name LONG)", 3191},
        {"CREATE TABLE People(Name WORDS)", 3292},
        {"CREATE TABLE People(Name TEXT(300))", 3292},
        {"CREATE TABLE People(First Name TEXT)", 3292},
        {"DROP TABLE Order Details", 3295},
        {"SELECT * INTO Orders Copy FROM Orders", 3141},
        {"ALTER TABLE People ADD COLUMN", 3292},
        {"ALTER TABLE People DROP COLUMN Age", 3251},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureOf([&] { ado::sql::translate(c.statement); }).number, c.number) << c.statement;
}

// Comparisons on plain columns reach SQLite as such, so it can hand them
// to the tables; text compares through the columns' own collation.
TEST_F(Dialect, PlainColumnComparisonsStayPlain) {
    std::string s = ado::sql::translate("SELECT * FROM T WHERE ID = 5 AND Name = 'x' AND [When] >= #1/2/2020# AND "
                                        "Amount < 3.5 AND Code IN (1, 2)")
                        .sqlite;
    EXPECT_EQ(s, "SELECT * FROM \"T\" WHERE ((\"ID\" = 5) AND (\"Name\" = 'x') AND (\"When\" >= 43832.0) AND "
                 "(\"Amount\" < 3.5) AND (\"Code\" IN (1, 2)))");
}

TEST_F(Dialect, ErrorsNameThePlaceAndLeaveTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    auto copy = jobs();
    cn.Close();
    std::vector<unsigned char> before = copy->read();
    std::string exported_before = exported(copy->path(), "jobDB1");
    open(copy->path());
    struct Case {
        const char* statement;
        long number;
        const char* place;  // in the description
    } cases[] = {
        {"", ado::kErrCommandText, "empty"},
        {"   ", ado::kErrCommandText, "empty"},
        {"SELEC * FROM jobDB1", 3129, "SELECT"},
        {"SELECT ID, FROM jobDB1", 3075, ""},
        {"SELECT ID JobName FROM jobDB1", 3075, "ID JobName"},
        {"SELECT * FROM jobDB1 WHERE ID = ", 3075, "expression"},
        {"SELECT * FROM jobDB1 WHERE JobName = 'open", 3075, "'open"},
        {"SELECT * FROM jobDB1 WHERE (ID = 1", 3075, "(ID = 1"},
        {"SELECT * FROM jobDB1 ORDER ID", 3138, "ORDER BY"},
        {"SELECT * FROM", 3131, "FROM"},
        {"SELECT * FROM NoSuchTable", jet::kErrNoSuchTable, "NoSuchTable"},
        {"SELECT NoSuchField FROM jobDB1", -2147217904, "NoSuchField"},
        {"UPDATE jobDB1 SET ID = NoSuchField + 1", -2147217904, "NoSuchField"},
        {"DELETE FROM jobDB1 WHERE [No Such] = 1", -2147217904, "No Such"},
        {"SELECT Frobnicate(ID) FROM jobDB1", 3085, "Frobnicate"},
        {"SELECT Left(JobName) FROM jobDB1", 3075, "Left(JobName)"},
        {"SELECT JobType FROM jobDB1 WHERE Count(*) > 1 GROUP BY JobType", 3096, "Count(*) > 1"},
        {"TRANSFORM Count(*) SELECT JobType FROM jobDB1 PIVOT JobName", 3130, "GROUP BY"},
        {"TRANSFORM Count(*) SELECT JobType FROM jobDB1 GROUP BY JobType", 3130, "PIVOT"},
        {"DELETE FROM jobDB1; DELETE FROM jobDB1", 3142, "end of SQL statement"},
        {"INSERT INTO jobDB1 (ID) VALUES (1); DROP TABLE jobDB1", 3142, "end of SQL statement"},
        {"INSERT INTO jobDB1 (ID) VALUES (1", 3134, "')'"},
        {"INSERT jobDB1 (ID) VALUES (1)", 3134, "INTO"},
        {"UPDATE jobDB1 ID = 1", 3144, "SET"},
        {"DELETE jobDB1 WHERE ID = 1", ado::kErrCommandText, "FROM"},
        {"UPDATE jobDB1 SET MainNumber = 1 / 0", 11, "Division by zero"},
        {"UPDATE jobDB1 SET JobName = JobName + 1", 3464, "mismatch"},
    };
    for (const Case& c : cases) {
        Failure f = failureOf([&] { execute(c.statement); });
        EXPECT_EQ(f.number, c.number) << c.statement << ": " << f.description;
        EXPECT_NE(f.description.find(c.place), std::string::npos) << c.statement << ": " << f.description;
    }
    cn.Close();
    EXPECT_EQ(exported(copy->path(), "jobDB1"), exported_before);
    EXPECT_TRUE(copy->read() == before);
}

}  // namespace
