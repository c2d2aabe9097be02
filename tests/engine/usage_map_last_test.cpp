// SPDX-License-Identifier: Apache-2.0
// The last page of a usage map, as a writer appending rows asks for it,
// against the whole map read from the start.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/testdata.h"

namespace {

uint32_t lastOfAll(const jet::Pager& pager, const jet::Format& f, uint32_t map) {
    std::vector<uint32_t> pages = jet::readUsageMap(pager, f, map);
    return pages.empty() ? 0 : pages.back();
}

TEST(LastUsagePage, AgreesWithTheWholeMapForEveryCorpusTable) {
    SKIP_WITHOUT_CORPUS();
    int maps = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testdata::root() + "/mdb")) {
        if (entry.path().extension() != ".mdb") continue;
        std::unique_ptr<jet::Database> db;
        try {
            db = std::make_unique<jet::Database>(entry.path().string(), "");
        } catch (const jet::Error&) {
            continue;  // passwords and damage are other tests' business
        }
        const jet::Pager& pager = db->pager();
        const jet::Format& f = db->format();
        SCOPED_TRACE(entry.path().filename().string());
        if (!f.jet3) {
            EXPECT_EQ(jet::lastUsagePage(pager, f, jet::kGlobalUsageMap), lastOfAll(pager, f, jet::kGlobalUsageMap));
            ++maps;
        }
        for (const jet::CatalogEntry& e : db->catalog()) {
            if (!e.isTable()) continue;
            try {
                const jet::TableDef& t = db->table(e.name);
                for (uint32_t map : {t.owned_pages, t.free_pages}) {
                    EXPECT_EQ(jet::lastUsagePage(pager, f, map), lastOfAll(pager, f, map)) << e.name;
                    ++maps;
                }
            } catch (const jet::Error&) {
            }
        }
    }
    EXPECT_GT(maps, 100);
}

// Pages spread over two map pages of a reference map; the last one found
// in the second, then, once cleared, in the first.
TEST(LastUsagePage, FollowsAReferenceMapBackAcrossItsMapPages) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    jet::Database db(copy.path(), "");
    uint32_t map = db.table("Table1").owned_pages;
    jet::Pager& pager = db.writablePager();
    const jet::Format& f = db.format();
    const uint64_t per_map_page = uint64_t(pager.pageSize() - 4) * 8;

    pager.begin();
    uint32_t near = jet::allocatePage(pager, f), far = 0;
    while (pager.pageCount() < per_map_page + 100) far = jet::allocatePage(pager, f);
    jet::markPage(pager, f, map, near, true);
    jet::markPage(pager, f, map, far, true);
    pager.commit();
    EXPECT_EQ(jet::lastUsagePage(pager, f, map), far);
    EXPECT_EQ(lastOfAll(pager, f, map), far);

    pager.begin();
    jet::markPage(pager, f, map, far, false);
    EXPECT_EQ(jet::lastUsagePage(pager, f, map), near);
    EXPECT_EQ(lastOfAll(pager, f, map), near);
    pager.rollback();
}

}  // namespace
