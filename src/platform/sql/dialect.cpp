// SPDX-License-Identifier: Apache-2.0
// The Access SQL translator: a tokenizer and a recursive-descent parser
// that writes SQLite text as it goes. Every name is quoted, every operator
// whose meaning differs is spelled out, and every operation is
// parenthesised, so SQLite's precedence never decides anything. A run of
// one operator (a OR b OR c, a + b + c) is written as one flat list, not
// nested, so that long lists stay within SQLite's parser stack and take
// time in step with their length; nesting in the statement itself
// (parentheses, calls, subqueries) is limited to kMaxNesting.
//
// Truth values: an Access comparison yields -1 or 0. Inside a condition
// (WHERE, ON, HAVING, CASE WHEN, AND/OR/NOT operands) SQLite's own truth is
// kept so constraints reach the virtual tables as plain comparisons; where
// a truth value is used as a value it is negated into Access's -1.
#include "sql/dialect.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "ado/error.h"
#include "sql/datetime.h"

namespace ado::sql {

namespace {

enum ErrNo : long {
    kErrStatement = 3129,      // not one of the statements
    kErrAfterEnd = 3142,       // characters after the end of the statement
    kErrExpression = 3075,     // syntax error in an expression
    kErrFunction = 3085,       // undefined function
    kErrSelect = 3141,         // the SELECT's own syntax
    kErrFrom = 3131,           // FROM clause
    kErrOrderBy = 3138,        // ORDER BY clause
    kErrInsert = 3134,         // INSERT INTO
    kErrUpdate = 3144,         // UPDATE
    kErrCreate = 3290,         // CREATE TABLE
    kErrField = 3292,          // a field definition
    kErrFieldTwice = 3191,     // a field defined twice
    kErrDrop = 3295,           // DROP TABLE
    kErrAlter = 3293,          // ALTER TABLE
    kErrUnion = 3319,          // UNION
    kErrCrosstab = 3130,       // TRANSFORM ... PIVOT
    kErrNotSupported = 3251,   // valid Access SQL the engine cannot carry out
    kErrTooComplex = 3360,     // "Query is too complex."
};

// Access takes 50 levels of nested queries; expressions are held to the
// same, which keeps the parser's own stack small. SQLite's parser may hold
// fewer levels of calls and subqueries; its refusal is reported with the
// same number (see the SQL session).
constexpr int kMaxNesting = 50;
// Operands one flat list holds before it is written as a list of lists,
// so that no list passes SQLite's expression depth; and arguments one call
// of a function of a run (jet_add, jet_concat) takes, within SQLite's 127.
constexpr size_t kFlatList = 64;
constexpr size_t kRunArguments = 100;

[[noreturn]] void fail(long number, const std::string& text) { throw Error(number, text); }

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string quoteName(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

std::string quoteText(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') q += '\'';
        q += c;
    }
    return q + "'";
}

// ---------------------------------------------------------------- tokens

enum class Tok { End, Name, Bracketed, Text, Number, Date, Op };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // a name without brackets, a text without quotes, an operator
    size_t begin = 0, end = 0;  // the span in the statement text
    double date = 0;
};

bool nameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    while (true) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i >= s.size()) break;
        Token t;
        t.begin = i;
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == ';') {
            // One statement per text: after ";" only blanks may follow.
            for (size_t j = i + 1; j < s.size(); ++j)
                if (!std::isspace(static_cast<unsigned char>(s[j])))
                    fail(kErrAfterEnd, "Characters found after end of SQL statement.");
            break;
        }
        if (c == '[' || c == '`') {
            char close = c == '[' ? ']' : '`';
            size_t e = s.find(close, i + 1);
            if (e == std::string::npos)
                fail(kErrExpression, std::string("Syntax error in query: a name opened with '") + char(c) + "' is not closed.");
            t.kind = Tok::Bracketed;
            t.text = s.substr(i + 1, e - i - 1);
            if (t.text.empty() || t.text.find_first_of("[]`") != std::string::npos)
                fail(kErrExpression, "Invalid bracketing of name '" + s.substr(i, e + 1 - i) + "'.");
            i = e + 1;
        } else if (c == '\'' || c == '"') {
            // Access reads both quotes as text; a doubled quote stands for one.
            t.kind = Tok::Text;
            size_t j = i + 1;
            while (true) {
                if (j >= s.size()) fail(kErrExpression, "Syntax error in string in query expression '" + s.substr(i) + "'.");
                if (s[j] == char(c)) {
                    if (j + 1 < s.size() && s[j + 1] == char(c)) {
                        t.text += char(c);
                        j += 2;
                        continue;
                    }
                    break;
                }
                t.text += s[j++];
            }
            i = j + 1;
        } else if (c == '#') {
            size_t e = s.find('#', i + 1);
            if (e == std::string::npos) fail(kErrExpression, "Syntax error in date in query expression '" + s.substr(i) + "'.");
            t.kind = Tok::Date;
            t.text = s.substr(i, e + 1 - i);
            if (!parseDateText(s.substr(i + 1, e - i - 1), t.date))
                fail(kErrExpression, "Syntax error in date in query expression '" + t.text + "'.");
            i = e + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            if (j < s.size() && s[j] == '.') {
                ++j;
                while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            }
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
            }
            if (j < s.size() && nameChar(static_cast<unsigned char>(s[j])))
                fail(kErrExpression, "Syntax error in number in query expression '" + s.substr(i, j + 1 - i) + "'.");
            t.kind = Tok::Number;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (nameChar(c)) {
            size_t j = i;
            while (j < s.size() && nameChar(static_cast<unsigned char>(s[j]))) ++j;
            t.kind = Tok::Name;
            t.text = s.substr(i, j - i);
            i = j;
        } else {
            static const char* const ops[] = {"<>", "<=", ">=", "=", "<", ">", "+", "-", "*", "/",
                                              "\\", "^", "&", ",", "(", ")", ".", "!"};
            t.kind = Tok::Op;
            for (const char* op : ops)
                if (s.compare(i, std::strlen(op), op) == 0) {
                    t.text = op;
                    break;
                }
            if (t.text.empty())
                fail(kErrExpression, std::string("Invalid character '") + char(c) + "' in query expression.");
            i += t.text.size();
        }
        t.end = i;
        out.push_back(t);
    }
    Token end;
    end.begin = end.end = s.size();
    out.push_back(end);
    return out;
}

// Words that are never a name unless bracketed.
bool reserved(const std::string& word) {
    static const char* const words[] = {
        "ADD",      "ALL",    "ALTER",  "AND",     "AS",    "ASC",         "BETWEEN", "BY",    "COLUMN",
        "CONSTRAINT", "CREATE", "DELETE", "DESC",  "DISTINCT", "DISTINCTROW", "DROP", "EQV",   "EXISTS",
        "FALSE",    "FROM",   "FULL",   "GROUP",   "HAVING", "IMP",        "IN",      "INNER", "INSERT",
        "INTO",     "IS",     "JOIN",   "KEY",     "LEFT",  "LIKE",        "MOD",     "NOT",   "NULL",
        "ON",       "OR",     "ORDER",  "OUTER",   "PERCENT", "PIVOT", "PRIMARY",   "RIGHT",   "SELECT", "SET",
        "TABLE",    "TOP",    "TRANSFORM", "TRUE",   "UNION",   "UNIQUE", "UPDATE",     "VALUES",  "WHERE", "XOR"};
    std::string u = upper(word);
    for (const char* w : words)
        if (u == w) return true;
    return false;
}

// ---------------------------------------------------------------- parser

struct Expr {
    std::string sql;
    bool truth = false;  // SQLite truth (1/0): negate before using as a value
    bool date = false;
    // A Currency for certain (its column's type, or kept from one), and a
    // whole number for certain (a Byte, Integer or Long column, a literal):
    // Currency with either, added, subtracted or multiplied, stays Currency.
    bool currency = false;
    bool whole = false;
    bool number = false;  // a number for certain (literal or arithmetic of numbers)
    bool column = false;  // a plain column reference: its collation is its own
    std::string field;      // of a column: its name, and "table.field" where so typed
    std::string qualified;
    std::string value() const { return truth ? "(-(" + sql + "))" : sql; }
};

struct FunctionInfo {
    const char* sqlite;  // the registered function
    int min_args, max_args;
    bool date;  // returns a date
};

