// SPDX-License-Identifier: Apache-2.0
#include "index_writer.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "index_page.h"
#include "usage_map_writer.h"

namespace jet {

namespace {

constexpr size_t kRowPointerSize = 4;  // page (3 bytes) and row, after the key
constexpr size_t kChildSize = 4;       // child page of an intermediate entry

// Entry order: key, then row pointer, as the bytes on the page sort.
bool before(const IndexEntry& a, const IndexEntry& b) {
    if (a.key != b.key) return a.key < b.key;
    return a.row.page != b.row.page ? a.row.page < b.row.page : a.row.row < b.row.row;
}

size_t roomOf(const Format& f) { return f.page_size - indexLayout(f).first_entry; }

// One page of the tree being changed. On the way down `at` is the position
// taken: the entry whose child was followed, or entries.size() for the
// tail; in the leaf, where the entry is or goes.
struct Node {
    uint32_t number = 0;
    IndexPage page;
    size_t at = 0;
    bool leaf() const { return page.type == kIndexLeafPage; }
};

// The pages from the root (front) down to one leaf (back).
using Path = std::vector<Node>;

size_t entrySize(const IndexEntry& e, bool leaf) { return e.key.size() + kRowPointerSize + (leaf ? 0 : kChildSize); }

// A page about to be changed, checked for what the writer relies on:
// entries in order (so every key holds the prefix the page's keys share)
// and each small enough for a page. A damaged page is refused before
// anything is written.
IndexPage readForWriting(const Pager& pager, const Format& f, uint32_t number) {
    IndexPage page = IndexPage::read(pager, f, number);
    const std::vector<IndexEntry>& es = page.entries;
    bool leaf = page.type == kIndexLeafPage;
    for (size_t i = 0; i < es.size(); ++i) {
        if (entrySize(es[i], leaf) > roomOf(f)) corrupt("an entry of index page " + std::to_string(number) + " is too long");
        if (i > 0 && !before(es[i - 1], es[i]))
            corrupt("the entries of index page " + std::to_string(number) + " are out of order");
    }
    return page;
}

// Follows, on each page, the first entry that `below` is false for: the
// subtree that holds the first entry not below what is sought.
template <class Below>
Path descend(const Pager& pager, const Format& f, uint32_t root, Below below) {
    Path path;
    std::unordered_set<uint32_t> seen;
    for (uint32_t number = root;;) {
        if (!seen.insert(number).second) corrupt("the pages of an index form a loop");
        Node node{number, readForWriting(pager, f, number)};
        const std::vector<IndexEntry>& es = node.page.entries;
        node.at = size_t(std::partition_point(es.begin(), es.end(), below) - es.begin());
        bool leaf = node.leaf();
        if (!leaf) number = node.at < es.size() ? es[node.at].child : node.page.tail;
        path.push_back(std::move(node));
        if (leaf) return path;
        if (number == 0) corrupt("an intermediate index page has no child for a key");
    }
}

// The prefix a page of `f` stores for keys `a` and `b`: what they share, as
// far as the page's prefix field can count (one byte in Jet 3).
size_t commonPrefix(const Format& f, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = std::min({a.size(), b.size(), indexLayout(f).prefix_size == 1 ? size_t(0xFF) : size_t(0xFFFF)});
    size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// The prefix every key of entries [first, last) shares. Taken over all of
// them, not from the first and last alone, so that no key is ever shorter
// than what the page leaves out of it, however a change left the order.
size_t sharedPrefix(const Format& f, const std::vector<IndexEntry>& es, size_t first, size_t last) {
    if (first == last) return 0;
    size_t prefix = commonPrefix(f, es[first].key, es[first].key);
    for (size_t i = first + 1; i < last && prefix > 0; ++i)
        prefix = std::min(prefix, commonPrefix(f, es[first].key, es[i].key));
    return prefix;
}

// Bytes entries [first, last) take on a page: the first whole, the rest
// without the prefix they share.
size_t bytesOf(const Format& f, const std::vector<IndexEntry>& es, size_t first, size_t last, bool leaf) {
    if (first == last) return 0;
    size_t total = 0;
    for (size_t i = first; i < last; ++i) total += entrySize(es[i], leaf);
    return total - (last - first - 1) * sharedPrefix(f, es, first, last);
}

bool fits(const Format& f, const Node& node) {
    return bytesOf(f, node.page.entries, 0, node.page.entries.size(), node.leaf()) <= roomOf(f);
}

void putBe(uint8_t* p, uint32_t v, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * (bytes - 1 - i)));
}

void writePage(Pager& pager, const Format& f, uint32_t owner, const Node& node) {
    const IndexPage& page = node.page;
    bool leaf = node.leaf();
    uint32_t tail = leaf ? 0 : page.tail;
    const IndexLayout l = indexLayout(f);
    uint8_t* p = pager.modify(node.number);
    std::memset(p, 0, f.page_size);
    p[0] = page.type;
    p[1] = 0x01;
    std::memcpy(p + 4, &owner, 4);
    std::memcpy(p + l.previous, &page.previous, 4);
    std::memcpy(p + l.next, &page.next, 4);
    std::memcpy(p + l.tail, &tail, 4);
    const std::vector<IndexEntry>& es = page.entries;
    uint16_t prefix = uint16_t(sharedPrefix(f, es, 0, es.size()));
    std::memcpy(p + l.prefix, &prefix, l.prefix_size);
    if (!leaf) p[l.node_mark] = 0x01;
    size_t at = l.first_entry;
    for (size_t k = 0; k < es.size(); ++k) {
        const IndexEntry& e = es[k];
        size_t skip = k == 0 ? 0 : prefix;
        std::memcpy(p + at, e.key.data() + skip, e.key.size() - skip);
        at += e.key.size() - skip;
        putBe(p + at, e.row.page, 3);
        p[at + 3] = uint8_t(e.row.row);
        at += kRowPointerSize;
        if (!leaf) {
            putBe(p + at, e.child, 4);
            at += kChildSize;
        }
        size_t bit = at - l.first_entry;
        p[l.mask + bit / 8] |= uint8_t(1u << (bit % 8));
    }
    uint16_t free_space = uint16_t(f.page_size - at);
    std::memcpy(p + 2, &free_space, 2);
}

// Sets the previous or next pointer of `page`, when there is one.
void setLink(Pager& pager, uint32_t page, size_t offset, uint32_t value) {
    if (page != 0) std::memcpy(pager.modify(page) + offset, &value, 4);
}

// An overflowing page cut in two. A leaf's lower part takes entries
// [0, m); an intermediate page's lower part takes children [0, m), that is
// entries [0, m - 1) with the child of entry m - 1 as its tail. Either way
// entry m - 1 names the lower part's last entry and goes to the parent.
struct Halves {
    IndexPage lower, upper;
    IndexEntry up;
};

Halves cut(const Node& node, size_t m) {
    const std::vector<IndexEntry>& es = node.page.entries;
    Halves h;
    h.lower.type = h.upper.type = node.page.type;
    h.lower.entries.assign(es.begin(), es.begin() + long(node.leaf() ? m : m - 1));
    if (!node.leaf()) h.lower.tail = es[m - 1].child;
    h.upper.entries.assign(es.begin() + long(m), es.end());
    h.upper.tail = node.page.tail;
    h.up = es[m - 1];
    return h;
}

// Where to cut: both parts must fit, and each keep at least one entry.
// Where an entry went into the upper half of the last page of its level,
// or the lower half of the first, as loads in key order add them, the cut
// falls at it, so the pages left behind stay as full as they were and the
// new entry starts the next; elsewhere the parts are even.
//
// The sizes of the parts for every cut are found in one pass each way, as
// bytesOf() would give them for entries in order: the prefix of a leading
// run is the least any of its keys shares with the first, and that of a
// trailing run what its first key shares with the last.
size_t splitPoint(const Format& f, const Node& node) {
    const std::vector<IndexEntry>& es = node.page.entries;
    bool leaf = node.leaf();
    size_t n = es.size(), room = roomOf(f);
    std::vector<size_t> leading(n + 1, 0), trailing(n + 1, 0);  // bytes of entries [0, c) and [c, n)
    size_t whole = 0, prefix = n > 0 ? commonPrefix(f, es[0].key, es[0].key) : 0;
    for (size_t c = 1; c <= n; ++c) {
        whole += entrySize(es[c - 1], leaf);
        prefix = std::min(prefix, commonPrefix(f, es[0].key, es[c - 1].key));
        leading[c] = whole - (c - 1) * prefix;
    }
    for (size_t c = n, sum = 0; c-- > 0;) {
        sum += entrySize(es[c], leaf);
        trailing[c] = sum - (n - c - 1) * commonPrefix(f, es[c].key, es[n - 1].key);
    }
    auto sizes = [&](size_t m) { return std::make_pair(leading[leaf ? m : m - 1], trailing[m]); };
    auto valid = [&](size_t m) {
        if (m < (leaf ? 1u : 2u) || m + 1 > n) return false;
        auto [lower, upper] = sizes(m);
        return lower <= room && upper <= room;
    };
    // An intermediate page's new entry names the lower part of the child
    // that split; the upper part is the child after it.
    bool upper_half = 2 * node.at >= n;
    if (node.page.next == 0 && upper_half) {
        size_t m = leaf ? node.at : std::min(node.at + 1, n - 1);
        if (valid(m)) return m;
    }
    if (node.page.previous == 0 && !upper_half) {
        size_t m = leaf ? node.at + 1 : std::max<size_t>(node.at + 1, 2);
        if (valid(m)) return m;
    }
    size_t best = 0, best_gap = 0;
    for (size_t m = 1; m < n; ++m) {
        if (!valid(m)) continue;
        auto [lower, upper] = sizes(m);
        size_t gap = lower > upper ? lower - upper : upper - lower;
        if (best == 0 || gap < best_gap) best = m, best_gap = gap;
    }
    // Not reached while entries keep within a quarter of a page's room.
    if (best == 0) throw Error(kErrUnsupported, "An index key is too long for a page.");
    return best;
}

// The pages of one index's tree: owned by the table at `owner`, listed in
// the usage map whose row `map` points at (none when 0), which Access's
// compact and drop go by; a page joins it when taken and leaves it when
// given back.
struct Tree {
    uint32_t owner;
    uint32_t map;
};

uint32_t takePage(Pager& pager, const Format& f, const Tree& tree) {
    uint32_t page = allocatePage(pager, f);
    if (tree.map) markPage(pager, f, tree.map, page, true);
    return page;
}

void givePage(Pager& pager, const Format& f, const Tree& tree, uint32_t page) {
    if (tree.map) markPage(pager, f, tree.map, page, false);
    freePage(pager, f, page);
}

// Writes path[level]; one that no longer fits is split, and the split is
// carried up to its parent. The root keeps its page by handing both parts
// to new children.
void store(Pager& pager, const Format& f, const Tree& tree, Path& path, size_t level) {
    Node& node = path[level];
    if (fits(f, node)) return writePage(pager, f, tree.owner, node);
    Halves h = cut(node, splitPoint(f, node));
    if (level == 0) {
        Node lower{takePage(pager, f, tree), std::move(h.lower)};
        Node upper{takePage(pager, f, tree), std::move(h.upper)};
        lower.page.next = upper.number;
        upper.page.previous = lower.number;
        writePage(pager, f, tree.owner, lower);
        writePage(pager, f, tree.owner, upper);
        h.up.child = lower.number;
        node.page = IndexPage{kIndexNodePage, 0, 0, upper.number, {std::move(h.up)}};
        return writePage(pager, f, tree.owner, node);
    }
    Node lower{takePage(pager, f, tree), std::move(h.lower)};
    lower.page.previous = node.page.previous;
    lower.page.next = node.number;
    setLink(pager, lower.page.previous, indexLayout(f).next, lower.number);
    node.page.entries = std::move(h.upper.entries);
    node.page.previous = lower.number;
    writePage(pager, f, tree.owner, lower);
    writePage(pager, f, tree.owner, node);
    // The new page's range lies just below the one the parent followed.
    h.up.child = lower.number;
    Node& parent = path[level - 1];
    parent.page.entries.insert(parent.page.entries.begin() + long(parent.at), std::move(h.up));
    store(pager, f, tree, path, level - 1);
}

// The last entry under path[level] is now `last`: the nearest ancestor that
// names that subtree by an entry, rather than as its tail, takes it.
void fixBound(Pager& pager, const Format& f, const Tree& tree, Path& path, size_t level, const IndexEntry& last) {
    while (level-- > 0) {
        Node& parent = path[level];
        if (parent.at == parent.page.entries.size()) continue;
        IndexEntry& e = parent.page.entries[parent.at];
        e.key = last.key;
        e.row = last.row;
        return store(pager, f, tree, path, level);
    }
}

// path[level], below the root, has nothing left (a leaf without entries, an
// intermediate page without children): it leaves its level, goes back to
// the free pages and out of its parent.
void drop(Pager& pager, const Format& f, const Tree& tree, Path& path, size_t level) {
    const Node& node = path[level];
    setLink(pager, node.page.previous, indexLayout(f).next, node.page.next);
    setLink(pager, node.page.next, indexLayout(f).previous, node.page.previous);
    givePage(pager, f, tree, node.number);
    Node& parent = path[level - 1];
    std::vector<IndexEntry>& es = parent.page.entries;
    if (parent.at < es.size()) {
        es.erase(es.begin() + long(parent.at));
        return store(pager, f, tree, path, level - 1);
    }
    if (es.empty()) {  // it was the only child
        if (level - 1 > 0) return drop(pager, f, tree, path, level - 1);
        parent.page = IndexPage{kIndexLeafPage, 0, 0, 0, {}};  // an empty index is one empty leaf
        return writePage(pager, f, tree.owner, parent);
    }
    // The tail went: the last entry's child becomes the tail, and that
    // entry names the last of what is left.
    IndexEntry last = std::move(es.back());
    es.pop_back();
    parent.page.tail = last.child;
    store(pager, f, tree, path, level - 1);
    fixBound(pager, f, tree, path, level - 1, last);
}

// A root with a single child and no entries takes the child's contents (the
// child is then the only page of its level), so the tree loses a level.
void collapseRoot(Pager& pager, const Format& f, const Tree& tree, uint32_t root) {
    std::unordered_set<uint32_t> seen{root};
    for (;;) {
        IndexPage page = IndexPage::read(pager, f, root);
        if (page.type != kIndexNodePage || !page.entries.empty() || page.tail == 0) return;
        if (!seen.insert(page.tail).second) corrupt("the pages of an index form a loop");
        Node node{root, readForWriting(pager, f, page.tail)};
        if (node.page.previous != 0 || node.page.next != 0) corrupt("an index page's only child has siblings");
        writePage(pager, f, tree.owner, node);
        givePage(pager, f, tree, page.tail);
    }
}

}  // namespace

