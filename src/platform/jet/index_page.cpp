// SPDX-License-Identifier: Apache-2.0
#include "index_page.h"

#include <algorithm>
#include <bit>
#include <unordered_set>

namespace jet {

namespace {

uint32_t be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | be24(p + 1); }

}  // namespace

IndexLayout indexLayout(const Format& f) {
    if (f.jet3) return {8, 12, 16, 20, 1, 21, 0x16, 0xF8};
    return {12, 16, 20, 24, 2, 26, 0x1B, 0x1E0};
}

IndexPageView::IndexPageView(const Pager& pager, const Format& f, uint32_t number) : page_(pager.page(number)) {
    const Bytes& p = page_;
    type_ = p.u8(0);
    if (type_ != kIndexNodePage && type_ != kIndexLeafPage)
        corrupt("page " + std::to_string(number) + " is not an index page");
    IndexLayout l = indexLayout(f);
    previous_ = p.u32(l.previous);
    next_ = p.u32(l.next);
    tail_ = p.u32(l.tail);
    prefix_ = l.prefix_size == 1 ? p.u8(l.prefix) : p.u16(l.prefix);
    tail_size_ = type_ == kIndexNodePage ? 8 : 4;
    const uint8_t* mask = p.slice(l.mask, l.first_entry - l.mask).data();
    starts_.reserve(256);
    starts_.push_back(l.first_entry);
    for (size_t i = 0; i < l.first_entry - l.mask; ++i)
        for (unsigned bits = mask[i]; bits; bits &= bits - 1)
            starts_.push_back(l.first_entry + i * 8 + size_t(std::countr_zero(bits)));
    // Every entry takes the prefix from the first.
    if (starts_.size() > 1) {
        if (starts_[1] > p.size()) corrupt("an index entry runs past its page");
        if (prefix_ > starts_[1] - starts_[0]) corrupt("an index page's shared prefix is longer than its first entry");
    }
}

// Each entry after the first leaves out the page's shared prefix, which may
// reach into its pointers. An entry is checked as it is taken, so that a
// lookup pays only for those it looks at.
void IndexPageView::entry(size_t k, IndexEntry& e) const {
    if (starts_[k + 1] > page_.size()) corrupt("an index entry runs past its page");
    const uint8_t* raw = page_.data() + starts_[k];
    size_t raw_size = starts_[k + 1] - starts_[k];
    size_t shared = k == 0 ? 0 : prefix_;
    if (shared + raw_size < tail_size_) corrupt("an index entry is too short");
    size_t key_length = shared + raw_size - tail_size_;
    const uint8_t* first = page_.data() + starts_[0];  // holds the prefix whole
    e.key.assign(first, first + std::min(shared, key_length));
    if (key_length > shared) e.key.insert(e.key.end(), raw, raw + (key_length - shared));
    uint8_t tail[8];
    for (size_t i = 0; i < tail_size_; ++i) {
        size_t at = key_length + i;  // within the entry, prefix included
        tail[i] = at < shared ? first[at] : raw[at - shared];
    }
    e.row = RowId{be24(tail), tail[3]};
    e.child = type_ == kIndexNodePage ? be32(tail + 4) : 0;
}

size_t IndexPageView::firstNotBelow(const std::vector<uint8_t>& key, IndexEntry& scratch) const {
    size_t low = 0, high = size();
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        entry(mid, scratch);
        if (scratch.key < key) low = mid + 1;
        else high = mid;
    }
    return low;
}

IndexPage IndexPage::read(const Pager& pager, const Format& f, uint32_t number) {
    IndexPageView view(pager, f, number);
    IndexPage page{view.type_, view.previous_, view.next_, view.tail_, {}};
    page.entries.resize(view.size());
    for (size_t k = 0; k < view.size(); ++k) view.entry(k, page.entries[k]);
    return page;
}

std::vector<IndexEntry> readIndex(const Pager& pager, const Format& f, uint32_t root) {
    // Down the first entries to the leftmost leaf, then along the leaves.
    std::unordered_set<uint32_t> seen;
    uint32_t number = root;
    IndexPage page = IndexPage::read(pager, f, number);
    while (page.type == kIndexNodePage) {
        if (!seen.insert(number).second) corrupt("the pages of an index form a loop");
        // The tail is the last child, the only one when there are no entries.
        number = page.entries.empty() ? page.tail : page.entries.front().child;
        if (number == 0) return {};
        page = IndexPage::read(pager, f, number);
    }
    std::vector<IndexEntry> out;
    seen.clear();
    for (;;) {
        if (!seen.insert(number).second) corrupt("the leaves of an index form a loop");
        for (IndexEntry& e : page.entries) out.push_back(std::move(e));
        if (page.next == 0) break;
        number = page.next;
        page = IndexPage::read(pager, f, number);
        if (page.type != kIndexLeafPage) corrupt("an index leaf is followed by a page that is not a leaf");
    }
    return out;
}

}  // namespace jet
