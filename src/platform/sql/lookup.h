// SPDX-License-Identifier: Apache-2.0
// Answering a virtual table's constraints through one of the table's
// indexes: which index to use, at what cost, and which rows it finds.
//
// A lookup takes equality constraints on the leading key columns of an
// index and, where given, a lower and/or upper bound on the next one. It
// never decides a row: it finds a superset of the rows that can satisfy the
// constraints (bounds are widened to the stored kind, never narrowed), and
// SQLite checks every row it hands back again. So results are exactly a
// full scan's, in the same (storage) order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/text_key.h"

struct sqlite3_value;

namespace ado::sql {

// One constraint SQLite offers: the table column (position in the
// definition), its operator (SQLITE_INDEX_CONSTRAINT_*), and whether the
// comparison it makes can be answered by the key encoding at all (text
// under a collation the keys do not follow cannot).
// The operator of "jet_like(column, pattern)", Access's LIKE, as the
// virtual tables offer it: a pattern with a fixed start is a range of keys.
inline constexpr unsigned char kLikeConstraint = 150;  // SQLITE_INDEX_CONSTRAINT_FUNCTION

struct Offered {
    int column = -1;
    unsigned char op = 0;
    bool usable = false;
};

struct LookupPlan {
    size_t real_index = 0;
    size_t equal_columns = 0;  // leading key columns given by equality
    bool low = false;          // a lower bound (> or >=) on the next key column
    bool high = false;         // an upper bound (< or <=) on it
    bool like = false;         // else a LIKE pattern on it
    // The offered constraint behind each argument, in argument order:
    // the equalities in key order, then the lower, then the upper bound,
    // or the pattern.
    std::vector<int> constraints;
    double cost = 0;
    double rows = 0;
};

// The cheapest lookup the offered constraints allow, or nothing.
std::optional<LookupPlan> planLookup(const jet::TableDef& table, const std::vector<Offered>& offered,
                                     jet::TextSortOrder collation);

// The plan as SQLite carries it between planning and running (idxStr).
std::string planText(const LookupPlan& plan);
LookupPlan planOf(const std::string& text);

// The rows the lookup finds for the constraints' values `args` (as many as
// the plan has constraints), in storage order; nothing when the values
// leave no row that can match. nullopt where a value cannot be turned into
// keys of the column's kind: the caller then scans.
std::optional<std::vector<jet::RowId>> lookupRows(const jet::Database& db, const jet::TableDef& table,
                                                  const LookupPlan& plan, sqlite3_value** args);

// An index that gives the rows in the order an ORDER BY asks: its leading
// key columns are the ORDER BY's, each in the index's direction (or every
// one against it, read backwards); their keys sort as SQLite compares
// (text in the collation's order) and Nulls as SQLite sorts them (first
// ascending, last descending, as Jet's keys have them); and it lists every
// row, so not one that ignores Nulls. `order_by`: (column position,
// descending) per term.
struct OrderPlan {
    size_t real_index = 0;
    bool backwards = false;
};
std::optional<OrderPlan> planOrder(const jet::TableDef& table, const std::vector<std::pair<int, bool>>& order_by,
                                   jet::TextSortOrder collation);
std::string planText(const OrderPlan& plan);
OrderPlan orderPlanOf(const std::string& text);

// Every row of the table, in the plan's order.
std::vector<jet::RowId> orderedRows(const jet::Database& db, const jet::TableDef& table, const OrderPlan& plan);

// True when comparisons on `column` can go through its index keys.
bool lookupKind(const jet::Column& column);

}  // namespace ado::sql
