// SPDX-License-Identifier: Apache-2.0
// The shape of an index's B-tree under changes that touch one leaf at a
// time: after inserts in random, ascending and descending order (leaves,
// intermediate pages and the root splitting) and removals that empty
// leaves and whole levels, the tree is walked level by level: one depth for
// every leaf, each level's sibling chain in order, every intermediate
// entry naming its child's last entry, each page's free space and shared
// prefix as it holds them. Its entries are compared with the table's rows
// (or a model), mdb-export reads the file, and lookups find every row.
// The random inserts run with few changed pages kept in memory, so that
// the tree's pages go to the temporary file and back all the time; such a
// load rolls back to the same bytes and survives a crash in its commit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "jet/database.h"
#include "jet/dirty_pages.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_search.h"
#include "jet/index_writer.h"
#include "jet/row_reader.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"
#include "support/crash.h"
#include "support/index_tree.h"
#include "support/jet_check.h"
#include "support/testdata.h"

namespace {

using testdata::Entry;
using testdata::Shape;
using testdata::entryOf;
using testdata::walk;

size_t exportedRows(const std::string& path, const std::string& table, std::vector<long>* first_column) {
    std::string cmd = "mdb-export -H '" + path + "' '" + table + "'";
    FILE* p = popen(cmd.c_str(), "r");
    size_t n = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        ++n;
        if (first_column) first_column->push_back(std::atol(line));
    }
    pclose(p);
    return n;
}

// compIndexTestV2000's Table1: a Long primary key (descending) and two
// text columns, 512 rows from Access.
std::vector<jet::Value> agent(int32_t id) {
    return {id, std::string("agent ") + std::to_string(id), std::string("d")};
}

// The table's rows against its index: the same entries, the tree sound,
// every row found by its key and the whole range in key order. Returns the
// tree's shape.
Shape checkTable(const std::string& path, std::map<int32_t, jet::RowId>& rows) {
    jet::Database db(path, "");
    const jet::TableDef& t = db.table("Table1");
    const jet::RealIndex& pk = t.real_indexes.at(0);
    std::vector<Entry> from_rows;
    jet::TableScan scan(db, t);
    std::vector<jet::Value> values;
    std::map<int32_t, jet::RowId> scanned;
    while (scan.next()) {
        scan.read(values);
        from_rows.push_back(
            {jet::encodeKey(t, pk, values), {scan.rowId().page, uint8_t(scan.rowId().row)}});
        scanned[values[0].as<int32_t>()] = scan.rowId();
    }
    EXPECT_EQ(scanned.size(), rows.size());
    EXPECT_EQ(t.row_count, rows.size());
    std::sort(from_rows.begin(), from_rows.end());
    Shape shape = walk(db.pager(), db.format(), pk.root_page);
    EXPECT_EQ(shape.entries, from_rows);
    EXPECT_EQ(jet::readUsageMap(db.pager(), db.format(), pk.usage_map), shape.pages)
        << "the index's usage map lists its tree's pages, no more";
    EXPECT_EQ(jet::readIndex(db.pager(), db.format(), pk.root_page).size(), rows.size());

    size_t missed = 0;
    for (const auto& [id, row] : rows) {
        std::vector<jet::RowId> found = jet::findRows(db.pager(), db.format(), t, pk, {id});
        if (found != std::vector<jet::RowId>{row}) ++missed;
    }
    EXPECT_EQ(missed, 0u) << "rows not found by their key";
    // The key descends, so the whole range runs from the highest id down.
    std::vector<jet::RowId> all = jet::scanRange(db.pager(), db.format(), t, pk, std::nullopt, std::nullopt);
    std::vector<jet::RowId> expected;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) expected.push_back(it->second);
    EXPECT_EQ(all, expected);

    std::vector<long> exported;
    EXPECT_EQ(exportedRows(path, "Table1", &exported), rows.size());
    std::sort(exported.begin(), exported.end());
    std::vector<long> ids;
    for (const auto& r : rows) ids.push_back(r.first);
    EXPECT_EQ(exported, ids);
    return shape;
}

