// The rollback journal: the original images of the pages a commit is about
// to overwrite, and the file's original length.
//
// Layout: a 32-byte header (magic "PLNJRNL1", page size, record count,
// original length, and a checksum of the header fields and the records),
// then per record a 4-byte page number and the page image. The file may go
// on past the last record: a writer keeps its journal file between commits
// and only ever overwrites it from the start, so bytes of a longer, earlier
// journal are left behind and mean nothing.
//
// A journal whose checksum does not hold was torn by a crash while being
// written; the database file was not yet touched then, so it is discarded.
// A cleared journal (its magic zeroed once the commit it served is durable)
// is no journal.
#pragma once

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
    std::vector<JournalRecord> records;
};

// Opens the journal file at `path` for writing, creating it, and flushes
// its folder so that the file survives a crash. Throws kErrIo.
int openJournal(const std::string& path);

// Writes the journal into `fd` (the file at `path`) from its start and
// flushes it. `io_point` runs before the write and the flush. Throws kErrIo.
void writeJournal(int fd, const std::string& path, const Journal& journal, const std::function<void()>& io_point);

// Clears the journal in `fd` and flushes that, so that no opener plays it
// back. `io_point` runs before the write and the flush. Throws kErrIo.
void clearJournal(int fd, const std::string& path, const std::function<void()>& io_point);

// The journal at `path` when it is complete; nothing when absent or torn.
std::optional<Journal> readJournal(const std::string& path);

// Flushes the directory holding `path`, so that a file created or removed
// there survives a crash.
void syncDirectoryOf(const std::string& path);

}  // namespace jet
