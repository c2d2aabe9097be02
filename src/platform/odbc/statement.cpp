// SPDX-License-Identifier: Apache-2.0
#include "odbc/statement.h"

#include <sqlucode.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "ado/error.h"
#include "ado/value_text.h"
#include "jet/table_def.h"
#include "jet/text.h"
#include "jet/value_parse.h"

namespace ado::odbc {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide characters are UTF-16");

std::u16string wide(const std::string& utf8) { return jet::toUtf16(utf8); }
SQLWCHAR* wptr(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

std::string narrow(const SQLWCHAR* text, size_t units) {
    return jet::decodeUtf16(jet::Bytes(reinterpret_cast<const uint8_t*>(text), units * sizeof(SQLWCHAR)));
}

}  // namespace

long ErrorNumberFor(const std::string& state) {
    auto starts = [&](const char* prefix) { return state.rfind(prefix, 0) == 0; };
    if (starts("28")) return kErrLoginFailed;
    if (starts("42S02")) return kErrNoSuchObject;
    if (starts("42") || starts("37")) return kErrCommandText;
    if (starts("23")) return kErrIntegrity;
    if (starts("22")) return kErrCannotConvert;
    if (starts("HY008") || starts("57014")) return kErrCancelled;
    return kErrProviderFailed;
}

namespace {

// Every diagnostic of the failed call, one line each.
[[noreturn]] void raise(SQLSMALLINT type, SQLHANDLE handle, const char* doing) {
    std::string description, first_state;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLWCHAR text[2048];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, text, SQLSMALLINT(std::size(text)), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        std::string s = narrow(state, 5);
        if (first_state.empty()) first_state = s;
        if (!description.empty()) description += "\n";
        description += "[" + s + "] " + narrow(text, std::min<size_t>(size_t(length), std::size(text) - 1));
    }
    if (description.empty()) description = std::string("The driver failed to ") + doing + " and gave no reason.";
    throw Error(ErrorNumberFor(first_state), description);
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* doing) {
    if (!SQL_SUCCEEDED(rc)) raise(type, handle, doing);
}

// SQLGetData in pieces until the whole value is read. `unit` is the size of
// the terminator the driver writes after each piece (2 for wide text, 0
// for binary). Returns false for Null.
bool readLong(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT c_type, size_t unit, std::string& out) {
    out.clear();
    char buffer[8192];
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(stmt, col, c_type, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) return true;
        check(rc, SQL_HANDLE_STMT, stmt, "read a value");
        if (indicator == SQL_NULL_DATA) return false;
        size_t room = sizeof buffer - unit;
        room -= room % (unit ? unit : 1);
        bool whole = indicator != SQL_NO_TOTAL && size_t(indicator) <= room;
        out.append(buffer, whole ? size_t(indicator) : room);
        if (whole) return true;
    }
}

template <typename T>
bool readFixed(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT c_type, T& value) {
    SQLLEN indicator = 0;
    check(SQLGetData(stmt, col, c_type, &value, sizeof value, &indicator), SQL_HANDLE_STMT, stmt, "read a value");
    return indicator != SQL_NULL_DATA;
}

Value parsed(uint8_t jet_type, const std::string& text, uint8_t scale = 0) {
    jet::Column c;
    c.type = jet_type;
    c.scale = scale;
    return jet::parseValue(c, text, '.');
}

// Exact where the engine's Decimal holds it, else the digits as text.
Value decimalOf(const std::string& text) {
    size_t point = text.find('.');
    size_t scale = point == std::string::npos ? 0 : text.size() - point - 1;
    if (scale > 28) return text;
    try {
        return parsed(jet::kNumeric, text, uint8_t(scale));
    } catch (const Error&) {
        return text;
    }
}

Value dateOf(const SQL_TIMESTAMP_STRUCT& t, bool time_only) {
    char text[64];
    if (time_only) std::snprintf(text, sizeof text, "%02u:%02u:%02u", t.hour, t.minute, t.second);
    else
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", int(t.year), t.month, t.day, t.hour,
                      t.minute, t.second);
    try {
        return parsed(jet::kDateTime, text);
    } catch (const Error&) {
        return std::string(text);  // outside the years a Date/Time holds
    }
}