// The table's rows by id, after removing the two whose id is Null (so
// that every row has a number, and loads in key order reach the index's
// very ends).
std::map<int32_t, jet::RowId> prepare(const std::string& path) {
    jet::Database db(path, "");
    const jet::TableDef& t = db.table("Table1");
    std::map<int32_t, jet::RowId> rows;
    std::vector<jet::RowId> nulls;
    {
        jet::TableScan scan(db, t);
        std::vector<jet::Value> values;
        while (scan.next()) {
            scan.read(values);
            if (values[0].isNull()) nulls.push_back(scan.rowId());
            else rows[values[0].as<int32_t>()] = scan.rowId();
        }
    }
    EXPECT_EQ(nulls.size(), 2u);
    db.begin();
    jet::TableWriter w(db, "Table1");
    for (jet::RowId row : nulls) w.remove(row);
    db.commit();
    return rows;
}

TEST(IndexSplit, RandomInsertsThenDeletesThatEmptyLeavesKeepTheTreeSound) {
    SKIP_WITHOUT_CORPUS();
    jet::DirtyPages::setInMemoryLimit(16);
    testdata::Copy copy("compIndexTestV2000.mdb");
    std::map<int32_t, jet::RowId> rows = prepare(copy.path());
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 40000; ++i) ids.push_back(10000 + i * 3);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        for (int32_t id : ids) rows[id] = w.insert(agent(id));
        db.commit();
    }
    Shape grown = checkTable(copy.path(), rows);
    EXPECT_EQ(grown.depth, 2u);
    EXPECT_GT(grown.pages_per_level.back(), 60u);  // many leaves, each split from another

    // A run of keys spanning many leaves goes whole, and every fifth key
    // elsewhere.
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        for (auto it = rows.begin(); it != rows.end();) {
            bool in_run = it->first >= 30000 && it->first < 90000;
            if (in_run || it->first % 5 == 0) {
                w.remove(it->second);
                it = rows.erase(it);
            } else {
                ++it;
            }
        }
        db.commit();
    }
    Shape shrunk = checkTable(copy.path(), rows);
    EXPECT_LT(shrunk.pages_per_level.back(), grown.pages_per_level.back() - 30);

    // Keys changed into the emptied run and beyond both ends.
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        std::vector<std::pair<int32_t, jet::RowId>> moving;
        for (const auto& r : rows)
            if (r.first % 7 == 1) moving.push_back(r);
        int32_t next = 0;
        for (const auto& [id, row] : moving) {
            int32_t to = next % 3 == 0 ? 40001 + next : next % 3 == 1 ? -1 - next : 5000000 + next;
            ++next;
            w.update(row, agent(to));
            rows.erase(id);
            rows[to] = row;
        }
        db.commit();
    }
    checkTable(copy.path(), rows);

    // Everything goes: the root is left an empty leaf, and the index grows
    // again from there.
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        for (const auto& r : rows) w.remove(r.second);
        rows.clear();
        db.commit();
    }
    Shape empty = checkTable(copy.path(), rows);
    EXPECT_EQ(empty.depth, 1u);
    EXPECT_TRUE(empty.entries.empty());
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        for (int32_t id = 1; id <= 2000; ++id) rows[id] = w.insert(agent(id));
        db.commit();
    }
    EXPECT_EQ(checkTable(copy.path(), rows).depth, 2u);
    if (testdata::jetCheckMissing().empty())
        testdata::expectNoNewJetCheckProblems({{testdata::file("compIndexTestV2000.mdb"), copy.path()}});
    jet::DirtyPages::setInMemoryLimit(jet::DirtyPages::kInMemory);
}

