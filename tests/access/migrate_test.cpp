// SPDX-License-Identifier: Apache-2.0
// pellinordb-sql --migrate-sql: each script loaded into the real target
// (the PostgreSQL test server, SQLite) and every row read back there
// compared with what the engine reads from the file.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "jet/database.h"
#include "support/test_server.h"
#include "support/testdata.h"

#define SKIP_WITHOUT_CORPUS_SERVER_OR_PSQL()                                                                         \
    SKIP_WITHOUT_CORPUS();                                                                                           \
    SKIP_WITHOUT_SERVER();                                                                                           \
    if (std::system("command -v psql >/dev/null") != 0) GTEST_SKIP() << "psql is not installed (scripts/setup)"

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string path(const std::string& name) {
    return name.starts_with("large/") ? testdata::root() + "/" + name : testdata::file(name);
}

std::string tempFile(const char* kind) {
    return testing::TempDir() + "/migrate." + std::to_string(getpid()) + kind;
}

std::string slurp(const std::string& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Runs pellinordb-sql on the corpus file `name`; its exit status, and what
// it wrote on standard error in `err`.
int tool(const std::string& name, const std::string& args, std::string& err, const std::string& out = "/dev/null") {
    std::string cmd =
        std::string(PELLINORDB_SQL_TOOL) + " " + quote(path(name)) + " " + args + " >" + out + " 2>" + tempFile(".err");
    int status = std::system(cmd.c_str());
    err = slurp(tempFile(".err"));
    std::remove(tempFile(".err").c_str());
    return WEXITSTATUS(status);
}

// The script, in a file of this test process's own: each overwrites the
// last, and the last is removed when the tests end.
std::string script(const std::string& name, const std::string& target) {
    static struct Cleanup {
        ~Cleanup() { std::remove(tempFile(".sql").c_str()); }
    } cleanup;
    std::string err, out = tempFile(".sql");
    EXPECT_EQ(tool(name, "--migrate-sql " + target, err, out), 0) << err;
    return out;
}

// What --migrate takes to reach the test server. Its tables land in the
// schema named after the login, which the tests make and drop.
const std::string kServerSchema = testserver::kUser;
std::string serverConnection() {
    return quote("Data Source=" + testserver::kServer + ";Initial Catalog=" + testserver::kDatabase +
                 ";User ID=" + testserver::kUser + ";Password=\"" + testserver::kPassword + "\"");
}

// One cell as both sides can show it: the text form, GUIDs without braces,
// Yes/No as 1/0 (PostgreSQL's driver gives booleans as those characters).
std::string cell(const ado::Value& v) {
    if (v.is<bool>()) return v.as<bool>() ? "1" : "0";
    std::string text = ado::toText(v, '.');
    if (v.is<jet::Guid>()) text = text.substr(1, text.size() - 2);
    return text;
}

using Rows = std::vector<std::string>;  // each row's cells, tab-separated, sorted

void add(Rows& rows, const std::vector<ado::Value>& row) {
    std::string line;
    for (const ado::Value& v : row) line += cell(v) + '\t';
    rows.push_back(line);
}

// Complex fields left out: they move as tables of their own.
Rows fileRows(const jet::Database& db, const std::string& table) {
    Rows rows;
    const jet::TableDef& def = db.table(table);
    jet::TableScan scan(db, def);
    std::vector<ado::Value> row, moved;
    while (scan.next()) {
        scan.read(row);
        moved.clear();
        for (size_t i = 0; i < row.size(); ++i)
            if (def.columns[i].type != jet::kComplex) moved.push_back(row[i]);
        add(rows, moved);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string schemaOf(const std::string& name) {
    std::string schema = "migrate_";
    for (char c : name.substr(name.rfind('/') + 1)) schema += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return schema;
}

// The rows of `table` in `schema` of the server; with no schema, `table`
// as it stands, of whatever `cn` reaches.
Rows rowsOf(ado::Connection& cn, const std::string& schema, const std::string& table) {
    ado::Recordset rs;
    rs.Open("SELECT * FROM " + (schema.empty() ? table : schema + ".\"" + table + "\""), cn, ado::adOpenForwardOnly,
            ado::adLockReadOnly);
    Rows rows;
    ado::Fields& fields = rs.GetFields();
    std::vector<ado::Value> row(size_t(fields.Count()));
    for (; !rs.Eof(); rs.MoveNext()) {
        for (long i = 0; i < fields.Count(); ++i) row[size_t(i)] = fields[i].GetValue();
        add(rows, row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Moves `name` to the server with --migrate.
std::string migrateToServer(const std::string& name, const std::string& args = "") {
    testserver::Run("DROP SCHEMA IF EXISTS " + kServerSchema + " CASCADE; CREATE SCHEMA " + kServerSchema);
    std::string err;
    EXPECT_EQ(tool(name, "--migrate postgresql " + serverConnection() + args, err), 0) << err;
    return kServerSchema;
}

// Loads the PostgreSQL script of `name` into a schema of its own.
std::string loadIntoServer(const std::string& name) {
    std::string schema = schemaOf(name);
    testserver::Run("DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
    std::string cmd = "PGPASSWORD=" + quote(testserver::kPassword) + " PGOPTIONS='-c search_path=" + schema +
                      " -c client_min_messages=warning' psql -q -X -v ON_ERROR_STOP=1 -h 127.0.0.1 -U " +
                      testserver::kUser + " -d " + testserver::kDatabase + " -f " + script(name, "postgresql");
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return schema;
}

const char* const kFiles[] = {"nwind.mdb", "testV2000.mdb", "indexTestV2000.mdb", "complexDataTestV2010.accdb",
                              "large/big100k.mdb"};

TEST(Migrate, EveryRowArrivesInPostgreSqlAsTheFileHoldsIt) {
    SKIP_WITHOUT_CORPUS_SERVER_OR_PSQL();
    // Through a script and psql, and straight through ODBC.
    for (auto load : {loadIntoServer, +[](const std::string& name) { return migrateToServer(name); }}) {
        for (const char* name : kFiles) {
            SCOPED_TRACE(name);
            std::string schema = load(name);
            jet::Database db(path(name), "");
            ado::Connection cn;
            cn.Open(testserver::ConnectionString());
            for (const std::string& table : db.userTables()) {
                SCOPED_TRACE(table);
                Rows expected = fileRows(db, table), got = rowsOf(cn, schema, table);
                ASSERT_EQ(got.size(), expected.size());
                for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]);
            }
            testserver::Run("DROP SCHEMA " + schema + " CASCADE");
        }
    }
}

// A copy of corpus file `name` whose table has its primary key as a plain
// unique index: the index entry's kind byte cleared in the definition.
std::string withoutPrimaryKey(const std::string& name, const std::string& table) {
    std::string copy = tempFile(".accdb");
    std::filesystem::copy_file(path(name), copy, std::filesystem::copy_options::overwrite_existing);
    uint32_t page_size, page, number = 0, real = 0;
    {
        jet::Database db(copy, "");
        const jet::TableDef& def = db.table(table);
        page_size = db.format().page_size;
        page = def.page;
        for (const jet::Index& index : def.indexes)
            if (index.primaryKey()) number = index.number, real = index.real_index;
    }
    std::fstream file(copy, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<uint8_t> bytes(page_size);
    file.seekg(std::streamoff(page) * page_size);
    file.read(reinterpret_cast<char*>(bytes.data()), page_size);
    jet::Bytes b(bytes.data(), bytes.size());
    for (size_t at = 0; at + 20 <= page_size; ++at)
        if (b.u32(at) == number && b.u32(at + 4) == real && bytes[at + 19] == 1) {
            file.seekp(std::streamoff(page) * page_size + std::streamoff(at + 19));
            file.put(0);
            return copy;
        }
    ADD_FAILURE() << "no primary key entry found";
    return copy;
}

// Attachments and multi-value fields arrive as child tables: each row's
// values as the engine shows them (joined by "; "), the files as their
// original bytes, the foreign key cascading; where the parent has no
// primary key, through its field's key.
TEST(Migrate, ComplexFieldsBecomeChildTablesInPostgreSql) {
    SKIP_WITHOUT_CORPUS();
    SKIP_WITHOUT_SERVER();
    for (const char* name : {"complexDataTestV2007.accdb", "complexDataTestV2010.accdb"}) {
        for (bool keyed : {true, false}) {
            SCOPED_TRACE(std::string(name) + (keyed ? "" : ", no primary key"));
            std::string file = keyed ? path(name) : withoutPrimaryKey(name, "Table1");
            testserver::Run("DROP SCHEMA IF EXISTS " + kServerSchema + " CASCADE; CREATE SCHEMA " + kServerSchema);
            std::string err, cmd = std::string(PELLINORDB_SQL_TOOL) + " " + quote(file) + " --migrate postgresql " +
                                   serverConnection() + " 2>" + tempFile(".err");
            ASSERT_EQ(std::system(cmd.c_str()), 0) << slurp(tempFile(".err"));
            ado::Connection cn;
            cn.Open(testserver::ConnectionString());
            jet::Database db(file, "");
            const jet::TableDef& def = db.table("Table1");
            for (const auto& [field, shown] : {std::pair{"multi-value-data", "Value"}, {"attach-data", "FileName"}}) {
                SCOPED_TRACE(field);
                std::string key = keyed ? "\"id\"" : "\"" + std::string(field) + "\"";
                size_t column = size_t(def.findColumn(field));
                Rows expected;
                jet::TableScan scan(db, def);
                for (std::vector<ado::Value> row; scan.next();) {
                    scan.read(row);
                    if (row[column].isNull()) continue;
                    std::vector<std::string> values;
                    std::string text = cell(row[column]);
                    for (size_t at = 0, end; at <= text.size(); at = end + 2) {
                        end = std::min(text.find("; ", at), text.size());
                        values.push_back(text.substr(at, end - at));
                    }
                    std::sort(values.begin(), values.end());
                    std::string joined;
                    for (const std::string& v : values) joined += (joined.empty() ? "" : "; ") + v;
                    expected.push_back(cell(row[0]) + '\t' + joined + '\t');
                }
                std::sort(expected.begin(), expected.end());
                std::string child = kServerSchema + ".\"Table1_" + field + "\"";
                EXPECT_EQ(rowsOf(cn, "",
                                 "(SELECT p.\"id\", string_agg(c.\"" + std::string(shown) + "\", '; ' ORDER BY c.\"" +
                                     shown + "\" COLLATE \"C\") FROM " + kServerSchema + ".\"Table1\" p JOIN " + child +
                                     " c USING (" + key + ") GROUP BY p.\"id\") AS x"),
                          expected);
            }
            // The files as Access took them in (the bytes Jackcess's tests wrote).
            EXPECT_EQ(rowsOf(cn, "",
                             "(SELECT DISTINCT \"FileName\", \"FileType\", convert_from(\"FileData\", 'UTF8') FROM " +
                                 kServerSchema + ".\"Table1_attach-data\") AS x"),
                      (Rows{"test_data.txt\ttxt\tthis is some test data for attachment.\t",
                            "test_data2.txt\ttxt\tthis is some more test data for attachment.\t"}));
            cn.Execute("DELETE FROM " + kServerSchema + ".\"Table1\" WHERE \"id\" = 'row3'");
            EXPECT_EQ(rowsOf(cn, "", "(SELECT count(*) FROM " + kServerSchema + ".\"Table1_multi-value-data\") AS x"),
                      Rows{"2\t"});
            EXPECT_THROW(cn.Execute("INSERT INTO " + kServerSchema + ".\"Table1_multi-value-data\" VALUES (" +
                                    (keyed ? "'row9'" : "99") + ", 'x')"),
                         ado::Error);
            testserver::Run("DROP SCHEMA " + kServerSchema + " CASCADE");
            if (!keyed) std::remove(file.c_str());
        }
    }
    std::remove(tempFile(".err").c_str());
}

TEST(Migrate, KeysRequiredDefaultsAndIdentitiesHoldInPostgreSql) {
    SKIP_WITHOUT_CORPUS();
    SKIP_WITHOUT_SERVER();
    std::string schema = migrateToServer("nwind.mdb");
    ado::Connection cn;
    cn.Open(testserver::ConnectionString());
    auto refused = [&](const std::string& sql) {
        try {
            cn.Execute(sql);
            return false;
        } catch (const ado::Error&) {
            return true;
        }
    };
    EXPECT_TRUE(refused("INSERT INTO " + schema + ".\"Order Details\" VALUES (1, 1, 1, 1, 0)"));  // no order 1
    // Deleting an order cascades to its details, as the relationship says.
    cn.Execute("DELETE FROM " + schema + ".\"Orders\" WHERE \"OrderID\" = 10248");
    ado::Recordset rs;
    rs.Open("SELECT count(*) FROM " + schema + ".\"Order Details\" WHERE \"OrderID\" = 10248", cn,
            ado::adOpenForwardOnly, ado::adLockReadOnly);
    EXPECT_EQ(cell(rs.GetFields()[0L].GetValue()), "0");
    rs.Close();
    rs.Open("INSERT INTO " + schema + ".\"Shippers\" (\"CompanyName\") VALUES ('New') RETURNING \"ShipperID\"", cn,
            ado::adOpenForwardOnly, ado::adLockReadOnly);
    EXPECT_EQ(cell(rs.GetFields()[0L].GetValue()), "4");
    rs.Close();
    // CompanyName is Required.
    EXPECT_TRUE(refused("INSERT INTO " + schema + ".\"Shippers\" (\"Phone\") VALUES ('1')"));
    // Quantity's default is 1, Discount's 0.
    rs.Open("INSERT INTO " + schema + ".\"Order Details\" (\"OrderID\", \"ProductID\") VALUES (10249, 1) " +
                "RETURNING \"Quantity\", \"Discount\"",
            cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    EXPECT_EQ(cell(rs.GetFields()[0L].GetValue()) + " " + cell(rs.GetFields()[1L].GetValue()), "1 0");
    rs.Close();
    testserver::Run("DROP SCHEMA " + schema + " CASCADE");
}

TEST(Migrate, SavedQueriesBecomeViewsThatGiveTheirRows) {
    SKIP_WITHOUT_CORPUS_SERVER_OR_PSQL();
    std::string schema = loadIntoServer("nwind.mdb");
    ado::Connection server, file;
    server.Open(testserver::ConnectionString());
    file.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + testdata::file("nwind.mdb"));
    ado::Recordset views;
    views.Open("SELECT table_name FROM information_schema.views WHERE table_schema = '" + schema + "'", server,
               ado::adOpenStatic, ado::adLockReadOnly);
    int count = 0;
    for (; !views.Eof(); views.MoveNext(), ++count) {
        std::string name = cell(views.GetFields()[0L].GetValue());
        SCOPED_TRACE(name);
        EXPECT_EQ(rowsOf(server, schema, name), rowsOf(file, "", "[" + name + "]"));
    }
    EXPECT_EQ(count, 7);  // the others use what has no exact translation
    testserver::Run("DROP SCHEMA " + schema + " CASCADE");
}

TEST(Migrate, AFailureNamesWhereAndKeepsTheTablesMovedBefore) {
    SKIP_WITHOUT_CORPUS();
    SKIP_WITHOUT_SERVER();
    std::string err;
    EXPECT_EQ(tool("nwind.mdb", "--migrate postgresql 'Data Source=" + testserver::kNoServer + ";User ID=x'", err), 1);
    EXPECT_NE(err.find("error "), std::string::npos) << err;
    std::string schema = migrateToServer("nwind.mdb", " --tables Categories,Shippers --schema-only");
    testserver::Run("ALTER TABLE " + schema + ".\"Shippers\" ALTER \"Phone\" TYPE integer USING NULL");
    EXPECT_EQ(tool("nwind.mdb",
                   "--migrate postgresql " + serverConnection() + " --tables Categories,Shippers --data-only", err),
              1);
    EXPECT_NE(err.find("Table Shippers, row 1: "), std::string::npos) << err;
    EXPECT_NE(err.find("column Phone"), std::string::npos) << err;
    EXPECT_NE(err.find(" Moved before: Categories."), std::string::npos) << err;
    ado::Connection cn;
    cn.Open(testserver::ConnectionString());
    EXPECT_EQ(rowsOf(cn, schema, "Categories").size(), 8u);
    EXPECT_EQ(rowsOf(cn, schema, "Shippers").size(), 0u);
    // As one transaction, the same failure leaves nothing moved.
    testserver::Run("DELETE FROM " + schema + ".\"Categories\"");
    EXPECT_EQ(tool("nwind.mdb",
                   "--migrate postgresql " + serverConnection() +
                       " --tables Categories,Shippers --data-only --single-transaction",
                   err),
              1);
    EXPECT_NE(err.find("Table Shippers, row 1: "), std::string::npos) << err;
    EXPECT_NE(err.find(" Nothing was moved."), std::string::npos) << err;
    EXPECT_EQ(rowsOf(cn, schema, "Categories").size(), 0u);
    testserver::Run("DROP SCHEMA " + schema + " CASCADE");
}

TEST(Migrate, EveryRowArrivesInSqliteAsTheFileHoldsIt) {
    SKIP_WITHOUT_CORPUS();
    for (const char* name : {"nwind.mdb", "testV2000.mdb", "indexTestV2000.mdb"}) {
        SCOPED_TRACE(name);
        std::string sql = slurp(script(name, "sqlite"));
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> lite(raw, sqlite3_close);
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
        jet::Database db(testdata::file(name), "");
        for (const std::string& table : db.userTables()) {
            SCOPED_TRACE(table);
            const jet::TableDef& def = db.table(table);
            Rows expected, got;
            jet::TableScan scan(db, def);
            std::vector<ado::Value> row;
            while (scan.next()) {
                scan.read(row);
                // What SQLite holds: dates in the ISO form, binary as its bytes.
                std::string line;
                for (const ado::Value& v : row)
                    line += (v.is<jet::DateTime>() ? ado::toIsoText(v.as<jet::DateTime>())
                             : v.is<jet::Binary>() ? std::string(v.as<jet::Binary>().begin(), v.as<jet::Binary>().end())
                                                   : cell(v)) +
                            '\t';
                expected.push_back(line);
            }
            sqlite3_stmt* raw_stmt = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(raw, ("SELECT * FROM \"" + table + "\"").c_str(), -1, &raw_stmt, nullptr),
                      SQLITE_OK);
            std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw_stmt, sqlite3_finalize);
            while (sqlite3_step(raw_stmt) == SQLITE_ROW) {
                std::string line;
                for (int i = 0; i < sqlite3_column_count(raw_stmt); ++i) {
                    int type = sqlite3_column_type(raw_stmt, i);
                    double real = sqlite3_column_double(raw_stmt, i);
                    // A Single's shortest digits, read back as a double.
                    if (type == SQLITE_FLOAT)
                        line += def.columns[size_t(i)].type == jet::kSingle ? cell(float(real)) : cell(real);
                    else if (type != SQLITE_NULL)
                        line.append(static_cast<const char*>(sqlite3_column_blob(raw_stmt, i)),
                                    size_t(sqlite3_column_bytes(raw_stmt, i)));
                    line += '\t';
                }
                got.push_back(line);
            }
            std::sort(expected.begin(), expected.end());
            std::sort(got.begin(), got.end());
            ASSERT_EQ(got, expected);
        }
    }
}

// No SQL Server here: its script is checked as text, on what differs from
// the others (brackets, N'' text, bit, identity insert and reseed, GO);
// and the child tables of complex fields, in SQLite's too.
TEST(Migrate, WritesSqlServersDialectAndChildTables) {
    SKIP_WITHOUT_CORPUS();
    struct Case {
        const char* file;
        const char* target;
        std::vector<const char*> expected;
    };
    const Case cases[] = {
        {"nwind.mdb", "sqlserver", {
             "CREATE TABLE [Shippers] (\n  [ShipperID] int IDENTITY(1,1),\n  [CompanyName] nvarchar(40) NOT NULL,",
             "  [Discontinued] bit NOT NULL DEFAULT 0,\n",
             "SET IDENTITY_INSERT [Shippers] ON;\nGO\nBEGIN TRANSACTION;\nGO\nINSERT INTO [Shippers] ([ShipperID], "
             "[CompanyName], [Phone]) VALUES\n  (1, N'Speedy Express', N'(503) 555-9831'),",
             "COMMIT;\nGO\nSET IDENTITY_INSERT [Shippers] OFF;\nGO\nDBCC CHECKIDENT (N'[Shippers]', RESEED, 3);\nGO\n",
             "(10331, N'BONAP', 9, '1994-11-16T00:00:00', '1994-12-28T00:00:00', '1994-11-21T00:00:00', 1, 10.19, "
             "N'Bon app''', ",
             "ALTER TABLE [Order Details] ADD CONSTRAINT [OrdersOrder Details] FOREIGN KEY ([OrderID]) REFERENCES "
             "[Orders] ([OrderID]) ON DELETE CASCADE;\nGO\n",
         }},
        {"complexDataTestV2010.accdb", "sqlserver", {
             "CREATE TABLE [Table1_attach-data] (\n  [id] nvarchar(255) NOT NULL,\n  [FileName] nvarchar(255),\n"
             "  [FileType] nvarchar(255),\n  [FileData] varbinary(max),\n  [FileTimeStamp] datetime2(0)\n);\nGO\n",
             "  (N'row2', N'test_data.txt', N'txt', 0x7468697320697320736F6D652074657374206461746120666F7220617474616368"
             "6D656E742E, NULL),\n",
             "ALTER TABLE [Table1_multi-value-data] ADD CONSTRAINT [Table1_multi-value-data_Table1] FOREIGN KEY ([id]) "
             "REFERENCES [Table1] ([id]) ON DELETE CASCADE ON UPDATE CASCADE;\nGO\n",
         }},
        {"complexDataTestV2010.accdb", "sqlite", {
             "CREATE TABLE \"Table1_multi-value-data\" (\n  \"id\" text NOT NULL,\n  \"Value\" text,\n  CONSTRAINT "
             "\"Table1_multi-value-data_Table1\" FOREIGN KEY (\"id\") REFERENCES \"Table1\" (\"id\") ON DELETE CASCADE "
             "ON UPDATE CASCADE\n);\n",
             "  ('row3', 'value3'),\n",
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.target);
        std::string sql = slurp(script(c.file, c.target));
        for (const char* expected : c.expected) EXPECT_NE(sql.find(expected), std::string::npos) << expected;
    }
}

}  // namespace
