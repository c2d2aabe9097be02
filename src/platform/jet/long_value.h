// SPDX-License-Identifier: Apache-2.0
// Long values: the data of Memo and OLE columns.
//
// In the row such a column holds a 12-byte head: a 32-bit length whose top
// bits say where the data is, a 4-byte row pointer and 4 unused bytes.
//   0x80000000  the data follows the head, in the row itself;
//   0x40000000  the data is the whole of one row on an LVAL page;
//   neither     the data runs over a chain of LVAL rows, each starting with
//               the pointer to the next row (0 at the end).
#pragma once

#include "bytes.h"
#include "format.h"
#include "pager.h"
#include "value.h"

namespace jet {

// The head's length word and its flags.
constexpr uint32_t kLongValueInline = 0x80000000;
constexpr uint32_t kLongValueSingleRow = 0x40000000;
constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;
constexpr size_t kLongValueHeadSize = 12;

Binary readLongValue(const Pager& pager, const Format& format, Bytes head);

}  // namespace jet
