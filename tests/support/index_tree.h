// SPDX-License-Identifier: Apache-2.0
// Walking an index's B-tree level by level for tests, checking on the way
// every invariant a reader relies on: one depth for every leaf, each
// level's sibling chain in order, every intermediate entry naming its
// child's last entry, each page's free space and shared prefix as it holds
// them, entries in order and none twice. Failures are reported through
// gtest where they are found.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "jet/index_page.h"
#include "jet/pager.h"

namespace testdata {

// An entry as the tests compare them: key, then (page, row).
using Entry = std::pair<std::vector<uint8_t>, std::pair<uint32_t, uint8_t>>;

Entry entryOf(const jet::IndexEntry& e);

struct Shape {
    size_t depth = 0;
    std::vector<size_t> pages_per_level;  // root level first
    std::vector<Entry> entries;           // in leaf order
    std::vector<double> leaf_fill;        // used share of each leaf's room
    std::vector<uint32_t> pages;          // every page of the tree, in increasing order
};

// Walks the tree under `root`, checking it, and returns its shape.
Shape walk(const jet::Pager& pager, const jet::Format& f, uint32_t root);

}  // namespace testdata
