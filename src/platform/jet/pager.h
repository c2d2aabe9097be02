// SPDX-License-Identifier: Apache-2.0
// The file as a sequence of fixed-size pages, and the one way pages change.
//
// Reading: the file is memory-mapped (a mapping sized for the largest file
// Jet allows, so it never moves as the file grows) and pages are handed out
// as bounds-checked views; nothing is read until it is touched. Pages of an
// encoded file go through its PageCodec: decoded when read into a ring of
// kDecodedPages copies, encoded again as they are written, so the file and
// the journal only ever hold encoded pages.
//
// Writing happens only inside a transaction: modify() gives a private copy
// of a page, append() a new zeroed page past the end; reads see these copies
// at once. Past DirtyPages::kInMemory of them, the least recently used wait
// in a temporary file of their own (dirty_pages.h), never in the database
// file, which other processes read. commit() makes the whole change durable
// or none of it:
//   1. the original image of every changed page, with the file's original
//      length, is written to the journal beside the file ("<file>-journal"),
//      with a checksum, and flushed;
//   2. readers are held off, the changed and new pages written to the file
//      and that flushed: from here on the change stands;
//   3. the journal is cleared, and that flushed; readers come back.
// A crash before 2 leaves the file as it was (a torn journal fails its
// checksum and is discarded); a crash after it leaves a complete journal
// that the next reader or writer plays back, before it reads anything.
// A failure is reported only where the change was undone: one after the
// change stands (clearing the journal) removes the journal instead.
// The original images are read from the file, not the mapping, into the
// journal, and an undo or a repair reads them back from it, a chunk at a
// time (journal.h): however large the change, neither holds more of it in
// memory.
//
// The journal file is made (and its folder flushed) by the first commit and
// kept, cleared, while the lock is held, then removed when the pager
// closes: a commit then costs three flushes of file data and no change to
// the folder. What is found at the journal's path is played back only when
// it is this file's own (see journal.h); anything else is left there and
// writes are refused while it is.
//
// Locks (file_lock.h): the writer's lock is taken by the first transaction
// and kept until the pager closes, so a second writer gets a clear "in
// use" error instead of interleaving its pages with ours. Each read, from
// beginRead() to endRead(), holds the readers' lock shared, which a commit
// holds exclusive while it writes to the file: a read sees every commit
// whole or not at all. A read starts by catching up with commits made by
// other processes since the last one (their pages are in the shared
// mapping already; the length is read again and decoded pages dropped),
// which it learns of from the file's length and modification time, moved
// by every commit.
//
// Views returned by page() are valid until the next modify(), append(),
// commit(), rollback() or read; a copy given by modify() stays writable
// until commit() or rollback(). Either lasts, besides, only until
// kDecodedPages other pages were decoded (an encoded file) or read or
// changed (a transaction of more than DirtyPages::kInMemory changed pages,
// the same number): callers hold a page across a few others only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unordered_map>

#include "bytes.h"
#include "dirty_pages.h"
#include "page_codec.h"

namespace jet {

struct Journal;
struct FoundJournal;

class Pager {
public:
    enum class Mode { ReadWrite, ReadOnly };
    static constexpr size_t kDecodedPages = 4096;  // 16 MB of 4 KB pages
    static_assert(kDecodedPages == DirtyPages::kInMemory, "one rule for how long a view lasts");

    // Opens the file for reading and, in ReadWrite mode where the file
    // allows it, writing. Plays back a journal left by a crash. Throws
    // kErrFileNotFound, kErrIo.
    explicit Pager(const std::string& path, Mode mode = Mode::ReadWrite);
    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    // The raw bytes of the start of the file (for reading the header page).
    Bytes raw() const { return Bytes(map_, file_size_); }

    // Sets the page size and the codec of an encoded file (none: plain).
    // Throws kErrCorrupt when an encoded file ends inside a page.
    void configure(uint32_t page_size, std::unique_ptr<PageCodec> codec = nullptr);