Value readValue(SQLHSTMT stmt, SQLUSMALLINT col, const Column& c) {
    switch (c.sql_type) {
    case SQL_BIT: {
        unsigned char v = 0;
        return readFixed(stmt, col, SQL_C_BIT, v) ? Value(v != 0) : Value();
    }
    case SQL_TINYINT: {
        unsigned char v = 0;
        return readFixed(stmt, col, SQL_C_UTINYINT, v) ? Value(uint8_t(v)) : Value();
    }
    case SQL_SMALLINT: {
        SQLSMALLINT v = 0;
        return readFixed(stmt, col, SQL_C_SSHORT, v) ? Value(int16_t(v)) : Value();
    }
    case SQL_INTEGER: {
        SQLINTEGER v = 0;
        return readFixed(stmt, col, SQL_C_SLONG, v) ? Value(int32_t(v)) : Value();
    }
    case SQL_BIGINT: {
        SQLBIGINT v = 0;
        return readFixed(stmt, col, SQL_C_SBIGINT, v) ? Value(int64_t(v)) : Value();
    }
    case SQL_REAL: {
        SQLREAL v = 0;
        return readFixed(stmt, col, SQL_C_FLOAT, v) ? Value(float(v)) : Value();
    }
    case SQL_FLOAT:
    case SQL_DOUBLE: {
        SQLDOUBLE v = 0;
        return readFixed(stmt, col, SQL_C_DOUBLE, v) ? Value(double(v)) : Value();
    }
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_TIME: {
        SQL_TIMESTAMP_STRUCT v{};
        if (c.sql_type == SQL_TYPE_TIME) {
            SQL_TIME_STRUCT t{};
            if (!readFixed(stmt, col, SQL_C_TYPE_TIME, t)) return Value();
            v.hour = t.hour, v.minute = t.minute, v.second = t.second;
            return dateOf(v, true);
        }
        return readFixed(stmt, col, SQL_C_TYPE_TIMESTAMP, v) ? dateOf(v, false) : Value();
    }
    case SQL_GUID: {
        SQLGUID v{};
        if (!readFixed(stmt, col, SQL_C_GUID, v)) return Value();
        // Data1..3 in the machine's order, which is the engine's on x86.
        jet::Guid g;
        std::memcpy(g.bytes.data(), &v, 16);
        return g;
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
        std::string bytes;
        if (!readLong(stmt, col, SQL_C_BINARY, 0, bytes)) return Value();
        return jet::Binary(bytes.begin(), bytes.end());
    }
    default: {
        std::string units;
        if (!readLong(stmt, col, SQL_C_WCHAR, sizeof(SQLWCHAR), units)) return Value();
        std::string text = jet::decodeUtf16(jet::Bytes(reinterpret_cast<const uint8_t*>(units.data()), units.size()));
        if (c.sql_type == SQL_DECIMAL || c.sql_type == SQL_NUMERIC) return decimalOf(text);
        return text;
    }
    }
}

// The bound form of one parameter; lives until the statement has run.
struct Bound {
    SQLSMALLINT c_type = SQL_C_CHAR;
    std::string bytes;
    SQLBIGINT whole = 0;
    SQLDOUBLE real = 0;
    unsigned char bit = 0;
    SQLLEN indicator = 0;
    void* data() {
        switch (c_type) {
        case SQL_C_SBIGINT: return &whole;
        case SQL_C_DOUBLE: return &real;
        case SQL_C_BIT: return &bit;
        default: return bytes.data();
        }
    }
};

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

void setText(Bound& b, const std::string& utf8) {
    std::u16string w = wide(utf8);
    b.c_type = SQL_C_WCHAR;
    b.bytes.assign(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(char16_t));
    b.indicator = SQLLEN(b.bytes.size());
}

