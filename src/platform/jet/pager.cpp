#include "pager.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

[[noreturn]] void ioError(const std::string& what, const std::string& path) {
    throw Error(kErrIo, "Could not " + what + " '" + path + "': " + std::strerror(errno) + ".");
}

void writeAll(int fd, const uint8_t* data, size_t length, off_t offset, const std::string& path) {
    while (length > 0) {
        ssize_t n = ::pwrite(fd, data, length, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ioError("write to", path);
        data += n, length -= size_t(n), offset += n;
    }
}

}  // namespace

void Pager::setIoHook(std::function<void(int)> hook) { ioHook() = std::move(hook); }

void Pager::ioPoint() {
    static int count = 0;
    if (ioHook()) ioHook()(count++);
}

Pager::Pager(const std::string& path, Mode mode) : path_(path) {
    openFile(mode);
    if (::access(journalPath().c_str(), F_OK) == 0) recoverJournal();
    mapFile();
}

// A cleared journal goes while the lock is still held, so it never meets
// another writer's; a live one (a failed commit that could not be undone)
// stays for the next opener to play back.
Pager::~Pager() {
    if (journal_fd_ >= 0) {
        ::close(journal_fd_);
        if (!journal_live_) ::unlink(journalPath().c_str());
    }
    if (map_) ::munmap(const_cast<uint8_t*>(map_), map_size_);
    if (fd_ >= 0) ::close(fd_);  // also releases the lock
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
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw Error(kErrIo, "'" + path_ + "' is not a regular file.");
    }
}

void Pager::mapFile() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ioError("read", path_);
    file_size_ = size_t(st.st_size);
    map_size_ = std::max(kMapReserve, file_size_);
    void* m = ::mmap(nullptr, map_size_, PROT_READ, MAP_SHARED, fd_, 0);
    if (m == MAP_FAILED) ioError("map", path_);
    map_ = static_cast<const uint8_t*>(m);
}

// A journal is hot only when no other process holds the lock: otherwise
// its commit is still running and must not be undone.
void Pager::recoverJournal() {
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return;
    std::optional<Journal> j = readJournal(journalPath());
    if (j) {
        if (!fd_writable_) {
            ::flock(fd_, LOCK_UN);
            throw Error(kErrReadOnly, "The database '" + path_ +
                                          "' was left half-written when a program stopped; it must be opened once "
                                          "with permission to write so that the change can be undone.");
        }
        for (const JournalRecord& r : j->records)
            writeAll(fd_, r.image.data(), r.image.size(), off_t(r.page) * j->page_size, path_);
        if (::ftruncate(fd_, off_t(j->original_size)) != 0 || ::fsync(fd_) != 0) ioError("repair", path_);
    }
    if (::unlink(journalPath().c_str()) != 0 && errno != ENOENT) ioError("remove the journal of", path_);
    syncDirectoryOf(path_);
    ::flock(fd_, LOCK_UN);
}

void Pager::configure(uint32_t page_size, std::unique_ptr<PageCodec> codec) {
    if (codec && file_size_ % page_size != 0) corrupt("the file ends inside an encrypted page");
    page_size_ = page_size;
    page_count_ = committed_page_count_ = uint32_t(file_size_ / page_size);
    codec_ = std::move(codec);
    forgetDecoded();
}

Bytes Pager::page(uint32_t n) const {
    if (n >= page_count_) corrupt("a reference points to page " + std::to_string(n) + ", past the end of the file");
    if (in_transaction_) {
        auto it = dirty_.find(n);
        if (it != dirty_.end()) return Bytes(it->second.get(), page_size_);
    }
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

// A changed page on its way to the file, encoded if the file is.
const uint8_t* Pager::stored(uint32_t n, const uint8_t* page) {
    if (!codec_ || n == 0) return page;
    if (!encoded_) encoded_ = std::make_unique<uint8_t[]>(page_size_);
    std::memcpy(encoded_.get(), page, page_size_);
    codec_->encode(n, encoded_.get(), page_size_);
    return encoded_.get();
}

void Pager::forgetDecoded() {
    decoded_.clear();
    decoded_order_.clear();
}

void Pager::releaseMemory() const {
    if (map_ && file_size_ > 0) ::madvise(const_cast<uint8_t*>(map_), file_size_, MADV_DONTNEED);
}

void Pager::lockForWriting() {
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        throw Error(kErrInUse, "Could not use '" + path_ + "'; file already in use by another program that writes to it.");
    locked_ = true;
    // Another process may have changed the file before we took the lock.
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ioError("read", path_);
    file_size_ = size_t(st.st_size);
    page_count_ = committed_page_count_ = uint32_t(file_size_ / page_size_);
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
    auto& slot = dirty_[n];
    if (!slot) {
        slot = std::make_unique<uint8_t[]>(page_size_);
        std::memcpy(slot.get(), committed(n), page_size_);
    }
    return slot.get();
}

uint32_t Pager::append() {
    if (!in_transaction_) throw Error(kErrIo, "A page was added outside a transaction.");
    if (uint64_t(page_count_ + 1) * page_size_ > kMapReserve) throw Error(kErrIo, "The database has reached its largest size.");
    uint32_t n = page_count_++;
    dirty_[n] = std::make_unique<uint8_t[]>(page_size_);  // zeroed
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
    Journal j;
    j.page_size = page_size_;
    j.original_size = file_size_;
    for (const auto& [n, data] : dirty_)
        if (n < committed_page_count_) {
            const uint8_t* old = map_ + size_t(n) * page_size_;
            j.records.push_back({n, std::vector<uint8_t>(old, old + page_size_)});
        }
    try {
        if (journal_fd_ < 0) {
            ioPoint();
            journal_fd_ = openJournal(journalPath());
        }
        writeJournal(journal_fd_, journalPath(), j, [this] { ioPoint(); });
        journal_live_ = true;
        for (const auto& [n, data] : dirty_) {
            ioPoint();
            writeAll(fd_, stored(n, data.get()), page_size_, off_t(n) * page_size_, path_);
        }
        // Data only: the length is flushed with it where the file grew.
        ioPoint();
        if (::fdatasync(fd_) != 0) ioError("flush", path_);
        clearJournal(journal_fd_, journalPath(), [this] { ioPoint(); });
        journal_live_ = false;
    } catch (const Error&) {
        if (journal_live_) undoFromJournal();
        rollback();
        throw;
    }
    file_size_ = std::max<size_t>(file_size_, size_t(page_count_) * page_size_);
    committed_page_count_ = page_count_;
    for (const auto& [n, data] : dirty_)
        if (auto copy = decoded_.find(n); copy != decoded_.end()) std::memcpy(copy->second.get(), data.get(), page_size_);
    dirty_.clear();
    in_transaction_ = false;
}

// After a failed commit: puts back what may have reached the file. If even
// that fails the journal stays live and the next opener plays it back.
void Pager::undoFromJournal() {
    std::optional<Journal> j = readJournal(journalPath());
    if (!j) return;
    try {
        for (const JournalRecord& r : j->records)
            writeAll(fd_, r.image.data(), r.image.size(), off_t(r.page) * page_size_, path_);
        if (::ftruncate(fd_, off_t(j->original_size)) != 0 || ::fdatasync(fd_) != 0) return;
        clearJournal(journal_fd_, journalPath(), [] {});
        journal_live_ = false;
    } catch (const Error&) {
    }
}

}  // namespace jet
