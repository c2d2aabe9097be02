// SPDX-License-Identifier: Apache-2.0
// Connection: opening by connection string, the errors each bad open gives,
// closing, and the table schema.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ado/connection.h"
#include "ado/connection_string.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "support/testdata.h"

namespace {

std::string jetString(const std::string& file, const std::string& password = "", const std::string& user = "") {
    return ado::JetConnectionString(file, password, user);
}

long openError(const std::string& connection_string) {
    ado::Connection cn;
    try {
        cn.Open(connection_string, "", "", -1);
    } catch (const ado::Error& e) {
        EXPECT_EQ(cn.State(), ado::adStateClosed);
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    EXPECT_EQ(cn.State(), ado::adStateOpen);
    return 0;
}

std::vector<std::string> tableNames(ado::Connection& cn, const std::string& type = "TABLE") {
    auto rs = cn.OpenSchema(ado::adSchemaTables, {ado::Value(), ado::Value(), ado::Value(), type});
    std::vector<std::string> names;
    while (!rs->Eof()) {
        names.push_back(rs->GetFields().Item("table_name").GetValue().as<std::string>());
        rs->MoveNext();
    }
    return names;
}

TEST(Connection, EachBadOpenHasItsOwnError) {
    SKIP_WITHOUT_CORPUS();
    EXPECT_EQ(openError(jetString(testdata::file("testV2000.mdb"))), 0);
    EXPECT_EQ(openError(jetString(testdata::file("testV2000.mdb"), "", "Admin")), 0);
    EXPECT_EQ(openError("Provider=Nonesuch.1;Data Source=" + testdata::file("testV2000.mdb")), ado::kErrProviderNotFound);
    EXPECT_EQ(openError(jetString("/nonexistent/folder/x.mdb")), jet::kErrFileNotFound);
    EXPECT_EQ(openError(jetString("")), jet::kErrFileNotFound);
    EXPECT_EQ(openError(jetString(testdata::file("V2000_with-password.mdb"), "wrong")), jet::kErrBadPassword);
    EXPECT_EQ(openError(jetString(testdata::file("V2000_with-password.mdb"), "password")), 0);
    EXPECT_EQ(openError(jetString(testdata::file("db2013-enc.accdb"), "wrong")), jet::kErrBadPassword);
    EXPECT_EQ(openError(jetString(testdata::file("db2013-enc.accdb"), "1234")), 0);

    testdata::Copy text(testdata::root() + "/MANIFEST.md");
    EXPECT_EQ(openError(jetString(text.path())), jet::kErrNotDatabase);
    text.truncate(0);
    EXPECT_EQ(openError(jetString(text.path())), jet::kErrNotDatabase);
}

TEST(Connection, KeysAreReadWithoutRegardToCaseOrBlanks) {
    SKIP_WITHOUT_CORPUS();
    EXPECT_EQ(openError(" provider = microsoft.jet.oledb.4.0 ;DATA SOURCE=" + testdata::file("testV2000.mdb")), 0);
}

// A typed path or password is one value, whatever it holds: it cannot end
// early, nor name another file.
TEST(Connection, PathsAndPasswordsHoldingSyntaxAreOneValue) {
    SKIP_WITHOUT_CORPUS();
    const std::string locked = testdata::file("V2000_with-password.mdb");
    for (const char* password : {"pass;word", "password;junk", "password;Data Source=x.mdb"})
        EXPECT_EQ(openError(jetString(locked, password)), jet::kErrBadPassword) << password;
    EXPECT_EQ(openError(jetString(locked, "x;Data Source=" + testdata::file("testV2000.mdb"))), jet::kErrBadPassword);
    const std::string odd = testing::TempDir() + "/semi;colon='q' \"{x}=y.mdb";
    std::filesystem::copy_file(locked, odd, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(openError(jetString(odd, "password")), 0);
    std::filesystem::remove(odd);
}

TEST(Connection, CloseRaises3704WhenClosedAndEndsItsRecordsets) {
    SKIP_WITHOUT_CORPUS();
    ado::Connection cn;
    try {
        cn.Close();
        FAIL();
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), ado::kErrObjectClosed);
    }
    cn.Open(jetString(testdata::file("testV2000.mdb")));
    try {
        cn.Open(jetString(testdata::file("testV2000.mdb")));
        FAIL();
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), ado::kErrObjectOpen);
    }
    ado::Recordset rs;
    rs.Open("SELECT * FROM [Table1]", cn, ado::adOpenStatic, ado::adLockOptimistic);
    cn.Close();
    EXPECT_EQ(rs.State(), ado::adStateClosed);
    EXPECT_THROW(cn.Close(), ado::Error);
    // The same object opens again afterwards.
    cn.Open(jetString(testdata::file("testV1997.mdb")));
    EXPECT_EQ(tableNames(cn).size(), 4u);
}

TEST(Connection, FailedOpenLeavesTheConnectionClosedForTheRetry) {
    SKIP_WITHOUT_CORPUS();
    ado::Connection cn;
    EXPECT_THROW(cn.Open(jetString(testdata::file("V2000_with-password.mdb"), "")), ado::Error);
    try {
        cn.Close();
        FAIL();
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), 3704);
    }
    cn.Open(jetString(testdata::file("V2000_with-password.mdb"), "password"));
    EXPECT_EQ(tableNames(cn), std::vector<std::string>{"Table1"});
}

TEST(Connection, SchemaListsUserTablesByNameAndSystemTablesApart) {
    SKIP_WITHOUT_CORPUS();
    ado::Connection cn;
    cn.Open(jetString(testdata::file("testIndexCodesV1997.mdb")));
    std::vector<std::string> names = tableNames(cn);
    ASSERT_EQ(names.size(), 29u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }));
    std::vector<std::string> system = tableNames(cn, "SYSTEM TABLE");
    EXPECT_NE(std::find(system.begin(), system.end(), "MSysObjects"), system.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "MSysObjects"), names.end());

    auto all = cn.OpenSchema(ado::adSchemaTables);
    EXPECT_EQ(all->RecordCount(), long(names.size() + system.size()));
    EXPECT_EQ(all->GetFields().Item("TABLE_TYPE").Type(), ado::adVarWChar);
}

TEST(Connection, SchemaNeedsAnOpenConnection) {
    ado::Connection cn;
    try {
        cn.OpenSchema(ado::adSchemaTables);
        FAIL();
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), ado::kErrObjectClosed);
    }
}

}  // namespace
