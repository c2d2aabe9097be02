// SPDX-License-Identifier: Apache-2.0
// Inserting, updating and deleting rows, checked by reading the changed file
// with our reader and with mdbtools: every other row exactly as before, the
// change exactly as made.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "ado/value_text.h"
#include "jet/database.h"
#include "jet/table_writer.h"
#include "support/stored_rows.h"
#include "support/testdata.h"

namespace {

using Rows = std::vector<std::vector<jet::Value>>;

Rows readAll(const std::string& path, const std::string& table) { return testdata::storedRows(path, table).rows; }

// mdbtools' rows, each as one line of text, sorted.
std::multiset<std::string> exported(const std::string& path, const std::string& table) {
    std::string cmd = "mdb-export -H -D '%Y-%m-%d' -T '%Y-%m-%d %H:%M:%S' -b hex '" + path + "' '" + table + "'";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << cmd;
    std::multiset<std::string> lines;
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '"') quoted = !quoted;
        if (out[i] == '\n' && !quoted) lines.insert(out.substr(start, i - start)), start = i + 1;
    }
    return lines;
}

std::string text(const jet::Value& v) { return ado::toText(v, '.'); }

std::vector<jet::Value> textRow(const jet::TableDef& t, const std::string& prefix) {
    std::vector<jet::Value> v;
    for (size_t c = 0; c < t.columns.size(); ++c) v.push_back(prefix + "col" + std::to_string(c + 1));
    return v;
}

// Text in the text columns, Null (the next number, for an autonumber) in the others.
std::vector<jet::Value> textOrNullRow(const jet::TableDef& t, const std::string& text) {
    std::vector<jet::Value> v;
    for (const auto& c : t.columns) v.push_back(c.type == jet::kText ? jet::Value(text) : jet::Value());
    return v;
}

TEST(TableWriter, InsertsEnoughRowsToTakeNewPages) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("overflowTestV2000.mdb");
    Rows before = readAll(copy.path(), "Table1");
    std::multiset<std::string> exported_before = exported(copy.path(), "Table1");
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        for (int i = 0; i < 500; ++i) w.insert(textRow(w.table(), "new" + std::to_string(i) + "-"));
        db.commit();
    }
    Rows after = readAll(copy.path(), "Table1");
    ASSERT_EQ(after.size(), before.size() + 500);
    for (size_t r = 0; r < before.size(); ++r) EXPECT_EQ(after[r], before[r]);
    EXPECT_EQ(text(after.back()[0]), "new499-col1");
    EXPECT_EQ(jet::Database(copy.path(), "").table("Table1").row_count, before.size() + 500);

    std::multiset<std::string> exported_after = exported(copy.path(), "Table1");
    EXPECT_EQ(exported_after.size(), exported_before.size() + 500);
    for (const std::string& line : exported_before) EXPECT_TRUE(exported_after.count(line)) << line;
    EXPECT_TRUE(exported_after.count(
        "\"new7-col1\",\"new7-col2\",\"new7-col3\",\"new7-col4\",\"new7-col5\",\"new7-col6\",\"new7-col7\","
        "\"new7-col8\",\"new7-col9\""));
}

TEST(TableWriter, UpdatesInPlaceAndByMovingTheRow) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("overflowTestV2000.mdb");
    Rows before = readAll(copy.path(), "Table1");
    std::vector<jet::RowId> ids = testdata::storedRows(copy.path(), "Table1").ids;
    ASSERT_GE(ids.size(), 3u);
    std::vector<jet::Value> shorter(before[1].size()), longer = before[2];
    shorter[0] = std::string("s");
    for (size_t c = 0; c < 4; ++c) longer[c] = std::string(50, 'L');
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        w.update(ids[1], shorter);
        w.update(ids[2], longer);
        db.commit();
        // Move it once more: the row keeps its place.
        db.begin();
        std::vector<jet::Value> longest = longer;
        for (size_t c = 4; c < longest.size(); ++c) longest[c] = std::string(50, 'M');
        w.update(ids[2], longest);
        db.commit();
        longer = longest;
    }
    Rows after = readAll(copy.path(), "Table1");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[1], shorter);
    EXPECT_EQ(after[2], longer);
    for (size_t r = 0; r < before.size(); ++r) {
        if (r == 1 || r == 2) continue;
        EXPECT_EQ(after[r], before[r]) << r;
    }
    std::multiset<std::string> lines = exported(copy.path(), "Table1");
    EXPECT_EQ(lines.size(), before.size());
    EXPECT_TRUE(lines.count("\"s\",,,,,,,,"));
}