const std::map<std::string, FunctionInfo>& functions() {
    static const std::map<std::string, FunctionInfo> table = {
        {"LEN", {"jet_len", 1, 1, false}},          {"LEFT", {"jet_left", 2, 2, false}},
        {"RIGHT", {"jet_right", 2, 2, false}},      {"MID", {"jet_mid", 2, 3, false}},
        {"UCASE", {"jet_ucase", 1, 1, false}},      {"LCASE", {"jet_lcase", 1, 1, false}},
        {"TRIM", {"jet_trim", 1, 1, false}},        {"LTRIM", {"jet_ltrim", 1, 1, false}},
        {"RTRIM", {"jet_rtrim", 1, 1, false}},      {"NOW", {"jet_now", 0, 0, true}},
        {"DATE", {"jet_date", 0, 0, true}},         {"TIME", {"jet_time", 0, 0, true}},
        {"YEAR", {"jet_year", 1, 1, false}},        {"MONTH", {"jet_month", 1, 1, false}},
        {"DAY", {"jet_day", 1, 1, false}},          {"HOUR", {"jet_hour", 1, 1, false}},
        {"MINUTE", {"jet_minute", 1, 1, false}},    {"SECOND", {"jet_second", 1, 1, false}},
        {"WEEKDAY", {"jet_weekday", 1, 2, false}},  {"DATESERIAL", {"jet_dateserial", 3, 3, true}},
        {"TIMESERIAL", {"jet_timeserial", 3, 3, true}}, {"DATEVALUE", {"jet_datevalue", 1, 1, true}},
        {"DATEADD", {"jet_dateadd", 3, 3, true}},   {"DATEDIFF", {"jet_datediff", 3, 3, false}},
        {"INT", {"jet_int", 1, 1, false}},          {"FIX", {"jet_fix", 1, 1, false}},
        {"ABS", {"jet_abs", 1, 1, false}},          {"SGN", {"jet_sgn", 1, 1, false}},
        {"ROUND", {"jet_round", 1, 2, false}},      {"SQR", {"jet_sqr", 1, 1, false}},
        {"VAL", {"jet_val", 1, 1, false}},          {"CSTR", {"jet_cstr", 1, 1, false}},
        {"CLNG", {"jet_clng", 1, 1, false}},        {"CINT", {"jet_cint", 1, 1, false}},
        {"CDBL", {"jet_cdbl", 1, 1, false}},        {"CCUR", {"jet_ccur", 1, 1, false}},
        {"CBOOL", {"jet_cbool", 1, 1, false}},      {"CDATE", {"jet_cdate", 1, 1, true}},
        {"FORMAT", {"jet_format", 1, 2, false}},    {"INSTR", {"jet_instr", 2, 4, false}},
        {"REPLACE", {"jet_replace", 3, 3, false}},  {"SPACE", {"jet_space", 1, 1, false}},
        {"STRING", {"jet_string", 2, 2, false}},    {"STRCOMP", {"jet_strcomp", 2, 3, false}},
        {"ISNULL", {"jet_isnull", 1, 1, false}},    {"ISNUMERIC", {"jet_isnumeric", 1, 1, false}},
        {"ISDATE", {"jet_isdate", 1, 1, false}},    {"ASC", {"jet_asc", 1, 1, false}},
        {"CHR", {"jet_chr", 1, 1, false}},          {"DATEPART", {"jet_datepart", 2, 4, false}},
        {"TIMEVALUE", {"jet_timevalue", 1, 1, true}}, {"MONTHNAME", {"jet_monthname", 1, 2, false}},
        {"WEEKDAYNAME", {"jet_weekdayname", 1, 3, false}}, {"TIMER", {"jet_timer", 0, 0, false}},
        {"INSTRREV", {"jet_instrrev", 2, 4, false}}, {"STRREVERSE", {"jet_strreverse", 1, 1, false}},
        {"STRCONV", {"jet_strconv", 2, 2, false}},  {"CBYTE", {"jet_cbyte", 1, 1, false}},
        {"CSNG", {"jet_csng", 1, 1, false}},        {"HEX", {"jet_hex", 1, 1, false}},
        {"OCT", {"jet_oct", 1, 1, false}},          {"STR", {"jet_str", 1, 1, false}},
        {"CVAR", {"jet_cvar", 1, 1, false}},        {"CVDATE", {"jet_cdate", 1, 1, true}},
        {"ISEMPTY", {"jet_isempty", 1, 1, false}},  {"LOG", {"jet_log", 1, 1, false}},
        {"ATN", {"jet_atn", 1, 1, false}},          {"COS", {"jet_cos", 1, 1, false}},
        {"SIN", {"jet_sin", 1, 1, false}},          {"TAN", {"jet_tan", 1, 1, false}},
        {"EXP", {"jet_exp", 1, 1, false}},          {"RND", {"jet_rnd", 0, 1, false}},
        {"CDEC", {"jet_cdec", 1, 1, false}},        {"PARTITION", {"jet_partition", 4, 4, false}},
        {"FORMATNUMBER", {"jet_formatnumber", 1, 5, false}}, {"FORMATCURRENCY", {"jet_formatcurrency", 1, 5, false}},
        {"FORMATPERCENT", {"jet_formatpercent", 1, 5, false}}, {"FORMATDATETIME", {"jet_formatdatetime", 1, 2, false}},
    };
    return table;
}

// Aggregates: Access name to SQLite's or our own.
const std::map<std::string, const char*>& aggregates() {
    static const std::map<std::string, const char*> table = {
        {"COUNT", "count"}, {"SUM", "sum"},   {"AVG", "avg"},   {"MIN", "min"},           {"MAX", "max"},
        {"FIRST", "jet_first"}, {"LAST", "jet_last"}, {"STDEV", "jet_stdev"}, {"STDEVP", "jet_stdevp"},
        {"VAR", "jet_var"},  {"VARP", "jet_varp"},
    };
    return table;
}

// Items [b, e) joined by `op` (" OR ", " AND ") in parentheses: flat while
// short, else as a flat list of such lists.
std::string joined(const std::vector<std::string>& items, size_t b, size_t e, const char* op) {
    size_t n = e - b, step = n <= kFlatList ? 1 : (n + kFlatList - 1) / kFlatList;
    std::string out = "(";
    for (size_t i = b; i < e; i += step) {
        if (i > b) out += op;
        out += step == 1 ? items[i] : joined(items, i, std::min(i + step, e), op);
    }
    return out + ")";
}

struct SelectCore;

class Parser {
public:
    Parser(const std::string& text, const ColumnType& column_type, const ParameterValues& values)
        : text_(text), toks_(tokenize(text)), column_type_(column_type), values_(values) {}

    Statement statement();
    // The declarations of a PARAMETERS clause, the text after that word:
    // each name with its type, upper case.
    using Declarations = std::vector<std::pair<std::string, std::string>>;
    Declarations declarations();
    void declare(Declarations parameters) { declared_ = std::move(parameters); }

private:
    const std::string& text_;
    std::vector<Token> toks_;
    const ColumnType& column_type_;
    const ParameterValues& values_;
    Declarations declared_;
    size_t at_ = 0;
    Statement st_;
    long clause_error_ = kErrSelect;
    int select_depth_ = 0;
    int expr_count_ = 0;
    int nesting_ = 0;
    bool pivot_cells_ = false;  // aggregates are filtered on the pivot heading
    bool crosstab_ = false;
    int aggregates_ = 0;        // aggregate calls parsed so far
    // For DISTINCTROW: the qualifiers of the fields a select list names
    // ("" unqualified), and the FROM's tables by the names that qualify them
    // ("" for a subquery, which has no rows of its own to tell apart).
    std::vector<std::string>* qualifiers_ = nullptr;
    std::vector<std::pair<std::string, std::string>> from_items_;

    // Held while a nested part is parsed: parentheses, a call's arguments,
    // a subquery.
    struct Nested {
        explicit Nested(Parser& p) : parser(p) {
            if (++parser.nesting_ > kMaxNesting)
                fail(kErrTooComplex, "Query is too complex: expressions and subqueries nest more than " +
                                         std::to_string(kMaxNesting) + " levels deep.");
        }
        ~Nested() { --parser.nesting_; }
        Parser& parser;
    };

    const Token& peek(size_t ahead = 0) const { return toks_[std::min(at_ + ahead, toks_.size() - 1)]; }
    const Token& take() { return toks_[at_ < toks_.size() - 1 ? at_++ : at_]; }
    bool isWord(const char* w, size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Name && upper(t.text) == w;
    }
    bool isOp(const char* op, size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Op && t.text == op;
    }
    bool acceptWord(const char* w) {
        if (!isWord(w)) return false;
        ++at_;
        return true;
    }
    bool acceptOp(const char* op) {
        if (!isOp(op)) return false;
        ++at_;
        return true;
    }
    void expectWord(const char* w, long number, const std::string& what) {
        if (!acceptWord(w)) fail(number, what);
    }
    void expectOp(const char* op, long number, const std::string& what) {
        if (!acceptOp(op)) fail(number, what);
    }
    std::string span(size_t from_token) const {
        size_t b = toks_[from_token].begin;
        size_t e = toks_[at_ > from_token ? at_ - 1 : from_token].end;
        return text_.substr(b, e > b ? e - b : 0);
    }
    [[noreturn]] void missingOperator(size_t from_token) {
        // The expression so far and the token that cannot follow it.
        size_t b = toks_[from_token].begin;
        size_t e = peek().end;
        fail(kErrExpression, "Syntax error (missing operator) in query expression '" + text_.substr(b, e - b) + "'.");
    }
    bool atName() const {
        const Token& t = peek();
        return t.kind == Tok::Bracketed || (t.kind == Tok::Name && !reserved(t.text));
    }
    // A name as typed: bracketed, or a plain word that is no keyword.
    std::string name(long number, const std::string& what) {
        if (!atName()) fail(number, what);
        return take().text;
    }
    void noteTable(const std::string& table) {
        for (const std::string& t : st_.tables)
            if (upper(t) == upper(table)) return;
        st_.tables.push_back(table);
    }
    // A stored table's name; a second word after it means a name with
    // blanks was typed without brackets.
    std::string tableName(long number, const std::string& clause) {
        if (!atName()) {
            if (peek().kind == Tok::Name)
                fail(number, "Syntax error in " + clause + ": '" + peek().text +
                                 "' is a reserved word; put a table name in square brackets.");
            fail(number, "Syntax error in " + clause + ": a table name is expected.");
        }
        return take().text;
    }
    void endOfStatement(long number, const std::string& what) {
        if (peek().kind != Tok::End) {
            const Token& before = toks_[at_ ? at_ - 1 : 0];
            bool after_name = at_ && (before.kind == Tok::Name || before.kind == Tok::Bracketed);
            if (after_name && (peek().kind == Tok::Name || peek().kind == Tok::Bracketed))
                fail(number, what + " near '" + peek().text + "'. A name with blanks must be put in square brackets.");
            fail(number, what + " near '" + peek().text + "'.");
        }
    }

