// pellinordb-sql, run as a user runs it: its output, quoting and exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