// A load of many times the pages kept in memory: rolled back, the file is
// as it was; killed at a step of its commit, the next opener finds it
// exactly before (the journal written, the file half-written, the journal
// not yet cleared) or after (clearing the journal); where the temporary
// file cannot grow, the load fails and its commit is refused.
TEST(IndexSplit, ALoadPastThePagesKeptInMemoryLandsWholeOrNotAtAll) {
    SKIP_WITHOUT_CORPUS();
    jet::DirtyPages::setInMemoryLimit(8);
    testdata::Copy copy("compIndexTestV2000.mdb");
    std::map<int32_t, jet::RowId> rows = prepare(copy.path());
    const std::vector<unsigned char> before = copy.read();
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 4000; ++i) ids.push_back(10000 + i * 3);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
    auto load = [&](bool keep) {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        for (int32_t id : ids) rows[id] = w.insert(agent(id));
        keep ? db.commit() : db.rollback();
    };
    load(false);
    EXPECT_EQ(copy.read(), before);
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{16 * 4096, 16 * 4096};  // files written from here on
        setrlimit(RLIMIT_FSIZE, &small);
        long failed = 0, refused = 0;
        try {
            load(true);
        } catch (const jet::Error& e) {
            failed = e.number();
        }
        jet::Database db(copy.path(), "");
        db.begin();
        try {
            jet::TableWriter w(db, "Table1");
            for (int32_t id : ids) w.insert(agent(id));
        } catch (const jet::Error&) {
        }
        try {
            db.commit();
        } catch (const jet::Error& e) {
            refused = e.number();
        }
        _exit(failed == jet::kErrIo && refused == jet::kErrIo ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a failed write to the temporary file is an error";
    EXPECT_EQ(copy.read(), before);

    int steps = 0;
    jet::Pager::setIoHook([&](int) { ++steps; });
    load(true);
    jet::Pager::setIoHook({});
    const std::vector<unsigned char> after = copy.read();
    checkTable(copy.path(), rows);
    ASSERT_GT(steps, 6);
    for (int k : {1, steps / 2, steps - 2, steps - 1}) {
        copy.write(before);
        EXPECT_FALSE(testdata::finishesBeforeStep(k, [&] { load(true); })) << k;
        { jet::Database recovered(copy.path(), ""); }
        EXPECT_TRUE(copy.read() == (k == steps - 1 ? after : before)) << "the writer died at step " << k << " of " << steps;
    }
    jet::DirtyPages::setInMemoryLimit(jet::DirtyPages::kInMemory);
}

// A writer follows the pages it read last (IndexCache) and patches the leaf
// it wrote last: the same changes through one writer and through a writer
// per change leave the same bytes, with removals among the inserts
// changing pages under it.
TEST(IndexSplit, OneWriterForARunWritesWhatAWriterPerChangeWrites) {
    SKIP_WITHOUT_CORPUS();
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 3000; ++i) ids.push_back(10000 + i * 3);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(11));
    std::string bytes[2];
    for (bool one_writer : {false, true}) {
        testdata::Copy copy("compIndexTestV2000.mdb");
        {
            jet::Database db(copy.path(), "");
            db.begin();
            std::optional<jet::TableWriter> kept;
            if (one_writer) kept.emplace(db, "Table1");
            std::vector<jet::RowId> added;
            for (size_t i = 0; i < ids.size(); ++i) {
                std::optional<jet::TableWriter> own;
                jet::TableWriter& w = one_writer ? *kept : own.emplace(db, "Table1");
                added.push_back(w.insert(agent(ids[i])));
                if (i % 97 == 0) w.remove(added[i / 2]);
            }
            db.commit();
        }
        std::ifstream in(copy.path(), std::ios::binary);
        bytes[one_writer].assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_FALSE(bytes[0].empty());
    EXPECT_TRUE(bytes[0] == bytes[1]) << "a run through one writer differs from a writer per change";
}

TEST(IndexSplit, LoadsInKeyOrderFillTheirLeaves) {
    SKIP_WITHOUT_CORPUS();
    // The key descends: rising ids add at the start of the index, falling
    // ones at its end (past the rows Access wrote, which are all lower).
    for (bool rising : {true, false}) {
        SCOPED_TRACE(rising ? "rising ids" : "falling ids");
        testdata::Copy copy("compIndexTestV2000.mdb");
        std::map<int32_t, jet::RowId> rows = prepare(copy.path());
        {
            jet::Database db(copy.path(), "");
            db.begin();
            jet::TableWriter w(db, "Table1");
            for (int32_t i = 0; i < 30000; ++i) {
                int32_t id = rising ? 100000 + i : -100000 - i;
                rows[id] = w.insert(agent(id));
            }
            db.commit();
        }
        Shape shape = checkTable(copy.path(), rows);
        EXPECT_EQ(shape.depth, 2u);
        // Access's own leaf stays as it was; the new ones are full but for
        // the one still being added to.
        size_t full = 0;
        for (double fill : shape.leaf_fill) full += fill > 0.97;
        EXPECT_GE(full, shape.leaf_fill.size() - 2) << shape.leaf_fill.size() << " leaves";
    }
}

