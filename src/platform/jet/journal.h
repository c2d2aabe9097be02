// SPDX-License-Identifier: Apache-2.0
// The rollback journal: the original images of the pages a commit is about
// to overwrite, and the file's original length.
//
// Layout: a 56-byte header (magic "PLNJRNL2", page size, record count,
// original length, the device and inode of the database it serves, a
// random number of the writer that made it, and a checksum of the header
// fields and the records), then per record a 4-byte page number and the
// page image. The file may go on past the last record: a writer keeps its
// journal file between commits and only ever overwrites it from the start,
// so bytes of a longer, earlier journal are left behind and mean nothing.
//
// A journal is written and read back a chunk of kChunkRecords records at a
// time, so that a commit, an undo or a repair holds no more of it in
// memory however many pages it restores; the checksum is summed as the
// records go. The header goes last (in one write with the records where
// they fit one chunk): until it is written, what is at the start is a
// cleared journal or none.
//
// A journal whose checksum does not hold was torn by a crash while being
// written; the database file was not yet touched then, so it is discarded.
// A cleared journal (its magic zeroed once the commit it served is durable)
// is no journal.
//
// The journal's path is in a folder other users may write to, so what is
// found there is trusted only when it is a regular file (never a link)
// owned by the database's owner or by us, writable by nobody else, and
// names this database's device and inode and a length it could have had.
// Anything else is foreign: it is left where it is for the user to look at.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace jet {

// The journal's header: what its records restore, and whose it is.
struct Journal {
    static constexpr uint32_t kChunkRecords = 64;  // 256 KB of 4 KB pages

    uint32_t page_size = 0;
    uint32_t record_count = 0;
    uint64_t original_size = 0;
    uint64_t device = 0;  // of the database file
    uint64_t inode = 0;
    uint64_t nonce = 0;  // random, one per writer
    uint64_t pages_end = 0;  // one past the highest page a record restores; found by readJournal
};

// An open file, closed with its owner.
class OpenFile {
public:
    explicit OpenFile(int fd = -1) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(OpenFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    OpenFile& operator=(OpenFile&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

// Creates the journal file at `path` for writing and reading back
// (failing where anything, a link included, is already there) and flushes
// its folder so that the file survives a crash. Throws kErrIo.
int openJournal(const std::string& path);

// Fills in record i's page image (page_size bytes at `image`) and returns
// the number of the page it restores.
using JournalRecords = std::function<uint32_t(uint32_t i, uint8_t* image)>;

// Writes into `fd` (the file at `path`) from its start the journal `j` of
// j.record_count records that `records` gives, in order, and flushes it.
// `io_point` runs before every write and the flush. Throws kErrIo, and what
// `records` throws.
void writeJournal(int fd, const std::string& path, const Journal& j, const JournalRecords& records,
                  const std::function<void()>& io_point);

// Clears the journal in `fd` and flushes that, so that no opener plays it
// back. `io_point` runs before the write and the flush. Throws kErrIo.
void clearJournal(int fd, const std::string& path, const std::function<void()>& io_point);

// The header of the journal in `fd` when the journal is complete (its
// checksum read through); nothing when torn or cleared. Throws kErrIo
// where the file cannot be read, rather than take a journal for torn.
std::optional<Journal> readJournal(int fd);

// Calls `each(page, image)` for every record of the journal `j` in `fd`,
// in order. Throws kErrIo.
void forEachRecord(int fd, const Journal& j, const std::function<void(uint32_t page, const uint8_t* image)>& each);

// What lies at a database's journal path.
struct FoundJournal {
    enum Kind {
        Absent,
        Dead,     // ours but torn, cleared or empty: to be removed
        Hot,      // a complete journal of this database: to be played back
        Foreign,  // not this database's: to be left alone
    } kind = Absent;
    Journal journal;     // when Hot
    OpenFile file;       // when Hot: the journal, to play back what was checked
    std::string reason;  // when Foreign
    struct stat where {};  // the journal file's own status, when not Absent
};

// Looks at `path` as the journal of the database whose status is `db`.
// Throws kErrIo where the journal cannot be read.
FoundJournal findJournal(const std::string& path, const struct stat& db);

// Flushes the directory holding `path`, so that a file created or removed
// there survives a crash.
void syncDirectoryOf(const std::string& path);

}  // namespace jet
