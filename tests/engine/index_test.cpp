// SPDX-License-Identifier: Apache-2.0
// Indexes as the files hold them: every index of the corpus is walked; its
// entries must be in order, and where the engine encodes the key kinds, the
// keys it computes from the table's rows must be exactly the index's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/database.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/text_key.h"
#include "support/testdata.h"

namespace {

using Entry = std::pair<std::vector<uint8_t>, std::pair<uint32_t, uint16_t>>;

bool entryLess(const jet::IndexEntry& a, const jet::IndexEntry& b) {
    if (a.key != b.key) return a.key < b.key;
    return std::make_pair(a.row.page, a.row.row) < std::make_pair(b.row.page, b.row.row);
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char b[4];
    for (uint8_t x : bytes) {
        std::snprintf(b, sizeof b, "%02x ", x);
        out += b;
    }
    return out;
}

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(testdata::root() + "/mdb"))
        files.push_back(e.path().string());
    files.push_back(testdata::root() + "/large/big100k.mdb");
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Index, EveryIndexIsInOrderAndTheKeysMatchTheRows) {
    SKIP_WITHOUT_CORPUS();
    size_t walked = 0, matched = 0, refused = 0;
    for (const std::string& file : corpusFiles()) {
        jet::Database db(file, testdata::passwordOf(file));
        for (const jet::CatalogEntry& e : db.catalog()) {
            if (!e.isTable()) continue;
            const jet::TableDef& t = db.table(e.name);
            for (const jet::RealIndex& index : t.real_indexes) {
                SCOPED_TRACE(file + " " + e.name);
                std::vector<jet::IndexEntry> entries = jet::readIndex(db.pager(), db.format(), index.root_page);
                ++walked;
                for (size_t i = 1; i < entries.size(); ++i)
                    ASSERT_TRUE(entryLess(entries[i - 1], entries[i])) << "entry " << i << " out of order";
                if (!jet::keyKindsCovered(t, index)) {
                    ++refused;
                    continue;
                }
                std::vector<Entry> from_rows, from_index;
                jet::TableScan scan(db, t);
                std::vector<jet::Value> values;
                while (scan.next()) {
                    scan.read(values);
                    if ((index.flags & jet::kIndexIgnoreNulls) && jet::allKeyColumnsNull(t, index, values)) continue;
                    from_rows.push_back({jet::encodeKey(t, index, values), {scan.rowId().page, scan.rowId().row}});
                }
                for (const jet::IndexEntry& x : entries) from_index.push_back({x.key, {x.row.page, x.row.row}});
                std::sort(from_rows.begin(), from_rows.end());
                EXPECT_EQ(from_rows.size(), from_index.size());
                auto [a, b] = std::mismatch(from_rows.begin(), from_rows.end(), from_index.begin(), from_index.end());
                if (a != from_rows.end() && b != from_index.end())
                    ADD_FAILURE() << "row " << a->second.first << ":" << a->second.second << " key " << hex(a->first)
                                  << " but the index holds " << hex(b->first) << " for " << b->second.first << ":"
                                  << b->second.second;
                ++matched;
            }
        }
    }
    std::printf("indexes walked %zu, keys matched %zu, key kinds not encoded %zu\n", walked, matched, refused);
    EXPECT_GT(walked, 100u);
    EXPECT_GT(matched, 30u);
}

TEST(Index, LargeTableIndexesHoldEveryRow) {
    SKIP_WITHOUT_CORPUS();
    jet::Database db(testdata::root() + "/large/big100k.mdb", "");
    const jet::TableDef& t = db.table("BigTable");
    ASSERT_EQ(t.indexes.size(), 3u);
    for (const jet::RealIndex& index : t.real_indexes)
        EXPECT_EQ(jet::readIndex(db.pager(), db.format(), index.root_page).size(), 98969u);
}

}  // namespace

namespace {

std::vector<uint8_t> textKey(jet::TextSortOrder order, const std::string& text) {
    std::vector<uint8_t> key;
    jet::appendTextKey(key, order, text, true);
    return key;
}

// A character that expands takes one place per letter: the rest of the
// key is as if its letters were written out. The Nuß key ends as Access's
// own row with that name does (its hyphens' places).
TEST(Index, ExpandingCharactersTakeAPlacePerLetter) {
    const std::pair<const char*, const char*> same[] = {
        {"NuNuCa Nu\u00df-Nougat-Creme", "NuNuCa Nuss-Nougat-Creme"},
        {"Plutzer Lebensmittelgro\u00dfm\u00e4rkte AG", "Plutzer Lebensmittelgrossm\u00e4rkte AG"},
        {"\u00e6bl\u00e9-x", "aebl\u00e9-x"},
        {"\ufb01n\u00e9-x", "fin\u00e9-x"},
    };
    for (jet::TextSortOrder order : {jet::TextSortOrder::General, jet::TextSortOrder::LegacyGeneral})
        for (const auto& [expanding, written_out] : same) {
            SCOPED_TRACE(expanding);
            EXPECT_EQ(hex(textKey(order, expanding)), hex(textKey(order, written_out)));
        }
    std::vector<uint8_t> nuss = textKey(jet::TextSortOrder::General, "NuNuCa Nu\u00df-Nougat-Creme");
    const std::vector<uint8_t> tail = {0x80, 0x33, 0x06, 0x82, 0x80, 0x4b, 0x06, 0x82, 0x00};
    ASSERT_GE(nuss.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), nuss.end() - long(tail.size()))) << hex(nuss);
}

}  // namespace
