// SPDX-License-Identifier: Apache-2.0
// Transactions of the pager: all of a commit lands or none of it, also when
// the process dies or a write fails at any step of it, also when the
// changed pages wait in the temporary file (one page kept in memory) and
// when their journal takes many chunks; one writer at a time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "jet/dirty_pages.h"
#include "jet/journal.h"
#include "jet/pager.h"
#include "support/crash.h"
#include "support/testdata.h"

namespace {

constexpr uint32_t kPage = 4096;

std::unique_ptr<jet::Pager> openPager(const std::string& path, jet::Pager::Mode mode = jet::Pager::Mode::ReadWrite) {
    auto p = std::make_unique<jet::Pager>(path, mode);
    p->configure(kPage);
    return p;
}

// The change the tests make: pages rewritten (page n to 0xA0 + n % 32),
// two appended. The large one's journal takes several chunks to write and
// to read back.
const std::vector<uint32_t> kSmall = {3, 1};
std::vector<uint32_t> large() {
    std::vector<uint32_t> pages;
    for (uint32_t n = 1; n <= 5 * jet::Journal::kChunkRecords / 2; ++n) pages.push_back(n);
    return pages;
}
uint8_t fillOf(uint32_t n) { return uint8_t(0xA0 + n % 32); }

void change(jet::Pager& p, const std::vector<uint32_t>& pages = kSmall) {
    p.begin();
    for (uint32_t n : pages) std::memset(p.modify(n), fillOf(n), kPage);
    std::memset(p.modify(p.append()), 0xB1, kPage);
    std::memset(p.modify(p.append()), 0xB2, kPage);
}

// Runs `test` on a fresh copy of testV2000.mdb with as many changed pages
// kept in memory as a change takes, and with one, so that the change's
// pages wait in the temporary file and are read back from it.
void withPagesKeptInMemoryOrNot(const std::function<void(const testdata::Copy&)>& test) {
    for (size_t kept : {jet::DirtyPages::kInMemory, size_t(1)}) {
        SCOPED_TRACE(kept);
        jet::DirtyPages::setInMemoryLimit(kept);
        test(testdata::Copy("testV2000.mdb"));
    }
    jet::DirtyPages::setInMemoryLimit(jet::DirtyPages::kInMemory);
}

std::vector<unsigned char> afterChange(std::vector<unsigned char> bytes, const std::vector<uint32_t>& pages = kSmall) {
    for (uint32_t n : pages) std::memset(bytes.data() + n * kPage, fillOf(n), kPage);
    bytes.resize(bytes.size() + 2 * kPage);
    std::memset(bytes.data() + bytes.size() - 2 * kPage, 0xB1, kPage);
    std::memset(bytes.data() + bytes.size() - kPage, 0xB2, kPage);
    return bytes;
}

bool journalExists(const std::string& path) { return std::filesystem::exists(path + "-journal"); }

// True when the journal beside `path` would be played back.
bool journalLive(const std::string& path) {
    int fd = ::open((path + "-journal").c_str(), O_RDONLY);
    if (fd < 0) return false;
    bool live = jet::readJournal(fd).has_value();
    ::close(fd);
    return live;
}

// A journal of the database at `path` restoring pages 2, 3, ... (`records`
// of them) to 0xEE bytes.
jet::Journal journalOf(const std::string& path, uint32_t records = 1) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    jet::Journal j;
    j.page_size = kPage;
    j.record_count = records;
    j.original_size = uint64_t(st.st_size);
    j.device = st.st_dev;
    j.inode = st.st_ino;
    return j;
}

// A journal as a writer that died would have left it.
void writeJournalFile(const std::string& path, const jet::Journal& j) {
    int fd = jet::openJournal(path);
    auto record = [](uint32_t i, uint8_t* image) {
        std::memset(image, 0xEE, kPage);
        return 2 + i;
    };
    jet::writeJournal(fd, path, j, record, [] {});
    ::close(fd);
}