    void select();
    void crosstab();
    std::string selectBody(bool top_level, std::vector<uint8_t>* types);
    // What a TOP needs to take the rows tied with its last one: the clauses
    // after the select list, and what the list names and does.
    struct CoreShape {
        std::string from_on;
        std::string from_where;
        bool distinct = false;
        std::vector<std::string> aliases;  // upper case
    };
    std::string selectCore(bool top_level, std::vector<uint8_t>* types, std::string& limit, CoreShape* shape = nullptr);
    std::string fromClause();
    std::string crosstabWhere(size_t where, std::vector<std::string>& having);
    std::string distinctRows(const std::vector<std::string>& qualifiers, bool star, size_t items) const;
    std::string joinExpr();
    std::string tablePrimary();
    // `columns`, where given, gets each term's field, upper case, or is
    // cleared when a term is not a plain column.
    std::string orderBy(std::vector<std::string>* columns = nullptr);
    void insert();
    void update();
    void remove();
    void createTable();
    void dropTable();
    void alterTable();
    ColumnDecl columnDecl();

    Expr expr();
    Expr impExpr();
    Expr eqvExpr();
    Expr xorExpr();
    Expr orExpr();
    Expr andExpr();
    Expr notExpr();
    Expr compare();
    Expr concat();
    Expr additive();
    Expr modulo();
    Expr intDivide();
    Expr multiplicative();
    Expr unary();
    Expr power();
    Expr primary();
    Expr call(const Token& fn);
    Expr subquery();
    bool parameter(const std::string& name, Expr& e) const;
};

