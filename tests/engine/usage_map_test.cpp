// SPDX-License-Identifier: Apache-2.0
// Changing usage maps and taking pages, checked by reading the maps back
// after the change is committed and by mdbtools reading the file.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/testdata.h"

namespace {

struct Opened {
    explicit Opened(const std::string& path) : pager(path) {
        jet::Header h = jet::Header::read(pager.raw());
        format = h.format;
        pager.configure(format->page_size);
    }
    jet::Pager pager;
    const jet::Format* format;
};

uint32_t ownedMapOf(const std::string& path, const std::string& table) {
    jet::Database db(path, "");
    return db.table(table).owned_pages;
}

bool has(const std::vector<uint32_t>& pages, uint32_t p) { return std::find(pages.begin(), pages.end(), p) != pages.end(); }

TEST(UsageMap, PagesAreTakenFromTheFreeListThenFromTheEnd) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("compIndexTestV2003.mdb");  // has free pages inside the file
    Opened o(copy.path());
    std::vector<uint32_t> free_before = jet::readUsageMap(o.pager, *o.format, jet::kGlobalUsageMap);
    uint32_t pages = o.pager.pageCount();
    std::vector<uint32_t> free_inside;
    for (uint32_t p : free_before)
        if (p < pages) free_inside.push_back(p);
    ASSERT_FALSE(free_inside.empty());

    o.pager.begin();
    std::vector<uint32_t> taken;
    for (size_t i = 0; i < free_inside.size() + 3; ++i) taken.push_back(jet::allocatePage(o.pager, *o.format));
    o.pager.commit();
    EXPECT_TRUE(std::equal(free_inside.begin(), free_inside.end(), taken.begin()));
    EXPECT_EQ(taken.back(), pages + 2);
    EXPECT_EQ(o.pager.pageCount(), pages + 3);
    std::vector<uint32_t> free_after = jet::readUsageMap(o.pager, *o.format, jet::kGlobalUsageMap);
    for (uint32_t p : taken) EXPECT_FALSE(has(free_after, p)) << p;

    o.pager.begin();
    jet::freePage(o.pager, *o.format, taken[0]);
    o.pager.commit();
    EXPECT_TRUE(has(jet::readUsageMap(o.pager, *o.format, jet::kGlobalUsageMap), taken[0]));
    EXPECT_EQ(std::system(("mdb-export '" + copy.path() + "' Table1 >/dev/null").c_str()), 0);
}

TEST(UsageMap, InlineMapGrowsIntoAReferenceMap) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    uint32_t map = ownedMapOf(copy.path(), "Table1");
    Opened o(copy.path());
    std::vector<uint32_t> before = jet::readUsageMap(o.pager, *o.format, map);
    ASSERT_FALSE(before.empty());

    o.pager.begin();
    // Pages far past what the inline map covers.
    std::vector<uint32_t> added;
    for (int i = 0; i < 3; ++i) added.push_back(jet::allocatePage(o.pager, *o.format));
    uint32_t far = 0;
    while (o.pager.pageCount() < before.front() + 40000) far = jet::allocatePage(o.pager, *o.format);
    added.push_back(far);
    for (uint32_t p : added) jet::markPage(o.pager, *o.format, map, p, true);
    jet::markPage(o.pager, *o.format, map, before.front(), false);
    o.pager.commit();

    std::vector<uint32_t> after = jet::readUsageMap(o.pager, *o.format, map);
    std::vector<uint32_t> expected(before.begin() + 1, before.end());
    expected.insert(expected.end(), added.begin(), added.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected);
}

TEST(UsageMap, EmptyInlineMapMovesItsWindow) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    uint32_t map = ownedMapOf(copy.path(), "Table1");
    Opened o(copy.path());
    std::vector<uint32_t> before = jet::readUsageMap(o.pager, *o.format, map);
    o.pager.begin();
    for (uint32_t p : before) jet::markPage(o.pager, *o.format, map, p, false);
    uint32_t page = 0;
    while (o.pager.pageCount() < 5000) page = jet::allocatePage(o.pager, *o.format);
    jet::markPage(o.pager, *o.format, map, page, true);
    jet::markPage(o.pager, *o.format, map, page + 1, false);  // outside: no change
    o.pager.commit();
    EXPECT_EQ(jet::readUsageMap(o.pager, *o.format, map), std::vector<uint32_t>{page});
}

}  // namespace
