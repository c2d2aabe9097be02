// SPDX-License-Identifier: Apache-2.0
#include "long_value_writer.h"

#include <cstring>

#include "data_page_writer.h"
#include "long_value.h"

namespace jet {

namespace {

constexpr size_t kMaxInline = 64;

size_t maxRowData(const Format& f) { return f.page_size - (f.data_row_count_offset + 2) - 2 - 4; }

std::vector<uint8_t> head(uint32_t word, uint32_t pointer) {
    std::vector<uint8_t> h(kLongValueHeadSize, 0);
    std::memcpy(h.data(), &word, 4);
    std::memcpy(h.data() + 4, &pointer, 4);
    return h;
}

uint32_t pointerOf(RowId id) { return id.page << 8 | id.row; }

}  // namespace

LongValueWriter::LongValueWriter(Pager& pager, const Format& format, const TableDef& table)
    : pager_(pager), format_(format), table_(table) {}

std::vector<uint8_t> LongValueWriter::store(const Column& column, const std::vector<uint8_t>& data,
                                            size_t inline_room) {
    if (data.size() > kLongValueLengthMask) throw Error(kErrIo, "A value is too large to store.");
    uint32_t length = uint32_t(data.size());
    if (data.size() <= kMaxInline && kLongValueHeadSize + data.size() <= inline_room) {
        std::vector<uint8_t> h = head(length | kLongValueInline, 0);
        h.insert(h.end(), data.begin(), data.end());
        return h;
    }
    PageOwner owner{kLvalOwner, 0, 0};
    for (const ColumnMaps& m : table_.column_maps)
        if (m.column_number == column.number) owner = {kLvalOwner, m.owned_pages, m.free_pages};

    size_t room = maxRowData(format_);
    if (data.size() <= room) {
        RowId id = addRow(pager_, format_, owner, data);
        return head(length | kLongValueSingleRow, pointerOf(id));
    }
    // Written from the last piece back, so that each row knows its successor.
    std::vector<size_t> starts;
    for (size_t at = 0; at < data.size(); at += room - 4) starts.push_back(at);
    uint32_t next = 0;
    for (size_t i = starts.size(); i-- > 0;) {
        size_t end = std::min(data.size(), starts[i] + room - 4);
        std::vector<uint8_t> row(4 + end - starts[i]);
        std::memcpy(row.data(), &next, 4);
        std::memcpy(row.data() + 4, data.data() + starts[i], end - starts[i]);
        next = pointerOf(addRow(pager_, format_, owner, row));
    }
    return head(length, next);
}

void LongValueWriter::release(Bytes h) {
    if (h.size() < kLongValueHeadSize) corrupt("a memo or OLE value is shorter than its header");
    uint32_t word = h.u32(0);
    if (word & kLongValueInline) return;
    uint32_t pointer = h.u32(4);
    for (uint32_t hops = 0; pointer != 0; ++hops) {
        if (hops > pager_.pageCount()) corrupt("the pages of a memo or OLE value form a loop");
        RowId id = RowId::fromPointer(pointer);
        DataPage page(pager_.page(id.page), format_);
        uint32_t next = (word & kLongValueSingleRow) ? 0 : page.row(id.row).u32(0);
        setRowFlags(pager_, format_, id, kRowDeleted | kRowMoved);
        pointer = next;
    }
}

}  // namespace jet
