// SPDX-License-Identifier: Apache-2.0
// Index upkeep through TableWriter: after many inserts, updates and deletes
// on copies of real files, every index is reread from its pages and must
// hold exactly one entry per indexable row, in order, with the row's key;
// lookups through the index find each row; duplicates are refused with the
// file unchanged; a failure while the tree grows leaves the file whole.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "jet/database.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_search.h"
#include "jet/row_reader.h"
#include "jet/table_writer.h"
#include "support/index_tree.h"
#include "support/testdata.h"

namespace {

using Key = std::pair<std::vector<uint8_t>, std::pair<uint32_t, uint16_t>>;

// Every index of `table` against its rows, its tree walked and checked;
// returns the number of rows.
size_t checkIndexes(const std::string& path, const std::string& table) {
    jet::Database db(path, "");
    const jet::TableDef& t = db.table(table);
    std::vector<std::vector<jet::Value>> rows;
    std::vector<jet::RowId> ids;
    jet::TableScan scan(db, t);
    std::vector<jet::Value> values;
    while (scan.next()) {
        scan.read(values);
        rows.push_back(values);
        ids.push_back(scan.rowId());
    }
    EXPECT_EQ(rows.size(), t.row_count);
    for (const jet::RealIndex& index : t.real_indexes) {
        std::vector<Key> from_rows, from_index;
        for (size_t r = 0; r < rows.size(); ++r) {
            if ((index.flags & jet::kIndexIgnoreNulls) && jet::allKeyColumnsNull(t, index, rows[r])) continue;
            from_rows.push_back({jet::encodeKey(t, index, rows[r]), {ids[r].page, ids[r].row}});
        }
        for (const testdata::Entry& e : testdata::walk(db.pager(), db.format(), index.root_page).entries)
            from_index.push_back({e.first, {e.second.first, e.second.second}});
        std::sort(from_rows.begin(), from_rows.end());
        EXPECT_EQ(from_rows, from_index);
    }
    return rows.size();
}

size_t exportedRows(const std::string& path, const std::string& table) {
    std::string cmd = "mdb-export -H '" + path + "' '" + table + "' | wc -l";
    FILE* p = popen(cmd.c_str(), "r");
    size_t n = 0;
    if (std::fscanf(p, "%zu", &n) != 1) n = size_t(-1);
    pclose(p);
    return n;
}

// compIndexTest's Table1: a Long primary key and two text columns, 512
// rows written by Access over an index of two leaves; in Access 2000 and in
// Access 97, whose 2 KB pages split five times as often.
std::vector<jet::Value> agent(int32_t id) {
    return {id, std::string("name ") + std::to_string(id), std::string("desc")};
}


TEST(IndexUpkeep, ManyInsertsUpdatesAndDeletesKeepEveryIndexInStep) {
    SKIP_WITHOUT_CORPUS();
    for (const char* file : {"compIndexTestV2000.mdb", "compIndexTestV1997.mdb"}) {
        SCOPED_TRACE(file);
        testdata::Copy copy(file);
        size_t before = checkIndexes(copy.path(), "Table1");
        std::vector<jet::RowId> added;
        {
            jet::Database db(copy.path(), "");
            db.begin();
            jet::TableWriter w(db, "Table1");
            // Keys from both ends and between, so leaves split in the middle too.
            for (int32_t i = 0; i < 3000; ++i) added.push_back(w.insert(agent(i % 2 ? 100000 + i : -i - 1)));
            db.commit();
        }
        EXPECT_EQ(checkIndexes(copy.path(), "Table1"), before + 3000);
        EXPECT_EQ(exportedRows(copy.path(), "Table1"), before + 3000);
        {
            jet::Database db(copy.path(), "");
            const jet::TableDef& t = db.table("Table1");
            const jet::RealIndex& pk = t.real_indexes[0];
            EXPECT_EQ(jet::findRows(db.pager(), db.format(), t, pk, {int32_t(100001)}),
                      std::vector<jet::RowId>{added[1]});
            std::vector<jet::RowId> range = jet::scanRange(db.pager(), db.format(), t, pk,
                                                           jet::KeyBound{{int32_t(-1)}, false},
                                                           jet::KeyBound{{int32_t(-10)}, true});
            EXPECT_EQ(range.size(), 4u);  // the key descends: -3, -5, -7, -9
        }
        {
            jet::Database db(copy.path(), "");
            db.begin();
            jet::TableWriter w(db, "Table1");
            for (size_t i = 0; i < added.size(); i += 3) w.remove(added[i]);
            // New keys and rows too long for their slots (they move).
            for (size_t i = 1; i < added.size(); i += 3)
                w.update(added[i], {int32_t(200000 + int32_t(i)), std::string(50, 'x'), std::string("d")});
            db.commit();
        }
        EXPECT_EQ(checkIndexes(copy.path(), "Table1"), before + 2000);
        EXPECT_EQ(exportedRows(copy.path(), "Table1"), before + 2000);
        {
            jet::Database db(copy.path(), "");
            const jet::TableDef& t = db.table("Table1");
            EXPECT_EQ(jet::findRows(db.pager(), db.format(), t, t.real_indexes[0], {int32_t(200001)}),
                      std::vector<jet::RowId>{added[1]});  // a moved row keeps its place
        }
    }
}

// The rows' `column` values in the order of the index numbered `index`.
std::vector<std::string> inIndexOrder(const std::string& path, const std::string& table, size_t index, size_t column) {
    jet::Database db(path, "");
    const jet::TableDef& t = db.table(table);
    std::map<std::pair<uint32_t, uint16_t>, std::string> by_row;
    jet::TableScan scan(db, t);
    std::vector<jet::Value> values;
    while (scan.next()) {
        scan.read(values);
        if (!values[column].isNull()) by_row[{scan.rowId().page, scan.rowId().row}] = values[column].as<std::string>();
    }
    std::vector<std::string> order;
    for (const jet::IndexEntry& e : jet::readIndex(db.pager(), db.format(), t.real_indexes[index].root_page))
        if (by_row.count({e.row.page, e.row.row})) order.push_back(by_row[{e.row.page, e.row.row}]);
    return order;
}

// testIndexPropertiesV2000's TableIgnoreNulls1: text primary key "row",
// and "data" under an index that leaves Nulls out.
TEST(IndexUpkeep, TextKeysFollowAccessGeneralOrder) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testIndexPropertiesV2000.mdb");
    const std::string table = "TableIgnoreNulls1";
    size_t before = checkIndexes(copy.path(), table);
    // Case, accents, blanks, punctuation, digits, other scripts and kana.
    const std::vector<std::string> words = {
        "zebra", "Apple", "apple", "\u00e9clair", "eclair", "Eclair", "r\u00e9sum\u00e9", "resume", "co-op", "coop",
        "co op", "42", "7", "\u00c5ngstr\u00f6m", "\u0416\u0443\u043a", "\u03b1\u03b2\u03b3", "\u30ab\u30bf",
        "\u304b\u305f", "Stra\u00dfe", "strasse", "a\u0301", "tab\there", "trailing   ", "",
    };
    std::map<std::string, jet::RowId> ids;
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, table);
        for (size_t i = 0; i < words.size(); ++i)
            ids[words[i]] = w.insert({std::string("k") + std::to_string(1000 - i), words[i]});
        db.commit();
    }
    EXPECT_EQ(checkIndexes(copy.path(), table), before + words.size());
    EXPECT_EQ(exportedRows(copy.path(), table), before + words.size());
    std::vector<std::string> order = inIndexOrder(copy.path(), table, 1, 1);
    auto place = [&](const std::string& w) { return std::find(order.begin(), order.end(), w) - order.begin(); };
    // Access compares letters first, then accents; case not at all, and
    // hyphens only when all else is equal.
    EXPECT_LT(place("42"), place("7")) << "digits compare as characters";
    EXPECT_LT(place("7"), place("apple")) << "digits before letters";
    EXPECT_LT(place("Apple"), place("eclair"));
    EXPECT_LT(place("eclair"), place("\u00e9clair"));
    EXPECT_LT(place("\u00e9clair"), place("resume"));
    EXPECT_LT(place("resume"), place("r\u00e9sum\u00e9"));
    EXPECT_LT(place("r\u00e9sum\u00e9"), place("zebra"));
    EXPECT_LT(place("coop"), place("co-op"));
    EXPECT_LT(place("co op"), place("coop")) << "a blank sorts before letters";
    EXPECT_LT(place("zebra"), place("\u03b1\u03b2\u03b3")) << "Greek after Latin";
    EXPECT_LT(place("\u03b1\u03b2\u03b3"), place("\u0416\u0443\u043a")) << "Cyrillic after Greek";
    {
        jet::Database db(copy.path(), "");
        const jet::TableDef& t = db.table(table);
        EXPECT_EQ(jet::findRows(db.pager(), db.format(), t, t.real_indexes[1], {std::string("R\u00c9SUM\u00c9")}),
                  std::vector<jet::RowId>{ids["r\u00e9sum\u00e9"]})
            << "case does not count, accents do";
        EXPECT_EQ(jet::findRows(db.pager(), db.format(), t, t.real_indexes[1], {std::string("APPLE")}).size(), 2u);
        EXPECT_EQ(jet::findRows(db.pager(), db.format(), t, t.real_indexes[0], {std::string("k1000")}),
                  std::vector<jet::RowId>{ids["zebra"]});
    }
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, table);
        w.update(ids["zebra"], {std::string("k1000"), std::string("Aardvark")});
        w.remove(ids["apple"]);
        db.commit();
    }
    EXPECT_EQ(checkIndexes(copy.path(), table), before + words.size() - 1);
    order = inIndexOrder(copy.path(), table, 1, 1);
    EXPECT_LT(std::find(order.begin(), order.end(), "Aardvark"), std::find(order.begin(), order.end(), "Apple"));
}

