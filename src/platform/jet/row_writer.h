// SPDX-License-Identifier: Apache-2.0
// Turns one value per column into the bytes of one row: the inverse of
// RowReader, in the layout its header describes.
//
// Invariants of a row this writes:
//   - the column count is the table's max_columns (so it counts deleted
//     columns), and the null mask has a bit for every column number below it;
//   - fixed columns sit at their fixed_offset after the count, so a deleted
//     column's bytes stay where they were (zero); a Null fixed column is
//     zeros, and a Boolean has no bytes, only its bit;
//   - every variable slot up to the table's var_columns has an offset: a
//     deleted or Null column's slot is empty, data go in var_index order;
//   - Jet 3: the 8-bit offsets get one jump entry for each 256-byte boundary
//     of the row, the last being a 0xFF filler where no offset passes it;
//   - the row is never longer than maxRowSize(); else kErrRecordTooLarge.
//
// Text: Jet 4 stores the compressed form where the column allows it
// (compressedText), the text is at most 1024 characters and the form is
// shorter; fixed-length text is always plain and padded with spaces to the
// column's size. Jet 3 stores the database's code page.
//
// Memo and OLE data go to a LongValueSink, which decides where they live
// and returns the 12-byte head for the row (long_value.h):
//   bytes 0-3  length, with 0x80000000 set when the data follow inline,
//              0x40000000 when they are one LVAL row, neither for a chain;
//   bytes 4-7  row pointer (page << 8 | row) of the LVAL row, 0 inline;
//   bytes 8-11 zero;
// followed, inline only, by the data.
//
// Values must be of their column's kind (value_parse.h isOfColumnKind);
// Text must fit the column (checkValue). Calculated columns (ACE) are
// written only for Text results, wrapped as the reader unwraps them; others
// must be Null. Callers check Required themselves (the properties say it).
#pragma once

#include <cstdint>
#include <vector>

#include "format.h"
#include "table_def.h"
#include "text.h"
#include "value.h"

namespace jet {

class LongValueSink {
public:
    virtual ~LongValueSink();
    // The head for `data` of `column`. `inline_room` is how many bytes may
    // follow the head in the row without the row passing maxRowSize(); a
    // sink that keeps data inline returns head + data, at most 12 +
    // inline_room bytes.
    virtual std::vector<uint8_t> store(const Column& column, const std::vector<uint8_t>& data,
                                       size_t inline_room) = 0;
};

// The head of `data` kept inline, the data after it.
std::vector<uint8_t> inlineLongValue(const std::vector<uint8_t>& data);

// The largest row a data page takes: Jet 4 4060, Jet 3 2012 bytes.
size_t maxRowSize(const Format& format);

// One value per column of `table`, in the order of the table's columns.
std::vector<uint8_t> encodeRow(const Format& format, const TableDef& table, const TextCodec& codec,
                               const std::vector<Value>& values, LongValueSink& sink);

}  // namespace jet
