// SPDX-License-Identifier: Apache-2.0
#include "usage_map_writer.h"

#include <cstring>
#include <set>

#include "data_page.h"

namespace jet {

namespace {

constexpr uint8_t kInlineMap = 0x00;
constexpr uint8_t kReferenceMap = 0x01;
constexpr uint8_t kMapPage = 0x05;
constexpr size_t kInlineHead = 5;  // kind, first page

struct MapRow {
    uint8_t* data;
    size_t size;
};

MapRow mapRow(Pager& pager, const Format& f, uint32_t row_pointer) {
    RowId id = RowId::fromPointer(row_pointer);
    DataPage page(pager.page(id.page), f);
    size_t start = page.rowStart(id.row);
    size_t size = page.row(id.row).size();
    if (size < kInlineHead) corrupt("a usage map row is too short");
    return {pager.modify(id.page) + start, size};
}

void setBit(uint8_t* bitmap, uint64_t bit, bool on) {
    if (on) bitmap[bit / 8] |= uint8_t(1u << (bit % 8));
    else bitmap[bit / 8] &= uint8_t(~(1u << (bit % 8)));
}

uint32_t get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

uint64_t pagesPerMapPage(const Pager& pager) { return uint64_t(pager.pageSize() - 4) * 8; }

// The map page for slot `k` of a reference map, made when missing.
uint8_t* mapPage(Pager& pager, const Format& f, uint32_t row_pointer, size_t k) {
    MapRow row = mapRow(pager, f, row_pointer);
    if (1 + 4 * (k + 1) > row.size) throw Error(kErrIo, "The database has reached its largest size.");
    uint32_t number = get32(row.data + 1 + 4 * k);
    if (number == 0) {
        number = allocatePage(pager, f);
        uint8_t* p = pager.modify(number);
        p[0] = kMapPage;
        p[1] = 0x01;
        put32(mapRow(pager, f, row_pointer).data + 1 + 4 * k, number);
        return p;
    }
    if (pager.page(number).u8(0) != kMapPage) corrupt("a usage map refers to a page that is not a map page");
    return pager.modify(number);
}

void markInReferenceMap(Pager& pager, const Format& f, uint32_t row_pointer, uint32_t page, bool on) {
    uint64_t per = pagesPerMapPage(pager);
    size_t k = size_t(page / per);
    if (!on) {
        MapRow row = mapRow(pager, f, row_pointer);
        if (1 + 4 * (k + 1) > row.size || get32(row.data + 1 + 4 * k) == 0) return;
    }
    setBit(mapPage(pager, f, row_pointer, k) + 4, page % per, on);
}

// Rewrites a full inline map as a reference map holding the same pages.
void promote(Pager& pager, const Format& f, uint32_t row_pointer) {
    MapRow row = mapRow(pager, f, row_pointer);
    uint32_t first = get32(row.data + 1);
    std::set<uint32_t> pages;
    for (size_t i = 0; i < (row.size - kInlineHead) * 8; ++i)
        if (row.data[kInlineHead + i / 8] >> (i % 8) & 1) pages.insert(uint32_t(first + i));
    std::memset(row.data, 0, row.size);
    row.data[0] = kReferenceMap;
    for (uint32_t p : pages) markInReferenceMap(pager, f, row_pointer, p, true);
}

}  // namespace

void markPage(Pager& pager, const Format& f, uint32_t row_pointer, uint32_t page, bool on) {
    MapRow row = mapRow(pager, f, row_pointer);
    if (row.data[0] == kReferenceMap) return markInReferenceMap(pager, f, row_pointer, page, on);
    if (row.data[0] != kInlineMap) corrupt("a usage map is of an unknown kind");
    uint32_t first = get32(row.data + 1);
    uint64_t covered = uint64_t(row.size - kInlineHead) * 8;
    if (page >= first && page - first < covered) return setBit(row.data + kInlineHead, page - first, on);
    if (!on) return;
    bool empty = true;
    for (size_t i = kInlineHead; i < row.size; ++i) empty &= row.data[i] == 0;
    if (empty) {
        put32(row.data + 1, page);
        return setBit(row.data + kInlineHead, 0, true);
    }
    promote(pager, f, row_pointer);
    markInReferenceMap(pager, f, row_pointer, page, true);
}

uint32_t allocatePage(Pager& pager, const Format& f) {
    // Free pages inside the file, as the global map lists them.
    MapRow row = mapRow(pager, f, kGlobalUsageMap);
    if (row.data[0] == kInlineMap) {
        uint32_t first = get32(row.data + 1);
        for (size_t i = 0; i < (row.size - kInlineHead) * 8; ++i) {
            uint64_t page = uint64_t(first) + i;
            if (page >= pager.pageCount()) break;
            if (page < 3 || !(row.data[kInlineHead + i / 8] >> (i % 8) & 1)) continue;
            setBit(row.data + kInlineHead, i, false);
            std::memset(pager.modify(uint32_t(page)), 0, pager.pageSize());
            return uint32_t(page);
        }
    }
    uint32_t page = pager.append();
    markPage(pager, f, kGlobalUsageMap, page, false);
    return page;
}

bool freeMapCovers(const Pager& pager, const Format& f, uint32_t page) {
    RowId id = RowId::fromPointer(kGlobalUsageMap);
    Bytes row = DataPage(pager.page(id.page), f).row(id.row);
    if (row.size() < kInlineHead) corrupt("a usage map row is too short");
    if (row.u8(0) == kReferenceMap) return true;
    uint32_t first = row.u32(1);
    return row.u8(0) == kInlineMap && page >= first && page - first < uint64_t(row.size() - kInlineHead) * 8;
}

void freePage(Pager& pager, const Format& f, uint32_t page) {
    std::memset(pager.modify(page), 0, pager.pageSize());
    if (freeMapCovers(pager, f, page)) markPage(pager, f, kGlobalUsageMap, page, true);
}

}  // namespace jet
