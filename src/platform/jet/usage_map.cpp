// SPDX-License-Identifier: Apache-2.0
#include "usage_map.h"

#include <algorithm>

#include "data_page.h"

namespace jet {

namespace {

constexpr uint8_t kInlineMap = 0x00;
constexpr uint8_t kReferenceMap = 0x01;
constexpr uint8_t kMapPage = 0x05;

void addBits(Bytes bitmap, uint64_t first_page, uint32_t page_count, std::vector<uint32_t>& pages) {
    for (size_t i = 0; i < bitmap.size(); ++i) {
        uint8_t byte = bitmap.data()[i];
        for (int bit = 0; byte != 0 && bit < 8; ++bit, byte >>= 1) {
            if (!(byte & 1)) continue;
            uint64_t page = first_page + i * 8 + bit;
            if (page >= page_count) return;  // bits past the file's end mean nothing
            pages.push_back(uint32_t(page));
        }
    }
}

// The highest page `bitmap` marks below `page_count`, or 0.
uint32_t lastBit(Bytes bitmap, uint64_t first_page, uint32_t page_count) {
    if (first_page >= page_count) return 0;
    size_t bytes = std::min<uint64_t>(bitmap.size(), (page_count - first_page + 7) / 8);
    for (size_t i = bytes; i-- > 0;) {
        uint8_t byte = bitmap.data()[i];
        for (int bit = 7; byte != 0 && bit >= 0; --bit) {
            uint64_t page = first_page + i * 8 + bit;
            if (byte >> bit & 1 && page < page_count) return uint32_t(page);
        }
    }
    return 0;
}

Bytes mapPageBits(const Pager& pager, uint32_t map_page) {
    Bytes p = pager.page(map_page);
    if (p.u8(0) != kMapPage) corrupt("a usage map refers to a page that is not a map page");
    return p.from(4);
}

Bytes mapRow(const Pager& pager, const Format& f, uint32_t row_pointer) {
    std::optional<Bytes> map = readRow(pager, f, RowId::fromPointer(row_pointer));
    if (!map || map->empty()) corrupt("a usage map is missing");
    return *map;
}

}  // namespace

uint32_t lastUsagePage(const Pager& pager, const Format& f, uint32_t row_pointer) {
    Bytes map = mapRow(pager, f, row_pointer);
    switch (map.u8(0)) {
    case kInlineMap:
        return lastBit(map.from(5), map.u32(1), pager.pageCount());
    case kReferenceMap: {
        uint64_t per_page = uint64_t(pager.pageSize() - 4) * 8;
        for (size_t k = (map.size() - 1) / 4; k-- > 0;) {
            uint32_t map_page = map.u32(1 + 4 * k);
            if (map_page == 0) continue;
            if (uint32_t page = lastBit(mapPageBits(pager, map_page), k * per_page, pager.pageCount())) return page;
        }
        return 0;
    }
    default:
        corrupt("a usage map is of an unknown kind");
    }
}

std::vector<uint32_t> readUsageMap(const Pager& pager, const Format& f, uint32_t row_pointer) {
    Bytes map = mapRow(pager, f, row_pointer);
    std::vector<uint32_t> pages;
    switch (map.u8(0)) {
    case kInlineMap:
        addBits(map.from(5), map.u32(1), pager.pageCount(), pages);
        break;
    case kReferenceMap: {
        uint64_t per_page = uint64_t(pager.pageSize() - 4) * 8;
        for (size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
            uint32_t map_page = map.u32(1 + 4 * k);
            if (map_page == 0) continue;
            addBits(mapPageBits(pager, map_page), k * per_page, pager.pageCount(), pages);
        }
        break;
    }
    default:
        corrupt("a usage map is of an unknown kind");
    }
    return pages;
}

}  // namespace jet