TEST(Transaction, CommitLandsAndReadsSeeChangesAtOnce) {
    SKIP_WITHOUT_CORPUS();
    withPagesKeptInMemoryOrNot([](const testdata::Copy& copy) {
        std::vector<unsigned char> before = copy.read();
        {
            auto p = openPager(copy.path());
            uint32_t pages = p->pageCount();
            change(*p);
            EXPECT_EQ(p->page(3).u8(100), 0xA3);
            EXPECT_EQ(p->page(1).u8(100), 0xA1);
            EXPECT_EQ(p->pageCount(), pages + 2);
            EXPECT_EQ(copy.read(), before) << "nothing reaches the file before commit";
            p->commit();
            EXPECT_EQ(copy.read(), afterChange(before));
            EXPECT_FALSE(journalLive(copy.path())) << "a commit leaves nothing to play back";
            EXPECT_EQ(p->page(pages + 1).u8(0), 0xB2);
            change(*p, large());
            p->commit();
            EXPECT_FALSE(journalLive(copy.path()));
        }
        EXPECT_FALSE(journalExists(copy.path())) << "the journal goes when the writer closes";
        EXPECT_EQ(copy.read(), afterChange(afterChange(before), large()));
    });
}

TEST(Transaction, RollbackLeavesTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    withPagesKeptInMemoryOrNot([](const testdata::Copy& copy) {
        std::vector<unsigned char> before = copy.read();
        auto p = openPager(copy.path());
        uint32_t pages = p->pageCount();
        change(*p);
        p->rollback();
        EXPECT_EQ(p->pageCount(), pages);
        EXPECT_NE(p->page(3).u8(100), 0xA3);
        EXPECT_EQ(copy.read(), before);
    });
}

// At the k-th write, flush or removal of the commit (the journal's chunks,
// the file's runs, their flushes):
// - a child process making the change dies; a pager open since before (as
//   a window's is) must find the file exactly before or after once it
//   takes the lock to write;
// - the step fails; before the change stands the commit reports it and the
//   file is as it was, put back from the journal where it was touched;
//   after, the commit stands. Either way the pager goes on.
TEST(Transaction, ACrashOrAFailureAtAnyStepLeavesTheFileBeforeOrAfter) {
    SKIP_WITHOUT_CORPUS();
    for (const std::vector<uint32_t>& pages : {kSmall, large()}) {
        SCOPED_TRACE(pages.size());
        testdata::Copy copy("testV2000.mdb");
        const std::vector<unsigned char> before = copy.read();
        const std::vector<unsigned char> after = afterChange(before, pages);
        bool reached_end = false;
        int befores = 0, afters = 0, undone = 0;
        for (int k = 0; !reached_end && k < 100; ++k) {
            copy.write(before);
            auto early = openPager(copy.path());
            reached_end = testdata::finishesBeforeStep(k, [&] {
                auto p = openPager(copy.path());
                change(*p, pages);
                p->commit();
            });
            early->begin();
            std::vector<unsigned char> now = copy.read();
            EXPECT_FALSE(journalExists(copy.path())) << "step " << k;
            EXPECT_EQ(early->pageCount(), now.size() / kPage) << "step " << k;
            early.reset();
            if (now == before) ++befores;
            else if (now == after) ++afters;
            else ADD_FAILURE() << "the file is neither before nor after when the writer died at step " << k;
            if (reached_end) {
                EXPECT_EQ(now, after);
            }

            copy.write(before);
            auto p = openPager(copy.path());
            int points = 0;
            jet::Pager::setIoHook([&](int) {
                if (points++ == k) throw jet::Error(jet::kErrIo, "injected fault");
            });
            change(*p, pages);
            bool failed = false;
            try {
                p->commit();
            } catch (const jet::Error& e) {
                failed = true;
                EXPECT_EQ(e.number(), jet::kErrIo);
            }
            jet::Pager::setIoHook({});
            EXPECT_EQ(copy.read(), failed ? before : after) << "step " << k;
            if (!failed) EXPECT_FALSE(journalLive(copy.path())) << "step " << k;
            undone += failed;
            change(*p, pages);
            p->commit();
            EXPECT_EQ(copy.read().size(), after.size() + (failed ? 0 : 2 * kPage)) << "step " << k;
        }
        EXPECT_TRUE(reached_end);
        const int journal_steps = pages.size() > kSmall.size() ? 8 : 2;
        EXPECT_GT(befores, journal_steps);
        EXPECT_GT(afters, 1);
        EXPECT_GT(undone, journal_steps);
    }
}

