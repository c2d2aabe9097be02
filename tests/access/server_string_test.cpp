// SPDX-License-Identifier: Apache-2.0
// SQL Server connection strings as text: values in quotes, and the
// string the ODBC driver is given for each form of server name.
#include <gtest/gtest.h>

#include "ado/connection_string.h"
#include "ado/error.h"
#include "odbc/server_connection_string.h"

namespace {

using ado::ConnectionString;

std::string driverString(const std::string& source, const std::string& driver = "FreeTDS") {
    return ado::DriverConnectionString(ConnectionString(source), driver);
}

std::string server(const std::string& data_source, const std::string& rest = "User ID=sa;password=pw") {
    return "Provider=SQLOLEDB.1;" + rest + ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096" +
           ";Data Source=" + data_source;
}

TEST(ServerConnectionString, QuotedValuesCarrySemicolonsAndQuotesWhole) {
    for (std::string value : {"plain", "", "a;b", "say \"hi\"", "it's", "'x'", " padded ", "x;Data Source=elsewhere",
                              "\"", ";", "a=b", "{braced}", "}{", "x;Provider=Microsoft.Jet.OLEDB.4.0;y="}) {
        std::string text = "User ID=sa;password=" + ado::QuoteConnectionValue(value) + ";Data Source=db1";
        ConnectionString cs(text);
        EXPECT_EQ(cs.get("password"), value) << text;
        EXPECT_EQ(cs.get("Data Source"), "db1") << text;
        EXPECT_EQ(cs.get("User ID"), "sa") << text;
    }
    // Plain values are written as the user typed them.
    EXPECT_EQ(ado::QuoteConnectionValue("secret"), "secret");
    EXPECT_EQ(ado::QuoteConnectionValue("a;b"), "\"a;b\"");
    // Single quotes too, as the provider's own strings may use them.
    EXPECT_EQ(ConnectionString("password='a;''b';x=1").get("password"), "a;'b");
}

// The Jet provider reads quotes as the server providers do, and so does
// the reading of the provider's name.
TEST(ServerConnectionString, JetStringsCarryOddPathsAndPasswordsWhole) {
    for (std::string value : {"semi;colon.mdb", "/a b/c.mdb", "x;Data Source=b.mdb", "password;junk", "it's \"q\"",
                              "{x}=y", " lead", ""}) {
        ConnectionString cs(ado::JetConnectionString(value, value, value));
        EXPECT_EQ(cs.get("Provider"), "Microsoft.Jet.OLEDB.4.0") << value;
        EXPECT_EQ(cs.get("Data Source"), value);
        EXPECT_EQ(cs.get("Jet OLEDB:Database Password"), value);
        EXPECT_EQ(cs.get("User ID"), value);
    }
    const std::string typed = "x;Provider=Microsoft.Jet.OLEDB.4.0;y=";
    ConnectionString server(ado::ServerConnectionString("db1", typed, typed, typed));
    EXPECT_EQ(server.get("Provider"), "SQLOLEDB.1");
    EXPECT_EQ(server.get("Data Source"), "db1");
    for (const char* key : {"User ID", "password", "Initial Catalog"}) EXPECT_EQ(server.get(key), typed) << key;
}

TEST(ServerConnectionString, FreeTdsGetsServerPortDatabaseLoginAndProtocol) {
    EXPECT_EQ(driverString(server("db1", "User ID=sa;password=pw;Initial Catalog=Sales")),
              "Driver={FreeTDS};Server=db1;Port=1433;Database=Sales;UID=sa;PWD=pw;"
              "TDS_Version=7.3;ClientCharset=UTF-8");
    // No catalog: the login's default database.
    EXPECT_EQ(driverString(server("db1")),
              "Driver={FreeTDS};Server=db1;Port=1433;UID=sa;PWD=pw;TDS_Version=7.3;ClientCharset=UTF-8");
}

TEST(ServerConnectionString, ServerNamesInTheirUsualForms) {
    auto serverPart = [](const std::string& data_source) {
        std::string s = driverString(server(data_source));
        size_t b = s.find(";Server="), e = s.find(";UID=");
        return s.substr(b + 1, e - b - 1);
    };
    EXPECT_EQ(serverPart("db1,1500"), "Server=db1;Port=1500");
    EXPECT_EQ(serverPart("tcp:db1, 1500"), "Server=db1;Port=1500");
    EXPECT_EQ(serverPart("db1\\SQLEXPRESS"), "Server=db1\\SQLEXPRESS");
    EXPECT_EQ(serverPart("(local)"), "Server=localhost;Port=1433");
    EXPECT_EQ(serverPart("."), "Server=localhost;Port=1433");
    EXPECT_EQ(serverPart(".\\SQLEXPRESS"), "Server=localhost\\SQLEXPRESS");
    for (const char* bad : {"", "db1,port", "db1,123456"}) {
        try {
            driverString(server(bad));
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const ado::Error& e) {
            EXPECT_EQ(e.number(), ado::kErrInvalidConnection) << bad;
        }
    }
}

TEST(ServerConnectionString, TypedValuesCannotEndEarlyOrAddKeys) {
    std::string s = driverString(server("db1", "User ID=a}b;password=" + ado::QuoteConnectionValue("p;w}d=x;Server=evil")));
    EXPECT_NE(s.find(";UID={a}}b};"), std::string::npos) << s;
    EXPECT_NE(s.find(";PWD={p;w}}d=x;Server=evil};"), std::string::npos) << s;
    EXPECT_NE(driverString(server("db1", "User ID=sa;password=\" pw \"")).find(";PWD={ pw };"), std::string::npos);
    EXPECT_EQ(s.find("Server=db1;"), s.find("Server="));
}

TEST(ServerConnectionString, TheLoginWaitsFifteenSecondsUnlessTheSourceSaysOtherwise) {
    auto timeout = [](const std::string& source) {
        return ado::LoginTimeout(ConnectionString(source));
    };
    EXPECT_EQ(timeout(server("db1")), 15u);
    EXPECT_EQ(timeout(server("db1") + ";Connect Timeout=3"), 3u);
    EXPECT_EQ(timeout(server("db1") + ";connect timeout= 0 "), 0u);
    for (const char* bad : {"", "soon", "-1", "2.5", "999999"}) {
        try {
            timeout(server("db1") + ";Connect Timeout=" + bad);
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const ado::Error& e) {
            EXPECT_EQ(e.number(), ado::kErrInvalidConnection) << bad;
        }
    }
}

TEST(ServerConnectionString, AnotherDriverTakesItsOwnDefaults) {
    EXPECT_EQ(driverString(server("127.0.0.1", "User ID=u;password=p;Initial Catalog=d"), "PostgreSQL Unicode"),
              "Driver={PostgreSQL Unicode};Server=127.0.0.1;Database=d;UID=u;PWD=p");
    EXPECT_TRUE(ado::IsServerProvider("SQLOLEDB.1"));
    EXPECT_TRUE(ado::IsServerProvider("sqloledb"));
    EXPECT_FALSE(ado::IsServerProvider("Microsoft.Jet.OLEDB.4.0"));
}

}  // namespace
