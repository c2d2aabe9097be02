// SPDX-License-Identifier: Apache-2.0
// pellinordb-sql: runs one statement against an Access file and prints the
// result, for scripts, checks and benchmarks. --help says how; the manual
// page pellinordb-sql(1) says it at length.
//
// Exit status: 0 done, 1 an error (on stderr with its number), 2 wrong usage
// (the usage on stderr).
#include <algorithm>
#include <cctype>
#include <clocale>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "ado/connection.h"
#include "ado/connection_string.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "migrate_script.h"
#include "migrate_server.h"
#include "odbc/provider.h"
#include "row_output.h"
#include "schema_listing.h"
#include "shared/version.h"
#include "sql/dialect.h"
#include "sql/jet_provider.h"
#include "sql/saved_query.h"

namespace {

const char kUsage[] =
    "usage: pellinordb-sql [OPTION]... FILE STATEMENT\n"
    "       pellinordb-sql [OPTION]... FILE --tables\n"
    "       pellinordb-sql [OPTION]... FILE --schema [TABLE]\n"
    "       pellinordb-sql [OPTION]... FILE --queries\n"
    "       pellinordb-sql [OPTION]... FILE --migrate-sql TARGET [--tables T1,T2]\n"
    "       pellinordb-sql [OPTION]... FILE --migrate TARGET CONNECTION [--tables T1,T2]\n"
    "Runs one SQL statement against an Access file (.mdb, .accdb) and prints the\n"
    "rows it returns, or for any other statement the number of rows it changed.\n"
    "A STATEMENT of - is read from standard input.\n"
    "\n"
    "  --tables          list the user tables, one a line\n"
    "  --schema [TABLE]  list the fields, indexes and relationships of every\n"
    "                    table, or of TABLE\n"
    "  --queries         list the saved queries with their kinds and SQL\n"
    "  --migrate-sql TARGET\n"
    "                    write the user tables as a SQL script for TARGET\n"
    "                    (postgresql, sqlserver or sqlite): tables, keys,\n"
    "                    indexes, foreign keys and rows\n"
    "  --migrate TARGET CONNECTION\n"
    "                    move them to the server (postgresql through libpq,\n"
    "                    sqlserver through ODBC), e.g. \"Data Source=host,5432;Initial\n"
    "                    Catalog=db;User ID=me;Password=pw\"; with either\n"
    "  --tables T1,T2    only these tables\n"
    "  --schema-only     no rows\n"
    "  --data-only       only the rows, into tables made before\n"
    "  --drop-existing   drop the tables first\n"
    "  --single-transaction\n"
    "                    with --migrate: the whole move one transaction\n"
    "  --csv             rows as CSV, RFC 4180 (the default)\n"
    "  --tsv             rows as tab-separated values\n"
    "  --json            rows as a JSON array of objects\n"
    "  --output FILE     write to FILE, which is replaced only once complete\n"
    "  --password PW     the database password\n"
    "  --param NAME=VALUE  the value of the parameter NAME of the statement or\n"
    "                    of a saved query it reads; repeatable\n"
    "  --iso-dates       dates as 2020-01-15 15:04:05 (always so in JSON)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n";

struct Options {
    std::string file;
    std::string statement;
    std::string password;
    std::string output;
    RowForm form = RowForm::Csv;
    bool tables = false;
    bool schema = false;
    bool queries = false;
    bool iso_dates = false;
    bool migrate = false;
    MigrationOptions migration;
    std::string server;  // --migrate: the connection string; empty for --migrate-sql
    std::vector<std::pair<std::string, std::string>> parameters;
};

// "T1,T2" as its names.
std::vector<std::string> tableList(const std::string& list) {
    std::vector<std::string> names;
    for (size_t start = 0, comma; start <= list.size(); start = comma + 1) {
        comma = std::min(list.find(',', start), list.size());
        if (comma > start) names.push_back(list.substr(start, comma - start));
    }
    return names;
}

int usage(const std::string& complaint) {
    std::fprintf(stderr, "pellinordb-sql: %s\n%s", complaint.c_str(), kUsage);
    return 2;
}

// Reads the options into `o`; the exit status when the program ends here
// (help, version or wrong usage).
std::optional<int> readOptions(int argc, char** argv, Options& o) {
    std::vector<std::string> operands;
    bool options_end = false;
    // In a migration --tables names the tables to move.
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).starts_with("--migrate")) o.migrate = true;
    std::string target, tables;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::optional<std::string> value;
        if (!options_end && a.starts_with("--") && a.find('=') != std::string::npos) {
            value = a.substr(a.find('=') + 1);
            a.erase(a.find('='));
        }
        auto takeValue = [&](std::string& into) {
            if (value) into = *value;
            else if (i + 1 < argc) into = argv[++i];
            else return false;
            return true;
        };
        if (options_end || a == "-" || !a.starts_with("-")) operands.push_back(a);
        else if (a == "--") options_end = true;
        else if (a == "--help") return std::fputs(kUsage, stdout) < 0 ? 1 : 0;
        else if (a == "--version") return std::printf("pellinordb-sql %s\n", kProgramVersion) < 0 ? 1 : 0;
        else if (value && a != "--password" && a != "--output" && a != "--param" && !a.starts_with("--migrate") &&
                 !(o.migrate && a == "--tables"))
            return usage("option " + a + " takes no value");
        else if (o.migrate && (a == "--migrate-sql" || a == "--migrate" || a == "--tables")) {
            if (!takeValue(a == "--tables" ? tables : target)) return usage("option " + a + " needs a value");
            if (a == "--migrate" && (i + 1 == argc || (o.server = argv[++i]).empty()))
                return usage("--migrate needs a CONNECTION");
        } else if (o.migrate && a == "--schema-only") o.migration.data = false;
        else if (o.migrate && a == "--data-only") o.migration.schema = false;
        else if (o.migrate && a == "--drop-existing") o.migration.drop_existing = true;
        else if (o.migrate && a == "--single-transaction") o.migration.single_transaction = true;
        else if (a == "--tables") o.tables = true;
        else if (a == "--schema") o.schema = true;
        else if (a == "--queries") o.queries = true;
        else if (a == "--iso-dates") o.iso_dates = true;
        else if (a == "--csv") o.form = RowForm::Csv;
        else if (a == "--tsv") o.form = RowForm::Tsv;
        else if (a == "--json") o.form = RowForm::Json;
        else if (a == "--password" || a == "--output") {
            if (!takeValue(a == "--password" ? o.password : o.output)) return usage("option " + a + " needs a value");
        } else if (a == "--param") {
            std::string given;
            if (!takeValue(given) || given.find('=') == std::string::npos || given.front() == '=')
                return usage("option --param needs NAME=VALUE");
            o.parameters.emplace_back(given.substr(0, given.find('=')), given.substr(given.find('=') + 1));
        } else return usage("unknown option " + a);
    }
    if (int(o.tables) + int(o.schema) + int(o.queries) + int(o.migrate) > 1)
        return usage("--tables, --schema, --queries and --migrate exclude each other");
    if (o.migrate) {
        if (!targetNamed(target) || (!o.server.empty() && target == "sqlite"))
            return usage(o.server.empty() ? "--migrate-sql takes postgresql, sqlserver or sqlite"
                                          : "--migrate takes postgresql or sqlserver");
        if (!o.migration.schema && !o.migration.data) return usage("--schema-only and --data-only exclude each other");
        o.migration.target = *targetNamed(target);
        o.migration.tables = tableList(tables);
    }
    if (operands.empty()) return usage("no FILE given");
    o.file = operands[0];
    if (operands.size() > 2) return usage("too many operands, from " + operands[2]);
    if (operands.size() == 2) o.statement = operands[1];
    if (!o.tables && !o.schema && !o.queries && !o.migrate && o.statement.empty()) return usage("no STATEMENT given");
    if ((o.tables || o.queries || o.migrate) && !o.statement.empty())
        return usage("--tables, --queries and --migrate take no STATEMENT");
    return std::nullopt;
}

