// Adding and removing the entries of one index, within the caller's
// transaction.
//
// A change reads the whole B-tree, applies itself to the ordered entries
// and writes the tree again onto the pages it had (the root keeps its
// number, since the table definition names it), taking pages for growth
// and giving back the ones no longer needed. Leaves are filled in entry
// order, as full as a page holds; each intermediate page names the last
// entry of every child but its last, which is its tail; pages of one level
// are linked previous/next. The shared prefix of a page never reaches into
// the row pointers, so a page's size does not depend on page numbers.
//
// Jet 3 index pages are not written (kErrUnsupported).
#pragma once

#include <cstdint>
#include <vector>

#include "data_page.h"
#include "format.h"
#include "pager.h"
#include "table_def.h"

namespace jet {

// True when some entry of the index has exactly `key`.
bool indexHasKey(const Pager& pager, const Format& format, const RealIndex& index, const std::vector<uint8_t>& key);

// Adds the entry (key, row), or removes it (kErrCorrupt when it is not
// there). `owner` is the table definition page.
void insertIndexEntry(Pager& pager, const Format& format, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row);
void removeIndexEntry(Pager& pager, const Format& format, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row);

}  // namespace jet
