// SPDX-License-Identifier: Apache-2.0
// pellinordb-sql, run as a user runs it: its output, quoting and exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "shared/version.h"
#include "support/testdata.h"

namespace {

struct ToolRun {
    std::string out, err;
    int status;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun run(const std::string& args) {
    // One file per test process: CTest runs these tests side by side.
    std::string err_file = testing::TempDir() + "/sql_tool_stderr." + std::to_string(getpid());
    std::string cmd = std::string("LC_ALL=C ") + PELLINORDB_SQL_TOOL + " " + args + " 2>" + err_file;
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    r.status = WEXITSTATUS(pclose(p));
    FILE* e = fopen(err_file.c_str(), "r");
    for (size_t n; e && (n = fread(buf, 1, sizeof buf, e)) > 0;) r.err.append(buf, n);
    if (e) fclose(e);
    return r;
}

TEST(SqlTool, ListsTables) {
    SKIP_WITHOUT_CORPUS();
    ToolRun r = run(quote(testdata::file("testV1997.mdb")) + " --tables");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Table1\r\nTable2\r\nTable3\r\nTable4\r\n");
}

TEST(SqlTool, PrintsRowsAsCsvInTheTextForm) {
    SKIP_WITHOUT_CORPUS();
    ToolRun r = run(quote(testdata::file("testV2000.mdb")) + " 'SELECT * FROM [Table1]'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "A,B,C,D,E,F,G,H,I\r\n"
              "abcdefg,hijklmnop,2,222,333333333,444.555,9/21/1974,3.5,True\r\n"
              "a,b,0,0,0,0,12/12/1981,0,False\r\n");
    r = run(quote(testdata::file("testV2000.mdb")) + " 'SELECT * FROM Table1' --iso-dates");
    EXPECT_NE(r.out.find(",1974-09-21 00:00:00,"), std::string::npos) << r.out;
}

TEST(SqlTool, QuotesFieldsThatNeedIt) {
    SKIP_WITHOUT_CORPUS();
    ToolRun r = run(quote(testdata::file("calcFieldTestV2010.accdb")) + " 'SELECT * FROM [Table1]'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(",\"Wayne, Bruce\","), std::string::npos) << r.out;
}

TEST(SqlTool, PasswordOption) {
    SKIP_WITHOUT_CORPUS();
    std::string file = quote(testdata::file("V2000_with-password.mdb"));
    ToolRun bad = run(file + " --tables");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("error 3031"), std::string::npos) << bad.err;
    EXPECT_TRUE(bad.out.empty());
    ToolRun good = run(file + " --tables --password password");
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out, "Table1\r\n");
    // The password is one value: it neither ends at a ";" nor names another file.
    for (const std::string& password : {std::string("password;junk"), "x;Data Source=" + testdata::file("testV2000.mdb")}) {
        ToolRun odd = run(file + " --tables --password " + quote(password));
        EXPECT_NE(odd.err.find("error 3031"), std::string::npos) << password << ": " << odd.err;
    }
}

TEST(SqlTool, ErrorsGoToStderrWithTheirNumber) {
    SKIP_WITHOUT_CORPUS();
    ToolRun missing = run("/no/such/file.mdb --tables");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("error 3024"), std::string::npos) << missing.err;
    ToolRun no_table = run(quote(testdata::file("testV2000.mdb")) + " 'SELECT * FROM [Nope]'");
    EXPECT_EQ(no_table.status, 1);
    EXPECT_NE(no_table.err.find("error 3078"), std::string::npos) << no_table.err;
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run(quote(testdata::file("testV2000.mdb"))).status, 2);
}

TEST(SqlTool, ReadsTheLargeTableWhole) {
    SKIP_WITHOUT_CORPUS();
    ToolRun r = run(quote(testdata::root() + "/large/big100k.mdb") + " 'SELECT * FROM [BigTable]'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), "ID,Name,City,Amount,Price,Qty,Flag,Created,Notes,Code");
    size_t lines = 0;
    bool in_quotes = false;
    for (size_t i = 0; i < r.out.size(); ++i) {
        if (r.out[i] == '"') in_quotes = !in_quotes;
        else if (!in_quotes && r.out[i] == '\n') ++lines;
    }
    EXPECT_EQ(lines, 98969u + 1);
}


TEST(SqlTool, RunsAnyStatementAndCountsChangedRows) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("queryTestV2000.mdb");
    std::string file = quote(copy.path());
    ToolRun r = run(file + " \"INSERT INTO Table2 (col1, col2) VALUES ('x, y', 'b')\"");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\r\n");
    r = run(file + " \"SELECT col1, col2 FROM Table2 WHERE col2 = 'B'\"");
    EXPECT_EQ(r.out, "col1,col2\r\n\"x, y\",b\r\n") << r.err;
    r = run(file + " \"UPDATE Table2 SET col3 = 'z'\"");
    EXPECT_EQ(r.status, 0) << r.err;
    r = run(file + " \"SELECT count(*) AS n FROM Table2 WHERE col3 = 'z'\"");
    EXPECT_EQ(r.out, "n\r\n1\r\n");
    r = run(file + " \"DELETE FROM NoSuchTable\"");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error 3078"), std::string::npos) << r.err;
}

