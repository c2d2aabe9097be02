// Transactions of the pager: all of a commit lands or none of it, also when
// the process dies at any step of it; one writer at a time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "jet/journal.h"
#include "jet/pager.h"
#include "support/testdata.h"

namespace {

constexpr uint32_t kPage = 4096;

std::unique_ptr<jet::Pager> openPager(const std::string& path, jet::Pager::Mode mode = jet::Pager::Mode::ReadWrite) {
    auto p = std::make_unique<jet::Pager>(path, mode);
    p->configure(kPage, 0);
    return p;
}

// The change every test makes: two pages rewritten, two appended.
void change(jet::Pager& p) {
    p.begin();
    std::memset(p.modify(3), 0xA3, kPage);
    std::memset(p.modify(1), 0xA1, kPage);
    std::memset(p.modify(p.append()), 0xB1, kPage);
    std::memset(p.modify(p.append()), 0xB2, kPage);
}

std::vector<unsigned char> afterChange(std::vector<unsigned char> bytes) {
    std::memset(bytes.data() + 3 * kPage, 0xA3, kPage);
    std::memset(bytes.data() + 1 * kPage, 0xA1, kPage);
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

// A journal of the database at `path` restoring page 2 to 0xEE bytes.
jet::Journal journalOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    jet::Journal j;
    j.page_size = kPage;
    j.original_size = uint64_t(st.st_size);
    j.device = st.st_dev;
    j.inode = st.st_ino;
    j.records.push_back({2, std::vector<uint8_t>(kPage, 0xEE)});
    return j;
}

// A journal as a writer that died would have left it.
void writeJournalFile(const std::string& path, const jet::Journal& j) {
    int fd = jet::openJournal(path);
    jet::writeJournal(fd, path, j, [] {});
    ::close(fd);
}

TEST(Transaction, CommitLandsAndReadsSeeChangesAtOnce) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    {
        auto p = openPager(copy.path());
        uint32_t pages = p->pageCount();
        change(*p);
        EXPECT_EQ(p->page(3).u8(100), 0xA3);
        EXPECT_EQ(p->pageCount(), pages + 2);
        EXPECT_EQ(copy.read(), before) << "nothing reaches the file before commit";
        p->commit();
        EXPECT_FALSE(journalLive(copy.path())) << "a commit leaves nothing to play back";
        EXPECT_EQ(p->page(pages + 1).u8(0), 0xB2);
        change(*p);
        p->commit();
        EXPECT_FALSE(journalLive(copy.path()));
    }
    EXPECT_FALSE(journalExists(copy.path())) << "the journal goes when the writer closes";
    EXPECT_EQ(copy.read().size(), afterChange(before).size() + 2 * kPage);
}

TEST(Transaction, RollbackLeavesTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    auto p = openPager(copy.path());
    uint32_t pages = p->pageCount();
    change(*p);
    p->rollback();
    EXPECT_EQ(p->pageCount(), pages);
    EXPECT_NE(p->page(3).u8(100), 0xA3);
    EXPECT_EQ(copy.read(), before);
}

// A child process makes the change and dies at the k-th write, flush or
// removal; a pager open since before (as a window's is) must find the file
// exactly before or after once it takes the lock to write.
TEST(Transaction, ACrashAtAnyStepLeavesTheFileBeforeOrAfter) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    const std::vector<unsigned char> before = copy.read();
    const std::vector<unsigned char> after = afterChange(before);
    bool reached_end = false;
    int befores = 0, afters = 0;
    for (int k = 0; !reached_end && k < 100; ++k) {
        copy.write(before);
        auto early = openPager(copy.path());
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int points = 0;
            jet::Pager::setIoHook([&](int) {
                if (points++ == k) _exit(9);
            });
            auto p = openPager(copy.path());
            change(*p);
            p->commit();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        reached_end = WEXITSTATUS(status) == 0;
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
    }
    EXPECT_TRUE(reached_end);
    EXPECT_GT(befores, 2);
    EXPECT_GT(afters, 1);
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

TEST(Transaction, TornJournalIsDiscardedAndTheFileKept) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    std::vector<unsigned char> before = copy.read();
    jet::Journal j = journalOf(copy.path());
    writeJournalFile(copy.path() + "-journal", j);
    std::filesystem::resize_file(copy.path() + "-journal", 32 + 4 + kPage - 10);
    { auto p = openPager(copy.path()); }
    EXPECT_EQ(copy.read(), before);
    EXPECT_FALSE(journalExists(copy.path()));
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

TEST(Transaction, EncodedFilesAreNotWritten) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("db-enc.mdb");
    jet::Pager p(copy.path());
    p.configure(kPage, 0x1234);
    EXPECT_THROW(p.begin(), jet::Error);
}

}  // namespace
