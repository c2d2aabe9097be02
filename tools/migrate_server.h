// SPDX-License-Identifier: Apache-2.0
// pellinordb-sql --migrate: the statements of migrate_script run on a
// server (PostgreSQL through libpq, its rows by COPY; SQL Server through
// the server source's ODBC driver), reached with the server source's
// connection string: "Data Source=host,port;Initial Catalog=db;User
// ID=me;Password=..." (migrate_link).
//
// Each table's rows go in one transaction, so a failure leaves the tables
// moved before it whole and the failing one empty; the error names the
// table, the row (or the rows of the batch, where the server does not say
// which) and the tables already moved. With
// single_transaction the whole move is one: a failure leaves nothing. A progress
// line on standard error counts each table's rows and their rate.
#pragma once

#include <string>

#include "migrate_script.h"

// Returns the exit status; raises the server's error, with where it came.
int migrateToServer(const std::string& file, const std::string& password, const MigrationOptions& options,
                    const std::string& connection);