// The journal file outlives a commit: a later, smaller commit overwrites
// its start only. Dying at any step of that later commit, or just before
// it, must still leave the file before or after it.
TEST(Transaction, ACrashInALaterCommitLeavesTheFileBeforeOrAfterIt) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    const std::vector<unsigned char> original = copy.read();
    const uint32_t big = 12;  // pages the first commit rewrites: a long journal
    ASSERT_GT(original.size(), (big + 2) * kPage);
    std::vector<unsigned char> before = original;
    for (uint32_t n = 1; n <= big; ++n) std::memset(before.data() + n * kPage, 0xC0 + int(n), kPage);
    const std::vector<unsigned char> after = afterChange(before);
    bool reached_end = false;
    int befores = 0, afters = 0;
    for (int k = 0; !reached_end && k < 100; ++k) {
        copy.write(original);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto p = openPager(copy.path());
            p->begin();
            for (uint32_t n = 1; n <= big; ++n) std::memset(p->modify(n), 0xC0 + int(n), kPage);
            p->commit();
            int points = 0;
            jet::Pager::setIoHook([&](int) {
                if (points++ == k) _exit(9);
            });
            change(*p);
            p->commit();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        reached_end = WEXITSTATUS(status) == 0;
        { auto recovered = openPager(copy.path()); }
        std::vector<unsigned char> now = copy.read();
        EXPECT_FALSE(journalExists(copy.path())) << "step " << k;
        if (now == before) ++befores;
        else if (now == after) ++afters;
        else ADD_FAILURE() << "the file is neither before nor after when the writer died at step " << k;
        if (reached_end) {
            EXPECT_EQ(now, after);
        }
    }
    EXPECT_TRUE(reached_end);
    EXPECT_GT(befores, 2);
    EXPECT_GT(afters, 1);
}

// A journal of one record or of several chunks, cut short or with a byte
// of a record changed, as a crash while it was written leaves it.
TEST(Transaction, TornJournalIsDiscardedAndTheFileKept) {
    SKIP_WITHOUT_CORPUS();
    constexpr size_t kHeader = 56, kRecord = 4 + kPage;
    struct Tear {
        const char* what;
        std::function<void(const std::string& journal, uint32_t records)> tear;
    };
    const Tear tears[] = {
        {"cut inside the last record",
         [](const std::string& journal, uint32_t records) {
             std::filesystem::resize_file(journal, kHeader + records * kRecord - 10);
         }},
        {"a byte of the middle record changed",
         [](const std::string& journal, uint32_t records) {
             std::fstream f(journal, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(long(kHeader + records / 2 * kRecord + 100));
             f.put(0x11);
         }},
    };
    for (uint32_t records : {1u, 3 * jet::Journal::kChunkRecords + 1})
        for (const Tear& t : tears) {
            SCOPED_TRACE(std::to_string(records) + " records, " + t.what);
            testdata::Copy copy("testV2000.mdb");
            std::vector<unsigned char> before = copy.read();
            writeJournalFile(copy.path() + "-journal", journalOf(copy.path(), records));
            ASSERT_TRUE(journalLive(copy.path()));
            t.tear(copy.path() + "-journal", records);
            { auto p = openPager(copy.path()); }
            EXPECT_EQ(copy.read(), before);
            EXPECT_FALSE(journalExists(copy.path()));
        }
}

TEST(Transaction, JournalOfAWriterStillRunningIsNotPlayedBack) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    auto writer = openPager(copy.path());
    writer->begin();  // takes the lock
    writeJournalFile(copy.path() + "-journal", journalOf(copy.path()));
    { auto reader = openPager(copy.path()); }
    EXPECT_EQ(copy.read(), before);
    EXPECT_TRUE(journalExists(copy.path()));
    writer.reset();  // the writer went away: now the journal is hot
    { auto next = openPager(copy.path()); }
    std::vector<unsigned char> expected = before;
    std::memset(expected.data() + 2 * kPage, 0xEE, kPage);
    EXPECT_EQ(copy.read(), expected);
}

TEST(Transaction, SecondWriterGetsInUseAndReadOnlyRefusesWrites) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    auto first = openPager(copy.path());
    auto second = openPager(copy.path());
    first->begin();
    try {
        second->begin();
        FAIL() << "two writers";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.number(), jet::kErrInUse);
    }
    first->rollback();
    EXPECT_THROW(second->begin(), jet::Error) << "the first writer keeps the lock while it is open";
    first.reset();
    second->begin();
    second->rollback();

    auto reader = openPager(copy.path(), jet::Pager::Mode::ReadOnly);
    EXPECT_FALSE(reader->writable());
    try {
        reader->begin();
        FAIL();
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.number(), jet::kErrReadOnly);
    }
}