Statement Parser::statement() {
    if (peek().kind == Tok::End) fail(ado::kErrCommandText, "The statement is empty.");
    if (isWord("SELECT")) {
        select();
    } else if (acceptWord("TRANSFORM")) {
        crosstab();
    } else if (acceptWord("INSERT")) {
        insert();
    } else if (acceptWord("UPDATE")) {
        update();
    } else if (acceptWord("DELETE")) {
        remove();
    } else if (acceptWord("CREATE")) {
        createTable();
    } else if (acceptWord("DROP")) {
        dropTable();
    } else if (acceptWord("ALTER")) {
        alterTable();
    } else {
        fail(kErrStatement, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
    return st_;
}

// ------------------------------------------------------------ SELECT

void Parser::select() {
    st_.kind = StatementKind::Select;
    st_.sqlite = selectBody(true, &st_.result_types);
    endOfStatement(kErrSelect, "Syntax error in the SELECT statement");
}

// SELECT ... [UNION [ALL] SELECT ...] [ORDER BY ...], TOP as LIMIT.
std::string Parser::selectBody(bool top_level, std::vector<uint8_t>* types) {
    Nested nested(*this);
    ++select_depth_;
    const int aggregates = aggregates_;  // a subquery's are its own
    std::vector<std::string>* qualifiers = std::exchange(qualifiers_, nullptr);
    std::string limit;
    CoreShape shape;
    std::string out = selectCore(top_level, types, limit, &shape);
    bool united = false;
    while (acceptWord("UNION")) {
        united = true;
        bool all = acceptWord("ALL");
        if (!isWord("SELECT")) fail(kErrUnion, "Syntax error in union query: SELECT expected after UNION.");
        std::string member_limit;
        std::string member = selectCore(false, nullptr, member_limit);
        if (!limit.empty() || !member_limit.empty())
            fail(kErrNotSupported, "TOP in a union query is not supported.");
        out += all ? " UNION ALL " : " UNION ";
        out += member;
    }
    std::vector<std::string> order_columns;
    std::string order = orderBy(&order_columns);
    if (!limit.empty()) {
        if (limit[0] == '%') {
            // TOP n PERCENT: n hundredths of the rows, rounded up.
            limit = "(SELECT (count(*) * " + limit.substr(1) + " + 99) / 100 FROM (" + out + "))";
        } else if (!order_columns.empty() && !united && !shape.distinct &&
                   std::none_of(order_columns.begin(), order_columns.end(), [&](const std::string& c) {
                       return std::find(shape.aliases.begin(), shape.aliases.end(), c) != shape.aliases.end();
                   })) {
            // TOP n takes every row tied with the nth on the ORDER BY.
            limit = "(SELECT count(*) FROM (SELECT rank() OVER (" + order.substr(1) + ") AS jet_rank" +
                    shape.from_on + ") WHERE jet_rank <= " + limit + ")";
        }
        out += order + " LIMIT " + limit;
    } else {
        out += order;
    }
    --select_depth_;
    aggregates_ = aggregates;
    qualifiers_ = qualifiers;
    return out;
}

std::string Parser::selectCore(bool top_level, std::vector<uint8_t>* types, std::string& limit, CoreShape* shape) {
    expectWord("SELECT", kErrSelect, "SELECT expected.");
    std::string out = "SELECT ";
    CoreShape ignored;
    if (!shape) shape = &ignored;
    bool distinct_row = false;
    if (acceptWord("DISTINCT")) out += "DISTINCT ", shape->distinct = true;
    else if (!acceptWord("ALL")) distinct_row = acceptWord("DISTINCTROW");
    std::vector<std::string> qualifiers;
    const int aggregates = aggregates_;
    qualifiers_ = &qualifiers;
    if (acceptWord("TOP")) {
        const Token& n = take();
        if (n.kind != Tok::Number || n.text.find_first_not_of("0123456789") != std::string::npos || n.text == "0")
            fail(kErrSelect, "The TOP of a SELECT takes a whole number above zero.");
        limit = acceptWord("PERCENT") ? "%" + n.text : n.text;
    }
    // The result columns. Two plain columns of one name from different
    // tables are told apart as Access names them, "t1.data" and "t2.data".
    struct Item {
        std::string sql;
        std::string field, qualified;  // a plain column without AS
    };
    std::vector<Item> items;
    bool after_star = false;
    for (bool first = true;; first = false) {
        if (!first && !acceptOp(",")) break;
        if (acceptOp("*")) {
            qualifiers.emplace_back();
            items.push_back({"*", "", ""});
            after_star = true;
            continue;
        }
        if (atName() && isOp(".", 1) && (isOp("*", 2))) {
            qualifiers.push_back(peek().text);
            items.push_back({quoteName(take().text) + ".*", "", ""});
            at_ += 2;
            after_star = true;
            continue;
        }
        size_t item = at_;
        Expr e = expr();
        Item it{e.value(), "", ""};
        if (acceptWord("AS")) {
            std::string alias = name(kErrSelect, "A name is expected after AS.");
            shape->aliases.push_back(upper(alias));
            it.sql += " AS " + quoteName(alias);
        } else if (!e.column) {
            // Access names an unnamed expression Expr1000, Expr1001 ...
            it.sql += " AS \"Expr" + std::to_string(1000 + expr_count_++) + "\"";
        } else {
            it.field = upper(e.field);
            it.qualified = e.qualified;
        }
        items.push_back(it);
        if (peek().kind == Tok::Name && !reserved(peek().text)) missingOperator(item);
        if (peek().kind == Tok::Bracketed || peek().kind == Tok::Text || peek().kind == Tok::Number)
            missingOperator(item);
        if (types && !after_star) types->push_back(e.date ? jet::kDateTime : e.currency ? jet::kCurrency : 0);
    }
    qualifiers_ = nullptr;
    distinct_row &= aggregates_ == aggregates;  // one row anyway
    for (size_t i = 0; i < items.size(); ++i) {
        Item& it = items[i];
        bool twice = false;
        for (size_t j = 0; j < items.size() && !it.qualified.empty(); ++j)
            if (j != i && items[j].field == it.field) twice = true;
        if (twice) it.sql += " AS " + quoteName(it.qualified);
        out += (i ? ", " : "") + it.sql;
    }
    if (acceptWord("INTO")) {
        if (!top_level || select_depth_ != 1)
            fail(kErrSelect, "SELECT ... INTO is allowed only as a statement of its own.");
        st_.kind = StatementKind::SelectInto;
        st_.target = tableName(kErrSelect, "SELECT ... INTO");
        if (!isWord("FROM") && peek().kind != Tok::End)
            fail(kErrSelect, "Syntax error in SELECT ... INTO near '" + peek().text +
                                 "'. A name with blanks must be put in square brackets.");
    }
    size_t from_on = out.size();
    auto outer_from = std::exchange(from_items_, {});
    if (acceptWord("FROM")) out += " FROM " + fromClause();
    std::vector<std::string> having;
    if (acceptWord("WHERE")) {
        size_t where = at_;
        int aggregates = aggregates_;
        std::string condition = expr().sql;
        if (aggregates_ != aggregates) condition = crosstabWhere(where, having);
        out += " WHERE " + condition;
    }
    shape->from_where = out.substr(from_on);
    if (distinct_row && !isWord("GROUP"))
        out += distinctRows(qualifiers, after_star, items.size());
    from_items_ = std::move(outer_from);
    if (isWord("GROUP")) {
        ++at_;
        expectWord("BY", kErrSelect, "BY expected after GROUP.");
        out += " GROUP BY ";
        for (bool first = true;; first = false) {
            if (!first && !acceptOp(",")) break;
            if (!first) out += ", ";
            Expr e = expr();
            out += e.column ? e.sql : e.value() + " COLLATE ACCESSTEXT";
        }
    }
    if (acceptWord("HAVING")) having.push_back(expr().sql);
    if (!having.empty()) out += " HAVING " + joined(having, 0, having.size(), " AND ");
    shape->from_on = out.substr(from_on);
    return out;
}

// DISTINCTROW: each combination of rows of the tables whose fields are
// selected once, as a GROUP BY their row ids; the list's own values join
// the key, which changes nothing for a table, so that a saved query, whose
// rows have no ids, is read as DISTINCT. Where the list selects from every
// table, or a subquery's fields, nothing is to be done.
std::string Parser::distinctRows(const std::vector<std::string>& qualifiers, bool star, size_t items) const {
    std::vector<std::string> keys;
    for (const auto& item : from_items_) {
        const std::string& name = item.first;
        bool selected = std::any_of(qualifiers.begin(), qualifiers.end(),
                                    [&](const std::string& q) { return q.empty() || upper(q) == upper(name); });
        if (!selected) continue;
        if (item.second.empty()) return "";
        keys.push_back(quoteName(name) + ".rowid");
    }
    if (keys.size() == from_items_.size()) return "";
    for (size_t i = 1; i <= items && !star; ++i) keys.push_back(std::to_string(i));
    std::string out = " GROUP BY ";
    for (size_t i = 0; i < keys.size(); ++i) out += (i ? ", " : "") + keys[i];
    return out;
}

// A saved crosstab keeps the criteria of its row headings, summaries too,
// in its WHERE: the terms of that conjunction that hold an aggregate are
// the HAVING Access means. Anywhere else an aggregate there is an error.
std::string Parser::crosstabWhere(size_t where, std::vector<std::string>& having) {
    size_t end = at_;
    auto refused = [&] {
        fail(3096, "Cannot have aggregate function in WHERE clause (" + text_.substr(toks_[where].begin, toks_[end].begin - toks_[where].begin) + ").");
    };
    if (!crosstab_) refused();
    at_ = where;
    // Parentheses around the whole conjunction.
    size_t wrapped = 0;
    while (isOp("(")) {
        int depth = 0;
        size_t i = at_;
        for (; i < end; ++i) {
            if (toks_[i].kind != Tok::Op) continue;
            if (toks_[i].text == "(") ++depth;
            else if (toks_[i].text == ")" && --depth == 0) break;
        }
        if (i + 1 + wrapped != end) break;
        ++at_, ++wrapped;
    }
    std::vector<std::string> terms;
    do {
        int aggregates = aggregates_;
        Expr term = notExpr();
        (aggregates_ != aggregates ? having : terms).push_back(term.sql);
    } while (acceptWord("AND"));
    while (wrapped && acceptOp(")")) --wrapped;
    if (wrapped || at_ != end) refused();
    return terms.empty() ? "1" : joined(terms, 0, terms.size(), " AND ");
}

// TRANSFORM value SELECT row headings ... GROUP BY ... PIVOT expression
// [IN (heading, ...)]: each heading a column of the value over its rows.
void Parser::crosstab() {
    st_.kind = StatementKind::Select;
    Crosstab x;
    pivot_cells_ = true;
    Expr cell = expr();
    pivot_cells_ = false;
    if (acceptWord("AS")) name(kErrCrosstab, "A name is expected after AS.");  // the columns are named by heading
    if (!isWord("SELECT")) fail(kErrCrosstab, "Syntax error in TRANSFORM statement: SELECT expected.");
    std::string limit;
    CoreShape shape;
    crosstab_ = true;
    std::string core = selectCore(true, &st_.result_types, limit, &shape);
    crosstab_ = false;
    if (!limit.empty() || shape.distinct) fail(kErrNotSupported, "TOP and DISTINCT in a crosstab are not supported.");
    if (core.find(" GROUP BY ") == std::string::npos)
        fail(kErrCrosstab, "Syntax error in TRANSFORM statement: a crosstab needs GROUP BY.");
    std::string order = orderBy();
    expectWord("PIVOT", kErrCrosstab, "Syntax error in TRANSFORM statement: PIVOT expected.");
    Expr pivot = concat();  // not a comparison: IN follows
    x.head = core.substr(0, core.size() - shape.from_on.size());
    x.rest = shape.from_on + order;
    x.cell = cell.value();
    x.cell_date = cell.date;
    x.pivot = pivot.value();
    x.key = pivot.date ? "jet_format(" + x.pivot + ", NULL, 1)" : "jet_concat('', " + x.pivot + ")";
    x.key = "(CASE WHEN " + x.pivot + " IS NULL THEN NULL ELSE " + x.key + " END)";
    if (acceptWord("IN")) {
        expectOp("(", kErrCrosstab, "Syntax error in PIVOT: '(' expected after IN.");
        for (bool first = true;; first = false) {
            if (!first && !acceptOp(",")) break;
            const Token& t = peek();
            if (t.kind != Tok::Text && t.kind != Tok::Number && t.kind != Tok::Date)
                fail(kErrCrosstab, "Syntax error in PIVOT: the IN list holds constants only.");
            std::string heading = t.kind == Tok::Date ? t.text.substr(1, t.text.size() - 2) : t.text;
            x.listed.emplace_back(heading, "(" + x.pivot + " = " + primary().value() + " COLLATE ACCESSTEXT)");
        }
        expectOp(")", kErrCrosstab, "Syntax error in PIVOT: ')' expected.");
    } else {
        x.headings = "SELECT " + x.key + " AS jet_heading, min(" + x.pivot + " COLLATE ACCESSTEXT) AS jet_order" +
                     shape.from_where + " GROUP BY jet_heading COLLATE ACCESSTEXT ORDER BY jet_order COLLATE ACCESSTEXT";
    }
    endOfStatement(kErrCrosstab, "Syntax error in TRANSFORM statement");
    st_.crosstab = std::move(x);
}

std::string Parser::orderBy(std::vector<std::string>* columns) {
    if (!isWord("ORDER")) return "";
    ++at_;
    expectWord("BY", kErrOrderBy, "Syntax error in ORDER BY clause.");
    std::string out = " ORDER BY ";
    bool plain = true;
    for (bool first = true;; first = false) {
        if (!first && !acceptOp(",")) break;
        if (!first) out += ", ";
        size_t item = at_;
        Expr e = expr();
        // Text sorts as Access compares it: a column brings its collation.
        out += e.column ? e.sql : e.value() + " COLLATE ACCESSTEXT";
        plain &= e.column;
        if (columns && plain) columns->push_back(upper(e.field));
        if (acceptWord("DESC")) out += " DESC";
        else acceptWord("ASC");
        if (peek().kind == Tok::Name && !reserved(peek().text)) missingOperator(item);
    }
    if (columns && !plain) columns->clear();
    return out;
}

// FROM a, b ... with joins, nested in parentheses as Access writes them.
std::string Parser::fromClause() {
    long saved = clause_error_;
    clause_error_ = kErrFrom;
    std::string out = joinExpr();
    while (acceptOp(",")) out += ", " + joinExpr();
    clause_error_ = saved;
    return out;
}

std::string Parser::joinExpr() {
    std::string out = tablePrimary();
    while (true) {
        std::string kind;
        if (acceptWord("INNER")) kind = "INNER JOIN";
        else if (acceptWord("LEFT")) acceptWord("OUTER"), kind = "LEFT JOIN";
        else if (acceptWord("RIGHT")) acceptWord("OUTER"), kind = "RIGHT JOIN";
        else if (isWord("JOIN")) kind = "INNER JOIN";
        else break;
        expectWord("JOIN", kErrFrom, "Syntax error in JOIN operation.");
        std::string right = tablePrimary();
        expectWord("ON", kErrFrom, "Syntax error in JOIN operation: ON expected.");
        out += " " + kind + " " + right + " ON " + expr().sql;
    }
    return out;
}

std::string Parser::tablePrimary() {
    Nested nested(*this);
    std::string out;
    if (acceptOp("(")) {
        if (isWord("SELECT")) {
            out = "(" + selectBody(false, nullptr) + ")";
            from_items_.emplace_back("", "");
        } else {
            out = "(" + joinExpr() + ")";
        }
        expectOp(")", kErrFrom, "Syntax error in FROM clause: ')' expected.");
    } else {
        std::string table = tableName(kErrFrom, "FROM clause");
        noteTable(table);
        out = quoteName(table);
        from_items_.emplace_back(table, table);
    }
    // An alias, with AS or, as Access also takes it, without: "FROM Order
    // Details" reads as the table Order under the alias Details.
    bool as = acceptWord("AS");
    if (as && !atName()) fail(kErrFrom, "Syntax error in FROM clause: an alias is expected after AS.");
    if (atName()) {
        if (!from_items_.empty() && !from_items_.back().second.empty() && out.back() == '"')
            from_items_.back().first = peek().text;
        out += " AS " + quoteName(take().text);
        if (atName())
            fail(kErrFrom, "Syntax error in FROM clause near '" + peek().text +
                               "'. A name with blanks must be put in square brackets.");
    }
    return out;
}

// ------------------------------------------------------------ row changes

void Parser::insert() {
    st_.kind = StatementKind::Insert;
    expectWord("INTO", kErrInsert, "Syntax error in INSERT INTO statement: INTO expected.");
    st_.target = tableName(kErrInsert, "INSERT INTO statement");
    noteTable(st_.target);
    std::string out = "INSERT INTO " + quoteName(st_.target);
    if (acceptOp("(")) {
        out += " (";
        for (bool first = true;; first = false) {
            if (!first && !acceptOp(",")) break;
            if (!first) out += ", ";
            std::string column = name(kErrInsert, "Syntax error in INSERT INTO statement: a field name is expected.");
            if (acceptOp(".") || acceptOp("!"))  // table.field
                column = name(kErrInsert, "Syntax error in INSERT INTO statement: a field name is expected.");
            out += quoteName(column);
        }
        expectOp(")", kErrInsert, "Syntax error in INSERT INTO statement: ')' expected.");
        out += ")";
    }
    if (acceptWord("VALUES")) {
        expectOp("(", kErrInsert, "Syntax error in INSERT INTO statement: '(' expected after VALUES.");
        out += " VALUES (";
        for (bool first = true;; first = false) {
            if (!first && !acceptOp(",")) break;
            if (!first) out += ", ";
            out += expr().value();
        }
        expectOp(")", kErrInsert, "Syntax error in INSERT INTO statement: ')' expected.");
        out += ")";
    } else if (isWord("SELECT")) {
        out += " " + selectBody(false, nullptr);
    } else {
        if (atName() && (toks_[at_ - 1].kind == Tok::Name || toks_[at_ - 1].kind == Tok::Bracketed))
            endOfStatement(kErrInsert, "Syntax error in INSERT INTO statement");
        fail(kErrInsert, "Syntax error in INSERT INTO statement near '" + peek().text + "': VALUES or SELECT expected.");
    }
    endOfStatement(kErrInsert, "Syntax error in INSERT INTO statement");
    st_.sqlite = out;
}

void Parser::update() {
    st_.kind = StatementKind::Update;
    st_.target = tableName(kErrUpdate, "UPDATE statement");
    noteTable(st_.target);
    if (isWord("INNER") || isWord("LEFT") || isWord("RIGHT") || isOp(","))
        fail(kErrNotSupported, "An UPDATE over a join is not supported; update one table at a time.");
    expectWord("SET", kErrUpdate, "Syntax error in UPDATE statement: SET expected.");
    std::string out = "UPDATE " + quoteName(st_.target) + " SET ";
    for (bool first = true;; first = false) {
        if (!first && !acceptOp(",")) break;
        if (!first) out += ", ";
        std::string column = name(kErrUpdate, "Syntax error in UPDATE statement: a field name is expected.");
        if (acceptOp(".") || acceptOp("!")) {
            if (upper(column) != upper(st_.target))
                fail(kErrUpdate, "Syntax error in UPDATE statement: '" + column + "' is not the table updated.");
            column = name(kErrUpdate, "Syntax error in UPDATE statement: a field name is expected.");
        }
        expectOp("=", kErrUpdate, "Syntax error in UPDATE statement: '=' expected.");
        out += quoteName(column) + " = " + expr().value();
    }
    if (acceptWord("WHERE")) out += " WHERE " + expr().sql;
    endOfStatement(kErrUpdate, "Syntax error in UPDATE statement");
    st_.sqlite = out;
}

void Parser::remove() {
    st_.kind = StatementKind::Delete;
    // DELETE [*] FROM t, or DELETE t.* FROM t
    std::string named;
    if (!acceptOp("*") && atName() && isOp(".", 1) && isOp("*", 2)) {
        named = take().text;
        at_ += 2;
    }
    expectWord("FROM", ado::kErrCommandText, "Syntax error in DELETE statement: FROM expected.");
    st_.target = tableName(ado::kErrCommandText, "DELETE statement");
    if (!named.empty() && upper(named) != upper(st_.target))
        fail(ado::kErrCommandText, "Syntax error in DELETE statement: '" + named + "' is not the table deleted from.");
    noteTable(st_.target);
    if (isWord("INNER") || isWord("LEFT") || isWord("RIGHT") || isOp(","))
        fail(kErrNotSupported, "A DELETE over a join is not supported; delete from one table at a time.");
    std::string out = "DELETE FROM " + quoteName(st_.target);
    if (acceptWord("WHERE")) out += " WHERE " + expr().sql;
    endOfStatement(ado::kErrCommandText, "Syntax error in DELETE statement");
    st_.sqlite = out;
}

// ------------------------------------------------------------ schema

// A type as Jet's DDL names it, with its synonyms folded.
std::string jetType(const std::string& typed) {
    static const std::map<std::string, std::string> types = {
        {"TEXT", "TEXT"},         {"CHAR", "TEXT"},         {"VARCHAR", "TEXT"},      {"CHARACTER", "TEXT"},
        {"STRING", "TEXT"},       {"ALPHANUMERIC", "TEXT"}, {"NCHAR", "TEXT"},        {"NVARCHAR", "TEXT"},
        {"MEMO", "MEMO"},         {"LONGTEXT", "MEMO"},     {"LONGCHAR", "MEMO"},     {"NOTE", "MEMO"},
        {"NTEXT", "MEMO"},        {"BYTE", "BYTE"},         {"TINYINT", "BYTE"},      {"INTEGER1", "BYTE"},
        {"SHORT", "SHORT"},       {"SMALLINT", "SHORT"},    {"INTEGER2", "SHORT"},    {"LONG", "LONG"},
        {"INT", "LONG"},          {"INTEGER", "LONG"},      {"INTEGER4", "LONG"},     {"SINGLE", "SINGLE"},
        {"REAL", "SINGLE"},       {"FLOAT4", "SINGLE"},     {"IEEESINGLE", "SINGLE"}, {"DOUBLE", "DOUBLE"},
        {"FLOAT", "DOUBLE"},      {"FLOAT8", "DOUBLE"},     {"IEEEDOUBLE", "DOUBLE"}, {"NUMBER", "DOUBLE"},
        {"CURRENCY", "CURRENCY"}, {"MONEY", "CURRENCY"},    {"DATETIME", "DATETIME"}, {"DATE", "DATETIME"},
        {"TIME", "DATETIME"},     {"TIMESTAMP", "DATETIME"}, {"YESNO", "YESNO"},      {"BIT", "YESNO"},
        {"LOGICAL", "YESNO"},     {"LOGICAL1", "YESNO"},    {"BOOLEAN", "YESNO"},     {"OLEOBJECT", "OLEOBJECT"},
        {"LONGBINARY", "OLEOBJECT"}, {"GENERAL", "OLEOBJECT"}, {"IMAGE", "OLEOBJECT"}, {"GUID", "GUID"},
        {"UNIQUEIDENTIFIER", "GUID"}, {"COUNTER", "COUNTER"}, {"AUTOINCREMENT", "COUNTER"}, {"IDENTITY", "COUNTER"},
    };
    auto it = types.find(upper(typed));
    return it == types.end() ? "" : it->second;
}

ColumnDecl Parser::columnDecl() {
    ColumnDecl c;
    if (!atName()) {
        if (peek().kind == Tok::Name)
            fail(kErrField, "Syntax error in field definition: '" + peek().text +
                                "' is a reserved word; put the field name in square brackets.");
        fail(kErrField, "Syntax error in field definition: a field name is expected.");
    }
    c.name = take().text;
    if (peek().kind != Tok::Name)
        fail(kErrField, "Syntax error in field definition: a type is expected after '" + c.name + "'.");
    std::string typed = take().text;
    c.type = jetType(typed);
    if (c.type.empty()) {
        if (atName())
            fail(kErrField, "Syntax error in field definition: '" + typed + " " + peek().text +
                                "'. A name with blanks must be put in square brackets.");
        fail(kErrField, "Syntax error in field definition: '" + typed + "' is not a data type.");
    }
    if (acceptOp("(")) {
        const Token& n = take();
        if (c.type != "TEXT" || n.kind != Tok::Number || n.text.find_first_not_of("0123456789") != std::string::npos)
            fail(kErrField, "Syntax error in field definition: only TEXT takes a size, a whole number.");
        c.size = n.text.size() > 3 ? 256 : std::stoi(n.text);
        if (c.size < 1 || c.size > 255) fail(kErrField, "The size of a TEXT field is from 1 to 255.");
        expectOp(")", kErrField, "Syntax error in field definition: ')' expected.");
    }
    while (true) {
        if (acceptWord("NOT")) {
            expectWord("NULL", kErrField, "Syntax error in field definition: NULL expected after NOT.");
            c.not_null = true;
        } else if (acceptWord("NULL")) {
        } else if (acceptWord("CONSTRAINT")) {
            name(kErrField, "Syntax error in CONSTRAINT clause: a name is expected.");
            expectWord("PRIMARY", kErrNotSupported, "Only a PRIMARY KEY constraint is supported.");
            expectWord("KEY", kErrField, "Syntax error in CONSTRAINT clause: KEY expected.");
            c.primary_key = true;
        } else if (acceptWord("PRIMARY")) {
            expectWord("KEY", kErrField, "Syntax error in field definition: KEY expected after PRIMARY.");
            c.primary_key = true;
        } else if (isWord("UNIQUE") || isWord("REFERENCES") || isWord("DEFAULT")) {
            fail(kErrNotSupported, upper(peek().text) + " in a field definition is not supported.");
        } else {
            break;
        }
    }
    return c;
}

void Parser::createTable() {
    st_.kind = StatementKind::CreateTable;
    if (!acceptWord("TABLE")) {
        if (isWord("INDEX") || isWord("UNIQUE") || isWord("VIEW") || isWord("PROCEDURE"))
            fail(kErrNotSupported, "CREATE " + upper(peek().text) + " is not supported.");
        fail(kErrCreate, "Syntax error in CREATE TABLE statement.");
    }
    st_.target = tableName(kErrCreate, "CREATE TABLE statement");
    if (!isOp("(")) {
        if (atName())
            fail(kErrCreate, "Syntax error in CREATE TABLE statement near '" + peek().text +
                                 "'. A name with blanks must be put in square brackets.");
        fail(kErrCreate, "Syntax error in CREATE TABLE statement: '(' expected after the table name.");
    }
    ++at_;
    if (isOp(")")) fail(kErrCreate, "Syntax error in CREATE TABLE statement: a table needs at least one field.");
    bool table_key = false;
    for (bool first = true;; first = false) {
        if (!first && !acceptOp(",")) break;
        if (isWord("CONSTRAINT") || isWord("PRIMARY")) {
            // CONSTRAINT name PRIMARY KEY (a, b)
            if (acceptWord("CONSTRAINT")) name(kErrCreate, "Syntax error in CONSTRAINT clause: a name is expected.");
            expectWord("PRIMARY", kErrNotSupported, "Only a PRIMARY KEY constraint is supported.");
            expectWord("KEY", kErrCreate, "Syntax error in CONSTRAINT clause: KEY expected.");
            expectOp("(", kErrCreate, "Syntax error in CONSTRAINT clause: '(' expected.");
            if (table_key) fail(kErrCreate, "A table has one primary key.");
            table_key = true;
            for (bool k = true;; k = false) {
                if (!k && !acceptOp(",")) break;
                std::string key = name(kErrCreate, "Syntax error in CONSTRAINT clause: a field name is expected.");
                bool found = false;
                for (ColumnDecl& c : st_.columns)
                    if (upper(c.name) == upper(key)) c.primary_key = found = true;
                if (!found) fail(kErrCreate, "The primary key names the field '" + key + "', which the table does not have.");
            }
            expectOp(")", kErrCreate, "Syntax error in CONSTRAINT clause: ')' expected.");
            continue;
        }
        ColumnDecl c = columnDecl();
        for (const ColumnDecl& other : st_.columns)
            if (upper(other.name) == upper(c.name)) fail(kErrFieldTwice, "Field '" + c.name + "' is defined more than once.");
        st_.columns.push_back(c);
    }
    expectOp(")", kErrCreate, "Syntax error in CREATE TABLE statement: ',' or ')' expected near '" + peek().text + "'.");
    if (st_.columns.empty()) fail(kErrCreate, "Syntax error in CREATE TABLE statement: a table needs at least one field.");
    int keyed = 0;
    for (const ColumnDecl& c : st_.columns) keyed += c.primary_key;
    if (keyed > 1 && !table_key) fail(kErrCreate, "A table has one primary key; name its fields in one CONSTRAINT clause.");
    endOfStatement(kErrCreate, "Syntax error in CREATE TABLE statement");
}

void Parser::dropTable() {
    st_.kind = StatementKind::DropTable;
    if (!acceptWord("TABLE")) {
        if (isWord("INDEX") || isWord("VIEW") || isWord("PROCEDURE"))
            fail(kErrNotSupported, "DROP " + upper(peek().text) + " is not supported.");
        fail(kErrDrop, "Syntax error in DROP TABLE or DROP INDEX.");
    }
    st_.target = tableName(kErrDrop, "DROP TABLE");
    st_.tables.push_back(st_.target);
    endOfStatement(kErrDrop, "Syntax error in DROP TABLE");
}

void Parser::alterTable() {
    st_.kind = StatementKind::AddColumn;
    expectWord("TABLE", kErrAlter, "Syntax error in ALTER TABLE statement.");
    st_.target = tableName(kErrAlter, "ALTER TABLE statement");
    st_.tables.push_back(st_.target);
    if (!acceptWord("ADD")) {
        if (isWord("DROP") || isWord("ALTER"))
            fail(kErrNotSupported, "ALTER TABLE ... " + upper(peek().text) + " is not supported; only ADD COLUMN is.");
        fail(kErrAlter, "Syntax error in ALTER TABLE statement near '" + peek().text + "'.");
    }
    if (isWord("CONSTRAINT") || isWord("PRIMARY"))
        fail(kErrNotSupported, "ALTER TABLE ... ADD CONSTRAINT is not supported; only ADD COLUMN is.");
    acceptWord("COLUMN");
    st_.columns.push_back(columnDecl());
    endOfStatement(kErrAlter, "Syntax error in ALTER TABLE statement");
}

// ------------------------------------------------------------ expressions
// From the loosest operator to the tightest, as Access binds them.

// `function` folding `terms` left to right: one call while they fit it,
// else the call's result leads the next call.
std::string runCall(const char* function, const std::vector<std::string>& terms) {
    std::string out = terms[0];
    for (size_t i = 1; i < terms.size();) {
        std::string call = std::string(function) + "(" + out;
        for (size_t k = 1; k < kRunArguments && i < terms.size(); ++k) call += ", " + terms[i++];
        out = call + ")";
    }
    return out;
}

Expr truthOf(std::string sql) {
    Expr e;
    e.sql = std::move(sql);
    e.truth = true;
    return e;
}

Expr Parser::expr() {
    Nested nested(*this);
    return impExpr();
}

Expr Parser::impExpr() {
    Expr e = eqvExpr();
    while (acceptWord("IMP")) {
        Expr r = eqvExpr();
        e = truthOf("(NOT (" + e.sql + ") OR (" + r.sql + "))");
    }
    return e;
}

Expr Parser::eqvExpr() {
    Expr e = xorExpr();
    while (acceptWord("EQV")) {
        Expr r = xorExpr();
        e = truthOf("((" + e.sql + ") <> 0) = ((" + r.sql + ") <> 0)");
    }
    return e;
}

Expr Parser::xorExpr() {
    Expr e = orExpr();
    while (acceptWord("XOR")) {
        Expr r = orExpr();
        e = truthOf("((" + e.sql + ") <> 0) <> ((" + r.sql + ") <> 0)");
    }
    return e;
}

Expr Parser::orExpr() {
    Expr e = andExpr();
    if (!isWord("OR")) return e;
    std::vector<std::string> items{e.sql};
    while (acceptWord("OR")) items.push_back(andExpr().sql);
    return truthOf(joined(items, 0, items.size(), " OR "));
}

Expr Parser::andExpr() {
    Expr e = notExpr();
    if (!isWord("AND")) return e;
    std::vector<std::string> items{e.sql};
    while (acceptWord("AND")) items.push_back(notExpr().sql);
    return truthOf(joined(items, 0, items.size(), " AND "));
}

// NOT NOT ... is counted, not nested: one NOT or two do what any number does.
Expr Parser::notExpr() {
    size_t nots = 0;
    while (acceptWord("NOT")) ++nots;
    if (nots == 0) return compare();
    Expr e = compare();
    return truthOf(nots % 2 ? "(NOT " + e.sql + ")" : "(NOT (NOT " + e.sql + "))");
}

// Text compares as Access compares it; a column brings that collation
// along, anything else is given it.
std::string collated(const Expr& l, const Expr& r) {
    return l.column || r.column || l.number || r.number ? l.value() : l.value() + " COLLATE ACCESSTEXT";
}

Expr Parser::compare() {
    Expr e = concat();
    while (true) {
        bool negate = false;
        if (isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1))) {
            ++at_;
            negate = true;
        }
        std::string op;
        const Token& t = peek();
        if (t.kind == Tok::Op && (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" ||
                                  t.text == ">=")) {
            op = take().text;
            Expr r = concat();
            e = truthOf("(" + collated(e, r) + " " + op + " " + r.value() + ")");
        } else if (acceptWord("LIKE")) {
            Expr r = concat();
            e = truthOf(std::string(negate ? "(NOT " : "(") + "jet_like(" + e.value() + ", " + r.value() + "))");
        } else if (acceptWord("BETWEEN")) {
            Expr low = concat();
            expectWord("AND", kErrExpression, "Syntax error in query expression: BETWEEN needs AND.");
            Expr high = concat();
            e = truthOf("(" + collated(e, low) + (negate ? " NOT" : "") + " BETWEEN " + low.value() + " AND " +
                        high.value() + ")");
        } else if (acceptWord("IN")) {
            expectOp("(", kErrExpression, "Syntax error in query expression: '(' expected after IN.");
            std::string list;
            if (isWord("SELECT")) {
                list = selectBody(false, nullptr);
            } else {
                for (bool first = true;; first = false) {
                    if (!first && !acceptOp(",")) break;
                    if (!first) list += ", ";
                    list += expr().value();
                }
            }
            expectOp(")", kErrExpression, "Syntax error in query expression: ')' expected after IN list.");
            std::string left = e.column ? e.value() : e.value() + " COLLATE ACCESSTEXT";
            e = truthOf("(" + left + (negate ? " NOT IN (" : " IN (") + list + "))");
        } else if (acceptWord("IS")) {
            bool is_not = acceptWord("NOT");
            expectWord("NULL", kErrExpression, "Syntax error in query expression: NULL expected after IS.");
            e = truthOf("(" + e.value() + (is_not ? " IS NOT NULL)" : " IS NULL)"));
        } else {
            if (negate) --at_;
            break;
        }
    }
    return e;
}

