// TEMPORARY stand-in for the Access SQL translator, so the SQL layer can be
// built and tested before the translator lands; deleted when it does. It
// knows only plain row statements: brackets become double quotes, the
// tables after FROM, JOIN, INTO and UPDATE are collected, & joins text,
// text literals pass unchanged.
#include <sqlite3.h>

#include <cctype>
#include <cstring>

#include "error.h"
#include "sql_dialect.h"

namespace ado::sql {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

int compareText(void*, int n1, const void* a, int n2, const void* b) {
    int n = sqlite3_strnicmp(static_cast<const char*>(a), static_cast<const char*>(b), n1 < n2 ? n1 : n2);
    return n != 0 ? n : n1 - n2;
}

}  // namespace

Statement translate(const std::string& text) {
    Statement st;
    std::string out, previous_word;
    bool expect_table = false;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\'') {
            size_t end = text.find('\'', i + 1);
            if (end == std::string::npos) throw Error(3075, "Syntax error in string in query expression.");
            out += text.substr(i, end + 1 - i);
            i = end + 1;
            continue;
        }
        if (c == ';') {
            for (size_t j = i + 1; j < text.size(); ++j)
                if (!std::isspace(static_cast<unsigned char>(text[j])))
                    throw Error(3142, "Characters found after end of SQL statement.");
            break;
        }
        std::string name;
        if (c == '[') {
            size_t end = text.find(']', i);
            if (end == std::string::npos) throw Error(3075, "Syntax error in query expression: missing ].");
            name = text.substr(i + 1, end - i - 1);
            out += quoted(name);
            i = end + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            size_t end = i;
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
            name = text.substr(i, end - i);
            i = end;
            std::string word = lower(name);
            if (word == "from" || word == "join" || word == "into" || word == "update") {
                expect_table = true;
                previous_word = word;
                out += name;
                continue;
            }
            out += expect_table ? quoted(name) : name;
        } else {
            out += c == '&' ? std::string("||") : std::string(1, c);
            if (c == ',' && previous_word == "from") expect_table = true;
            ++i;
            continue;
        }
        if (expect_table) {
            st.tables.push_back(name);
            if (previous_word == "into" || previous_word == "update") st.target = name;
            expect_table = false;
        }
    }
    size_t b = out.find_first_not_of(" \t\r\n");
    std::string first = b == std::string::npos ? "" : lower(out.substr(b, out.find_first_of(" \t\r\n(", b) - b));
    if (first == "select") st.kind = StatementKind::Select;
    else if (first == "insert") st.kind = StatementKind::Insert;
    else if (first == "update") st.kind = StatementKind::Update;
    else if (first == "delete") st.kind = StatementKind::Delete;
    else
        throw Error(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    if (st.kind == StatementKind::Select) st.target.clear();
    st.sqlite = out;
    return st;
}

void registerFunctions(sqlite3* db) {
    sqlite3_create_collation(db, kTextCollation, SQLITE_UTF8, nullptr, compareText);
}

}  // namespace ado::sql