// The last descent: its pages, each with its bytes as they were parsed or
// last written by this cache.
struct IndexCache::Pages {
    uint32_t root = 0;
    Path path;
    std::vector<std::vector<uint8_t>> images;
    bool leaf_written = false;  // the leaf's bytes are writePage's of path.back()
};

IndexCache::IndexCache() = default;
IndexCache::IndexCache(IndexCache&&) noexcept = default;
IndexCache::~IndexCache() = default;

namespace {

using Pages = IndexCache::Pages;

void takeImage(const Pager& pager, uint32_t number, std::vector<uint8_t>& image) {
    Bytes p = pager.page(number);
    image.assign(p.data(), p.data() + p.size());
}

// Whether the pager still holds every page of `c` as it was parsed.
bool unchanged(const Pager& pager, const Pages& c) {
    for (size_t i = 0; i < c.path.size(); ++i) {
        uint32_t n = c.path[i].number;
        if (n >= pager.pageCount()) return false;
        Bytes p = pager.page(n);
        if (p.size() != c.images[i].size() || std::memcmp(p.data(), c.images[i].data(), p.size()) != 0) return false;
    }
    return true;
}

// Whether descend() with `below` would follow the same children, given the
// pages are unchanged: on each intermediate page the first entry `below`
// is false for is still the one taken.
template <class Below>
bool leadsTo(const Path& path, Below below) {
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const std::vector<IndexEntry>& es = path[i].page.entries;
        size_t at = path[i].at;
        if ((at > 0 && !below(es[at - 1])) || (at < es.size() && below(es[at]))) return false;
    }
    return true;
}