// What another user or program may leave at the journal's path. None of it
// is played back: a file that is provably not this database's journal is
// left for the user to look at and writes are refused while it is there;
// a stale journal of our own layout-before is discarded. The database (and
// whatever a link points to) stays as it was.
TEST(Transaction, AJournalThatIsNotTheFilesOwnIsNeverPlayedBack) {
    SKIP_WITHOUT_CORPUS();
    auto write = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    };
    auto planted = [&](const std::string& db, const std::string& journal, auto edit) {
        jet::Journal j = journalOf(db);
        edit(j);
        writeJournalFile(journal, j);
    };
    struct Case {
        const char* what;
        std::function<void(const std::string& db, const std::string& journal)> plant;
        bool refused;
        bool after_begin;  // planted once the writer holds the lock
    };
    const Case cases[] = {
        {"the 32-byte journal of the earlier layout: no records, an original length of 0",
         [&](const std::string&, const std::string& journal) {
             std::vector<uint8_t> b(32, 0);
             std::memcpy(b.data(), "PLNJRNL1", 8);
             uint32_t page = kPage;
             std::memcpy(b.data() + 8, &page, 4);
             uint64_t h = 1469598103934665603ull;
             for (size_t i = 8; i < 24; ++i) h = (h ^ b[i]) * 1099511628211ull;
             std::memcpy(b.data() + 24, &h, 8);
             write(journal, b);
         },
         false, false},
        {"a journal of another file",
         [&](const std::string& db, const std::string& journal) { planted(db, journal, [](jet::Journal& j) { ++j.inode; }); },
         true, false},
        {"a journal saying the file was empty",
         [&](const std::string& db, const std::string& journal) {
             planted(db, journal, [](jet::Journal& j) { j.original_size = 0, j.record_count = 0; });
         },
         true, false},
        {"a journal other users may write to",
         [&](const std::string& db, const std::string& journal) {
             planted(db, journal, [](jet::Journal&) {});
             ::chmod(journal.c_str(), 0666);
         },
         true, false},
        {"another user's journal",
         [&](const std::string& db, const std::string& journal) {
             planted(db, journal, [](jet::Journal&) {});
             EXPECT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
         },
         true, false},
        {"a symbolic link to another file",
         [&](const std::string& db, const std::string& journal) {
             EXPECT_EQ(::symlink((db + ".other").c_str(), journal.c_str()), 0);
         },
         true, false},
        {"a symbolic link made while the writer holds the lock",
         [&](const std::string& db, const std::string& journal) {
             EXPECT_EQ(::symlink((db + ".other").c_str(), journal.c_str()), 0);
         },
         true, true},
    };
    for (const Case& c : cases) {
        if (std::string(c.what) == "another user's journal" && ::geteuid() != 0) continue;  // only root gives files away
        SCOPED_TRACE(c.what);
        testdata::Copy copy("testV2000.mdb");
        const std::string journal = copy.path() + "-journal", other = copy.path() + ".other";
        const std::vector<uint8_t> other_bytes(100, 0x5A);
        write(other, other_bytes);
        const std::vector<unsigned char> before = copy.read();
        if (!c.after_begin) c.plant(copy.path(), journal);
        {
            auto p = openPager(copy.path());  // reading is not refused
            EXPECT_EQ(copy.read(), before);
            try {
                change(*p);
                if (c.after_begin) c.plant(copy.path(), journal);
                p->commit();
                EXPECT_FALSE(c.refused) << "written beside a journal that is not the file's";
            } catch (const jet::Error& e) {
                EXPECT_TRUE(c.refused) << e.what();
                EXPECT_EQ(e.number(), jet::kErrIo) << e.what();
                p->rollback();
            }
        }
        std::error_code ignored;
        EXPECT_EQ(std::filesystem::is_symlink(journal) || std::filesystem::exists(journal, ignored), c.refused)
            << "a foreign journal is left for the user; a stale one of ours is removed";
        EXPECT_EQ(copy.read(), c.refused ? before : afterChange(before));
        std::ifstream f(other, std::ios::binary);
        EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {}), other_bytes);
    }
}

