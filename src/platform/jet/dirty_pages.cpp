// SPDX-License-Identifier: Apache-2.0
#include "dirty_pages.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "error.h"
#include "file_io.h"

namespace jet {

namespace {

constexpr size_t kRun = 64;  // pages read or written at once

size_t& limit() {
    static size_t pages = DirtyPages::kInMemory;
    return pages;
}

// Pages written out together: fewer, larger writes, while the rest stay.
size_t batch() { return std::min<size_t>(kRun, 1 + limit() / 128); }

std::string temporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

// A file without a name, in `folder`; -1 where the file system cannot.
int unnamedFile(const std::string& folder) {
    return ::open(folder.c_str(), O_TMPFILE | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace

void DirtyPages::setInMemoryLimit(size_t pages) { limit() = std::max<size_t>(pages, 1); }

void DirtyPages::configure(uint32_t page_size, const PageCodec* codec) {
    clear();
    page_size_ = page_size;
    codec_ = codec;
    run_.reset();
}

void DirtyPages::clear() {
    pages_.clear();
    used_.clear();
    spare_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    slots_ = 0;
    failure_.clear();
}

uint8_t* DirtyPages::find(uint32_t n, bool changing) {
    check();
    auto it = pages_.find(n);
    if (it == pages_.end()) return nullptr;
    Page& p = it->second;
    if (p.data) {
        used_.splice(used_.end(), used_, p.use);
    } else {
        makeRoom();
        std::unique_ptr<uint8_t[]> data = buffer();
        readAt(data.get(), 1, p.slot);
        if (codec_ && n != 0) codec_->decode(n, data.get(), page_size_);
        hold(n, p, std::move(data));
        p.clean = true;
    }
    if (changing) p.clean = false;
    return p.data.get();
}

uint8_t* DirtyPages::add(uint32_t n) {
    check();
    makeRoom();
    Page& p = pages_[n];
    return hold(n, p, buffer()).data.get();
}

const uint8_t* DirtyPages::inMemory(uint32_t n) const {
    auto it = pages_.find(n);
    return it == pages_.end() ? nullptr : it->second.data.get();
}

DirtyPages::Page& DirtyPages::hold(uint32_t n, Page& p, std::unique_ptr<uint8_t[]> data) {
    p.data = std::move(data);
    p.use = used_.insert(used_.end(), n);
    return p;
}

std::unique_ptr<uint8_t[]> DirtyPages::buffer() {
    if (spare_.empty()) return std::make_unique<uint8_t[]>(page_size_);
    std::unique_ptr<uint8_t[]> data = std::move(spare_.back());
    spare_.pop_back();
    return data;
}

// Before a page comes into memory: when a batch past the limit is there,
// the least recently used go, so that the last limit() pages touched stay.
// Those unchanged since they came back from the file go without a write.
void DirtyPages::makeRoom() {
    if (used_.size() < limit() + batch() - 1) return;
    std::vector<std::pair<int64_t, uint32_t>> writes;  // slot, page
    std::vector<Page*> out;
    while (used_.size() >= limit()) {
        uint32_t n = used_.front();
        used_.pop_front();
        Page& p = pages_.at(n);
        out.push_back(&p);
        if (p.clean) continue;
        if (p.slot < 0) p.slot = slots_++;
        writes.push_back({p.slot, n});
    }
    std::sort(writes.begin(), writes.end());
    if (!run_) run_ = std::make_unique<uint8_t[]>(kRun * page_size_);
    for (size_t i = 0; i < writes.size();) {
        int64_t first = writes[i].first;
        size_t count = 0;
        for (; i < writes.size() && writes[i].first == first + int64_t(count) && count < kRun; ++i, ++count) {
            uint8_t* image = run_.get() + count * page_size_;
            std::memcpy(image, pages_.at(writes[i].second).data.get(), page_size_);
            if (codec_ && writes[i].second != 0) codec_->encode(writes[i].second, image, page_size_);
        }
        writeAt(run_.get(), count, first);
    }
    for (Page* p : out) spare_.push_back(std::move(p->data));
}

void DirtyPages::writeAt(const uint8_t* images, size_t count, int64_t slot) {
    if (fd_ < 0) openFile();
    if (!writeFully(fd_, images, count * page_size_, off_t(slot) * page_size_)) fail("write to");
}

void DirtyPages::readAt(uint8_t* into, size_t count, int64_t slot) {
    if (!readFully(fd_, into, count * page_size_, off_t(slot) * page_size_)) fail("read from");
}

std::vector<uint32_t> DirtyPages::numbers() const {
    std::vector<uint32_t> all;
    all.reserve(pages_.size());
    for (const auto& [n, p] : pages_) all.push_back(n);
    std::sort(all.begin(), all.end());
    return all;
}

void DirtyPages::forEachRun(const std::function<void(uint32_t, const uint8_t*, size_t)>& write) {
    check();
    if (!run_) run_ = std::make_unique<uint8_t[]>(kRun * page_size_);
    uint32_t first = 0;
    size_t count = 0;
    // Pages to read from the file into the run: consecutive places, at once.
    int64_t read_slot = -1;
    size_t read_at = 0, read_count = 0;
    auto readPending = [&] {
        if (read_count > 0) readAt(run_.get() + read_at * page_size_, read_count, read_slot);
        read_count = 0;
    };
    auto emit = [&] {
        readPending();
        if (count > 0) write(first, run_.get(), count);
        count = 0;
    };
    for (uint32_t n : numbers()) {
        const Page& p = pages_.at(n);
        if (count > 0 && (n != first + count || count == kRun)) emit();
        if (count == 0) first = n;
        uint8_t* image = run_.get() + count * page_size_;
        if (p.data) {
            std::memcpy(image, p.data.get(), page_size_);
            if (codec_ && n != 0) codec_->encode(n, image, page_size_);
        } else {
            if (read_count > 0 && (p.slot != read_slot + int64_t(read_count) || read_at + read_count != count))
                readPending();
            if (read_count == 0) read_slot = p.slot, read_at = count;
            ++read_count;
        }
        ++count;
    }
    emit();
}

void DirtyPages::openFile() {
    fd_ = unnamedFile(folder_);
    if (fd_ < 0) fd_ = unnamedFile(temporaryFolder());
    if (fd_ < 0) {
        std::string name = temporaryFolder() + "/pellinordb-change-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0) ::unlink(name.c_str());
    }
    if (fd_ < 0) fail("make");
}

void DirtyPages::check() const {
    if (!failure_.empty()) throw Error(kErrIo, failure_);
}

void DirtyPages::fail(const std::string& what) {
    failure_ = "Could not " + what + " the temporary file holding the change: " + std::strerror(errno) +
               ". Nothing was written to the database.";
    throw Error(kErrIo, failure_);
}

}  // namespace jet