// Access 97's General order, kept through inserts, an update and a delete
// of texts with accents, ligatures and punctuation.
TEST(IndexUpkeep, Access97TextKeysKeepTheirOrder) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testIndexCodesV1997.mdb");
    const std::string table = "Table1";
    size_t before = checkIndexes(copy.path(), table), lines = exportedRows(copy.path(), table);  // a text holds a line break
    const std::vector<std::string> words = {"\u00e9clair", "eclair", "\u00c9CLAIR", "r\u00e9sum\u00e9", "resume",
                                            "Stra\u00dfe", "strasse", "co-op", "coop", "\u0152uvre", "na\u00efve",
                                            "\u20ac 5", "trailing   ", ""};
    std::vector<jet::RowId> ids;
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, table);
        for (size_t i = 0; i < words.size(); ++i) ids.push_back(w.insert({"w" + std::to_string(i), words[i]}));
        db.commit();
    }
    EXPECT_EQ(checkIndexes(copy.path(), table), before + words.size());
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, table);
        w.update(ids[0], {std::string("w0"), std::string("\u00e6sthetic")});
        w.remove(ids[1]);
        db.commit();
    }
    EXPECT_EQ(checkIndexes(copy.path(), table), before + words.size() - 1);
    EXPECT_EQ(exportedRows(copy.path(), table), lines + words.size() - 1);
}

