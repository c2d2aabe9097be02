// SPDX-License-Identifier: Apache-2.0
#include "pager.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_io.h"
#include "file_lock.h"
#include "journal.h"

namespace jet {

namespace {

// Room for the largest file Jet or ACE writes (2 GiB) with margin; mapping
// past the end of the file is allowed as long as those pages are not touched.
constexpr size_t kMapReserve = size_t(1) << 32;

std::function<void(int)>& ioHook() {
    static std::function<void(int)> hook;
    return hook;
}

uint64_t& sizeLimit() {
    static uint64_t limit = uint64_t(1) << 31;
    return limit;
}

[[noreturn]] void ioError(const std::string& what, const std::string& path) {
    throw Error(kErrIo, "Could not " + what + " '" + path + "': " + std::strerror(errno) + ".");
}

void writeAll(int fd, const uint8_t* data, size_t length, off_t offset, const std::string& path) {
    if (!writeFully(fd, data, length, offset)) ioError("write to", path);
}

void readAll(int fd, uint8_t* into, size_t length, off_t offset, const std::string& path) {
    if (!readFully(fd, into, length, offset)) ioError("read", path);
}

std::string folderOf(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }
bool later(const timespec& a, const timespec& b) {
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
}
bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && sameTime(a.st_mtim, b.st_mtim);
}

}  // namespace

void Pager::setIoHook(std::function<void(int)> hook) { ioHook() = std::move(hook); }
void Pager::setSizeLimit(uint64_t bytes) { sizeLimit() = std::min<uint64_t>(bytes, kMapReserve); }

void Pager::ioPoint() {
    static int count = 0;
    if (ioHook()) ioHook()(count++);
}

Pager::Pager(const std::string& path, Mode mode) : path_(path), dirty_(folderOf(path)) {
    if (::getrandom(&nonce_, sizeof nonce_, 0) != sizeof nonce_) nonce_ = uint64_t(::time(nullptr)) ^ uint64_t(::getpid());
    openFile(mode);
    try {
        mapFile();
        beginRead();  // plays back what a crashed writer left
        endRead();
    } catch (...) {
        closeFile();
        throw;
    }
}

Pager::~Pager() { closeFile(); }

// A cleared journal goes while the lock is still held, so it never meets
// another writer's; a live one (a failed commit that could not be undone)
// stays for the next reader or writer to play back.
void Pager::closeFile() {
    if (journal_fd_ >= 0) {
        ::close(journal_fd_);
        if (!journal_live_) ::unlink(journalPath().c_str());
    }
    if (map_) ::munmap(const_cast<uint8_t*>(map_), map_size_);
    if (fd_ >= 0) ::close(fd_);  // also releases the locks
}

void Pager::openFile(Mode mode) {
    if (mode == Mode::ReadWrite) fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    fd_writable_ = fd_ >= 0;
    if (mode == Mode::ReadOnly) errno = EACCES;
    if (fd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Error(kErrFileNotFound, "Could not find file '" + path_ + "'.");
        ioError("open", path_);
    }
    if (::fstat(fd_, &identity_) != 0 || !S_ISREG(identity_.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw Error(kErrIo, "'" + path_ + "' is not a regular file.");
    }
}

void Pager::mapFile() {
    file_size_ = size_t(identity_.st_size);
    seen_mtime_ = identity_.st_mtim;
    map_size_ = std::max(kMapReserve, file_size_);
    void* m = ::mmap(nullptr, map_size_, PROT_READ, MAP_SHARED, fd_, 0);
    if (m == MAP_FAILED) ioError("map", path_);
    map_ = static_cast<const uint8_t*>(m);
}

void Pager::beginRead() {
    // The writer's own file changes only through it.
    if (read_depth_++ > 0 || locked_) return;
    try {
        waitLock(fd_, LockByte::Pending, LockMode::Shared, path_, "read");
        // Holding Pending, nobody holds Readers exclusive: this cannot wait.
        read_locked_ = tryLock(fd_, LockByte::Readers, LockMode::Shared);
        tryLock(fd_, LockByte::Pending, LockMode::Unlocked);
        if (!read_locked_) throw Error(kErrInUse, "Could not read '" + path_ + "'; it is in use by another program.");
        if (journalToLookAt()) recoverJournal();
        catchUp();
    } catch (...) {
        endRead();
        throw;
    }
}

void Pager::endRead() {
    if (--read_depth_ > 0 || !read_locked_) return;
    tryLock(fd_, LockByte::Readers, LockMode::Unlocked);
    read_locked_ = false;
}

void Pager::catchUp() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ioError("read", path_);
    bool changed = size_t(st.st_size) != file_size_ || !sameTime(st.st_mtim, seen_mtime_);
    file_size_ = size_t(st.st_size);
    seen_mtime_ = st.st_mtim;
    if (page_size_ != 0) page_count_ = committed_page_count_ = uint32_t(file_size_ / page_size_);
    if (!changed) return;
    forgetDecoded();
    ++outside_changes_;
}

