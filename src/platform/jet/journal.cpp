// SPDX-License-Identifier: Apache-2.0
#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "error.h"
#include "file_io.h"

namespace jet {

namespace {

constexpr char kMagic[8] = {'P', 'L', 'N', 'J', 'R', 'N', 'L', '2'};
constexpr size_t kHeaderSize = 56;
constexpr size_t kChecksumAt = 48;

void put32(uint8_t* b, uint32_t v) { std::memcpy(b, &v, 4); }
void put64(uint8_t* b, uint64_t v) { std::memcpy(b, &v, 8); }
uint32_t get32(const uint8_t* b) {
    uint32_t v;
    std::memcpy(&v, b, 4);
    return v;
}
uint64_t get64(const uint8_t* b) {
    uint64_t v;
    std::memcpy(&v, b, 8);
    return v;
}

// FNV-1a over the header's fields, then the records.
struct Checksum {
    uint64_t h = 1469598103934665603ull;
    void mix(const uint8_t* from, const uint8_t* to) {
        for (; from < to; ++from) h = (h ^ *from) * 1099511628211ull;
    }
};

[[noreturn]] void ioError(const std::string& what, const std::string& path) {
    throw Error(kErrIo, "Could not " + what + " '" + path + "': " + std::strerror(errno) + ".");
}

void writeAt(int fd, const uint8_t* data, size_t length, off_t at, const std::string& path) {
    if (!writeFully(fd, data, length, at)) ioError("write the journal", path);
}

// False where the file ends first.
bool readAt(int fd, uint8_t* into, size_t length, off_t at) {
    if (readFully(fd, into, length, at)) return true;
    if (errno != 0) throw Error(kErrIo, std::string("Could not read the journal: ") + std::strerror(errno) + ".");
    return false;
}

size_t recordSize(const Journal& j) { return 4 + size_t(j.page_size); }

// The records of `j` in `fd`, a chunk of consecutive ones at a time; false
// where the file ends first.
bool forEachChunk(int fd, const Journal& j, const std::function<void(const uint8_t*, const uint8_t*)>& each) {
    std::vector<uint8_t> chunk(std::min(j.record_count, Journal::kChunkRecords) * recordSize(j));
    off_t at = kHeaderSize;
    for (uint32_t done = 0; done < j.record_count;) {
        uint32_t count = std::min(Journal::kChunkRecords, j.record_count - done);
        size_t length = count * recordSize(j);
        if (!readAt(fd, chunk.data(), length, at)) return false;
        each(chunk.data(), chunk.data() + length);
        done += count, at += off_t(length);
    }
    return true;
}

}  // namespace

void syncDirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ioError("open the folder of", path);
    int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) ioError("flush the folder of", path);
}

int openJournal(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) ioError("create the journal", path);
    try {
        syncDirectoryOf(path);
    } catch (const Error&) {
        ::close(fd);
        throw;
    }
    return fd;
}

// Only the data is flushed (fdatasync): the file's length is flushed with
// it where it grew, and its times are not needed to read it back. The
// header is kept in front of the chunk, so that a journal of one chunk,
// as most are, goes in one write.
void writeJournal(int fd, const std::string& path, const Journal& j, const JournalRecords& records,
                  const std::function<void()>& io_point) {
    const bool one_chunk = j.record_count <= Journal::kChunkRecords;
    std::vector<uint8_t> buffer(kHeaderSize + std::min(j.record_count, Journal::kChunkRecords) * recordSize(j));
    uint8_t* header = buffer.data();
    uint8_t* chunk = header + kHeaderSize;
    std::memcpy(header, kMagic, 8);
    put32(header + 8, j.page_size);
    put32(header + 12, j.record_count);
    put64(header + 16, j.original_size);
    put64(header + 24, j.device);
    put64(header + 32, j.inode);
    put64(header + 40, j.nonce);
    Checksum sum;
    sum.mix(header + 8, header + kChecksumAt);
    off_t at = kHeaderSize;
    for (uint32_t done = 0; done < j.record_count;) {
        uint8_t* end = chunk;
        for (uint32_t i = 0; i < Journal::kChunkRecords && done < j.record_count; ++i, ++done, end += recordSize(j))
            put32(end, records(done, end + 4));
        sum.mix(chunk, end);
        if (one_chunk) break;
        io_point();
        writeAt(fd, chunk, size_t(end - chunk), at, path);
        at += end - chunk;
    }
    put64(header + kChecksumAt, sum.h);
    io_point();
    writeAt(fd, header, one_chunk ? buffer.size() : kHeaderSize, 0, path);
    io_point();
    if (::fdatasync(fd) != 0) ioError("flush the journal", path);
}

