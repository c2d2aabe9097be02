// SPDX-License-Identifier: Apache-2.0
#include "journal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "error.h"

namespace jet {

namespace {

constexpr char kMagic[8] = {'P', 'L', 'N', 'J', 'R', 'N', 'L', '2'};
constexpr size_t kHeaderSize = 56;
constexpr size_t kChecksumAt = 48;

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void put64(std::vector<uint8_t>& b, size_t at, uint64_t v) { std::memcpy(b.data() + at, &v, 8); }
uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint64_t get64(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}

// FNV-1a over the header fields and the records, which end at `end`.
uint64_t checksum(const std::vector<uint8_t>& b, size_t end) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) h = (h ^ b[i]) * 1099511628211ull;
    };
    mix(8, kChecksumAt);
    mix(kHeaderSize, end);
    return h;
}

[[noreturn]] void ioError(const std::string& what, const std::string& path) {
    throw Error(kErrIo, "Could not " + what + " '" + path + "': " + std::strerror(errno) + ".");
}

void writeAt(int fd, const uint8_t* data, size_t length, const std::string& path) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(fd, data + done, length - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ioError("write the journal", path);
        done += size_t(n);
    }
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
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
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
// it where it grew, and its times are not needed to read it back.
void writeJournal(int fd, const std::string& path, const Journal& j, const std::function<void()>& io_point) {
    std::vector<uint8_t> b(kHeaderSize);
    std::memcpy(b.data(), kMagic, 8);
    put32(b, 8, j.page_size);
    put32(b, 12, uint32_t(j.records.size()));
    put64(b, 16, j.original_size);
    put64(b, 24, j.device);
    put64(b, 32, j.inode);
    put64(b, 40, j.nonce);
    b.reserve(kHeaderSize + j.records.size() * (4 + j.page_size));
    for (const JournalRecord& r : j.records) {
        size_t at = b.size();
        b.resize(at + 4);
        put32(b, at, r.page);
        b.insert(b.end(), r.image.begin(), r.image.end());
    }
    put64(b, kChecksumAt, checksum(b, b.size()));

    io_point();
    writeAt(fd, b.data(), b.size(), path);
    io_point();
    if (::fdatasync(fd) != 0) ioError("flush the journal", path);
}

void clearJournal(int fd, const std::string& path, const std::function<void()>& io_point) {
    const std::vector<uint8_t> cleared(sizeof kMagic, 0);
    io_point();
    writeAt(fd, cleared.data(), cleared.size(), path);
    io_point();
    if (::fdatasync(fd) != 0) ioError("flush the journal", path);
}

std::optional<Journal> readJournal(int fd) {
    struct stat st {};
    std::vector<uint8_t> b;
    if (::fstat(fd, &st) == 0 && st.st_size >= off_t(kHeaderSize)) {
        b.resize(size_t(st.st_size));
        size_t done = 0;
        while (done < b.size()) {
            ssize_t n = ::pread(fd, b.data() + done, b.size() - done, off_t(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
        }
        b.resize(done);
    }
    if (b.size() < kHeaderSize || std::memcmp(b.data(), kMagic, 8) != 0) return std::nullopt;
    Journal j;
    j.page_size = get32(b, 8);
    uint32_t count = get32(b, 12);
    j.original_size = get64(b, 16);
    j.device = get64(b, 24);
    j.inode = get64(b, 32);
    j.nonce = get64(b, 40);
    if (j.page_size == 0 || j.page_size > 65536) return std::nullopt;
    size_t end = kHeaderSize + size_t(count) * (4 + j.page_size);
    if (b.size() < end || get64(b, kChecksumAt) != checksum(b, end)) return std::nullopt;
    size_t at = kHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        JournalRecord r;
        r.page = get32(b, at);
        r.image.assign(b.begin() + long(at + 4), b.begin() + long(at + 4 + j.page_size));
        j.records.push_back(std::move(r));
        at += 4 + j.page_size;
    }
    return j;
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
    else {
        f.kind = FoundJournal::Hot;
        for (const JournalRecord& r : j->records)
            if ((uint64_t(r.page) + 1) * j->page_size > j->original_size) foreign("it holds pages past the length it gives");
        if (f.kind == FoundJournal::Hot) f.journal = std::move(*j);
    }
    ::close(fd);
    return f;
}

}  // namespace jet