// a & b & c as one jet_concat of all of them.
Expr Parser::concat() {
    Expr e = additive();
    if (!isOp("&")) return e;
    std::vector<std::string> terms{e.value()};
    while (acceptOp("&")) terms.push_back(additive().value());
    Expr c;
    c.sql = runCall("jet_concat", terms);
    return c;
}

// A run of "+" and "-": numbers for certain as one SQLite sum; otherwise
// each run of "+" is one jet_add of its terms (which joins two texts, as
// "+" does in Access), a "-" closing the run.
Expr Parser::additive() {
    Expr e = modulo();
    if (!isOp("+") && !isOp("-")) return e;
    std::string sql = e.value();
    bool number = e.number, date = e.date, currency = e.currency, whole = e.whole;
    std::vector<std::string> adds;  // the terms of a run of "+" going on, after `sql`
    auto closeRun = [&] {
        if (adds.empty()) return;
        adds.insert(adds.begin(), sql);
        sql = runCall("jet_add", adds);
        adds.clear();
    };
    while (isOp("+") || isOp("-")) {
        bool plus = take().text == "+";
        Expr r = modulo();
        date = plus ? date != r.date : date && !r.date;
        currency = (currency && (r.currency || r.whole)) || (whole && r.currency);
        whole = whole && r.whole;
        if (number && r.number) {
            sql += (plus ? " + " : " - ") + r.value();
            continue;
        }
        if (number) sql = "(" + sql + ")";
        number = false;
        if (plus) {
            adds.push_back(r.value());
        } else {
            closeRun();
            sql = "(" + sql + " - " + r.value() + ")";
        }
    }
    closeRun();
    Expr out;
    out.sql = number ? "(" + sql + ")" : sql;
    out.number = number;
    out.date = date;
    out.currency = currency;
    out.whole = whole;
    return out;
}

