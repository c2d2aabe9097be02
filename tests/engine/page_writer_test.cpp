// SPDX-License-Identifier: Apache-2.0
// Rows and long values written onto pages, read back by our reader after
// the change is committed, and the file still read by mdbtools.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "jet/data_page_writer.h"
#include "jet/database.h"
#include "jet/long_value.h"
#include "jet/long_value_writer.h"
#include "support/testdata.h"

namespace {

std::vector<uint8_t> pattern(size_t n, unsigned seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t((i * 131 + seed * 7 + i / 251) & 0xFF);
    return v;
}

struct Writable {
    explicit Writable(const std::string& name) : copy(name), db(copy.path(), "") {}
    testdata::Copy copy;
    jet::Database db;
};

TEST(PageWriter, LongValuesOfEverySizeReadBack) {
    SKIP_WITHOUT_CORPUS();
    Writable w("longtextV2016.accdb");
    const jet::TableDef& t = w.db.table("Table1");
    int memo = -1;
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].type == jet::kMemo) memo = int(i);
    ASSERT_GE(memo, 0);
    jet::Pager& pager = w.db.writablePager();
    const size_t sizes[] = {0, 1, 64, 65, 3000, 4076, 4077, 9000, 50000};
    std::vector<std::vector<uint8_t>> heads;
    pager.begin();
    jet::LongValueWriter lv(pager, w.db.format(), t);
    for (size_t i = 0; i < std::size(sizes); ++i) heads.push_back(lv.store(t.columns[memo], pattern(sizes[i], i), 200));
    pager.commit();
    for (size_t i = 0; i < std::size(sizes); ++i) {
        jet::Bytes head(heads[i].data(), heads[i].size());
        EXPECT_EQ(jet::readLongValue(pager, w.db.format(), head), pattern(sizes[i], i)) << sizes[i];
        EXPECT_EQ(heads[i].size(), sizes[i] <= 64 ? 12 + sizes[i] : 12u) << sizes[i];
    }
    // The column's own map now lists the LVAL pages used.
    jet::Database reread(w.copy.path(), "");
    EXPECT_FALSE(reread.table("Table1").column_maps.empty());

    pager.begin();
    lv.release(jet::Bytes(heads.back().data(), heads.back().size()));
    pager.commit();
    jet::RowId first_piece = jet::RowId::fromPointer(jet::Bytes(heads.back().data(), 12).u32(4));
    jet::DataPage page(pager.page(first_piece.page), w.db.format());
    EXPECT_TRUE(page.flags(first_piece.row) & jet::kRowDeleted) << "released rows are deleted";
}

TEST(PageWriter, RowsAddedOntoPagesAreScannedAndMdbtoolsReadsThem) {
    SKIP_WITHOUT_CORPUS();
    Writable w("testV2000.mdb");
    const jet::TableDef& t = w.db.table("Table1");
    // The raw bytes of the table's first row, added again many times: enough
    // to fill the last page and take new ones.
    jet::TableScan scan(w.db, t);
    ASSERT_TRUE(scan.next());
    std::optional<jet::Bytes> first = jet::readRow(w.db.pager(), w.db.format(), scan.rowId());
    std::vector<uint8_t> row(first->data(), first->data() + first->size());
    jet::Pager& pager = w.db.writablePager();
    pager.begin();
    jet::PageOwner owner{t.page, t.owned_pages, t.free_pages};
    std::vector<jet::RowId> ids;
    for (int i = 0; i < 300; ++i) ids.push_back(jet::addRow(pager, w.db.format(), owner, row));
    // The row count lives in the definition; the table writer keeps it, here by hand.
    uint8_t* tdef = pager.modify(t.page);
    uint32_t count = t.row_count + 300;
    std::memcpy(tdef + w.db.format().tdef_row_count, &count, 4);
    pager.commit();
    EXPECT_NE(ids.front().page, ids.back().page);

    jet::Database reread(w.copy.path(), "");
    jet::TableScan again(reread, reread.table("Table1"));
    std::vector<jet::Value> values;
    int rows = 0, copies = 0;
    while (again.next()) {
        again.read(values);
        ++rows;
        copies += values[0].as<std::string>() == "abcdefg";
    }
    EXPECT_EQ(rows, 302);
    EXPECT_EQ(copies, 301);
    FILE* p = popen(("mdb-export '" + w.copy.path() + "' Table1 | wc -l").c_str(), "r");
    int lines = 0;
    ASSERT_EQ(fscanf(p, "%d", &lines), 1);
    pclose(p);
    EXPECT_EQ(lines, 303);
}

}  // namespace
