// SPDX-License-Identifier: Apache-2.0
// Statements that change a Jet database's schema: CREATE TABLE, DROP
// TABLE, ALTER TABLE ... ADD COLUMN and SELECT ... INTO, carried out by the
// engine's table operations rather than by SQLite.
//
// Each statement is one engine transaction: it lands whole or, on any
// error, is rolled back and the file is left as it was. The SQL session
// forgets the tables a statement changed, so the next statement declares
// them afresh from the engine's catalog.
#pragma once

#include "jet/database.h"
#include "sql/dialect.h"
#include "sql/session.h"

namespace ado {

// Runs `st`, one of the schema kinds (CreateTable, DropTable, AddColumn,
// SelectInto). Returns the rows written: the rows a SELECT ... INTO copied,
// 0 for the others. Raises the engine's errors with Jet's numbers; a DROP
// of a table that does not exist raises 3376.
long executeSchema(jet::Database& db, sql::Session& session, const sql::Statement& st);

}  // namespace ado
