// SPDX-License-Identifier: Apache-2.0
// Writing rows onto data pages.
//
// A new row goes below the lowest row of the last page its owner has, when
// that page has room for it and its offset (and fewer than 255 rows), else
// onto a new page marked in the owner's maps. A page's free space field is
// kept as the gap between its offset table and its lowest row. Deleted rows
// keep their space until the file is compacted, as Access does.
#pragma once

#include <cstdint>
#include <vector>

#include "data_page.h"
#include "format.h"
#include "pager.h"

namespace jet {

// Long-value pages name "LVAL" where table pages name their table.
constexpr uint32_t kLvalOwner = 0x4C41564C;

struct PageOwner {
    uint32_t owner;      // the TDEF page, or kLvalOwner
    uint32_t owned_map;  // row pointers of the owner's usage maps; 0: none
    uint32_t free_map;
};

// Adds a row; `flags` (kRowDeleted for the data of a moved row) go into
// its offset. Within a transaction.
RowId addRow(Pager& pager, const Format& format, const PageOwner& owner, const std::vector<uint8_t>& row,
             uint16_t flags = 0);

// The size of the slot of row `id`.
size_t slotSize(const Pager& pager, const Format& format, RowId id);

// Overwrites the slot of row `id`; `row` must be exactly its size.
void overwriteRow(Pager& pager, const Format& format, RowId id, const std::vector<uint8_t>& row);

// Replaces the flag bits of row `id`'s offset.
void setRowFlags(Pager& pager, const Format& format, RowId id, uint16_t flags);

}  // namespace jet
