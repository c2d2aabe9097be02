// SPDX-License-Identifier: Apache-2.0
// Changing usage maps, and taking and giving back pages.
//
// The global map (row 0 of page 1) marks the pages that are free; a table's
// maps mark the pages it owns and those of them with room. Bits past what an
// inline map covers mean nothing to it, so:
//   - a page set in an inline map it cannot cover moves the map's first page
//     there when the map is empty, else turns the map into a reference map
//     (same row, 4-byte map page numbers), taking map pages as needed;
//   - a page cleared outside a map's reach needs no change.
// Pages come from the global map's free pages first, else from the end of
// the file; a page taken is cleared in the global map wherever it covers it
// (Access marks the pages past the end of the file free too).
#pragma once

#include <cstdint>

#include "format.h"
#include "pager.h"

namespace jet {

constexpr uint32_t kGlobalUsageMap = 1u << 8;  // row pointer: page 1, row 0

// Sets or clears `page` in the map whose row `row_pointer` points at.
void markPage(Pager& pager, const Format& format, uint32_t row_pointer, uint32_t page, bool on);

// A page for new use, zeroed; within a transaction.
uint32_t allocatePage(Pager& pager, const Format& format);

// Gives `page` back: zeroed, and marked free where the global map covers
// it. The global map is never reshaped for this: a page it does not cover
// stays unused, which costs space but nothing else.
void freePage(Pager& pager, const Format& format, uint32_t page);

// True when the global map can mark `page` free.
bool freeMapCovers(const Pager& pager, const Format& format, uint32_t page);

}  // namespace jet
