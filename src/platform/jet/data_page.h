// SPDX-License-Identifier: Apache-2.0
// Data pages and the rows on them.
//
// A data page starts with its type (0x01), its free space and the page of
// the table that owns it (or "LVAL" for long-value pages), then a row count
// and one 16-bit offset per row. Rows are stored from the end of the page
// backwards: row n runs from its offset to the offset of row n - 1 (row 0 to
// the end of the page). The top bits of an offset flag a deleted row and a
// row that moved: such a row holds only a pointer (row byte, 3-byte page) to
// where its data now lives; the moved data is itself flagged deleted so that
// a scan skips it.
#pragma once

#include <cstdint>
#include <optional>

#include "bytes.h"
#include "format.h"
#include "pager.h"

namespace jet {

constexpr uint8_t kDataPage = 0x01;
constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowMoved = 0x4000;
constexpr uint16_t kRowOffsetMask = 0x1FFF;

struct RowId {
    uint32_t page = 0;
    uint16_t row = 0;
    bool operator==(const RowId&) const = default;

    // The 4-byte pointer form used in rows, indexes and long values.
    static RowId fromPointer(uint32_t p) { return {p >> 8, uint16_t(p & 0xFF)}; }
};

class DataPage {
public:
    // Checks the page type; throws if `page` is not a data page.
    DataPage(Bytes page, const Format& format);

    uint32_t owner() const { return page_.u32(4); }
    uint16_t rowCount() const { return rows_; }
    uint16_t flags(uint16_t row) const { return offset(row) & ~kRowOffsetMask; }
    // The bytes of row `row`, flags stripped from its offset.
    Bytes row(uint16_t row) const;
    // Where row `row` starts within the page.
    size_t rowStart(uint16_t row) const { return row_start(row); }

private:
    uint16_t offset(uint16_t row) const { return page_.u16(first_offset_ + 2u * row); }
    size_t row_start(uint16_t row) const { return size_t(this->row(row).data() - page_.data()); }

    Bytes page_;
    size_t first_offset_;
    uint16_t rows_;
};

// The data of the row at `id`, following moved-row pointers; nothing when
// the row is deleted.
std::optional<Bytes> readRow(const Pager& pager, const Format& format, RowId id);

}  // namespace jet
