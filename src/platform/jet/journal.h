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

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jet {

struct JournalRecord {
    uint32_t page;
    std::vector<uint8_t> image;
};

struct Journal {
    uint32_t page_size = 0;
    uint64_t original_size = 0;
    uint64_t device = 0;  // of the database file
    uint64_t inode = 0;
    uint64_t nonce = 0;  // random, one per writer
    std::vector<JournalRecord> records;
};

// Creates the journal file at `path` for writing (failing where anything,
// a link included, is already there) and flushes its folder so that the
// file survives a crash. Throws kErrIo.
int openJournal(const std::string& path);

// Writes the journal into `fd` (the file at `path`) from its start and
// flushes it. `io_point` runs before the write and the flush. Throws kErrIo.
void writeJournal(int fd, const std::string& path, const Journal& journal, const std::function<void()>& io_point);

// Clears the journal in `fd` and flushes that, so that no opener plays it
// back. `io_point` runs before the write and the flush. Throws kErrIo.
void clearJournal(int fd, const std::string& path, const std::function<void()>& io_point);

// The journal in `fd` when it is complete; nothing when torn or cleared.
std::optional<Journal> readJournal(int fd);

// What lies at a database's journal path.
struct FoundJournal {
    enum Kind {
        Absent,
        Dead,     // ours but torn, cleared or empty: to be removed
        Hot,      // a complete journal of this database: to be played back
        Foreign,  // not this database's: to be left alone
    } kind = Absent;
    Journal journal;     // when Hot
    std::string reason;  // when Foreign
    struct stat where {};  // the journal file's own status, when not Absent
};

// Looks at `path` as the journal of the database whose status is `db`.
FoundJournal findJournal(const std::string& path, const struct stat& db);

// Flushes the directory holding `path`, so that a file created or removed
// there survives a crash.
void syncDirectoryOf(const std::string& path);

}  // namespace jet