void bindValue(Bound& b, const Parameter& p) {
    std::visit(Overloaded{
                   [&](std::monostate) { b.indicator = SQL_NULL_DATA; },
                   [&](bool v) { b.c_type = SQL_C_BIT, b.bit = v ? 1 : 0; },
                   [&](uint8_t v) { b.c_type = SQL_C_SBIGINT, b.whole = v; },
                   [&](int16_t v) { b.c_type = SQL_C_SBIGINT, b.whole = v; },
                   [&](int32_t v) { b.c_type = SQL_C_SBIGINT, b.whole = v; },
                   [&](int64_t v) { b.c_type = SQL_C_SBIGINT, b.whole = v; },
                   [&](float v) { b.c_type = SQL_C_DOUBLE, b.real = v; },
                   [&](double v) { b.c_type = SQL_C_DOUBLE, b.real = v; },
                   [&](jet::DateTime v) {
                       std::string iso = toIsoText(v);
                       if (p.column.sql_type == SQL_TYPE_DATE) iso = iso.substr(0, 10);
                       else if (p.column.sql_type == SQL_TYPE_TIME) iso = iso.substr(11);
                       setText(b, iso);
                   },
                   [&](const jet::Binary& v) {
                       b.c_type = SQL_C_BINARY;
                       b.bytes.assign(v.begin(), v.end());
                       b.indicator = SQLLEN(b.bytes.size());
                   },
                   // Currency, Decimal, GUID and text go as text the server converts exactly.
                   [&](const auto&) { setText(b, toText(p.value, '.')); },
               },
               p.value.storage());
}

}  // namespace

Link::Link(const std::string& connection_string, unsigned long login_timeout) {
    check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_HANDLE_ENV, env_, "start");
    try {
        check(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              SQL_HANDLE_ENV, env_, "start");
        check(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), SQL_HANDLE_ENV, env_, "start");
        SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(login_timeout)), 0);
        std::u16string text = wide(connection_string);
        check(SQLDriverConnectW(dbc_, nullptr, wptr(text), SQLSMALLINT(text.size()), nullptr, 0, nullptr,
                                SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, dbc_, "connect");
        connected_ = true;
        SQLWCHAR quote[8] = {};
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)) && length > 0) {
            std::string q = narrow(quote, size_t(length) / sizeof(SQLWCHAR));
            if (q != " ") quote_ = q;
        }
    } catch (...) {
        if (dbc_) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        throw;
    }
}

Link::~Link() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void Link::Begin() {
    check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, dbc_, "begin a transaction");
}

void Link::Commit() {
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT);
    if (!SQL_SUCCEEDED(rc)) {
        try {
            raise(SQL_HANDLE_DBC, dbc_, "commit");
        } catch (...) {
            Rollback();
            throw;
        }
    }
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

void Link::Rollback() {
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

std::string Link::QuoteName(const std::string& name) const {
    std::string out = quote_;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, quote_.size(), quote_) == 0) out += quote_;
        out += name[i];
    }
    return out + quote_;
}

void Link::Cancel() {
    std::lock_guard<std::mutex> hold(statements_mutex_);
    for (SQLHSTMT stmt : statements_) SQLCancel(stmt);
}

Statement::Statement(Link& link) : link_(link) {
    check(SQLAllocHandle(SQL_HANDLE_STMT, link.handle(), &stmt_), SQL_HANDLE_DBC, link.handle(), "start a statement");
    std::lock_guard<std::mutex> hold(link_.statements_mutex_);
    link_.statements_.insert(stmt_);
}

