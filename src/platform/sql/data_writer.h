// SPDX-License-Identifier: Apache-2.0
// Where the access layer's changes to a table's rows begin: SQL statements
// (the virtual tables) and recordsets (and so the grid and the add-row
// form) take their writer here, so one check keeps them all off Jet's own
// tables. Those rows are the catalog and its permissions; only the engine's
// CREATE and DROP code changes them, through jet::TableWriter directly.
#pragma once

#include <memory>
#include <string>

#include "jet/database.h"
#include "jet/table_writer.h"

namespace ado {

// A writer for the rows of `table`; raises 3251 for a system table, and
// what jet::TableWriter raises.
std::unique_ptr<jet::TableWriter> dataWriter(jet::Database& db, const std::string& table);

}  // namespace ado
