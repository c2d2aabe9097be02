#include "index_page.h"

#include <algorithm>
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

IndexPage IndexPage::read(const Pager& pager, const Format& f, uint32_t number) {
    Bytes p = pager.page(number);
    IndexPage page;
    page.type = p.u8(0);
    if (page.type != kIndexNodePage && page.type != kIndexLeafPage)
        corrupt("page " + std::to_string(number) + " is not an index page");
    IndexLayout l = indexLayout(f);
    page.previous = p.u32(l.previous);
    page.next = p.u32(l.next);
    page.tail = p.u32(l.tail);
    size_t prefix_length = l.prefix_size == 1 ? p.u8(l.prefix) : p.u16(l.prefix);
    size_t tail_size = page.type == kIndexNodePage ? 8 : 4;

    std::vector<size_t> starts{l.first_entry};
    for (size_t byte = l.mask; byte < l.first_entry; ++byte) {
        uint8_t bits = p.u8(byte);
        for (int bit = 0; bits && bit < 8; ++bit, bits >>= 1)
            if (bits & 1) starts.push_back(l.first_entry + (byte - l.mask) * 8 + size_t(bit));
    }
    if (starts.size() == 1) return page;  // no entries
    // Each entry after the first leaves out the page's shared prefix; the
    // key is built whole once, straight from the page.
    std::vector<uint8_t> prefix;
    page.entries.reserve(starts.size() - 1);
    for (size_t k = 0; k + 1 < starts.size(); ++k) {
        if (starts[k + 1] > p.size()) corrupt("an index entry runs past its page");
        Bytes raw = p.slice(starts[k], starts[k + 1] - starts[k]);
        if (k == 0) {
            if (prefix_length > raw.size()) corrupt("an index page's shared prefix is longer than its first entry");
            prefix.assign(raw.data(), raw.data() + prefix_length);
        }
        size_t shared = k == 0 ? 0 : prefix.size();
        if (shared + raw.size() < tail_size) corrupt("an index entry is too short");
        size_t key_length = shared + raw.size() - tail_size;
        IndexEntry e;
        std::vector<uint8_t> joined;  // only where the prefix reaches into the pointers
        const uint8_t* tail = raw.data() + raw.size() - tail_size;
        if (raw.size() < tail_size) {
            joined = prefix;
            joined.insert(joined.end(), raw.data(), raw.data() + raw.size());
            tail = joined.data() + key_length;
        }
        e.key.reserve(key_length);
        e.key.assign(prefix.begin(), prefix.begin() + long(std::min(shared, key_length)));
        if (key_length > shared) e.key.insert(e.key.end(), raw.data(), raw.data() + (key_length - shared));
        e.row = RowId{be24(tail), tail[3]};
        if (page.type == kIndexNodePage) e.child = be32(tail + 4);
        page.entries.push_back(std::move(e));
    }
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
