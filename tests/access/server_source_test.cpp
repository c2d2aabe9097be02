// SPDX-License-Identifier: Apache-2.0
// A server source through the access interface, against the PostgreSQL
// test server: schema, loading, positioned updates, inserts, statements,
// and failures. Each test works on tables of its own name.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "support/test_server.h"

namespace {

using ado::Value;

class ServerSource : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SERVER();
        cn.Open(testserver::ConnectionString(), "", "", -1);
    }

    // A fresh table "name" of (id primary key, name text, amount numeric,
    // born timestamp) holding two rows, inserted in reverse key order.
    void makePeople(const std::string& table) {
        cn.Execute("DROP TABLE IF EXISTS " + table);
        cn.Execute("CREATE TABLE " + table +
                   " (id integer PRIMARY KEY, name varchar(20), amount numeric(10,2), born timestamp)");
        cn.Execute("INSERT INTO " + table + " VALUES (2, 'Bea', 3.50, '1990-05-06 07:08:09'), (1, 'Al', NULL, NULL)");
    }

    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        ado::Recordset rs;
        rs.Open(sql, cn, ado::adOpenStatic, ado::adLockReadOnly);
        std::vector<std::vector<std::string>> out;
        while (!rs.Eof()) {
            out.emplace_back();
            for (long f = 0; f < rs.GetFields().Count(); ++f) out.back().push_back(ado::toText(rs.GetFields()[f].GetValue(), '.'));
            rs.MoveNext();
        }
        return out;
    }

    ado::Connection cn;
};

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ado::Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    return 0;
}

TEST_F(ServerSource, ListsTablesAndLoadsOneInKeyOrderWithItsTypes) {
    makePeople("srv_people_load");
    auto schema = cn.OpenSchema(ado::adSchemaTables, {Value(), Value(), Value(), std::string("TABLE")});
    std::vector<std::string> names;
    for (; !schema->Eof(); schema->MoveNext()) names.push_back(ado::toText(schema->GetFields()["table_name"].GetValue()));
    EXPECT_NE(std::find(names.begin(), names.end(), "srv_people_load"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "pg_class"), names.end()) << "system tables are not TABLE";

    ado::Recordset rs;
    rs.Open("SELECT * FROM [srv_people_load]", cn, ado::adOpenStatic, ado::adLockOptimistic);
    EXPECT_EQ(rs.RecordCount(), 2);
    ado::Fields& f = rs.GetFields();
    ASSERT_EQ(f.Count(), 4);
    EXPECT_EQ(f[0].Name(), "id");
    EXPECT_EQ(f[0].Type(), ado::adInteger);
    EXPECT_EQ(f[1].Type(), ado::adVarWChar);
    EXPECT_EQ(f[2].Type(), ado::adNumeric);
    EXPECT_EQ(f[3].Type(), ado::adDate);
    EXPECT_EQ(f["ID"].GetValue(), Value(int32_t(1)));
    EXPECT_TRUE(f["amount"].GetValue().isNull());
    rs.Move(1);
    EXPECT_EQ(ado::toText(f[1].GetValue()), "Bea");
    EXPECT_EQ(ado::toText(f[2].GetValue(), '.'), "3.5");
    EXPECT_EQ(ado::toIsoText(f[3].GetValue().as<jet::DateTime>()), "1990-05-06 07:08:09");
}

TEST_F(ServerSource, AnEditedFieldIsStoredInItsRowAndReadBackAsTheServerKeepsIt) {
    makePeople("srv_people_edit");
    {
        ado::Recordset rs;
        rs.Open("SELECT * FROM srv_people_edit", cn, ado::adOpenDynamic, ado::adLockOptimistic);
        rs.Move(1);
        rs.GetFields()[2].SetValue(std::string("12.345"));
        rs.GetFields()[1].SetValue(std::string("Béatrice; O'Neil"));
        rs.Update();
        // Rounded half to even to the column's two decimals, as typed values are.
        EXPECT_EQ(ado::toText(rs.GetFields()[2].GetValue(), '.'), "12.34");
        rs.Close();
    }
    EXPECT_EQ(rows("SELECT id, name, amount FROM srv_people_edit ORDER BY id"),
              (std::vector<std::vector<std::string>>{{"1", "Al", ""}, {"2", "Béatrice; O'Neil", "12.34"}}));
}

TEST_F(ServerSource, TextThatIsNoNumberIsRefusedAndNothingIsStored) {
    makePeople("srv_people_bad");
    ado::Recordset rs;
    rs.Open("SELECT * FROM srv_people_bad", cn, ado::adOpenDynamic, ado::adLockOptimistic);
    EXPECT_EQ(errorOf([&] { rs.GetFields()[0].SetValue(std::string("abc")); }), jet::kErrConversion);
    // A key taken by another row: the server refuses, the row stays.
    rs.GetFields()[0].SetValue(std::string("2"));
    EXPECT_EQ(errorOf([&] { rs.Update(); }), ado::kErrIntegrity);
    rs.CancelUpdate();
    rs.Close();
    EXPECT_EQ(rows("SELECT id, name FROM srv_people_bad ORDER BY id"),
              (std::vector<std::vector<std::string>>{{"1", "Al"}, {"2", "Bea"}}));
}