Expr Parser::modulo() {
    Expr e = intDivide();
    while (acceptWord("MOD")) {
        Expr r = intDivide();
        Expr out;
        out.sql = "jet_mod(" + e.value() + ", " + r.value() + ")";
        e = out;
    }
    return e;
}

Expr Parser::intDivide() {
    Expr e = multiplicative();
    while (acceptOp("\\")) {
        Expr r = multiplicative();
        Expr out;
        out.sql = "jet_intdiv(" + e.value() + ", " + r.value() + ")";
        e = out;
    }
    return e;
}

// A run of "*" is one SQLite product; "/" always divides as reals in
// Access, and a zero divisor is an error, so it closes the product.
Expr Parser::multiplicative() {
    Expr e = unary();
    if (!isOp("*") && !isOp("/")) return e;
    std::string sql = e.value();
    bool number = e.number, product = false, currency = e.currency, whole = e.whole;
    while (isOp("*") || isOp("/")) {
        bool times = take().text == "*";
        Expr r = unary();
        number = number && r.number;
        currency = times && ((currency && (r.currency || r.whole)) || (whole && r.currency));
        whole = times && whole && r.whole;
        if (times) {
            sql += " * " + r.value();
            product = true;
        } else {
            sql = "jet_divide(" + (product ? "(" + sql + ")" : sql) + ", " + r.value() + ")";
            product = false;
        }
    }
    Expr out;
    out.sql = product ? "(" + sql + ")" : sql;
    out.number = number;
    out.currency = currency;
    out.whole = whole;
    return out;
}