Statement::~Statement() {
    {
        std::lock_guard<std::mutex> hold(link_.statements_mutex_);
        link_.statements_.erase(stmt_);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::Run(const std::string& sql, const std::vector<Parameter>& parameters) {
    std::u16string text = wide(sql);
    if (parameters.empty()) {
        SQLRETURN rc = SQLExecDirectW(stmt_, wptr(text), SQLINTEGER(text.size()));
        if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, stmt_, "run the statement");
        return;
    }
    check(SQLPrepareW(stmt_, wptr(text), SQLINTEGER(text.size())), SQL_HANDLE_STMT, stmt_, "prepare the statement");
    std::vector<Bound> bound(parameters.size());
    for (size_t i = 0; i < parameters.size(); ++i) {
        const Parameter& p = parameters[i];
        Bound& b = bound[i];
        bindValue(b, p);
        // Text and binary are sized by the value, so the server never
        // sees it cut; other kinds by the column they go into.
        SQLULEN size = p.column.size;
        DataType kind = FieldType(p.column.sql_type);
        bool sized_by_value = kind == adVarWChar || kind == adLongVarWChar || kind == adVarBinary || kind == adLongVarBinary;
        if (sized_by_value && b.indicator != SQL_NULL_DATA)
            size = b.c_type == SQL_C_WCHAR ? b.bytes.size() / sizeof(SQLWCHAR) : b.bytes.size();
        if (size == 0) size = sized_by_value ? 1 : 38;
        check(SQLBindParameter(stmt_, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, b.c_type, p.column.sql_type, size,
                               p.column.digits, b.data(), SQLLEN(b.bytes.size()), &b.indicator),
              SQL_HANDLE_STMT, stmt_, "take a value");
    }
    SQLRETURN rc = SQLExecute(stmt_);
    if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, stmt_, "run the statement");
    SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
}

void Statement::Tables(const std::string& type) {
    std::u16string t = wide(type);
    check(SQLTablesW(stmt_, nullptr, 0, nullptr, 0, nullptr, 0, wptr(t), SQLSMALLINT(t.size())), SQL_HANDLE_STMT,
          stmt_, "list the tables");
}

void Statement::PrimaryKeys(const std::string& table) {
    std::u16string t = wide(table);
    check(SQLPrimaryKeysW(stmt_, nullptr, 0, nullptr, 0, wptr(t), SQLSMALLINT(t.size())), SQL_HANDLE_STMT, stmt_,
          "read the primary key");
}

std::vector<Column> Statement::Columns() const {
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(stmt_, &count), SQL_HANDLE_STMT, stmt_, "describe the result");
    std::vector<Column> out;
    out.resize(size_t(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLWCHAR name[512];
        SQLSMALLINT length = 0, nullable = 0;
        Column& c = out[size_t(i)];
        check(SQLDescribeColW(stmt_, SQLUSMALLINT(i + 1), name, SQLSMALLINT(std::size(name)), &length, &c.sql_type,
                              &c.size, &c.digits, &nullable),
              SQL_HANDLE_STMT, stmt_, "describe the result");
        c.name = narrow(name, std::min<size_t>(size_t(length), std::size(name) - 1));
    }
    return out;
}

bool Statement::Fetch(const std::vector<Column>& columns, std::vector<Value>& row) {
    SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) return false;
    check(rc, SQL_HANDLE_STMT, stmt_, "read a row");
    row.resize(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) row[i] = readValue(stmt_, SQLUSMALLINT(i + 1), columns[i]);
    return true;
}

long Statement::RowCount() const {
    SQLLEN count = -1;
    check(SQLRowCount(stmt_, &count), SQL_HANDLE_STMT, stmt_, "count the rows changed");
    return long(count);
}

DataType FieldType(SQLSMALLINT t) {
    switch (t) {
    case SQL_BIT: return adBoolean;
    case SQL_TINYINT: return adUnsignedTinyInt;
    case SQL_SMALLINT: return adSmallInt;
    case SQL_INTEGER: return adInteger;
    case SQL_BIGINT: return adBigInt;
    case SQL_REAL: return adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: return adDouble;
    case SQL_DECIMAL:
    case SQL_NUMERIC: return adNumeric;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP: return adDate;
    case SQL_GUID: return adGUID;
    case SQL_BINARY:
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: return adLongVarBinary;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR: return adLongVarWChar;
    default: return adVarWChar;
    }
}

}  // namespace ado::odbc