// A journal needs looking at when nobody holds the writer's lock (else it
// is a live writer's, and the file whole), unless it is the foreign file
// already refused.
bool Pager::journalToLookAt() {
    struct stat st {};
    if (::lstat(journalPath().c_str(), &st) != 0) {
        journal_refusal_.clear();
        return false;
    }
    if (!journal_refusal_.empty() && sameFile(st, refused_journal_)) return false;
    return !lockedByOthers(fd_, LockByte::Writer);
}

// With readers held off and the writer's lock taken (so that a live
// writer's journal is never touched and nobody reads the file while it is
// repaired).
void Pager::recoverJournal() {
    if (!fd_writable_) {
        struct stat db {};
        if (::fstat(fd_, &db) != 0) ioError("read", path_);
        FoundJournal found = findJournal(journalPath(), db);
        if (found.kind == FoundJournal::Hot)
            throw Error(kErrReadOnly, "The database '" + path_ +
                                          "' was left half-written when a program stopped; it must be opened once "
                                          "with permission to write so that the change can be undone.");
        // Nothing this pager can do about it: not looked at again.
        if (found.kind != FoundJournal::Absent) refuse(found);
        return;
    }
    bool reading = read_locked_;
    if (reading) tryLock(fd_, LockByte::Readers, LockMode::Unlocked);
    read_locked_ = false;
    try {
        holdOffReaders("repair");
        bool was_writer = locked_;
        if (was_writer || tryLock(fd_, LockByte::Writer, LockMode::Exclusive)) {
            try {
                repairFromJournal();
            } catch (...) {
                if (!was_writer) tryLock(fd_, LockByte::Writer, LockMode::Unlocked);
                throw;
            }
            if (!was_writer) tryLock(fd_, LockByte::Writer, LockMode::Unlocked);
        }
    } catch (...) {
        letReadersIn(reading);
        throw;
    }
    letReadersIn(reading);
}

void Pager::repairFromJournal() {
    struct stat db {};
    if (::fstat(fd_, &db) != 0) ioError("read", path_);
    FoundJournal found = findJournal(journalPath(), db);
    journal_refusal_.clear();
    switch (found.kind) {
    case FoundJournal::Absent:
        return;
    case FoundJournal::Foreign:
        refuse(found);
        return;
    case FoundJournal::Hot:
        restore(found.file.fd(), found.journal);
        if (::fsync(fd_) != 0) ioError("repair", path_);
        seen_mtime_ = db.st_mtim;
        markChanged();
        ++outside_changes_;
        break;
    case FoundJournal::Dead:
        break;
    }
    // Our own journal file, left live by a commit that could not be undone.
    if (journal_fd_ >= 0) ::close(journal_fd_);
    journal_fd_ = -1;
    journal_live_ = false;
    if (::unlink(journalPath().c_str()) != 0 && errno != ENOENT) ioError("remove the journal of", path_);
    syncDirectoryOf(path_);
}

void Pager::refuse(const FoundJournal& found) {
    journal_refusal_ = "Cannot write to '" + path_ + "': the file '" + journalPath() +
                       "' beside it is not its journal (" + found.reason +
                       "). Nothing was changed; move that file away to write to the database.";
    refused_journal_ = found.where;
}

void Pager::holdOffReaders(const std::string& what) {
    waitLock(fd_, LockByte::Pending, LockMode::Exclusive, path_, what);
    try {
        waitLock(fd_, LockByte::Readers, LockMode::Exclusive, path_, what);
    } catch (...) {
        tryLock(fd_, LockByte::Pending, LockMode::Unlocked);
        throw;
    }
}

void Pager::letReadersIn(bool reading) {
    read_locked_ = tryLock(fd_, LockByte::Readers, reading ? LockMode::Shared : LockMode::Unlocked) && reading;
    tryLock(fd_, LockByte::Pending, LockMode::Unlocked);
}

// Readers learn of a change from the file's modification time, which must
// therefore move with every change, also with two in one tick of the clock.
void Pager::markChanged() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return;
    timespec t = st.st_mtim;
    if (!later(t, seen_mtime_)) {
        t = seen_mtime_;
        if (++t.tv_nsec == 1000000000) t.tv_sec++, t.tv_nsec = 0;
        const timespec times[2] = {{0, UTIME_OMIT}, t};
        if (::futimens(fd_, times) != 0) t = st.st_mtim;
    }
    seen_mtime_ = t;
    file_size_ = size_t(st.st_size);
}