TEST(SqlTool, HelpAndVersionOnStdoutWrongUsageOnStderr) {
    struct Case {
        std::string args;
        int status;
        std::string out_start, err_part;
    } cases[] = {
        {"--help", 0, "usage: pellinordb-sql [OPTION]... FILE STATEMENT\n", ""},
        {"--version", 0, std::string("pellinordb-sql ") + kProgramVersion + "\n", ""},
        {"--bogus x.mdb --tables", 2, "", "unknown option --bogus\nusage: "},
        {"x.mdb --tables --output", 2, "", "--output needs a value\nusage: "},
        {"x.mdb --tables=yes", 2, "", "--tables takes no value\nusage: "},
        {"x.mdb --tables --schema", 2, "", "exclude each other\nusage: "},
        {"x.mdb 'SELECT 1' extra", 2, "", "too many operands, from extra\nusage: "},
        {"x.mdb --param Start 'SELECT 1'", 2, "", "--param needs NAME=VALUE\nusage: "},
    };
    for (const Case& c : cases) {
        ToolRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(c.out_start.empty() ? r.out : r.out.substr(0, c.out_start.size()), c.out_start) << c.args;
        EXPECT_EQ(c.err_part.empty() ? r.err.empty() : r.err.find(c.err_part) != std::string::npos, true)
            << c.args << ": " << r.err;
    }
}

TEST(SqlTool, WritesCsvTsvAndJson) {
    SKIP_WITHOUT_CORPUS();
    std::string select = "SELECT A, C, F, G, I, 'x' & Chr(9) & 'y\"' & Chr(10) AS T, Null AS N FROM Table1 ";
    struct Case {
        const char* form;
        const char* where;
        std::string out;
    } cases[] = {
        {"--csv", "WHERE C = 2", "A,C,F,G,I,T,N\r\nabcdefg,2,444.555,9/21/1974,True,\"x\ty\"\"\n\",\r\n"},
        {"--tsv", "WHERE C = 2", "A\tC\tF\tG\tI\tT\tN\nabcdefg\t2\t444.555\t9/21/1974\tTrue\tx\\ty\"\\n\t\n"},
        {"--json", "WHERE C = 2",
         "[\n{\"A\":\"abcdefg\",\"C\":2,\"F\":444.555,\"G\":\"1974-09-21 00:00:00\",\"I\":true,"
         "\"T\":\"x\\ty\\\"\\n\",\"N\":null}\n]\n"},
        {"--json", "WHERE C = 99", "[]\n"},
    };
    for (const Case& c : cases) {
        ToolRun r = run(quote(testdata::file("testV2000.mdb")) + " " + c.form + " " + quote(select + c.where));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.form;
    }
}

TEST(SqlTool, ReadsTheStatementFromStdinAndReplacesTheOutputFileOnlyWhole) {
    SKIP_WITHOUT_CORPUS();
    namespace fs = std::filesystem;
    fs::path dir = fs::path(testing::TempDir()) / ("sql_tool_output." + std::to_string(getpid()));
    fs::create_directories(dir);
    auto write = [](const fs::path& path, const std::string& text) { std::ofstream(path) << text; };
    auto read = [](const fs::path& path) {
        std::ostringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    };
    std::string args = quote(testdata::file("testV2000.mdb")) + " - --output " + quote(dir / "out.csv") + " <" +
                       quote(dir / "statement.sql");
    write(dir / "out.csv", "old");
    write(dir / "statement.sql", "SELECT A FROM Table1 WHERE C = 2\n");
    ToolRun r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read(dir / "out.csv"), "A\r\nabcdefg\r\n");
    write(dir / "statement.sql", "SELECT * FROM [Nope]");
    r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error 3078"), std::string::npos) << r.err;
    EXPECT_EQ(read(dir / "out.csv"), "A\r\nabcdefg\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2) << "a partial file is left";
    fs::remove_all(dir);
}