void clearJournal(int fd, const std::string& path, const std::function<void()>& io_point) {
    const uint8_t cleared[sizeof kMagic] = {};
    io_point();
    writeAt(fd, cleared, sizeof cleared, 0, path);
    io_point();
    if (::fdatasync(fd) != 0) ioError("flush the journal", path);
}

std::optional<Journal> readJournal(int fd) {
    uint8_t header[kHeaderSize];
    if (!readAt(fd, header, kHeaderSize, 0) || std::memcmp(header, kMagic, 8) != 0) return std::nullopt;
    Journal j;
    j.page_size = get32(header + 8);
    j.record_count = get32(header + 12);
    j.original_size = get64(header + 16);
    j.device = get64(header + 24);
    j.inode = get64(header + 32);
    j.nonce = get64(header + 40);
    if (j.page_size == 0 || j.page_size > 65536) return std::nullopt;
    Checksum sum;
    sum.mix(header + 8, header + kChecksumAt);
    bool whole = forEachChunk(fd, j, [&](const uint8_t* from, const uint8_t* to) {
        sum.mix(from, to);
        for (; from < to; from += recordSize(j)) j.pages_end = std::max<uint64_t>(j.pages_end, uint64_t(get32(from)) + 1);
    });
    if (!whole || sum.h != get64(header + kChecksumAt)) return std::nullopt;
    return j;
}

void forEachRecord(int fd, const Journal& j, const std::function<void(uint32_t page, const uint8_t* image)>& each) {
    bool whole = forEachChunk(fd, j, [&](const uint8_t* from, const uint8_t* to) {
        for (; from < to; from += recordSize(j)) each(get32(from), from + 4);
    });
    if (!whole) throw Error(kErrIo, "The journal ends inside its records.");
}

// A crashed writer's journal is the only thing that should be here; who
// made the file and what it names decide whether it is.
FoundJournal findJournal(const std::string& path, const struct stat& db) {
    FoundJournal f;
    auto foreign = [&](const std::string& reason) {
        f.kind = FoundJournal::Foreign;
        f.reason = reason;
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return f;
        int error = errno;
        ::lstat(path.c_str(), &f.where);
        foreign(error == ELOOP ? "it is a symbolic link" : std::string("it cannot be read: ") + std::strerror(error));
        return f;
    }
    f.file = OpenFile(fd);
    ::fstat(fd, &f.where);
    const struct stat& st = f.where;
    std::optional<Journal> j;
    if (!S_ISREG(st.st_mode)) foreign("it is not a regular file");
    else if (st.st_uid != db.st_uid && st.st_uid != ::geteuid()) foreign("it belongs to another user");
    else if (st.st_mode & (S_IWGRP | S_IWOTH)) foreign("other users may write to it");
    else if (st.st_nlink != 1) foreign("it has other names as well");
    else if (!(j = readJournal(fd))) f.kind = FoundJournal::Dead;
    else if (j->device != uint64_t(db.st_dev) || j->inode != uint64_t(db.st_ino)) foreign("it was written for another file");
    else if (j->original_size == 0 || j->original_size > uint64_t(db.st_size)) foreign("it gives a length the file never had");
    else if (j->pages_end * j->page_size > j->original_size) foreign("it holds pages past the length it gives");
    else {
        f.kind = FoundJournal::Hot;
        f.journal = *j;
        return f;
    }
    f.file = OpenFile();
    return f;
}

}  // namespace jet
