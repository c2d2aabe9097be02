// SPDX-License-Identifier: Apache-2.0
// Saved queries: rebuilt from MSysQueries as Access shows them, and read by
// name as tables, alone, joined and nested, with counts known from the rows
// of their tables.
#include <gtest/gtest.h>

#include "ado/recordset.h"
#include "ado/value_text.h"
#include "sql/saved_query.h"
#include "support/sql_fixture.h"
#include "support/testdata.h"

namespace {

using testdata::failureOf;

class SavedQuery : public testdata::SqlTest {
protected:
    long count(const std::string& statement) {
        ado::Recordset rs;
        rs.Open(statement, cn, ado::adOpenStatic, ado::adLockReadOnly);
        return rs.RecordCount();
    }
};

TEST_F(SavedQuery, EachReadsByNameWithTheRowsItsTablesGive) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("nwind.mdb"));
    // Counted from the tables' rows: 830 orders, 809 of them shipped, 2,155
    // order lines, 77 products of which 8 are discontinued and 25 cost more
    // than the average, 91 customers and 29 suppliers, 130 orders over 2,500.
    const std::pair<const char*, long> cases[] = {
        {"SELECT * FROM [Order Subtotals]", 830},
        {"SELECT * FROM [Invoices]", 2155},
        {"SELECT * FROM [Order Details Extended]", 2155},
        {"SELECT * FROM [Alphabetical List of Products]", 69},
        {"SELECT * FROM [Current Product List]", 69},
        {"SELECT * FROM [Products Above Average Price]", 25},
        {"SELECT * FROM [Ten Most Expensive Products]", 10},
        {"SELECT * FROM [Customers and Suppliers by City]", 120},
        {"SELECT * FROM [Summary of Sales by Year]", 809},
        {"SELECT * FROM [Sales by Category]", 77},  // nested: reads Order Details Extended
        {"SELECT * FROM [Quarterly Orders by Product]", 914},  // products by customers ordering them in 1995
        {"SELECT * FROM [Quarterly Orders]", 84},  // DISTINCTROW: customers of 1995's 391 orders
        {"SELECT o.OrderID FROM Orders AS o INNER JOIN [Order Subtotals] AS s ON o.OrderID = s.OrderID "
         "WHERE s.Subtotal > 2500",
         130},
    };
    for (const auto& [statement, rows] : cases) EXPECT_EQ(count(statement), rows) << statement;

    ado::Recordset rs;
    rs.Open("SELECT * FROM [Ten Most Expensive Products]", cn, ado::adOpenStatic, ado::adLockReadOnly);
    EXPECT_EQ(ado::toText(rs.GetFields()["TenMostExpensiveProducts"].GetValue()), "Côte de Blaye");
    EXPECT_EQ(rs.GetFields()["UnitPrice"].Type(), ado::adCurrency);

    // The crosstab's columns are its IN list's; its sums, checked against
    // SQLite over the exported rows.
    rs.Close();
    rs.Open("SELECT OrderYear, Round([Qtr 1], 2) AS q1, [Qtr 2], [Qtr 3], [Qtr 4] FROM [Quarterly Orders by Product] "
            "WHERE ProductName = 'Alice Mutton' AND CustomerID = 'ERNSH'",
            cn, ado::adOpenStatic, ado::adLockReadOnly);
    std::string row;
    for (long i = 0; i < rs.GetFields().Count(); ++i)
        row += rs.GetFields()[i].Name() + "=" + ado::toText(rs.GetFields()[i].GetValue(), '.') + " ";
    EXPECT_EQ(row, "OrderYear=1995 q1=1123.2 Qtr 2= Qtr 3= Qtr 4=296.4 ");

    // Parameters without values fail as Access says; given, they are read
    // as declared (92 orders shipped in 1995's first quarter), or, where
    // not, as what they look like.
    EXPECT_EQ(failureOf([&] { count("SELECT * FROM [Employee Sales by Country]"); }).number, -2147217904);
    cn.SetParameters({{"Beginning Date", "1/1/95"}, {"ending date", "3/31/95"}});
    EXPECT_EQ(count("SELECT * FROM [Employee Sales by Country]"), 92);
    cn.SetParameters({{"Beginning Date", "soon"}, {"Ending Date", "3/31/95"}});
    EXPECT_EQ(failureOf([&] { count("SELECT * FROM [Employee Sales by Country]"); }).number, 3464);
    cn.SetParameters({{"Who", "alfki"}, {"Below", "10700"}});
    EXPECT_EQ(count("SELECT * FROM Orders WHERE CustomerID = [Who] AND OrderID < [Below]"), 2);
    cn.SetParameters({});
    EXPECT_EQ(failureOf([&] { count("SELECT * FROM [No Such Query]"); }).number, jet::kErrNoSuchTable);
}

TEST_F(SavedQuery, EveryKindIsRebuiltAsAccessWroteIt) {
    SKIP_WITHOUT_CORPUS();
    const std::pair<const char*, const char*> expected[] = {
        {"SelectQuery",
         "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\n"
         "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
         "(Table3.col1 = Table2.col2) AND (Table3.col1 = Table2.col1)\n"
         "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\n"
         "ORDER BY Table2.col1;"},
        {"DeleteQuery", "DELETE Table1.col1, Table1.col2, Table1.col3\nFROM Table1\nWHERE (((Table1.col1)>\"blah\"));"},
        {"CrosstabQuery",
         "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\n"
         "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\n"
         "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS Table2_1 ON "
         "[Table2].[col1]=Table2_1.col3\n"
         "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))\n"
         "GROUP BY Table2_1.col1, [Table2].[col3]\nORDER BY [Table2].[col3]\nPIVOT [Table1].[col1];"},
        {"UnionQuery",
         "Select Table1.col1, Table1.col2\nwhere Table1.col1 = \"foo\"\nUNION\nSelect Table2.col1, Table2.col2\n"
         "UNION ALL Select Table3.col1, Table3.col2\nwhere Table3.col3 > \"blah\";"},
        {"DataDefinitionQuery", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
    };
    for (const char* file : {"queryTestV1997.mdb", "queryTestV2000.mdb", "queryTestV2010.accdb"}) {
        jet::Database db(testdata::file(file), "");
        std::vector<ado::sql::SavedQuery> queries = ado::sql::savedQueries(db);
        EXPECT_EQ(queries.size(), 9u) << file;
        for (const auto& [name, sql] : expected) {
            const jet::CatalogEntry* entry = ado::sql::findSavedQuery(db, name);
            ASSERT_TRUE(entry) << file << " " << name;
            EXPECT_EQ(ado::sql::readSavedQuery(db, *entry).sql, sql) << file << " " << name;
        }
        const jet::CatalogEntry* update = ado::sql::findSavedQuery(db, "UpdateQuery");
        ASSERT_TRUE(update);
        EXPECT_EQ(ado::sql::readSavedQuery(db, *update).parameters, "PARAMETERS [User Name] Text;\n");
        // Its tables are empty; the crosstab, its summary in WHERE, runs.
        open(testdata::file(file));
        EXPECT_EQ(count("SELECT * FROM CrosstabQuery"), 0) << file;
        cn.Close();
    }
}

}  // namespace
