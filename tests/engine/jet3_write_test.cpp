// SPDX-License-Identifier: Apache-2.0
// Writing Access 97 (Jet 3) files: 2 KB pages, one-byte row headings with
// jump tables, text in the file's code page. Rows are inserted until new
// pages are taken, updated in place and by moving, deleted, and a crash at
// each page write is recovered; each step is read back by our reader and
// by mdb-export.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "jet/database.h"
#include "jet/table_writer.h"
#include "support/stored_rows.h"
#include "support/testdata.h"

namespace {

using Rows = std::vector<std::vector<jet::Value>>;

// delTestV1997's "Table": two Text (50) columns, two rows, no index.
const char* kFile = "delTestV1997.mdb";
const char* kTable = "Table";

Rows readAll(const std::string& path) { return testdata::storedRows(path, kTable).rows; }

std::multiset<std::string> exportedLines(const std::string& path) {
    std::multiset<std::string> lines;
    bool heading = true;
    std::string all = testdata::exported(path, kTable), line;
    for (char c : all) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (!heading) lines.insert(line);
        heading = false;
        line.clear();
    }
    return lines;
}

std::vector<jet::Value> row(const std::string& a, const std::string& b) { return {a, b}; }

std::string line(const std::string& a, const std::string& b) { return "\"" + a + "\",\"" + b + "\""; }

TEST(Jet3Write, InsertsUpdatesAndDeletesReadBackThroughBothReaders) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy(kFile);
    std::multiset<std::string> expected = exportedLines(copy.path());
    const std::string accented = "caf\u00e9 \u20ac5";  // both in code page 1252
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, kTable);
        // 2 KB pages hold about 30 of these: many new pages.
        for (int i = 0; i < 600; ++i) w.insert(row("row " + std::to_string(i), std::string(40, char('a' + i % 26))));
        w.insert(row(accented, ""));
        db.commit();
    }
    for (int i = 0; i < 600; ++i) expected.insert(line("row " + std::to_string(i), std::string(40, char('a' + i % 26))));
    expected.insert("\"" + accented + "\",");  // mdb-export prints an empty text as nothing
    std::multiset<std::string> got = exportedLines(copy.path());
    std::vector<std::string> missing, extra;
    std::set_difference(expected.begin(), expected.end(), got.begin(), got.end(), std::back_inserter(missing));
    std::set_difference(got.begin(), got.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    EXPECT_TRUE(missing.empty() && extra.empty()) << "missing " << ::testing::PrintToString(missing) << " extra "
                                                  << ::testing::PrintToString(extra);
    EXPECT_EQ(jet::Database(copy.path(), "").table(kTable).row_count, 603u);

    // The first rows grow past their slots and move; every tenth goes.
    std::vector<jet::RowId> ids = testdata::storedRows(copy.path(), kTable).ids;
    Rows before = readAll(copy.path());
    {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, kTable);
        w.update(ids[0], row(std::string(50, 'Z'), std::string(50, 'Y')));
        w.update(ids[1], row("v", "shorter"));
        for (size_t i = 10; i < ids.size(); i += 10) w.remove(ids[i]);
        db.commit();
    }
    Rows after = readAll(copy.path());
    Rows model;
    for (size_t i = 0; i < before.size(); ++i)
        if (i < 10 || i % 10) model.push_back(before[i]);
    model[0] = row(std::string(50, 'Z'), std::string(50, 'Y'));
    model[1] = row("v", "shorter");
    EXPECT_EQ(after, model);
    got = exportedLines(copy.path());
    EXPECT_EQ(got.size(), model.size());
    EXPECT_TRUE(got.count(line(std::string(50, 'Z'), std::string(50, 'Y'))));
    EXPECT_FALSE(got.count(line("row 8", std::string(40, 'i')))) << "row 8 was the tenth row and is deleted";
    EXPECT_EQ(jet::Database(copy.path(), "").table(kTable).row_count, model.size());
}

TEST(Jet3Write, ATextOutsideTheCodePageOrTooLongIsRefusedAndTheFileIsUnchanged) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy(kFile);
    std::vector<unsigned char> original = copy.read();
    for (const std::vector<jet::Value>& bad : {row("\u0416", "x"), row(std::string(51, 'x'), "")}) {
        jet::Database db(copy.path(), "");
        db.begin();
        jet::TableWriter w(db, kTable);
        EXPECT_THROW(w.insert(bad), jet::Error);
        db.rollback();
    }
    EXPECT_EQ(copy.read(), original);
}

TEST(Jet3Write, ACrashAtAnyPageWriteLeavesTheFileBeforeOrAfter) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy(kFile);
    std::vector<unsigned char> original = copy.read();
    Rows before = readAll(copy.path());
    bool finished = false;
    for (int k = 0; !finished && k < 200; ++k) {
        SCOPED_TRACE(k);
        copy.write(original);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int points = 0;
            jet::Pager::setIoHook([&](int) {
                if (points++ == k) _exit(9);
            });
            jet::Database db(copy.path(), "");
            db.begin();
            jet::TableWriter w(db, kTable);
            for (int i = 0; i < 100; ++i) w.insert(row("crash " + std::to_string(i), std::string(45, 'c')));
            db.commit();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        Rows now = readAll(copy.path());
        if (now.size() == before.size()) {
            EXPECT_EQ(now, before);
        } else {
            EXPECT_EQ(now.size(), before.size() + 100);
        }
        EXPECT_EQ(exportedLines(copy.path()).size(), now.size());
    }
    EXPECT_TRUE(finished);
}

}  // namespace