// Once the change stands, a failure to clear the journal is no failure of
// the commit: the journal is taken away instead, so that nobody undoes the
// change, and the pager goes on in step with the file.
TEST(Transaction, FailingToClearTheJournalAfterTheChangeStandsIsNoFailure) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    std::vector<unsigned char> expected = copy.read();
    auto p = openPager(copy.path());
    change(*p);
    p->commit();  // makes the journal file
    expected = afterChange(expected);
    int points = 0;
    jet::Pager::setIoHook([&](int) { ++points; });
    change(*p);
    p->commit();
    expected = afterChange(expected);
    const int last = points - 1;
    for (int fail_at : {last - 1, last}) {  // the clearing write, its flush
        int seen = 0;
        jet::Pager::setIoHook([&](int) {
            if (seen++ == fail_at) throw jet::Error(jet::kErrIo, "injected fault");
        });
        change(*p);
        EXPECT_NO_THROW(p->commit()) << "point " << fail_at;
        expected = afterChange(expected);
        EXPECT_EQ(copy.read(), expected) << "point " << fail_at;
        EXPECT_EQ(p->pageCount(), expected.size() / kPage);
        EXPECT_FALSE(journalLive(copy.path()));
    }
    jet::Pager::setIoHook({});
    p.reset();
    { auto next = openPager(copy.path()); }
    EXPECT_EQ(copy.read(), expected);
}

TEST(Transaction, AChangeThatWouldTakeTheFilePastTheLargestSizeIsRefused) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    const std::vector<unsigned char> before = copy.read();
    auto p = openPager(copy.path());
    jet::Pager::setSizeLimit(before.size() + kPage);  // room for one page of the two the change adds
    try {
        change(*p);
        ADD_FAILURE() << "the file grew past the limit";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.number(), jet::kErrTooLarge);
    }
    p->rollback();
    jet::Pager::setSizeLimit(uint64_t(1) << 31);
    EXPECT_EQ(copy.read(), before);
}

// A writer commits again and again while readers in other processes read:
// each commit sets pages 1 to 12 and a page it adds to one byte, so a read
// that sees any two of them differ, or misses the added page, saw half a
// commit or missed the file's growth.
TEST(Transaction, ReadersInOtherProcessesSeeEveryCommitWholeOrNotAtAll) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    constexpr uint32_t kPages = 12;
    constexpr int kReaders = 4, kReads = 250;
    auto commit = [&](jet::Pager& p, int v) {
        p.begin();
        for (uint32_t n = 1; n <= kPages; ++n) std::memset(p.modify(n), v, kPage);
        std::memset(p.modify(p.append()), v, kPage);
        p.commit();
    };
    { auto p = openPager(copy.path()); commit(*p, 0); }
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    pid_t writer = fork();
    if (writer == 0) {
        ::close(stop[1]);
        ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
        auto p = openPager(copy.path());
        char c;
        for (int v = 1; ::read(stop[0], &c, 1) < 0; v = v % 250 + 1) {
            commit(*p, v);
            ::usleep(10000);  // readers come between commits, as well as during them
        }
        _exit(0);
    }
    ::close(stop[0]);
    std::vector<pid_t> readers;
    for (int r = 0; r < kReaders; ++r) {
        pid_t reader = fork();
        if (reader == 0) {
            auto p = openPager(copy.path(), jet::Pager::Mode::ReadOnly);
            int torn = 0;
            std::set<int> seen;
            std::vector<uint8_t> same(kPage);
            // At least kReads reads, and over at least 5 commits.
            for (int i = 0; (i < kReads || seen.size() < 5) && i < 100 * kReads; ++i) {
                p->beginRead();
                int v = p->page(1).u8(0);
                std::memset(same.data(), v, kPage);
                bool whole = std::memcmp(p->page(p->pageCount() - 1).data(), same.data(), kPage) == 0;
                for (uint32_t n = 1; n <= kPages; ++n) whole = whole && std::memcmp(p->page(n).data(), same.data(), kPage) == 0;
                p->endRead();
                torn += !whole;
                seen.insert(v);
                ::usleep(100);
            }
            _exit(torn > 0 ? 100 + std::min(torn, 100) : seen.size() < 5 ? 1 : 0);
        }
        readers.push_back(reader);
    }
    for (pid_t reader : readers) {
        int status = 0;
        waitpid(reader, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_LT(WEXITSTATUS(status), 100) << WEXITSTATUS(status) - 100 << " reads (or more) were torn";
        EXPECT_NE(WEXITSTATUS(status), 1) << "the reads did not overlap the commits";
    }
    ::close(stop[1]);
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
