// pellinordb-sql: runs one statement against an Access file and prints the
// result, for scripts, checks and benchmarks.
//
//   pellinordb-sql FILE --tables                 the user tables, one a line
//   pellinordb-sql FILE "SELECT ..."             the rows as CSV (RFC 4180)
//   pellinordb-sql FILE "UPDATE ..."             any other statement: the
//                                                number of rows it changed
//   options: --password PW, --iso-dates
//
// Errors go to stderr with their number; the exit status is then 1 (2 for
// wrong usage).
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ado/connection.h"
#include "ado/connection_string.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "ado/sql_dialect.h"
#include "ado/value_text.h"

namespace {

struct Options {
    std::string file;
    std::string statement;
    std::string password;
    bool tables = false;
    bool iso_dates = false;
};

class Output {
public:
    ~Output() { flush(); }
    void add(const std::string& s) {
        buf_ += s;
        if (buf_.size() > (1 << 20)) flush();
    }
    void add(char c) { buf_ += c; }
    void flush() {
        std::fwrite(buf_.data(), 1, buf_.size(), stdout);
        buf_.clear();
    }

private:
    std::string buf_;
};

bool needsQuotes(const std::string& text) {
    for (char c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}

void addCsvField(Output& out, const std::string& text) {
    if (!needsQuotes(text)) return out.add(text);
    out.add('"');
    size_t from = 0;
    for (size_t q; (q = text.find('"', from)) != std::string::npos; from = q + 1) {
        out.add(text.substr(from, q + 1 - from));
        out.add('"');
    }
    out.add(text.substr(from));
    out.add('"');
}

int usage() {
    std::fprintf(stderr, "usage: pellinordb-sql FILE (--tables | STATEMENT) [--password PW] [--iso-dates]\n");
    return 2;
}

void printTables(ado::Connection& cn, Output& out) {
    auto rs = cn.OpenSchema(ado::adSchemaTables, {ado::Value(), ado::Value(), ado::Value(), std::string("TABLE")});
    while (!rs->Eof()) {
        out.add(ado::toText(rs->GetFields()["TABLE_NAME"].GetValue()));
        out.add("\r\n");
        rs->MoveNext();
    }
}

void printRows(ado::Connection& cn, const Options& o, Output& out) {
    ado::Recordset rs;
    rs.Open(o.statement, cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    ado::Fields& fields = rs.GetFields();
    for (long i = 0; i < fields.Count(); ++i) {
        if (i) out.add(',');
        addCsvField(out, fields[i].Name());
    }
    out.add("\r\n");
    char separator = ado::localeDecimalSeparator();
    while (!rs.Eof()) {
        for (long i = 0; i < fields.Count(); ++i) {
            if (i) out.add(',');
            const ado::Value& v = fields[i].GetValue();
            if (o.iso_dates && v.is<jet::DateTime>()) addCsvField(out, ado::toIsoText(v.as<jet::DateTime>()));
            else addCsvField(out, ado::toText(v, separator));
        }
        out.add("\r\n");
        rs.MoveNext();
    }
}

void printChanged(ado::Connection& cn, const Options& o, Output& out) {
    long changed = 0;
    cn.Execute(o.statement, &changed, ado::adCmdUnspecified);
    out.add(std::to_string(changed));
    out.add("\r\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--tables") o.tables = true;
        else if (a == "--iso-dates") o.iso_dates = true;
        else if (a == "--password" && i + 1 < argc) o.password = argv[++i];
        else if (o.file.empty()) o.file = a;
        else if (o.statement.empty()) o.statement = a;
        else return usage();
    }
    if (o.file.empty() || o.tables == !o.statement.empty()) return usage();
    try {
        ado::Connection cn;
        cn.Open(ado::JetConnectionString(o.file, o.password), "", "", ado::adCmdUnspecified);
        Output out;
        if (o.tables) printTables(cn, out);
        else if (ado::sql::translate(o.statement).kind == ado::sql::StatementKind::Select) printRows(cn, o, out);
        else printChanged(cn, o, out);
    } catch (const ado::Error& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "pellinordb-sql: error %ld: %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