// Checked against the relationships and indexes jet-check reads.
TEST(SqlTool, ListsTheSchema) {
    SKIP_WITHOUT_CORPUS();
    struct Case {
        const char* file;
        const char* table;
        std::string lines;
    } cases[] = {
        {"indexTestV2000.mdb", "table2",
         "Table,Item,Name,Type,Size,Columns,References,Options\r\n"
         "Table2,field,id,Long Integer,4,,,\r\n"
         "Table2,field,data,Text,50,,,\r\n"
         "Table2,index,id,index,,id,,\r\n"
         "Table2,index,PrimaryKey,primary key,,id,,\"unique, required\"\r\n"
         "Table1,relationship,Table2Table1,one-to-many,,otherfk1,Table2 (id),\"enforced, cascade deletes\"\r\n"},
        {"indexTestV2000.mdb", "",
         "Table1,relationship,Table3Table1,one-to-many,,otherfk2,Table3 (id),\"enforced, cascade updates\"\r\n"
         "Table2,field,id,"},
        {"nwind.mdb", "Orders",
         "Orders,field,OrderID,Long Integer,4,,,AutoNumber\r\n"
         "Orders,field,CustomerID,Text,5,,,\r\n"},
        {"calcFieldTestV2010.accdb", "Table1", "Table1,field,MonthlySalary,Double,8,,,calculated\r\n"},
        {"complexDataTestV2010.accdb", "Table1",
         "Table1,field,multi-value-data,Multi-value,,,,\r\nTable1,field,attach-data,Attachment,,,,\r\n"},
    };
    for (const Case& c : cases) {
        std::string table = *c.table ? quote(c.table) : "";
        ToolRun r = run(quote(testdata::file(c.file)) + " --schema " + table);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.lines), std::string::npos) << c.file << " " << c.table << ":\n" << r.out;
    }
    ToolRun missing = run(quote(testdata::file("indexTestV2000.mdb")) + " --schema Nope");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("error 3078"), std::string::npos) << missing.err;
}

TEST(SqlTool, ListsTheSavedQueries) {
    SKIP_WITHOUT_CORPUS();
    ToolRun r = run(quote(testdata::file("nwind.mdb")) + " --queries --tsv");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Name\tKind\tSQL\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Order Subtotals\tSelect\tSELECT DISTINCTROW [Order Details].OrderID, "), std::string::npos);
    EXPECT_NE(r.out.find("Customers and Suppliers by City\tUnion\t"), std::string::npos);
    EXPECT_NE(r.out.find("Employee Sales by Country\tSelect\tPARAMETERS [Beginning Date] DateTime"), std::string::npos);
    EXPECT_EQ(run(quote(testdata::file("nwind.mdb")) + " --queries --tables").status, 2);

    // Parameter values reach the saved queries a statement reads, and the
    // statement's own; 92 orders shipped in 1995's first quarter.
    const std::string sales = " 'SELECT Count(*) FROM [Employee Sales by Country]'";
    ToolRun given = run(quote(testdata::file("nwind.mdb")) + " --param 'Beginning Date=1/1/95' --param='Ending Date=1995-03-31'" + sales);
    EXPECT_EQ(given.out, "Expr1000\r\n92\r\n") << given.err;
    ToolRun missing = run(quote(testdata::file("nwind.mdb")) + sales);
    EXPECT_EQ(missing.err, "pellinordb-sql: error -2147217904: No value given for one or more required parameters.\n");
    ToolRun own = run(quote(testdata::file("nwind.mdb")) + " --param n=10250 'PARAMETERS n Long; SELECT OrderID FROM Orders WHERE OrderID < n'");
    EXPECT_EQ(own.out, "OrderID\r\n10248\r\n10249\r\n") << own.err;
}

// Ctrl+C stops a statement that would run for hours: the change is not
// made, and the error says so.
TEST(SqlTool, CtrlCStopsTheStatementAndLeavesTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy(testdata::root() + "/large/big100k.mdb");
    const std::vector<unsigned char> before = copy.read();
    const std::string err = testing::TempDir() + "/sql_tool_interrupted." + std::to_string(getpid());
    std::string cmd = std::string(PELLINORDB_SQL_TOOL) + " " + quote(copy.path()) +
                      " 'UPDATE BigTable SET Amount = Amount + 1 WHERE "
                      "(SELECT Count(*) FROM BigTable AS b WHERE b.Code < BigTable.Code) >= 0' 2>" + err +
                      " & sleep 1; kill -INT $!; wait $!";
    int status = std::system(("bash -c " + quote(cmd)).c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(err);
    std::string message((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(message.find("error 3712"), std::string::npos) << message;
    EXPECT_EQ(copy.read(), before);
}

}  // namespace
