// SPDX-License-Identifier: Apache-2.0
// How much of a table one load or bunch places in the grid, and what a
// value looks like there.
#pragma once

#include <string>

#include "ado/recordset.h"

// Cells placed in one load: the record with running number n (from 1) is
// placed only while n <= kCellBudget / F - 1, F being the field count.
constexpr double kCellBudget = 330000;

inline bool WithinBudget(long n, long field_count) { return n <= kCellBudget / field_count - 1; }

// Records one bunch holds.
long RecordsPerBunch(long field_count);

// The marker a non-empty long binary value shows instead of its bytes.
inline constexpr const char* kPictureMarker = "Picture (DbUneditable)";

// Null and empty values leave the cell empty.
std::string CellText(const ado::Field& field, char decimal_separator);