void Pager::configure(uint32_t page_size, std::unique_ptr<PageCodec> codec) {
    if (codec && file_size_ % page_size != 0) corrupt("the file ends inside an encrypted page");
    page_size_ = page_size;
    page_count_ = committed_page_count_ = uint32_t(file_size_ / page_size);
    codec_ = std::move(codec);
    dirty_.configure(page_size, codec_.get());
    forgetDecoded();
}

Bytes Pager::page(uint32_t n) const {
    if (n >= page_count_) corrupt("a reference points to page " + std::to_string(n) + ", past the end of the file");
    if (in_transaction_)
        if (const uint8_t* changed = dirty_.find(n, false)) return Bytes(changed, page_size_);
    return Bytes(committed(n), page_size_);
}

// Page n as the file holds it, decoded.
const uint8_t* Pager::committed(uint32_t n) const {
    const uint8_t* p = map_ + size_t(n) * page_size_;
    return codec_ && n != 0 ? decoded(n) : p;
}

const uint8_t* Pager::decoded(uint32_t n) const {
    auto found = decoded_.find(n);
    if (found != decoded_.end()) return found->second.get();
    std::unique_ptr<uint8_t[]> copy;
    if (decoded_order_.size() >= kDecodedPages) {
        auto oldest = decoded_.find(decoded_order_.front());
        copy = std::move(oldest->second);
        decoded_.erase(oldest);
        decoded_order_.pop_front();
    } else {
        copy = std::make_unique<uint8_t[]>(page_size_);
    }
    std::memcpy(copy.get(), map_ + size_t(n) * page_size_, page_size_);
    codec_->decode(n, copy.get(), page_size_);
    decoded_order_.push_back(n);
    return (decoded_[n] = std::move(copy)).get();
}

void Pager::forgetDecoded() {
    decoded_.clear();
    decoded_order_.clear();
}

void Pager::releaseMemory() const {
    if (map_ && file_size_ > 0) ::madvise(const_cast<uint8_t*>(map_), file_size_, MADV_DONTNEED);
}

// Another process may have changed the file, or died changing it, since
// this one last read it: that is settled before anything is read.
void Pager::lockForWriting() {
    if (!tryLock(fd_, LockByte::Writer, LockMode::Exclusive))
        throw Error(kErrInUse, "Could not use '" + path_ + "'; file already in use by another program that writes to it.");
    locked_ = true;
    try {
        if (journalToLookAt()) recoverJournal();
        if (!journal_refusal_.empty()) throw Error(kErrIo, journal_refusal_);
        catchUp();
    } catch (...) {
        tryLock(fd_, LockByte::Writer, LockMode::Unlocked);
        locked_ = false;
        throw;
    }
}

void Pager::begin() {
    if (in_transaction_) throw Error(kErrIo, "A change is already in progress.");
    if (!fd_writable_) throw Error(kErrReadOnly, "Cannot update. The database '" + path_ + "' is read-only.");
    if (!locked_) {
        lockForWriting();
        forgetDecoded();  // another process may have changed pages before we took the lock
    }
    in_transaction_ = true;
}

uint8_t* Pager::modify(uint32_t n) {
    if (!in_transaction_) throw Error(kErrIo, "A page was changed outside a transaction.");
    if (n >= page_count_) corrupt("a change points to page " + std::to_string(n) + ", past the end of the file");
    if (uint8_t* changed = dirty_.find(n, true)) return changed;
    const uint8_t* now = committed(n);
    uint8_t* copy = dirty_.add(n);
    std::memcpy(copy, now, page_size_);
    return copy;
}

uint32_t Pager::append() {
    if (!in_transaction_) throw Error(kErrIo, "A page was added outside a transaction.");
    if (uint64_t(page_count_ + 1) * page_size_ > sizeLimit())
        throw Error(kErrTooLarge, "Invalid argument: the change would take '" + path_ +
                                      "' past 2 GB, the largest an Access database can be; nothing was written.");
    uint32_t n = page_count_++;
    std::memset(dirty_.add(n), 0, page_size_);
    return n;
}

void Pager::rollback() {
    dirty_.clear();
    page_count_ = committed_page_count_;
    in_transaction_ = false;
}

