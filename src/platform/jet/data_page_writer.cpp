// SPDX-License-Identifier: Apache-2.0
#include "data_page_writer.h"

#include <cstring>

#include "usage_map.h"
#include "usage_map_writer.h"

namespace jet {

namespace {

constexpr size_t kMaxRowsPerPage = 255;

void put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

size_t offsetTable(const Format& f) { return f.data_row_count_offset + 2; }

// The lowest byte used by a row, or the page end when it has none.
size_t lowestRow(Bytes page, const Format& f) {
    uint16_t rows = page.u16(f.data_row_count_offset);
    size_t lowest = page.size();
    for (uint16_t r = 0; r < rows; ++r)
        lowest = std::min<size_t>(lowest, page.u16(offsetTable(f) + 2u * r) & kRowOffsetMask);
    return lowest;
}

bool hasRoom(Bytes page, const Format& f, uint32_t owner, size_t n) {
    if (page.u8(0) != kDataPage || page.u32(4) != owner) return false;
    uint16_t rows = page.u16(f.data_row_count_offset);
    if (rows >= kMaxRowsPerPage) return false;
    size_t table_end = offsetTable(f) + 2u * (rows + 1);
    size_t lowest = lowestRow(page, f);
    return lowest >= table_end && lowest - table_end >= n;
}

uint32_t newDataPage(Pager& pager, const Format& f, const PageOwner& o) {
    uint32_t number = allocatePage(pager, f);
    uint8_t* p = pager.modify(number);
    p[0] = kDataPage;
    p[1] = 0x01;
    put16(p + 2, uint16_t(pager.pageSize() - offsetTable(f)));
    put32(p + 4, o.owner);
    if (o.owned_map) markPage(pager, f, o.owned_map, number, true);
    if (o.free_map) markPage(pager, f, o.free_map, number, true);
    return number;
}

}  // namespace

RowId addRow(Pager& pager, const Format& f, const PageOwner& o, const std::vector<uint8_t>& row, uint16_t flags) {
    if (row.size() + offsetTable(f) + 2 > pager.pageSize()) throw Error(kErrIo, "A row is larger than a page.");
    uint32_t number = 0;
    if (o.owned_map) {
        uint32_t last = lastUsagePage(pager, f, o.owned_map);
        if (last != 0 && hasRoom(pager.page(last), f, o.owner, row.size())) number = last;
    }
    if (number == 0) number = newDataPage(pager, f, o);

    uint8_t* p = pager.modify(number);
    Bytes page(p, pager.pageSize());
    uint16_t rows = page.u16(f.data_row_count_offset);
    size_t start = lowestRow(page, f) - row.size();
    std::memcpy(p + start, row.data(), row.size());
    put16(p + offsetTable(f) + 2u * rows, uint16_t(start | flags));
    put16(p + f.data_row_count_offset, uint16_t(rows + 1));
    put16(p + 2, uint16_t(start - (offsetTable(f) + 2u * (rows + 1))));
    return RowId{number, rows};
}

size_t slotSize(const Pager& pager, const Format& f, RowId id) {
    return DataPage(pager.page(id.page), f).row(id.row).size();
}

void overwriteRow(Pager& pager, const Format& f, RowId id, const std::vector<uint8_t>& row) {
    DataPage page(pager.page(id.page), f);
    if (page.row(id.row).size() != row.size()) throw Error(kErrIo, "A row was overwritten with one of another size.");
    std::memcpy(pager.modify(id.page) + page.rowStart(id.row), row.data(), row.size());
}

void setRowFlags(Pager& pager, const Format& f, RowId id, uint16_t flags) {
    DataPage page(pager.page(id.page), f);
    if (id.row >= page.rowCount()) corrupt("a row number lies past the rows of its page");
    uint8_t* p = pager.modify(id.page) + offsetTable(f) + 2u * id.row;
    uint16_t offset;
    std::memcpy(&offset, p, 2);
    put16(p, uint16_t((offset & kRowOffsetMask) | flags));
}

}  // namespace jet