TEST_F(ServerSource, AddNewInsertsARowThatCanBeEditedAtOnce) {
    makePeople("srv_people_add");
    ado::Recordset rs;
    rs.Open("SELECT * FROM srv_people_add", cn, ado::adOpenDynamic, ado::adLockOptimistic);
    rs.AddNew();
    rs.GetFields()[0].SetValue(std::string("7"));
    rs.GetFields()[1].SetValue(std::string("Cy"));
    rs.GetFields()[3].SetValue(std::string("1/15/2020 3:04:05 PM"));
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.GetFields()[0].GetValue(), Value(int32_t(7)));
    rs.GetFields()[1].SetValue(std::string("Cyd"));
    rs.Update();
    rs.Close();
    EXPECT_EQ(rows("SELECT id, name, born FROM srv_people_add WHERE id = 7"),
              (std::vector<std::vector<std::string>>{{"7", "Cyd", "1/15/2020 3:04:05 PM"}}));
}

TEST_F(ServerSource, ATableWithoutPrimaryKeyTakesInsertsButRefusesUpdates) {
    cn.Execute("DROP TABLE IF EXISTS srv_nokey");
    cn.Execute("CREATE TABLE srv_nokey (a integer, b text)");
    cn.Execute("INSERT INTO srv_nokey VALUES (1, 'x'), (1, 'x')");
    ado::Recordset rs;
    rs.Open("SELECT * FROM [srv_nokey]", cn, ado::adOpenDynamic, ado::adLockOptimistic);
    rs.GetFields()[1].SetValue(std::string("y"));
    EXPECT_EQ(errorOf([&] { rs.Update(); }), ado::kErrNotSupported);
    rs.CancelUpdate();
    rs.AddNew();
    rs.GetFields()[0].SetValue(std::string("2"));
    rs.Update();
    rs.Close();
    EXPECT_EQ(rows("SELECT a, b FROM srv_nokey ORDER BY a"),
              (std::vector<std::vector<std::string>>{{"1", "x"}, {"1", "x"}, {"2", ""}}));
}

TEST_F(ServerSource, StatementsRunAndOtherQueriesGiveReadOnlyRows) {
    makePeople("srv_people_exec");
    long changed = 0;
    cn.Execute("UPDATE srv_people_exec SET name = name || '!'", &changed);
    EXPECT_EQ(changed, 2);
    ado::Recordset rs;
    rs.Open("SELECT name FROM srv_people_exec WHERE id = 1", cn, ado::adOpenStatic, ado::adLockOptimistic);
    EXPECT_EQ(ado::toText(rs.GetFields()[0].GetValue()), "Al!");
    EXPECT_EQ(errorOf([&] { rs.GetFields()[0].SetValue(std::string("z")); }), ado::kErrNotSupported);
    rs.Close();
    EXPECT_EQ(errorOf([&] { cn.Execute("SELEC nonsense"); }), ado::kErrCommandText);
    try {
        rs.Open("SELECT * FROM [srv_no_such_table]", cn, ado::adOpenStatic);
        ADD_FAILURE() << "opened a missing table";
    } catch (const ado::Error& e) {
        EXPECT_NE(e.description().find("srv_no_such_table"), std::string::npos) << e.description();
    }
    // A statement stopped from another thread, as the query window's Cancel
    // does, fails with 3712 and changes nothing.
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cn.Cancel();
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { cn.Execute("UPDATE srv_people_exec SET name = 'x' WHERE pg_sleep(30) IS NOT NULL"); }),
              ado::kErrCancelled);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    // While rows come in, the progress hears of them, as the running box does.
    uint64_t heard = 0;
    cn.SetProgress([&](uint64_t rows) { heard = rows; });
    EXPECT_EQ(rows("SELECT n FROM generate_series(1, 2500) AS n").size(), 2500u);
    cn.SetProgress({});
    EXPECT_EQ(heard, 2000u);
    // The connection goes on working after failures.
    EXPECT_EQ(rows("SELECT count(*) FROM srv_people_exec WHERE name <> 'x'"), (std::vector<std::vector<std::string>>{{"2"}}));
}

TEST_F(ServerSource, TheCatalogListingFindsItsFieldWithoutRegardToCase) {
    ado::Recordset rs;
    rs.Open("SELECT * FROM INFORMATION_SCHEMA.schemata", cn, ado::adOpenKeyset, ado::adLockOptimistic);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(ado::toText(rs.GetFields()["CATALOG_name"].GetValue()), testserver::kDatabase);
}

TEST(ServerSourceOpen, AWrongPasswordOrNoServerIsAnErrorWithNumberAndText) {
    SKIP_WITHOUT_SERVER();
    ado::Connection cn;
    EXPECT_EQ(errorOf([&] { cn.Open(testserver::ConnectionString("wrong")); }), ado::kErrProviderFailed);
    EXPECT_EQ(cn.State(), ado::adStateClosed);
    EXPECT_EQ(errorOf([&] { cn.Open(testserver::ConnectionString(testserver::kPassword, testserver::kNoServer)); }),
              ado::kErrProviderFailed);
    cn.Open(testserver::ConnectionString());
    EXPECT_EQ(cn.State(), ado::adStateOpen);
}

}  // namespace