// The path to the leaf for `below`: the cached one, taken out of `cache`,
// where it still holds, else a fresh descent. Handed back by keep() only
// once a change has gone through, so a failed change leaves nothing cached.
template <class Below>
std::unique_ptr<Pages> walk(const Pager& pager, const Format& f, uint32_t root, Below below, IndexCache* cache) {
    if (cache && cache->pages) {
        std::unique_ptr<Pages> c = std::move(cache->pages);
        if (c->root == root && unchanged(pager, *c) && leadsTo(c->path, below)) {
            std::vector<IndexEntry>& es = c->path.back().page.entries;
            c->path.back().at = size_t(std::partition_point(es.begin(), es.end(), below) - es.begin());
            return c;
        }
    }
    auto c = std::make_unique<Pages>();
    c->root = root;
    c->path = descend(pager, f, root, below);
    c->images.resize(c->path.size());
    for (size_t i = 0; i < c->path.size(); ++i) takeImage(pager, c->path[i].number, c->images[i]);
    return c;
}

void keep(IndexCache* cache, std::unique_ptr<Pages> c) {
    if (cache) cache->pages = std::move(c);
}

// The bytes a leaf entry other than the first takes, given the page's prefix.
size_t storedSize(const IndexEntry& e, size_t prefix) { return e.key.size() - prefix + kRowPointerSize; }

