// SPDX-License-Identifier: Apache-2.0
// An update of other columns leaves a row's stored long values where they
// are; one of the memo itself stores it afresh. Checked by our reader, by
// the row's stored long-value head and by mdbtools.
#include <gtest/gtest.h>

#include <cstdio>

#include "jet/database.h"
#include "jet/table_writer.h"
#include "support/testdata.h"

namespace {

std::vector<uint8_t> headOf(const jet::Database& db, const jet::TableDef& t, jet::RowId id, size_t column) {
    std::optional<jet::Bytes> row = jet::readRow(db.pager(), db.format(), id);
    if (!row) return {};
    std::optional<jet::Bytes> head = jet::RowReader(db.pager(), db.format(), db.codec(), t).stored(*row, column);
    return head ? std::vector<uint8_t>(head->data(), head->data() + 12) : std::vector<uint8_t>();
}

std::vector<jet::Value> valuesOf(const jet::Database& db, const jet::TableDef& t, jet::RowId id) {
    std::vector<jet::Value> v;
    jet::RowReader(db.pager(), db.format(), db.codec(), t).decode(*jet::readRow(db.pager(), db.format(), id), v);
    return v;
}

TEST(TableWriterMemo, AnEditOfAnotherColumnKeepsTheStoredMemo) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("fixedNumericTestV2000.mdb");
    const std::vector<std::string> memos = {std::string(3000, 'x'), std::string(20000, 'y')};  // one row, a chain
    jet::Database db(copy.path(), "");
    const jet::TableDef& t = db.table("test");
    ASSERT_EQ(t.columns[0].type, jet::kMemo);
    ASSERT_EQ(t.columns[1].type, jet::kNumeric);
    std::vector<jet::RowId> ids;
    std::vector<jet::Value> first;
    {
        jet::TableScan scan(db, t);
        ASSERT_TRUE(scan.next());
        scan.read(first);
    }
    db.begin();
    {
        jet::TableWriter w(db, "test");
        for (const std::string& m : memos) {
            std::vector<jet::Value> row = first;
            row[0] = m;
            ids.push_back(w.insert(row));
        }
    }
    db.commit();
    std::vector<std::vector<uint8_t>> heads;
    for (jet::RowId id : ids) heads.push_back(headOf(db, t, id, 0));
    uint32_t pages = db.pager().pageCount();

    for (int round = 0; round < 3; ++round) {
        db.begin();
        {
            jet::TableWriter w(db, "test");
            for (size_t i = 0; i < ids.size(); ++i) {
                std::vector<jet::Value> row = valuesOf(db, t, ids[i]);
                jet::Decimal d;
                d.magnitude = 40 + unsigned(round * 2 + i);
                row[1] = d;
                w.update(ids[i], row);
            }
        }
        db.commit();
    }
    EXPECT_EQ(db.pager().pageCount(), pages) << "no long-value pages were taken";
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(headOf(db, t, ids[i], 0), heads[i]) << "row " << i << " points at its memo as before";
        std::vector<jet::Value> now = valuesOf(db, t, ids[i]);
        EXPECT_EQ(now[0].as<std::string>(), memos[i]);
        EXPECT_EQ(now[1].as<jet::Decimal>().magnitude, 44u + i);
    }

    // The memo itself changed: stored anew, read back, the old one given up.
    db.begin();
    {
        jet::TableWriter w(db, "test");
        std::vector<jet::Value> row = valuesOf(db, t, ids[1]);
        row[0] = std::string(5000, 'z');
        w.update(ids[1], row);
    }
    db.commit();
    EXPECT_NE(headOf(db, t, ids[1], 0), heads[1]);
    EXPECT_EQ(valuesOf(db, t, ids[1])[0].as<std::string>(), std::string(5000, 'z'));

    std::string out = testdata::exported(copy.path(), "test");
    EXPECT_NE(out.find(memos[0]), std::string::npos);
    EXPECT_NE(out.find(std::string(5000, 'z')), std::string::npos);
    EXPECT_EQ(out.find(std::string(20000, 'y')), std::string::npos);
}

}  // namespace