// Keys far longer than a Long's, some sharing long prefixes, so that a few
// thousand entries need four levels; entries go straight to the index and
// are checked against a model.
std::vector<uint8_t> longKey(uint32_t n) {
    std::vector<uint8_t> key(150 + n % 300, uint8_t(0x41 + n % 3));
    for (int b = 0; b < 4; ++b) key[size_t(8 + b)] = uint8_t(n >> (24 - 8 * b));
    key.back() = uint8_t(n);
    return key;
}

TEST(IndexSplit, LongKeysGrowAndShrinkTheTreeByLevels) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("compIndexTestV2000.mdb");
    jet::Database db(copy.path(), "");
    const jet::TableDef& t = db.table("Table1");
    // Taken once the transaction has begun: its start reads definitions again.
    db.begin();
    const jet::RealIndex& index = t.real_indexes.at(0);
    std::set<Entry> model;
    for (const jet::IndexEntry& e : jet::readIndex(db.pager(), db.format(), index.root_page)) model.insert(entryOf(e));
    std::vector<uint32_t> order(6000);
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(11));
    auto rowOf = [](uint32_t n) { return jet::RowId{5000 + n / 200, uint16_t(n % 200)}; };

    for (uint32_t n : order) {
        jet::insertIndexEntry(db.writablePager(), db.format(), t.page, index, longKey(n), rowOf(n));
        model.insert({longKey(n), {rowOf(n).page, uint8_t(rowOf(n).row)}});
    }
    // A second row under one key: entries are told apart by row pointer.
    jet::insertIndexEntry(db.writablePager(), db.format(), t.page, index, longKey(17), jet::RowId{9999, 1});
    model.insert({longKey(17), {9999, 1}});
    db.commit();
    Shape grown = walk(db.pager(), db.format(), index.root_page);
    EXPECT_GE(grown.depth, 4u);
    EXPECT_EQ(grown.entries, std::vector<Entry>(model.begin(), model.end()));
    EXPECT_TRUE(jet::indexHasKey(db.pager(), db.format(), index, longKey(4321)));
    std::vector<uint8_t> absent = longKey(4321);
    absent.push_back(0);
    EXPECT_FALSE(jet::indexHasKey(db.pager(), db.format(), index, absent));

    // Removing all but every 50th entry empties most leaves and pages above.
    db.begin();
    for (uint32_t n : order) {
        if (n % 50 == 0) continue;
        jet::removeIndexEntry(db.writablePager(), db.format(), t.page, index, longKey(n), rowOf(n));
        model.erase({longKey(n), {rowOf(n).page, uint8_t(rowOf(n).row)}});
    }
    db.commit();
    Shape shrunk = walk(db.pager(), db.format(), index.root_page);
    EXPECT_EQ(shrunk.entries, std::vector<Entry>(model.begin(), model.end()));
    EXPECT_LE(shrunk.depth, grown.depth);
    EXPECT_FALSE(jet::indexHasKey(db.pager(), db.format(), index, longKey(4321)));
    EXPECT_TRUE(jet::indexHasKey(db.pager(), db.format(), index, longKey(4300)));

    // Regrowing from the thinned tree.
    db.begin();
    for (uint32_t n : order)
        if (n % 50 != 0) jet::insertIndexEntry(db.writablePager(), db.format(), t.page, index, longKey(n), rowOf(n));
    db.commit();
    EXPECT_EQ(walk(db.pager(), db.format(), index.root_page).entries.size(), grown.entries.size());

    // A key longer than a quarter of a page's room is refused, with nothing
    // changed.
    db.begin();
    long number = 0;
    try {
        jet::insertIndexEntry(db.writablePager(), db.format(), t.page, index, std::vector<uint8_t>(1000, 0x50), rowOf(1));
    } catch (const jet::Error& e) {
        number = e.number();
    }
    db.rollback();
    EXPECT_EQ(number, jet::kErrUnsupported);
}

}  // namespace