TEST(TableWriter, DeletesRows) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("overflowTestV2000.mdb");
    Rows before = readAll(copy.path(), "Table1");
    {
        std::vector<jet::RowId> ids = testdata::storedRows(copy.path(), "Table1").ids;
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        w.remove(ids[0]);
        w.remove(ids[3]);
        EXPECT_THROW(w.remove(ids[3]), jet::Error);
        db.commit();
    }
    Rows after = readAll(copy.path(), "Table1");
    Rows expected = before;
    expected.erase(expected.begin() + 3);
    expected.erase(expected.begin());
    EXPECT_EQ(after, expected);
    EXPECT_EQ(exported(copy.path(), "Table1").size(), before.size() - 2);
    EXPECT_EQ(jet::Database(copy.path(), "").table("Table1").row_count, before.size() - 2);
}

TEST(TableWriter, MemoValuesOfEverySizeAndTheirReplacement) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("fixedNumericTestV2000.mdb");
    Rows before = readAll(copy.path(), "test");
    ASSERT_EQ(before.size(), 1u);
    jet::Database probe(copy.path(), "");
    const jet::TableDef& t = probe.table("test");
    int memo = -1;
    for (size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c].type == jet::kMemo) memo = int(c);
    ASSERT_GE(memo, 0);
    std::vector<std::string> memos = {"short", std::string(3000, 'x'), std::string(20000, 'y') + "\xC3\xA9"};
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "test");
        for (const std::string& m : memos) {
            std::vector<jet::Value> row = before[0];
            row[memo] = m;
            w.insert(row);
        }
        db.commit();
    }
    Rows after = readAll(copy.path(), "test");
    ASSERT_EQ(after.size(), 4u);
    for (size_t i = 0; i < memos.size(); ++i) EXPECT_EQ(after[i + 1][memo].as<std::string>(), memos[i]);
    EXPECT_EQ(exported(copy.path(), "test").size(), 4u);
}

TEST(TableWriter, RollbackAndCrashLeaveTheFileBeforeOrAfter) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("overflowTestV2000.mdb");
    std::vector<unsigned char> original = copy.read();
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, "Table1");
        w.insert(textRow(w.table(), "gone"));
        db.rollback();
        EXPECT_EQ(db.table("Table1").row_count, 7u);
    }
    EXPECT_EQ(copy.read(), original);

    // A connection open since before the crash, as a window's is, then
    // writes: it must first undo what the crash left half-done. Also in an
    // encrypted file, whose journal holds pages as stored.
    for (const auto& [file, table] : {std::pair{"overflowTestV2000.mdb", "Table1"}, {"db2013-enc.accdb", "Customers"}}) {
        testdata::Copy crashed(file);
        const std::vector<unsigned char> unchanged = crashed.read();
        const std::string password = testdata::passwordOf(file);
        Rows before = readAll(crashed.path(), table);
        bool finished = false;
        for (int k = 0; !finished && k < 200; ++k) {
            crashed.write(unchanged);
            jet::Database early(crashed.path(), password);
            ASSERT_EQ(early.table(table).row_count, before.size());
            pid_t child = fork();
            if (child == 0) {
                int points = 0;
                jet::Pager::setIoHook([&](int) {
                    if (points++ == k) _exit(9);
                });
                jet::Database db(crashed.path(), password);
                db.begin();
                jet::TableWriter w(db, table);
                for (int i = 0; i < 100; ++i) w.insert(textOrNullRow(w.table(), "crash" + std::to_string(i)));
                db.commit();
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            jet::inTransaction(early, [&] {
                jet::TableWriter w(early, table);
                w.insert(textOrNullRow(w.table(), "after"));
            });
            Rows now = readAll(crashed.path(), table);
            auto added = std::find_if(now.begin(), now.end(), [](const auto& row) {
                return std::any_of(row.begin(), row.end(), [](const jet::Value& v) { return text(v) == "after"; });
            });
            ASSERT_NE(added, now.end()) << file << " step " << k;
            now.erase(added);
            if (now.size() == before.size()) {
                EXPECT_EQ(now, before) << file << " step " << k;
            } else {
                EXPECT_EQ(now.size(), before.size() + 100) << file << " step " << k;
            }
            EXPECT_EQ(early.table(table).row_count, now.size() + 1) << file << " step " << k;
        }
        EXPECT_TRUE(finished) << file;
    }
}

TEST(TableWriter, RefusesWhatItCannotWriteSafely) {
    SKIP_WITHOUT_CORPUS();
    auto refusal = [](const std::string& file, const std::string& table) {
        testdata::Copy copy(file);
        jet::Database db(copy.path(), "");
        try {
            jet::TableWriter w(db, table);
        } catch (const jet::Error& e) {
            return e.number();
        }
        return 0L;
    };
    EXPECT_EQ(refusal("complexDataTestV2007.accdb", "Table1"), jet::kErrUnsupported);  // attachment keys
    EXPECT_EQ(refusal("testV2000.mdb", "Table1"), 0);  // text keys
    EXPECT_EQ(refusal("testV1997.mdb", "Table1"), 0);  // Access 97, indexed
    EXPECT_EQ(refusal("delTestV1997.mdb", "Table"), 0);  // Access 97, no index
    EXPECT_EQ(refusal("overflowTestV2000.mdb", "Table1"), 0);
}

}  // namespace
