// SPDX-License-Identifier: Apache-2.0
// The ODBC calls of the server backend, behind handles that free
// themselves. Text crosses as UTF-16 through the driver manager's wide
// calls, so no code page stands between the program and the server.
//
// Every failed call raises an ado::Error whose number is ADO's for that kind
// of failure (read from the SQLSTATE) and whose description is the
// driver's own message.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ado/types.h"

namespace ado::odbc {

// A result column, or the column a parameter is bound for.
struct Column {
    std::string name;
    SQLSMALLINT sql_type = SQL_VARCHAR;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
};

struct Parameter {
    Value value;
    Column column;  // what the value is stored into
};

// ADO's error number for a failure of SQLSTATE `state`.
long ErrorNumberFor(const std::string& state);

// One connection to a data source, with its own environment.
class Link {
public:
    // Connects with a driver connection string; never prompts, and gives
    // up after `login_timeout` seconds (0: when the driver does).
    Link(const std::string& connection_string, unsigned long login_timeout);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    SQLHDBC handle() const { return dbc_; }
    // A transaction over the next statements, ended by Commit or Rollback;
    // outside one, each statement commits by itself.
    void Begin();
    void Commit();
    void Rollback();
    // `name` as one identifier, in the driver's quotes, quotes doubled.
    std::string QuoteName(const std::string& name) const;
    // Asks the statements running on this link to stop, from another
    // thread: each fails with 3712.
    void Cancel();

private:
    friend class Statement;
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
    std::string quote_ = "\"";
    std::mutex statements_mutex_;  // a statement is not freed while Cancel reaches it
    std::set<SQLHSTMT> statements_;
};

class Statement {
public:
    explicit Statement(Link& link);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs `sql`; each "?" in it stands for the next of `parameters`.
    void Run(const std::string& sql, const std::vector<Parameter>& parameters = {});
    // The catalog functions: tables of one type (TABLE_NAME is column 3,
    // TABLE_TYPE column 4), and a table's primary key (COLUMN_NAME is
    // column 4, KEY_SEQ column 5).
    void Tables(const std::string& type);
    void PrimaryKeys(const std::string& table);

    // The result's columns; none for a statement that returns no rows.
    std::vector<Column> Columns() const;
    // The next row of the result, each value as `columns` describe it;
    // false past the last.
    bool Fetch(const std::vector<Column>& columns, std::vector<Value>& row);
    // Rows the statement changed; -1 where the driver cannot tell.
    long RowCount() const;

private:
    Link& link_;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// ADO's type code for an ODBC SQL type.
DataType FieldType(SQLSMALLINT sql_type);

}  // namespace ado::odbc
