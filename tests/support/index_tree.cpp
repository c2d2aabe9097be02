// SPDX-License-Identifier: Apache-2.0
#include "support/index_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

namespace testdata {

Entry entryOf(const jet::IndexEntry& e) { return {e.key, {e.row.page, uint8_t(e.row.row)}}; }

Shape walk(const jet::Pager& pager, const jet::Format& f, uint32_t root) {
    const jet::IndexLayout layout = jet::indexLayout(f);
    const size_t first_entry = layout.first_entry, room = f.page_size - first_entry;
    Shape shape;
    // Each level as (page, bound): the entry its parent names it by, or
    // none for the tails down the right edge.
    std::vector<std::pair<uint32_t, std::optional<Entry>>> level{{root, std::nullopt}};
    std::set<uint32_t> seen;
    for (;;) {
        ++shape.depth;
        shape.pages_per_level.push_back(level.size());
        std::vector<std::pair<uint32_t, std::optional<Entry>>> below;
        std::optional<uint8_t> type;
        for (size_t i = 0; i < level.size(); ++i) {
            auto [number, bound] = level[i];
            SCOPED_TRACE("page " + std::to_string(number));
            EXPECT_TRUE(seen.insert(number).second) << "page reached twice";
            jet::IndexPage page = jet::IndexPage::read(pager, f, number);
            if (!type) type = page.type;
            EXPECT_EQ(page.type, *type) << "a level mixes leaves and intermediate pages";
            EXPECT_EQ(page.previous, i > 0 ? level[i - 1].first : 0u);
            EXPECT_EQ(page.next, i + 1 < level.size() ? level[i + 1].first : 0u);
            bool leaf = page.type == jet::kIndexLeafPage;
            // What the page says of itself: free space and shared prefix.
            jet::Bytes raw = pager.page(number);
            size_t prefix = layout.prefix_size == 1 ? raw.u8(layout.prefix) : raw.u16(layout.prefix), used = 0;
            for (size_t k = 0; k < page.entries.size(); ++k)
                used += page.entries[k].key.size() + (leaf ? 4 : 8) - (k ? prefix : 0);
            EXPECT_EQ(raw.u16(2), f.page_size - first_entry - used);
            if (!page.entries.empty()) {
                const auto& a = page.entries.front().key;
                const auto& b = page.entries.back().key;
                EXPECT_LE(prefix, std::min(a.size(), b.size()));
                EXPECT_TRUE(std::equal(a.begin(), a.begin() + long(prefix), b.begin()));
            }
            if (leaf) {
                EXPECT_TRUE(!page.entries.empty() || (level.size() == 1 && shape.depth == 1)) << "an empty leaf";
                EXPECT_EQ(page.tail, 0u);
                for (const jet::IndexEntry& e : page.entries) shape.entries.push_back(entryOf(e));
                if (bound && !page.entries.empty()) {
                    EXPECT_EQ(entryOf(page.entries.back()), *bound);
                }
                shape.leaf_fill.push_back(double(used) / double(room));
                continue;
            }
            EXPECT_NE(page.tail, 0u);
            if (shape.depth == 1) {
                EXPECT_FALSE(page.entries.empty()) << "a root with a single child";
            }
            for (const jet::IndexEntry& e : page.entries) below.push_back({e.child, entryOf(e)});
            below.push_back({page.tail, bound});
        }
        if (below.empty()) break;
        level = std::move(below);
    }
    // A bound names its subtree's last entry: checked at the leaves above,
    // and down the levels by handing the bound to the tail.
    shape.pages.assign(seen.begin(), seen.end());
    EXPECT_TRUE(std::is_sorted(shape.entries.begin(), shape.entries.end()));
    EXPECT_EQ(std::adjacent_find(shape.entries.begin(), shape.entries.end()), shape.entries.end());
    return shape;
}

}  // namespace testdata