TEST(IndexUpkeep, ATextKeyTheSortOrderDoesNotCoverIsRefusedAndTheFileIsUnchanged) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testIndexPropertiesV2000.mdb");
    std::vector<unsigned char> original = copy.read();
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "TableIgnoreNulls1");
        long number = 0;
        try {
            w.insert({std::string("k1"), std::string("smile \U0001F600")});
        } catch (const jet::Error& e) {
            number = e.number();
            EXPECT_NE(std::string(e.what()).find("U+D83D"), std::string::npos) << e.what();
        }
        EXPECT_EQ(number, jet::kErrUnsupported);
        db.rollback();
    }
    EXPECT_EQ(copy.read(), original);
}

TEST(IndexUpkeep, DuplicateKeyIsRefusedAndTheFileIsUnchanged) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("indexTestV2000.mdb");  // Table2: id is the primary key
    std::vector<unsigned char> original = copy.read();
    jet::Database db(copy.path(), "");
    const jet::TableDef& t = db.table("Table2");
    std::vector<jet::Value> existing;
    jet::TableScan scan(db, t);
    ASSERT_TRUE(scan.next());
    scan.read(existing);
    db.begin();
    jet::TableWriter w(db, "Table2");
    long number = 0;
    try {
        w.insert({existing[0], std::string("again")});
    } catch (const jet::Error& e) {
        number = e.number();
        EXPECT_NE(std::string(e.what()).find("duplicate values in the index, primary key, or relationship"),
                  std::string::npos);
    }
    EXPECT_EQ(number, 3022);
    try {
        w.insert({jet::Value(), std::string("no key")});
        number = 0;
    } catch (const jet::Error& e) {
        number = e.number();
    }
    EXPECT_EQ(number, jet::kErrNullKey);
    db.commit();
    EXPECT_EQ(copy.read(), original);
}

TEST(IndexUpkeep, CrashWhileTheTreeGrowsLeavesTheFileBeforeOrAfter) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("compIndexTestV2000.mdb");
    std::vector<unsigned char> original = copy.read();
    size_t before = checkIndexes(copy.path(), "Table1");
    bool reached_end = false;
    for (int k = 0; !reached_end && k < 60; k += 2) {
        SCOPED_TRACE(k);
        copy.write(original);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            jet::Database db(copy.path(), "");
            db.begin();
            jet::TableWriter w(db, "Table1");
            for (int32_t i = 0; i < 600; ++i) w.insert(agent(300000 + i));  // splits the leaves
            int points = 0;
            jet::Pager::setIoHook([&](int) {
                if (points++ == k) _exit(9);
            });
            db.commit();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        reached_end = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        size_t after = checkIndexes(copy.path(), "Table1");
        EXPECT_TRUE(after == before || after == before + 600) << after;
    }
    EXPECT_TRUE(reached_end);
}

}  // namespace
