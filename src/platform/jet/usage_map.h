// SPDX-License-Identifier: Apache-2.0
// Usage maps: which pages belong to a table (or index, or long values).
//
// A map lives in a row of a data page. Its first byte is the kind:
//   0: inline bitmap. A 4-byte first page, then one bit per page.
//   1: reference map. 4-byte numbers of map pages (type 0x05), each a bitmap
//      from offset 4 covering (page size - 4) * 8 pages, the k-th map page
//      starting at page k * that count.
// Bits are read from the low bit of each byte up.
#pragma once

#include <cstdint>
#include <vector>

#include "format.h"
#include "pager.h"

namespace jet {

// The pages a map marks, in increasing order. `row_pointer` is the 4-byte
// pointer to the map's row as a table definition stores it.
std::vector<uint32_t> readUsageMap(const Pager& pager, const Format& format, uint32_t row_pointer);

// The highest page the map marks (readUsageMap's last), or 0 when it marks
// none; reads the bitmap from its end, so a writer appending rows does not
// pay for every page the table already has.
uint32_t lastUsagePage(const Pager& pager, const Format& format, uint32_t row_pointer);

}  // namespace jet