    uint32_t pageSize() const { return page_size_; }
    uint32_t pageCount() const { return page_count_; }
    bool writable() const { return fd_writable_; }
    const std::string& path() const { return path_; }

    // Page n, as the current transaction sees it; a page beyond the file is
    // reported as damage. Throws kErrIo where a changed page cannot be read
    // back from the temporary file.
    Bytes page(uint32_t n) const;

    // Lets the system drop the mapped pages this process has touched, so
    // that a long scan does not hold the whole file in memory. Views stay
    // valid: their pages are read again when next touched.
    void releaseMemory() const;

    // Starts a transaction; throws kErrReadOnly, kErrInUse.
    void begin();
    bool inTransaction() const { return in_transaction_; }
    // A writable copy of page n for the current transaction. This and
    // append() throw kErrIo where changed pages cannot go to the temporary
    // file; commit() then refuses the transaction.
    uint8_t* modify(uint32_t n);
    // A new zeroed page at the end of the file; returns its number.
    uint32_t append();
    void commit();
    void rollback();

    // True once this pager holds the write lock (taken by the first begin()).
    bool locked() const { return locked_; }

    // Brackets a read (a statement, a fetch of rows); reads nest. Throws
    // kErrInUse when a commit of another process does not finish in time,
    // kErrReadOnly when a crashed writer's change must be undone first and
    // this pager may not write.
    void beginRead();
    void endRead();
    // How often the file was found changed by another process (or
    // repaired): what was read from it before is stale when this moved.
    uint64_t outsideChanges() const { return outside_changes_; }

    // The largest the file may grow (Access's limit, 2^31 bytes); a seam for
    // tests, which cannot write 2 GB.
    static void setSizeLimit(uint64_t bytes);

    // For crash and fault tests: called before every write, flush and
    // removal the commit makes, with a running count; it may end the
    // process there, or throw a jet::Error as that step's failure.
    static void setIoHook(std::function<void(int)> hook);

private:
    void openFile(Mode mode);
    void mapFile();
    void closeFile();
    void lockForWriting();
    void catchUp();
    bool journalToLookAt();
    void recoverJournal();
    void repairFromJournal();
    void refuse(const FoundJournal& found);
    void holdOffReaders(const std::string& what);
    void letReadersIn(bool reading);
    void markChanged();
    bool removeJournal();
    void abandon(const Journal& j, bool file_touched);
    bool undo(const Journal& j);
    void restore(int journal_fd, const Journal& j);
    void ioPoint();
    std::string journalPath() const { return path_ + "-journal"; }
    const uint8_t* committed(uint32_t n) const;
    const uint8_t* decoded(uint32_t n) const;
    void forgetDecoded();

    std::string path_;
    int fd_ = -1;
    struct stat identity_ {};  // of the database file: device, inode, owner
    timespec seen_mtime_ {};   // the file's modification time as last read
    uint64_t outside_changes_ = 0;
    uint64_t nonce_ = 0;       // marks this pager's journals
    int read_depth_ = 0;
    bool read_locked_ = false;  // holds the readers' lock shared
    std::string journal_refusal_;  // while a foreign journal is there: why writes are refused
    struct stat refused_journal_ {};  // which file that was
    bool fd_writable_ = false;
    bool locked_ = false;
    const uint8_t* map_ = nullptr;
    size_t map_size_ = 0;
    size_t file_size_ = 0;
    uint32_t page_size_ = 0;
    uint32_t page_count_ = 0;
    std::unique_ptr<PageCodec> codec_;
    mutable std::unordered_map<uint32_t, std::unique_ptr<uint8_t[]>> decoded_;
    mutable std::deque<uint32_t> decoded_order_;  // oldest first: the next to give up its copy

    int journal_fd_ = -1;        // open from the first commit until the pager closes
    bool journal_live_ = false;  // the journal holds images the file may need back
    bool in_transaction_ = false;
    uint32_t committed_page_count_ = 0;
    mutable DirtyPages dirty_;  // reading a page may bring it back from the temporary file
};

}  // namespace jet
