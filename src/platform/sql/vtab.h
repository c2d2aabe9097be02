// SPDX-License-Identifier: Apache-2.0
// The Jet tables as SQLite virtual tables (module "jet").
//
// A virtual table declares each column with the Jet kind's name as its type
// (so sqlite3_column_decltype names the kind of a column a result takes
// unchanged), text columns with the Access text collation. Values meet
// SQLite as the translator's contract says (Boolean -1/0, Currency and
// dates as reals). The rowid is the engine's row key, page << 8 | slot.
//
// Writes go through jet::TableWriter inside one engine transaction per
// SQLite transaction: xBegin begins it, xSync commits it (where a failure
// can still be reported and rolled back), xRollback drops it. So a
// statement's change lands whole or not at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ado/types.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/text_key.h"

struct sqlite3;
struct sqlite3_value;

namespace ado::sql {

// What the virtual tables of one SQLite connection share: the database, the
// engine's error behind the last failed call, so callers can raise it with
// its own number rather than SQLite's text, and the rows read so far, the
// measure of a statement's progress.
struct VtabContext {
    jet::Database* db = nullptr;
    jet::TextSortOrder text_order = jet::TextSortOrder::General;  // of the collation
    std::optional<jet::Error> error;
    uint64_t rows_read = 0;
};

// Makes module "jet" known to `db`; `context` outlives the connection.
void registerModule(sqlite3* db, VtabContext& context);

// The declared type of a column of Jet kind `type`, and back: the kind a
// declared type names, or 0 for none of them.
const char* declaredType(uint8_t type);
uint8_t kindOfDeclared(const char* declared);

// `value` (as SQLite holds it) as `column` stores it; throws jet::Error when
// it does not convert or does not fit.
jet::Value toColumnValue(const jet::Column& column, sqlite3_value* value);

// A value SQLite produced, read back as a value of Jet kind `type` (0: the
// natural one: whole numbers as Long where they fit, reals as Double).
jet::Value fromSqlite(sqlite3_value* value, uint8_t type);

}  // namespace ado::sql
