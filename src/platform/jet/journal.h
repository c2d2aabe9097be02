// The rollback journal: the original images of the pages a commit is about
// to overwrite, and the file's original length.
//
// Layout: a 32-byte header (magic "PLNJRNL1", page size, record count,
// original length, and a checksum of everything after the magic but the
// checksum itself), then per record a 4-byte page number and the page image.
// A journal whose checksum does not hold was torn by a crash while being
// written; the database file was not yet touched then, so it is discarded.
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

// Writes and flushes the journal at `path` (and its folder's entry).
// `io_point` runs before each write and flush. Throws kErrIo.
void writeJournal(const std::string& path, const Journal& journal, const std::function<void()>& io_point);

// The journal at `path` when it is complete; nothing when absent or torn.
std::optional<Journal> readJournal(const std::string& path);

// Flushes the directory holding `path`, so that a file created or removed
// there survives a crash.
void syncDirectoryOf(const std::string& path);

}  // namespace jet
