// SPDX-License-Identifier: Apache-2.0
// The schema of an Access file as rows for pellinordb-sql --schema: for each
// user table in catalog order, its fields (by column number), its indexes
// and the relationships in which it holds the foreign key, one row each:
//
//   Table   Item          Name  Type                  Size     Columns  References  Options
//   Orders  field         Qty   Integer               2
//   Orders  field         Note  Text                  50
//   Orders  index         PK    primary key                    ID                   unique
//   Orders  relationship  R1    one-to-many                    CustID   Customers (ID)  enforced
//
// Size counts characters for Text, bytes for the fixed-length kinds, and is
// empty for Memo, OLE Object and attachments. Foreign-key indexes are left
// out: the relationship rows say the same.
// Read straight from the file's catalog, table definitions and
// relationships.
#pragma once

#include <string>
#include <vector>

#include "ado/types.h"
#include "jet/database.h"

struct SchemaListing {
    std::vector<std::string> heading;
    std::vector<std::vector<ado::Value>> rows;
};

// `table` empty: every user table. Otherwise that table alone, with the
// relationships on either side of it; raises 3078 when there is none.
SchemaListing listSchema(const jet::Database& db, const std::string& table);
