// The file as a sequence of fixed-size pages. The file is memory-mapped
// read-only and pages are handed out as bounds-checked views; nothing is
// read until it is touched. Pages of an RC4-encoded file are decoded on
// first use and kept, so a view stays valid for the life of the pager.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "bytes.h"

namespace jet {

class Pager {
public:
    // Maps the file; throws kErrFileNotFound or kErrIo.
    explicit Pager(const std::string& path);
    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    // The raw bytes of the whole file (for reading the header page).
    Bytes raw() const { return Bytes(map_, size_); }

    // Sets the page size and, when non-zero, the page-encoding key.
    void configure(uint32_t page_size, uint32_t key);

    uint32_t pageSize() const { return page_size_; }
    uint32_t pageCount() const { return page_count_; }

    // Page n; a page number beyond the file is reported as damage.
    Bytes page(uint32_t n) const;

private:
    const uint8_t* map_ = nullptr;
    size_t size_ = 0;
    uint32_t page_size_ = 0;
    uint32_t page_count_ = 0;
    uint32_t key_ = 0;
    mutable std::unordered_map<uint32_t, std::unique_ptr<uint8_t[]>> decoded_;
};

}  // namespace jet
