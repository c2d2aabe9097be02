// SPDX-License-Identifier: Apache-2.0
// Adding and removing the entries of one index, within the caller's
// transaction.
//
// A change descends the B-tree to the one leaf the entry belongs to and
// rewrites that leaf alone when it still fits. A leaf that overflows is
// split: a new page takes the lower part of its entries and is linked in
// before it on its level, and the parent gains an entry naming the new
// page's last entry; a parent that overflows in turn splits the same way,
// up to the root, which keeps its page number (the table definition names
// it) by moving its contents into two new children. A leaf emptied by a
// removal is unlinked from its level and given back, with its entry in the
// parent; a root left with a single child takes that child's place. Every
// page of the tree is listed in the index's usage map: pages a split takes
// join it, pages given back leave it.
//
// Invariants of the tree, as Access and other writers leave it:
//   - leaves are type 0x04, intermediate pages 0x03; every page of one
//     level is linked previous/next in key order, ends pointing at 0;
//   - an intermediate page's entries name, each, the last entry (key and
//     row pointer) of one child; its last child has no entry and is its
//     tail; so every entry of child i lies above entry i-1 and up to entry i;
//   - the shared prefix of a page is the common start of its first and last
//     keys and never reaches into the row pointers, so a page's size does
//     not depend on page numbers.
// An entry may take at most a quarter of a page's room, so that any page
// that overflows by one entry can be split into two that fit.
//
// Jet 3 index pages are not written (kErrUnsupported).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data_page.h"
#include "format.h"
#include "pager.h"
#include "table_def.h"

namespace jet {

// Speeds up a run of changes to one index, as one table writer makes them:
// the pages of the last descent stay parsed, and the next change follows
// them again, without reading or parsing, while the pager still holds the
// very bytes they were parsed from (whoever changed them since, or rolled
// them back) and the key falls in the same leaf. A leaf whose bytes this
// cache wrote last takes an entry that leaves its shared prefix and first
// entry alone by a patch of the bytes that move. Either way the pages come
// out byte for byte as a fresh descent and rewrite would leave them.
struct IndexCache {
    struct Pages;
    std::unique_ptr<Pages> pages;
    IndexCache();
    IndexCache(IndexCache&&) noexcept;
    ~IndexCache();
};

// Makes `page` the root of an index with no entries: an empty leaf, as
// Access leaves a new index. `owner` is the table definition page.
void writeEmptyIndex(Pager& pager, const Format& format, uint32_t owner, uint32_t page);

// True when an entry with `key` keeps within the bound above.
bool indexKeyFits(const Format& format, const std::vector<uint8_t>& key);

// True when some entry of the index has exactly `key`.
bool indexHasKey(const Pager& pager, const Format& format, const RealIndex& index, const std::vector<uint8_t>& key,
                 IndexCache* cache = nullptr);

// Adds the entry (key, row), or removes it (kErrCorrupt when it is not
// there). `owner` is the table definition page. A key too long for the
// index's pages is refused (kErrUnsupported) before any page changes.
void insertIndexEntry(Pager& pager, const Format& format, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row, IndexCache* cache = nullptr);
void removeIndexEntry(Pager& pager, const Format& format, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row);

}  // namespace jet
