// SPDX-License-Identifier: Apache-2.0
// The server end of pellinordb-sql --migrate: statements and transactions
// on one connection, and where the server has one, its bulk load.
//
// PostgreSQL is reached through libpq, for COPY: no statement of rows
// through its ODBC driver loads as fast. The connection string is the
// server source's all the same, read one way for libpq: "Data Source"
// host[,port] -> host, port; "Initial Catalog" -> dbname; "User ID" ->
// user; "Password" (or "PWD") -> password; "Connect Timeout" ->
// connect_timeout; client_encoding is always UTF8. The values go to libpq
// as they are, apart, so none can add a setting. SQL Server goes through
// its ODBC driver.
#pragma once

#include <memory>
#include <string>

#include "ado/connection_string.h"

class ServerLink {
public:
    virtual ~ServerLink() = default;
    // Each raises the server's error as an ado::Error.
    virtual void run(const std::string& sql) = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // `head` is "COPY t (c, ...) FROM STDIN", `data` its rows in COPY's
    // text form; only where copies() holds.
    virtual bool copies() const { return false; }
    virtual void copy(const std::string& head, const std::string& data);
    // After a failed copy: the line of `data` the server refused (from 1),
    // or 0 where it did not say.
    virtual long failedLine() const { return 0; }
};

std::unique_ptr<ServerLink> postgresLink(const ado::ConnectionString& source);
std::unique_ptr<ServerLink> odbcLink(const ado::ConnectionString& source, const std::string& driver);
