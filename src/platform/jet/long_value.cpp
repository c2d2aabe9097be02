// SPDX-License-Identifier: Apache-2.0
#include "long_value.h"

#include <unordered_set>

#include "data_page.h"

namespace jet {

namespace {

Bytes lvalRow(const Pager& pager, const Format& f, uint32_t pointer) {
    RowId id = RowId::fromPointer(pointer);
    DataPage page(pager.page(id.page), f);
    return page.row(id.row);
}

}  // namespace

Binary readLongValue(const Pager& pager, const Format& f, Bytes head) {
    if (head.size() < kLongValueHeadSize) corrupt("a memo or OLE value is shorter than its header");
    uint32_t word = head.u32(0);
    size_t length = word & kLongValueLengthMask;
    if (word & kLongValueInline) {
        Bytes data = head.slice(kLongValueHeadSize, length);
        return Binary(data.data(), data.data() + data.size());
    }
    if (length > size_t(pager.pageCount()) * pager.pageSize())
        corrupt("a memo or OLE value is longer than the file");
    if (word & kLongValueSingleRow) {
        Bytes data = lvalRow(pager, f, head.u32(4)).slice(0, length);
        return Binary(data.data(), data.data() + data.size());
    }
    Binary out;
    out.reserve(length);
    uint32_t pointer = head.u32(4);
    std::unordered_set<uint32_t> visited;
    while (out.size() < length) {
        if (pointer == 0) corrupt("a memo or OLE value ends before its length");
        if (!visited.insert(pointer).second) corrupt("the pages of a memo or OLE value form a loop");
        Bytes row = lvalRow(pager, f, pointer);
        Bytes part = row.from(4);
        size_t take = std::min(part.size(), length - out.size());
        out.insert(out.end(), part.data(), part.data() + take);
        pointer = row.u32(0);
    }
    return out;
}

}  // namespace jet
