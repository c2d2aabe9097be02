// SPDX-License-Identifier: Apache-2.0
#include "data_page.h"

namespace jet {

DataPage::DataPage(Bytes page, const Format& f)
    : page_(page), first_offset_(f.data_row_count_offset + 2), rows_(page.u16(f.data_row_count_offset)) {
    if (page.u8(0) != kDataPage) corrupt("a row points into a page that is not a data page");
    if (first_offset_ + 2u * rows_ > page.size()) corrupt("a data page declares more rows than it can hold");
}

Bytes DataPage::row(uint16_t row) const {
    if (row >= rows_) corrupt("a row number lies past the rows of its page");
    size_t start = offset(row) & kRowOffsetMask;
    size_t end = row == 0 ? page_.size() : offset(uint16_t(row - 1)) & kRowOffsetMask;
    if (start < first_offset_ + 2u * rows_ || start > end) corrupt("the offsets of the rows on a data page are out of order");
    return page_.slice(start, end - start);
}

std::optional<Bytes> readRow(const Pager& pager, const Format& f, RowId id) {
    // A moved row points straight at its data; Jet never chains moves more
    // than a step or two, so a longer chain is taken as damage.
    for (uint32_t hops = 0; hops <= 4; ++hops) {
        DataPage page(pager.page(id.page), f);
        uint16_t flags = page.flags(id.row);
        if ((flags & kRowDeleted) && hops == 0) return std::nullopt;
        Bytes row = page.row(id.row);
        if (!(flags & kRowMoved)) return row;
        if (row.size() < 4) corrupt("a moved row has no valid pointer");
        id = RowId{row.u24(1), row.u8(0)};
    }
    corrupt("moved rows point at one another in a loop");
}

}  // namespace jet