// Adds `entry` at leaf.at to a leaf whose page holds what writePage() wrote
// for it, moving only the bytes after the entry and redoing the entry
// marks from there on; the page is then what writePage() would write for
// the leaf with the entry. False, with nothing changed, where that would
// not hold: the entry would come first, change the shared prefix, or not
// fit.
bool insertInPlace(Pager& pager, const Format& f, Node& leaf, IndexEntry& entry) {
    std::vector<IndexEntry>& es = leaf.page.entries;
    const size_t at = leaf.at;
    if (at == 0) return false;
    const IndexLayout l = indexLayout(f);
    Bytes page = pager.page(leaf.number);
    size_t prefix = l.prefix_size == 1 ? page.u8(l.prefix) : page.u16(l.prefix);
    if (commonPrefix(f, es[0].key, entry.key) < prefix) return false;
    size_t end = f.page_size - page.u16(2);
    size_t size = storedSize(entry, prefix);
    if (end + size > f.page_size) return false;
    size_t offset = end;  // where entry `at` starts
    if (at < es.size()) {
        offset = l.first_entry + es[0].key.size() + kRowPointerSize;
        for (size_t k = 1; k < at; ++k) offset += storedSize(es[k], prefix);
    }

    uint8_t* p = pager.modify(leaf.number);
    std::memmove(p + offset + size, p + offset, end - offset);
    std::memcpy(p + offset, entry.key.data() + prefix, entry.key.size() - prefix);
    putBe(p + offset + size - kRowPointerSize, entry.row.page, 3);
    p[offset + size - 1] = uint8_t(entry.row.row);
    // The marks up to the entry before stay; those after are set afresh.
    size_t first_bit = offset - l.first_entry + 1;
    p[l.mask + first_bit / 8] &= uint8_t((1u << (first_bit % 8)) - 1);
    std::memset(p + l.mask + first_bit / 8 + 1, 0, l.first_entry - (l.mask + first_bit / 8 + 1));
    auto mark = [&](size_t at_byte) {
        size_t bit = at_byte - l.first_entry;
        p[l.mask + bit / 8] |= uint8_t(1u << (bit % 8));
    };
    size_t pos = offset + size;
    mark(pos);
    for (size_t k = at; k < es.size(); ++k) mark(pos += storedSize(es[k], prefix));
    uint16_t free_space = uint16_t(f.page_size - pos);
    std::memcpy(p + 2, &free_space, 2);
    es.insert(es.begin() + long(at), std::move(entry));
    return true;
}

}  // namespace