std::string standardInput() {
    std::string text(std::istreambuf_iterator<char>(std::cin), {});
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

void printTables(ado::Connection& cn, RowOutput& out) {
    auto rs = cn.OpenSchema(ado::adSchemaTables, {ado::Value(), ado::Value(), ado::Value(), std::string("TABLE")});
    while (!rs->Eof()) {
        out.line(ado::toText(rs->GetFields()["TABLE_NAME"].GetValue()));
        rs->MoveNext();
    }
}

void printRows(ado::Connection& cn, const Options& o, RowOutput& out) {
    ado::Recordset rs;
    rs.Open(o.statement, cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    ado::Fields& fields = rs.GetFields();
    std::vector<std::string> names;
    for (long i = 0; i < fields.Count(); ++i) names.push_back(fields[i].Name());
    out.heading(names);
    std::vector<ado::Value> values(names.size());
    while (!rs.Eof()) {
        for (long i = 0; i < fields.Count(); ++i) values[size_t(i)] = fields[i].GetValue();
        out.row(values);
        rs.MoveNext();
    }
}

void printChanged(ado::Connection& cn, const Options& o, RowOutput& out) {
    long changed = 0;
    cn.Execute(o.statement, &changed, ado::adCmdUnspecified);
    out.line(std::to_string(changed));
}

void printSchema(const Options& o, RowOutput& out) {
    jet::Database db(o.file, o.password);
    SchemaListing listing = listSchema(db, o.statement);
    out.heading(listing.heading);
    for (const auto& row : listing.rows) out.row(row);
}

void printQueries(const Options& o, RowOutput& out) {
    static const char* const kKinds[] = {"",       "Select", "Make Table",      "Append",       "Update",
                                         "Delete", "Crosstab", "Data Definition", "Pass-Through", "Union"};
    jet::Database db(o.file, o.password);
    out.heading({"Name", "Kind", "SQL"});
    for (const ado::sql::SavedQuery& q : ado::sql::savedQueries(db))
        out.row({q.name, std::string(kKinds[int(q.kind)]), q.parameters + q.sql});
}

// Ctrl+C stops the running statement, which changes nothing then; a second
// one ends the program at once (the file is whole either way). Only while
// the connection is open: it is never reached while it closes.
std::atomic<ado::Connection*> interruptible{nullptr};

void stopStatement(int) {
    std::signal(SIGINT, SIG_DFL);
    if (ado::Connection* cn = interruptible.load()) cn->Cancel();
}

struct StopOnInterrupt {
    explicit StopOnInterrupt(ado::Connection& cn) {
        interruptible = &cn;
        std::signal(SIGINT, stopStatement);
    }
    ~StopOnInterrupt() {
        std::signal(SIGINT, SIG_DFL);
        interruptible = nullptr;
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ado::RegisterJetProvider();
    ado::RegisterServerProvider();
    Options o;
    if (std::optional<int> status = readOptions(argc, argv, o)) return *status;
    ado::Connection cn;
    try {
        if (o.migrate)
            return o.server.empty() ? writeMigrationScript(o.file, o.password, o.migration)
                                    : migrateToServer(o.file, o.password, o.migration, o.server);
        if (o.statement == "-" && !o.schema) o.statement = standardInput();
        RowOutput out(o.output, o.form, o.iso_dates);
        if (o.schema) {
            printSchema(o, out);
        } else if (o.queries) {
            printQueries(o, out);
        } else {
            cn.Open(ado::JetConnectionString(o.file, o.password), "", "", ado::adCmdUnspecified);
            StopOnInterrupt interrupt(cn);
            if (!o.parameters.empty()) cn.SetParameters(o.parameters);
            if (o.tables) printTables(cn, out);
            else if (ado::sql::translate(o.statement, {}, o.parameters).kind == ado::sql::StatementKind::Select) printRows(cn, o, out);
            else printChanged(cn, o, out);
        }
        out.finish();
    } catch (const ado::Error& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "pellinordb-sql: error %ld: %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