// Signs are counted, not nested: "- - x" is "-(-x)", a number still.
Expr Parser::unary() {
    size_t minus = 0;
    while (isOp("-") || isOp("+"))
        if (take().text == "-") ++minus;
    Expr e = power();
    if (minus == 0) return e;
    Expr out;
    out.sql = minus % 2 ? "(- " + e.value() + ")" : "(- (- " + e.value() + "))";
    out.number = e.number;
    out.currency = e.currency;
    out.whole = e.whole;
    return out;
}

Expr Parser::power() {
    Expr e = primary();
    while (acceptOp("^")) {
        Expr r = isOp("-") || isOp("+") ? unary() : primary();
        Expr out;
        out.sql = "jet_power(" + e.value() + ", " + r.value() + ")";
        out.number = true;
        e = out;
    }
    return e;
}

Expr Parser::primary() {
    size_t start = at_;
    const Token& t = peek();
    Expr e;
    switch (t.kind) {
    case Tok::Number:
        e.sql = take().text;
        if (e.sql[0] == '.') e.sql = "0" + e.sql;
        e.number = true;
        e.whole = e.sql.find_first_not_of("0123456789") == std::string::npos;
        return e;
    case Tok::Text:
        e.sql = quoteText(take().text);
        return e;
    case Tok::Date: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", take().date);
        e.sql = buf;
        if (e.sql.find_first_of(".e") == std::string::npos) e.sql += ".0";
        e.date = true;
        return e;
    }
    case Tok::Op:
        if (t.text == "(") {
            ++at_;
            if (isWord("SELECT")) {
                e = subquery();
            } else {
                Expr inner = expr();
                e = inner;
                e.sql = "(" + inner.sql + ")";
                e.column = false;
            }
            expectOp(")", kErrExpression, "Syntax error in query expression '" + span(start) + "': ')' expected.");
            return e;
        }
        break;
    case Tok::Name: {
        std::string u = upper(t.text);
        // Access's constants for Yes/No fields: True, Yes and On are -1.
        if (u == "TRUE" || u == "YES" || u == "ON" || u == "FALSE" || u == "NO" || u == "OFF") {
            ++at_;
            e.sql = u == "TRUE" || u == "YES" || u == "ON" ? "-1" : "0";
            e.number = true;
            return e;
        }
        if (u == "NULL") {
            ++at_;
            e.sql = "NULL";
            return e;
        }
        if (u == "EXISTS") {
            ++at_;
            expectOp("(", kErrExpression, "Syntax error in query expression: '(' expected after EXISTS.");
            std::string sub = selectBody(false, nullptr);
            expectOp(")", kErrExpression, "Syntax error in query expression: ')' expected.");
            return truthOf("EXISTS (" + sub + ")");
        }
        if (isOp("(", 1)) return call(take());
        break;
    }
    default:
        break;
    }
    if (atName()) {
        // A field, or table.field: each part quoted as typed.
        std::string qualifier;
        e.field = take().text;
        e.sql = quoteName(e.field);
        std::string whole = e.field;  // as a parameter's name: "Forms!Dialog!Start"
        while (isOp(".") || isOp("!")) {
            if (isOp("*", 1)) break;
            whole += take().text;
            std::string part = name(kErrExpression, "Syntax error in query expression '" + span(start) + "'.");
            whole += part;
            e.qualified = e.field + "." + part;
            qualifier = e.field;
            e.field = part;
            e.sql += "." + quoteName(part);
        }
        if (parameter(whole, e)) return e;
        if (qualifiers_) qualifiers_->push_back(qualifier);
        e.column = true;
        uint8_t type = column_type_ ? column_type_(qualifier, e.field) : 0;
        e.date = type == jet::kDateTime;
        e.currency = type == jet::kCurrency;
        e.whole = type == jet::kByte || type == jet::kInteger || type == jet::kLong;
        return e;
    }
    if (t.kind == Tok::End) fail(kErrExpression, "Syntax error in query expression: an expression is expected at the end.");
    if (t.kind == Tok::Name)
        fail(kErrExpression, "Syntax error in query expression: '" + t.text + "' is a reserved word here; a name must be put in square brackets.");
    fail(kErrExpression, "Syntax error in query expression near '" + t.text + "'.");
}

Expr Parser::subquery() {
    Expr e;
    e.sql = "(" + selectBody(false, nullptr) + ")";
    return e;
}

