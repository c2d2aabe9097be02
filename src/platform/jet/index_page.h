// SPDX-License-Identifier: Apache-2.0
// Index pages and walking an index in key order.
//
// An index is a B-tree of pages: leaves (type 0x04) hold one entry per row,
// intermediate pages (0x03) one entry per child, naming the child's last
// entry. Each page has a previous, next and tail-leaf pointer, a shared
// prefix length, and a bitmap marking where each entry after the first
// begins (the last mark ends the data). Entries after the first omit the
// first prefix-length bytes, which they share with the first. An entry is
// the key, then the row's page (3 bytes, big-endian) and row number; an
// intermediate entry adds the child page (4 bytes, big-endian). Entries are
// in the byte order of key then row pointer.
#pragma once

#include <cstdint>
#include <vector>

#include "data_page.h"
#include "format.h"
#include "pager.h"

namespace jet {

constexpr uint8_t kIndexNodePage = 0x03;
constexpr uint8_t kIndexLeafPage = 0x04;

// Where an index page keeps its fields: Jet 3's header is shorter and its
// prefix length one byte (the next byte is 01 on intermediate pages), Jet
// 4's two bytes followed by that byte.
struct IndexLayout {
    size_t previous, next, tail, prefix, prefix_size, node_mark, mask, first_entry;
};
IndexLayout indexLayout(const Format& format);

struct IndexEntry {
    std::vector<uint8_t> key;
    RowId row;
    uint32_t child = 0;  // intermediate entries only
};

struct IndexPage {
    uint8_t type = 0;
    uint32_t previous = 0, next = 0, tail = 0;
    std::vector<IndexEntry> entries;

    static IndexPage read(const Pager& pager, const Format& format, uint32_t page);
};

// One index page read in place, for lookups: its fields and where each
// entry lies, so that any entry can be taken on its own (and checked as it
// is) into a reused IndexEntry. Valid while the page view it holds is.
class IndexPageView {
public:
    IndexPageView(const Pager& pager, const Format& format, uint32_t page);
    uint8_t type() const { return type_; }
    uint32_t next() const { return next_; }
    uint32_t tail() const { return tail_; }
    size_t size() const { return starts_.size() - 1; }
    void entry(size_t i, IndexEntry& out) const;
    // The first entry whose key is not below `key`, the page's entries being
    // in order (size() when none); `scratch` holds the entries looked at.
    size_t firstNotBelow(const std::vector<uint8_t>& key, IndexEntry& scratch) const;

private:
    Bytes page_;
    uint8_t type_ = 0;
    uint32_t previous_ = 0, next_ = 0, tail_ = 0;
    size_t prefix_ = 0, tail_size_ = 0;
    std::vector<size_t> starts_;  // of each entry, then the end of the last
    friend struct IndexPage;
};

// Every entry of the index rooted at `root`, in order, read leaf by leaf.
std::vector<IndexEntry> readIndex(const Pager& pager, const Format& format, uint32_t root);

}  // namespace jet