void Pager::commit() {
    if (!in_transaction_) throw Error(kErrIo, "No change is in progress.");
    if (dirty_.empty()) return rollback();
    if (!dirty_.failure().empty()) {
        Error refused(kErrIo, dirty_.failure());
        rollback();
        throw refused;
    }
    // In order, the pages the file holds come first: theirs are the images to keep.
    std::vector<uint32_t> changed = dirty_.numbers();
    changed.erase(std::lower_bound(changed.begin(), changed.end(), committed_page_count_), changed.end());
    Journal j;
    j.page_size = page_size_;
    j.record_count = uint32_t(changed.size());
    j.original_size = file_size_;
    j.device = uint64_t(identity_.st_dev);
    j.inode = uint64_t(identity_.st_ino);
    j.nonce = nonce_;
    bool file_touched = false;
    try {
        if (journal_fd_ < 0) {
            ioPoint();
            journal_fd_ = openJournal(journalPath());
        }
        // Read, not copied from the mapping, so that the pages do not stay
        // in this process's memory.
        auto original = [&](uint32_t i, uint8_t* image) {
            readAll(fd_, image, page_size_, off_t(changed[i]) * page_size_, path_);
            return changed[i];
        };
        writeJournal(journal_fd_, journalPath(), j, original, [this] { ioPoint(); });
        journal_live_ = true;
        holdOffReaders("write to");
        file_touched = true;
        dirty_.forEachRun([this](uint32_t first, const uint8_t* images, size_t count) {
            ioPoint();
            writeAll(fd_, images, count * page_size_, off_t(first) * page_size_, path_);
        });
        // Data only: the length is flushed with it where the file grew.
        ioPoint();
        if (::fdatasync(fd_) != 0) ioError("flush", path_);
    } catch (const Error&) {
        abandon(j, file_touched);
        throw;
    }
    // The change stands. The journal goes before readers come back, so
    // that nobody who has seen the change can see it undone.
    file_size_ = std::max<size_t>(file_size_, size_t(page_count_) * page_size_);
    markChanged();
    if (!removeJournal()) {
        abandon(j, true);
        throw Error(kErrIo, "Could not clear the journal of '" + path_ + "'; the change was undone.");
    }
    letReadersIn(read_locked_);
    committed_page_count_ = page_count_;
    bool stale = false;
    for (auto& [n, copy] : decoded_) {
        if (const uint8_t* changed = dirty_.inMemory(n)) std::memcpy(copy.get(), changed, page_size_);
        else stale = stale || dirty_.contains(n);
    }
    if (stale) forgetDecoded();  // a changed page went to the temporary file: not to be read back now
    dirty_.clear();
    in_transaction_ = false;
}

// Clears the journal, or failing that takes it away: after the change
// stands, a live journal would have the next opener undo it.
bool Pager::removeJournal() {
    try {
        clearJournal(journal_fd_, journalPath(), [this] { ioPoint(); });
        journal_live_ = false;
        return true;
    } catch (const Error&) {
    }
    // Kept open where it stays: an undo reads the images back from it.
    if (::unlink(journalPath().c_str()) != 0 && ::truncate(journalPath().c_str(), 0) != 0) return false;
    ::close(journal_fd_);
    journal_fd_ = -1;
    try {
        syncDirectoryOf(path_);
    } catch (const Error&) {
    }
    journal_live_ = false;
    return true;
}

// After a failed commit: puts back what may have reached the file. Where
// even that fails the journal stays live and the writer's lock is given
// up, so that the next reader or writer (this pager too) plays it back.
void Pager::abandon(const Journal& j, bool file_touched) {
    if (!file_touched || undo(j)) {
        if (journal_live_ && journal_fd_ >= 0) {
            try {
                clearJournal(journal_fd_, journalPath(), [] {});
                journal_live_ = false;
            } catch (const Error&) {
                // Left live, it only puts back what the file holds.
            }
        }
    } else {
        if (journal_fd_ >= 0) ::close(journal_fd_);
        journal_fd_ = -1;
        journal_live_ = false;  // no longer ours to remove
        tryLock(fd_, LockByte::Writer, LockMode::Unlocked);
        locked_ = false;
    }
    if (file_touched) letReadersIn(read_locked_);
    rollback();
}

bool Pager::undo(const Journal& j) {
    try {
        restore(journal_fd_, j);
    } catch (const Error&) {
        return false;
    }
    return ::fdatasync(fd_) == 0;
}

// Puts the journal's images back in the file and its length, unflushed.
void Pager::restore(int journal_fd, const Journal& j) {
    forEachRecord(journal_fd, j, [&](uint32_t page, const uint8_t* image) {
        writeAll(fd_, image, j.page_size, off_t(page) * j.page_size, path_);
    });
    if (::ftruncate(fd_, off_t(j.original_size)) != 0) ioError("restore", path_);
}

}  // namespace jet