void writeEmptyIndex(Pager& pager, const Format& f, uint32_t owner, uint32_t page) {
    Node root{page, IndexPage{}};
    root.page.type = kIndexLeafPage;
    writePage(pager, f, owner, root);
}

bool indexKeyFits(const Format& f, const std::vector<uint8_t>& key) {
    return key.size() + kRowPointerSize + kChildSize <= roomOf(f) / 4;
}

bool indexHasKey(const Pager& pager, const Format& f, const RealIndex& index, const std::vector<uint8_t>& key,
                 IndexCache* cache) {
    auto below = [&](const IndexEntry& e) { return e.key < key; };
    std::unique_ptr<Pages> c = walk(pager, f, index.root_page, below, cache);
    // The first entry not below `key` is in that leaf, or (when everything
    // there is below) further along.
    const Node& leaf = c->path.back();
    if (leaf.at < leaf.page.entries.size()) {
        bool found = leaf.page.entries[leaf.at].key == key;
        keep(cache, std::move(c));
        return found;
    }
    uint32_t next = leaf.page.next;
    std::unordered_set<uint32_t> seen{leaf.number};
    keep(cache, std::move(c));
    for (;;) {
        if (next == 0) return false;
        if (!seen.insert(next).second) corrupt("the leaves of an index form a loop");
        IndexPage page = IndexPage::read(pager, f, next);
        auto it = std::partition_point(page.entries.begin(), page.entries.end(), below);
        if (it != page.entries.end()) return it->key == key;
        next = page.next;
    }
}

