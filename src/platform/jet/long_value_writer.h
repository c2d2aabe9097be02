// SPDX-License-Identifier: Apache-2.0
// Storing the data of Memo and OLE values (the layouts long_value.h reads).
//
// A value of at most 64 bytes that fits in what is left of its row is kept
// inline; one that fits in a single row of a page goes onto an LVAL page as
// one row; a longer one is cut into a chain of rows, each starting with the
// pointer to the next. LVAL pages are marked in the column's own usage maps
// where the table has them.
#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"
#include "format.h"
#include "pager.h"
#include "table_def.h"

namespace jet {

class LongValueWriter {
public:
    LongValueWriter(Pager& pager, const Format& format, const TableDef& table);

    // The head to put in the row (with the data following it when inline).
    std::vector<uint8_t> store(const Column& column, const std::vector<uint8_t>& data, size_t inline_room);

    // Deletes the LVAL rows a stored head points to.
    void release(Bytes head);

private:
    Pager& pager_;
    const Format& format_;
    const TableDef& table_;
};

}  // namespace jet
