// SPDX-License-Identifier: Apache-2.0
// A database server reached through an ODBC driver, as a backend of the
// access interface: SQL Server through FreeTDS, or any source whose driver
// takes the same connection keys.
//
// A table opened by name is read whole at once, since static, keyset and
// dynamic cursors all take every key when opened; it comes in the order of
// its primary key, where it has one. A row's key stands for its primary key
// values, so it names the same row in every source over the table however
// rows are added, deleted or rekeyed meanwhile; a row that is gone, or
// whose key was changed elsewhere, is not found by its old key. Without a
// primary key, a row's key is its position and holds for one source only.
//
// Changes are one statement each, in a transaction of its own, with every
// value bound as a parameter, never spliced into the text. An update finds
// its row by the primary key values as read, and must change exactly that
// one row; a table without a primary key refuses updates (inserts still
// work). Any other statement is passed to the server as it stands and its
// rows are read-only.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "ado/provider.h"
#include "odbc/statement.h"

namespace ado {

class KeyBook;

class OdbcProvider : public Provider {
public:
    // Connects with a driver connection string, giving the login
    // `login_timeout` seconds.
    OdbcProvider(const std::string& driver_connection_string, unsigned long login_timeout);

    std::vector<TableInfo> tables() override;
    std::unique_ptr<RowSource> openTable(const std::string& name) override;
    std::unique_ptr<RowSource> query(const std::string& statement) override;
    long execute(const std::string& statement) override;
    // From another thread only, not a signal handler: it takes a lock.
    void cancel() override { link_.Cancel(); }
    void setProgress(Progress progress) override { progress_ = std::move(progress); }

private:
    odbc::Link link_;
    Progress progress_;
    // Per quoted table name: the row keys given to its primary key values.
    std::map<std::string, std::shared_ptr<KeyBook>> books_;
};

// Lets connection strings name SQLOLEDB, which opens a server through ODBC
// (server_connection_string.h says what it reads).
void RegisterServerProvider();

}  // namespace ado