void insertIndexEntry(Pager& pager, const Format& f, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row, IndexCache* cache) {
    const Tree tree{owner, index.usage_map};
    if (!indexKeyFits(f, key)) throw Error(kErrUnsupported, "An index key is too long for a page.");
    IndexEntry entry{key, row};
    std::unique_ptr<Pages> c =
        walk(pager, f, index.root_page, [&](const IndexEntry& e) { return before(e, entry); }, cache);
    Node& leaf = c->path.back();
    std::vector<IndexEntry>& es = leaf.page.entries;
    if (leaf.at < es.size() && !before(entry, es[leaf.at]))
        corrupt("an index already has an entry for a row being added");
    if (!(c->leaf_written && insertInPlace(pager, f, leaf, entry))) {
        es.insert(es.begin() + long(leaf.at), std::move(entry));
        // A split changes pages off the path: the next change descends anew.
        if (!fits(f, leaf)) return store(pager, f, tree, c->path, c->path.size() - 1);
        writePage(pager, f, tree.owner, leaf);
        c->leaf_written = true;
    }
    takeImage(pager, leaf.number, c->images.back());
    keep(cache, std::move(c));
}

void removeIndexEntry(Pager& pager, const Format& f, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row) {
    const Tree tree{owner, index.usage_map};
    IndexEntry entry{key, row};
    Path path = descend(pager, f, index.root_page, [&](const IndexEntry& e) { return before(e, entry); });
    size_t level = path.size() - 1;
    Node& leaf = path[level];
    std::vector<IndexEntry>& es = leaf.page.entries;
    if (leaf.at == es.size() || before(entry, es[leaf.at])) corrupt("an index has no entry for a row being changed");
    es.erase(es.begin() + long(leaf.at));
    if (es.empty() && level > 0) {
        drop(pager, f, tree, path, level);
        return collapseRoot(pager, f, tree, index.root_page);
    }
    store(pager, f, tree, path, level);
    if (leaf.at == es.size() && !es.empty()) fixBound(pager, f, tree, path, level, es.back());
}

}  // namespace jet
