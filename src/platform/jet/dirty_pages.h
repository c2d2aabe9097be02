// SPDX-License-Identifier: Apache-2.0
// The pages a transaction changed or added, in bounded memory.
//
// The kInMemory pages touched last are always in memory (the pager's
// rule for how long a view lasts rests on it); past that the least
// recently used go, a few at a time, to a temporary file of the
// transaction's own and come back when touched again. The file is made
// without a name (or unlinked at once), so that it dies with the process:
// a crash leaves nothing to clean up, and nobody else can open it. It is
// made in the database's folder, on the disk the change is going to
// anyway (the temporary folder may be memory), else in the temporary
// folder. It holds pages as the database file would, encoded for an
// encoded file, so a decoded page of an encrypted file never reaches the
// disk in clear.
//
// Each page is either in memory or only in the file; one in memory that
// also has a place in the file and is `clean` holds what that place does,
// so it goes again without a write. A failed write or read of the file
// spoils the transaction: every later use throws until clear().
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "page_codec.h"

namespace jet {

class DirtyPages {
public:
    static constexpr size_t kInMemory = 4096;  // 16 MB of 4 KB pages

    explicit DirtyPages(std::string folder) : folder_(std::move(folder)) {}
    ~DirtyPages() { clear(); }
    DirtyPages(const DirtyPages&) = delete;
    DirtyPages& operator=(const DirtyPages&) = delete;

    // Drops every page; `codec` (may be null) outlives the pages.
    void configure(uint32_t page_size, const PageCodec* codec);

    // Page n's copy, taken back into memory where it was written out, and
    // marked changed when `changing`; null when the transaction has not
    // changed page n. Throws kErrIo.
    uint8_t* find(uint32_t n, bool changing);
    // A new copy of page n, not yet filled in, which must not be held.
    uint8_t* add(uint32_t n);
    // Page n's copy when it is in memory; null otherwise.
    const uint8_t* inMemory(uint32_t n) const;

    bool empty() const { return pages_.empty(); }
    // Why the transaction is spoiled (its pages could not all be kept), or empty.
    const std::string& failure() const { return failure_; }
    bool contains(uint32_t n) const { return pages_.count(n) != 0; }
    // The pages' numbers, in order.
    std::vector<uint32_t> numbers() const;

    // Every page in page order as the file is to hold it, in runs of
    // consecutive pages: `write(first, images, count)`. Throws kErrIo.
    void forEachRun(const std::function<void(uint32_t, const uint8_t*, size_t)>& write);

    // Drops every page and the file.
    void clear();

    // For tests, which cannot make a transaction of thousands of pages
    // everywhere: how many pages are kept in memory (kInMemory unless set).
    static void setInMemoryLimit(size_t pages);

private:
    struct Page {
        std::unique_ptr<uint8_t[]> data;   // null while only in the file
        std::list<uint32_t>::iterator use;  // its place in used_, while in memory
        int64_t slot = -1;                  // its place in the file, once written there
        bool clean = false;
    };

    Page& hold(uint32_t n, Page& p, std::unique_ptr<uint8_t[]> data);
    std::unique_ptr<uint8_t[]> buffer();
    void makeRoom();
    void writeAt(const uint8_t* images, size_t count, int64_t slot);
    void readAt(uint8_t* into, size_t count, int64_t slot);
    void openFile();
    void check() const;
    [[noreturn]] void fail(const std::string& what);

    std::string folder_;
    uint32_t page_size_ = 0;
    const PageCodec* codec_ = nullptr;
    std::unordered_map<uint32_t, Page> pages_;
    std::list<uint32_t> used_;  // the pages in memory, least recently used first
    std::vector<std::unique_ptr<uint8_t[]>> spare_;  // memory of pages written out, for the next ones
    std::unique_ptr<uint8_t[]> run_;                 // consecutive pages on their way in or out
    int fd_ = -1;
    int64_t slots_ = 0;  // pages the file has room for
    std::string failure_;
};

}  // namespace jet
