// SPDX-License-Identifier: Apache-2.0
// The key an index entry stores for a row.
//
// Per key column: a flag byte (0x7F ascending, 0x80 descending; a Null is
// 0x00 ascending, 0xFF descending, with no data), then the value in a form
// whose unsigned byte order is the value order: whole numbers and Currency
// big-endian with the sign bit flipped; Single, Double and Date/Time
// big-endian with the sign bit flipped, or every bit flipped when negative.
// Descending columns store their data with every bit flipped. Yes/No is
// never Null: 00 for Yes, FF for No (swapped when descending). A GUID is
// its 16 bytes, Data1..3 big-endian, as a binary key: segments of 8
// bytes, each followed by 09 when more follow, the last zero-padded and
// followed by its length (descending flips all but the 09s); an empty
// value is the flag byte alone. Text and Memo follow their column's sort
// order (text_key.h).
//
// Keys of other kinds (text under another sort order, Decimal,
// attachments) are refused: a key encoded wrongly would leave an index
// that disagrees with its table.
#pragma once

#include <cstdint>
#include <vector>

#include "table_def.h"
#include "value.h"

namespace jet {

// True when every key column of `index` is of a kind encodeKey covers.
bool keyKindsCovered(const TableDef& table, const RealIndex& index);

// Throws kErrUnsupported for a kind it does not cover.
std::vector<uint8_t> encodeKey(const TableDef& table, const RealIndex& index, const std::vector<Value>& row);

// The key of the first values.size() key columns, given in key-column
// order: the bytes every full key with those values starts with.
std::vector<uint8_t> encodeKeyPrefix(const TableDef& table, const RealIndex& index, const std::vector<Value>& values);

// True when every key column of `row` is Null.
bool allKeyColumnsNull(const TableDef& table, const RealIndex& index, const std::vector<Value>& row);

}  // namespace jet