Expr Parser::call(const Token& fn) {
    std::string u = upper(fn.text);
    size_t start = at_ - 1;
    ++at_;  // "("
    auto agg = aggregates().find(u);
    if (agg != aggregates().end()) {
        Expr e;
        ++aggregates_;
        if (u == "COUNT" && acceptOp("*")) {
            e.sql = "count(*)";
        } else {
            Expr arg = expr();
            bool kept = u == "MIN" || u == "MAX" || u == "FIRST" || u == "LAST";
            e.date = kept && arg.date;
            // A sum of Currency is a Currency, added up exactly.
            e.currency = (kept || u == "SUM") && arg.currency;
            e.sql = std::string(u == "SUM" && arg.currency ? "jet_sum_currency" : agg->second) + "(" + arg.value() + ")";
        }
        expectOp(")", kErrExpression, "Syntax error in query expression '" + span(start) + "': ')' expected.");
        if (pivot_cells_) e.sql += std::string(" FILTER (WHERE ") + kPivotCondition + ")";
        return e;
    }
    std::vector<Expr> args;
    if (!isOp(")")) {
        for (bool first = true;; first = false) {
            if (!first && !acceptOp(",")) break;
            args.push_back(expr());
        }
    }
    expectOp(")", kErrExpression, "Syntax error in query expression '" + span(start) + "': ')' expected.");
    Expr e;
    int n = int(args.size());
    if (u == "IIF") {
        if (n != 3) fail(kErrExpression, "Wrong number of arguments used with function in query expression '" + span(start) + "'.");
        e.sql = "(CASE WHEN " + args[0].sql + " THEN " + args[1].value() + " ELSE " + args[2].value() + " END)";
        e.date = args[1].date && args[2].date;
        e.currency = args[1].currency && args[2].currency;
        return e;
    }
    // Switch(condition, value, ...): the value of the first true condition;
    // Choose(n, value1, value2 ...): the nth value, n rounded. Null where none
    // applies.
    if (u == "SWITCH") {
        if (n < 2 || n % 2) fail(kErrExpression, "Wrong number of arguments used with function in query expression '" + span(start) + "'.");
        e.sql = "(CASE";
        e.date = true;
        for (int i = 0; i < n; i += 2) {
            e.sql += " WHEN " + args[size_t(i)].sql + " THEN " + args[size_t(i) + 1].value();
            e.date &= args[size_t(i) + 1].date;
        }
        e.sql += " END)";
        return e;
    }
    if (u == "CHOOSE") {
        if (n < 2) fail(kErrExpression, "Wrong number of arguments used with function in query expression '" + span(start) + "'.");
        e.sql = "(CASE jet_round(" + args[0].value() + ")";
        e.date = true;
        for (int i = 1; i < n; ++i) {
            e.sql += " WHEN " + std::to_string(i) + " THEN " + args[size_t(i)].value();
            e.date &= args[size_t(i)].date;
        }
        e.sql += " END)";
        return e;
    }
    if (u == "NZ") {
        // Without a default, a Null becomes the empty text in a query.
        if (n < 1 || n > 2) fail(kErrExpression, "Wrong number of arguments used with function in query expression '" + span(start) + "'.");
        e.sql = "coalesce(" + args[0].value() + ", " + (n == 2 ? args[1].value() : "''") + ")";
        e.date = args[0].date;
        e.currency = args[0].currency;
        return e;
    }
    auto f = functions().find(u);
    if (f == functions().end()) fail(kErrFunction, "Undefined function '" + fn.text + "' in expression.");
    if (n < f->second.min_args || n > f->second.max_args)
        fail(kErrExpression, "Wrong number of arguments used with function in query expression '" + span(start) + "'.");
    e.sql = std::string(f->second.sqlite) + "(";
    for (int i = 0; i < n; ++i) e.sql += (i ? ", " : "") + args[size_t(i)].value();
    // Format shows a value it knows to be a date as a date without a format.
    if (u == "FORMAT" && args[0].date) e.sql += n == 1 ? ", NULL, 1" : ", 1";
    e.sql += ")";
    e.date = f->second.date;
    e.currency = u == "CCUR";
    return e;
}

Parser::Declarations Parser::declarations() {
    for (bool first = true;; first = false) {
        if (!first && !acceptOp(",")) break;
        std::string parameter = name(kErrStatement, "Syntax error in PARAMETERS declaration: a name is expected.");
        if (peek().kind != Tok::Name) fail(kErrStatement, "Syntax error in PARAMETERS declaration: a type is expected.");
        declared_.emplace_back(parameter, upper(take().text));
        if (acceptOp("(")) {
            take();
            expectOp(")", kErrStatement, "Syntax error in PARAMETERS declaration: ')' expected.");
        }
    }
    endOfStatement(kErrStatement, "Syntax error in PARAMETERS declaration");
    return declared_;
}

// Whether `name` is a parameter, then `e` its value as a literal.
bool Parser::parameter(const std::string& name, Expr& e) const {
    auto named = [&](const auto& p) { return upper(p.first) == upper(name); };
    auto declared = std::find_if(declared_.begin(), declared_.end(), named);
    auto given = std::find_if(values_.begin(), values_.end(), named);
    if (given == values_.end()) {
        if (declared == declared_.end()) return false;
        fail(-2147217904, "No value given for one or more required parameters.");
    }
    const std::string type = declared == declared_.end() ? "" : declared->second;
    const std::string& value = given->second;
    auto mismatch = [&] { fail(3464, "Data type mismatch: '" + value + "' is no value of the parameter [" + name + "]."); };
    e = Expr();
    char* end = nullptr;
    double number = std::strtod(value.c_str(), &end);
    bool numeric = !value.empty() && !std::isspace(static_cast<unsigned char>(value[0])) && *end == '\0';
    double date = 0;
    static const char* const kNumbers[] = {"BYTE", "SHORT", "LONG", "CURRENCY", "IEEESINGLE", "IEEEDOUBLE",
                                           "SINGLE", "DOUBLE", "INTEGER", "DECIMAL"};
    bool number_type = std::any_of(std::begin(kNumbers), std::end(kNumbers), [&](const char* t) { return type == t; });
    char buf[40];
    if (type == "BIT" || type == "YESNO") {
        std::string v = upper(value);
        if (v == "TRUE" || v == "YES" || v == "ON" || v == "-1") e.sql = "-1";
        else if (v == "FALSE" || v == "NO" || v == "OFF" || v == "0") e.sql = "0";
        else mismatch();
    } else if (number_type || (type.empty() && numeric)) {
        if (!numeric) mismatch();
        std::snprintf(buf, sizeof buf, "%.17g", number);
        e.sql = buf;
        e.number = true;
    } else if (type == "DATETIME" || (type.empty() && parseDateText(value, date))) {
        if (!parseDateText(value, date)) mismatch();
        std::snprintf(buf, sizeof buf, "%.17g", date);
        e.sql = std::string(buf) + (std::strpbrk(buf, ".e") ? "" : ".0");
        e.date = true;
    } else {
        e.sql = quoteText(value);
    }
    return true;
}

}  // namespace

Statement translate(const std::string& access_sql, const ColumnType& column_type, const ParameterValues& parameters) {
    // PARAMETERS ...; ends at its semicolon, outside brackets and quotes.
    size_t lead = access_sql.find_first_not_of(" \t\r\n");
    if (lead == std::string::npos || upper(access_sql.substr(lead, 11)) != "PARAMETERS " ) {
        Parser parser(access_sql, column_type, parameters);
        return parser.statement();
    }
    size_t semicolon = lead;
    for (char close = 0; semicolon < access_sql.size(); ++semicolon) {
        char c = access_sql[semicolon];
        if (close) close = c == close ? 0 : close;
        else if (c == '[') close = ']';
        else if (c == '"' || c == '\'') close = c;
        else if (c == ';') break;
    }
    if (semicolon == access_sql.size())
        fail(kErrStatement, "Syntax error in PARAMETERS declaration: ';' expected after it.");
    const std::string declarations = access_sql.substr(lead + 11, semicolon - lead - 11);
    const std::string body = access_sql.substr(semicolon + 1);
    Parser parser(body, column_type, parameters);
    parser.declare(Parser(declarations, column_type, parameters).declarations());
    return parser.statement();
}

void pivotColumns(Statement& st, const std::vector<std::optional<std::string>>* found) {
    const Crosstab& x = *st.crosstab;
    std::vector<std::pair<std::string, std::string>> columns = x.listed;
    if (found) {
        columns.clear();
        for (const std::optional<std::string>& h : *found)
            columns.emplace_back(h ? *h : "<>", h ? "(" + x.key + " = " + quoteText(*h) + " COLLATE ACCESSTEXT)"
                                                  : "(" + x.pivot + " IS NULL)");
    }
    // A heading's cell is Null where no row of the group has that heading,
    // a count included, as Access leaves such a cell empty.
    std::string out = x.head;
    for (const auto& [heading, condition] : columns) {
        std::string cell = x.cell;
        for (size_t at = 0; (at = cell.find(kPivotCondition, at)) != std::string::npos; at += condition.size())
            cell.replace(at, std::strlen(kPivotCondition), condition);
        out += ", (CASE WHEN count(*) FILTER (WHERE " + condition + ") THEN " + cell + " END) AS " + quoteName(heading);
        st.result_types.push_back(x.cell_date ? jet::kDateTime : 0);
    }
    st.sqlite = out + x.rest;
}

bool readsWholeTable(const Statement& st) {
    if (st.tables.size() != 1) return false;
    std::string given = st.sqlite;
    while (!given.empty() && (std::isspace(static_cast<unsigned char>(given.back())) || given.back() == ';'))
        given.pop_back();
    size_t start = given.find_first_not_of(" \t\r\n");
    return start != std::string::npos && upper(given.substr(start)) == upper("SELECT * FROM " + quoteName(st.tables[0]));
}

}  // namespace ado::sql
