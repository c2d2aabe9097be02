// SPDX-License-Identifier: Apache-2.0
// The saved queries of an Access file, rebuilt as the Access SQL they were
// saved from.
//
// Access keeps a query not as text but as rows of MSysQueries, one per part,
// all carrying the query's catalog Id: its kind, flags (DISTINCT,
// DISTINCTROW, TOP n, a UNION without ALL), parameters, tables with their
// aliases, joins, output fields, WHERE, GROUP BY, HAVING and ORDER BY. A
// join row joins the part of the FROM that holds its left table with the
// part that holds its right one, so the joins nest as Access built them.
// A UNION keeps its two SELECTs as text; a crosstab marks its value, row
// heading and pivot fields.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"

namespace ado::sql {

// The kinds MSysQueries names.
enum class QueryKind {
    Select = 1, MakeTable = 2, Append = 3, Update = 4, Delete = 5,
    Crosstab = 6, DataDefinition = 7, PassThrough = 8, Union = 9
};

struct SavedQuery {
    std::string name;
    QueryKind kind = QueryKind::Select;
    std::string parameters;  // "PARAMETERS [name] Type, ...;" and a line break, or empty
    std::string sql;         // the statement, as Access shows it in SQL view after them
};

// Every saved query of `db` in catalog order, hidden ones (form and report
// sources, "~sq_...") left out. Raises kErrCorrupt where MSysQueries lacks
// one of its columns.
std::vector<SavedQuery> savedQueries(const jet::Database& db);

// The catalog entry of the saved query `name` (case-insensitive), or null.
const jet::CatalogEntry* findSavedQuery(const jet::Database& db, const std::string& name);

SavedQuery readSavedQuery(const jet::Database& db, const jet::CatalogEntry& query);

}  // namespace ado::sql
