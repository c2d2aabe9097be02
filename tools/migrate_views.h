// SPDX-License-Identifier: Apache-2.0
// The saved select and union queries of an Access file as views of the
// target, where every construct of their SQL has an exact translation:
//
//   SELECT, DISTINCT, FROM, joins, WHERE, GROUP BY, HAVING, UNION [ALL],
//   subqueries, AS, AND, OR, NOT, IN, BETWEEN, IS NULL, = <> < > <= >=,
//   + - *, Count Sum Avg Min Max, numbers, True/False/Yes/No, #m/d/y#
//   dates, text in quotes outside comparisons; ORDER BY but in SQL Server
//
// Everything else is refused with its reason: parameters, form
// references, other functions, & (Null joins as "" in Access), / (always
// real division in Access), LIKE (other wildcards), TOP, DISTINCTROW over
// a join, text compared with a literal (Access compares without regard to
// case), and queries reading a query or table that does not move. Names
// take the spelling of the table, field or query they name.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"
#include "migrate_dialect.h"

struct View {
    std::string name;
    std::string create;  // CREATE VIEW ..., empty when skipped
    std::string skipped;  // why not, when skipped
};

// In an order where each view follows the views it reads.
std::vector<View> planViews(const jet::Database& db, Target target, const std::vector<std::string>& moved_tables);
