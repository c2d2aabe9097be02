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
constexpr size_t kPrevious = 12, kNext = 16, kTail = 20, kPrefix = 24, kMask = 0x1B, kFirstEntry = 0x1E0;

struct Entry {
    std::vector<uint8_t> key;
    RowId row;
    bool operator<(const Entry& o) const {
        if (key != o.key) return key < o.key;
        return row.page != o.row.page ? row.page < o.row.page : row.row < o.row.row;
    }
};

// One page of the rebuilt tree. Leaves: `entries` are its entries.
// Intermediate pages: entries[i] is the last entry of children[i]; the
// last child, which has no entry, is the tail.
struct Node {
    std::vector<Entry> entries;
    std::vector<size_t> children;  // into the level below
    uint32_t page = 0;
};

struct Tree {
    std::vector<uint32_t> pages;  // every page of the tree, root first
    std::vector<Entry> entries;   // in order
};

void collect(const Pager& pager, const Format& f, uint32_t number, Tree& tree, std::unordered_set<uint32_t>& seen) {
    if (!seen.insert(number).second) corrupt("the pages of an index form a loop");
    tree.pages.push_back(number);
    IndexPage page = IndexPage::read(pager, f, number);
    if (page.type == kIndexLeafPage) {
        for (IndexEntry& e : page.entries) tree.entries.push_back(Entry{std::move(e.key), e.row});
        return;
    }
    for (const IndexEntry& e : page.entries) collect(pager, f, e.child, tree, seen);
    if (page.tail != 0) collect(pager, f, page.tail, tree, seen);
}

Tree readTree(const Pager& pager, const Format& f, uint32_t root) {
    Tree tree;
    std::unordered_set<uint32_t> seen;
    collect(pager, f, root, tree, seen);
    if (!std::is_sorted(tree.entries.begin(), tree.entries.end())) corrupt("an index's entries are out of order");
    return tree;
}

size_t commonPrefix(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// Bytes the entries take on a page: the first whole, the rest without the
// shared prefix (common to all keys, as they are in order).
size_t prefixOf(const std::vector<Entry>& entries) {
    if (entries.empty()) return 0;
    return commonPrefix(entries.front().key, entries.back().key);
}

size_t sizeOf(const std::vector<Entry>& entries, size_t extra) {
    size_t total = 0;
    for (const Entry& e : entries) total += e.key.size() + kRowPointerSize + extra;
    return entries.empty() ? 0 : total - (entries.size() - 1) * prefixOf(entries);
}

// Groups `entries` into pages as full as each holds. For intermediate
// levels (extra = kChildSize) each page takes one more child as its tail.
std::vector<Node> fill(const std::vector<Entry>& entries, size_t room, bool intermediate) {
    std::vector<Node> nodes;
    size_t extra = intermediate ? kChildSize : 0;
    size_t i = 0;
    while (i < entries.size() || nodes.empty()) {
        Node node;
        while (i < entries.size()) {
            // An intermediate page keeps one child past its entries for a tail.
            if (intermediate && i + 1 == entries.size()) break;
            node.entries.push_back(entries[i]);
            if (node.entries.size() > 1 && sizeOf(node.entries, extra) > room) {
                node.entries.pop_back();
                break;
            }
            if (sizeOf(node.entries, extra) > room) throw Error(kErrUnsupported, "An index key is too long for a page.");
            if (intermediate) node.children.push_back(i);
            ++i;
        }
        if (intermediate) node.children.push_back(i++);  // the tail
        nodes.push_back(std::move(node));
        if (entries.empty()) break;
    }
    return nodes;
}

void putBe(uint8_t* p, uint32_t v, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * (bytes - 1 - i)));
}

// `children` holds the child page of each entry (intermediate pages only).
void writeNode(Pager& pager, const Format& f, uint32_t owner, const Node& node, const std::vector<uint32_t>& children,
               uint32_t previous, uint32_t next, uint32_t tail) {
    bool leaf = children.empty() && tail == 0;
    uint8_t* p = pager.modify(node.page);
    std::memset(p, 0, f.page_size);
    p[0] = leaf ? kIndexLeafPage : kIndexNodePage;
    p[1] = 0x01;
    std::memcpy(p + 4, &owner, 4);
    std::memcpy(p + kPrevious, &previous, 4);
    std::memcpy(p + kNext, &next, 4);
    std::memcpy(p + kTail, &tail, 4);
    uint16_t prefix = uint16_t(prefixOf(node.entries));
    std::memcpy(p + kPrefix, &prefix, 2);
    size_t at = kFirstEntry;
    for (size_t k = 0; k < node.entries.size(); ++k) {
        const Entry& e = node.entries[k];
        size_t skip = k == 0 ? 0 : prefix;
        std::memcpy(p + at, e.key.data() + skip, e.key.size() - skip);
        at += e.key.size() - skip;
        putBe(p + at, e.row.page, 3);
        p[at + 3] = uint8_t(e.row.row);
        at += kRowPointerSize;
        if (!leaf) {
            putBe(p + at, children[k], 4);
            at += kChildSize;
        }
        size_t bit = at - kFirstEntry;
        p[kMask + bit / 8] |= uint8_t(1u << (bit % 8));
    }
    uint16_t free_space = uint16_t(f.page_size - at);
    std::memcpy(p + 2, &free_space, 2);
}

void writeTree(Pager& pager, const Format& f, uint32_t owner, Tree& old, const std::vector<Entry>& entries) {
    size_t room = f.page_size - kFirstEntry;
    std::vector<std::vector<Node>> levels{fill(entries, room, false)};
    while (levels.back().size() > 1) {
        std::vector<Entry> lasts;
        const std::vector<Node>& below = levels.back();
        for (size_t i = 0; i < below.size(); ++i) {
            const Node& n = below[i];
            // A subtree's last entry: its leaves' last, found down the tails.
            const Node* at = &n;
            for (size_t level = levels.size() - 1; !at->children.empty(); --level) at = &levels[level - 1][at->children.back()];
            lasts.push_back(at->entries.back());
        }
        levels.push_back(fill(lasts, room, true));
    }

    // Numbers: the root keeps its page; the rest reuse the old pages, then new ones.
    size_t reuse = 1;
    for (size_t level = levels.size(); level-- > 0;)
        for (Node& n : levels[level]) {
            if (level == levels.size() - 1) { n.page = old.pages.front(); continue; }
            n.page = reuse < old.pages.size() ? old.pages[reuse++] : allocatePage(pager, f);
        }
    for (; reuse < old.pages.size(); ++reuse) freePage(pager, f, old.pages[reuse]);

    for (size_t level = 0; level < levels.size(); ++level) {
        std::vector<Node>& nodes = levels[level];
        for (size_t i = 0; i < nodes.size(); ++i) {
            const Node& n = nodes[i];
            uint32_t previous = i > 0 ? nodes[i - 1].page : 0;
            uint32_t next = i + 1 < nodes.size() ? nodes[i + 1].page : 0;
            std::vector<uint32_t> children;
            uint32_t tail = 0;
            if (level > 0) {
                for (size_t child : n.children) children.push_back(levels[level - 1][child].page);
                tail = children.back();
                children.pop_back();
            }
            writeNode(pager, f, owner, n, children, previous, next, tail);
        }
    }
}

void requireWritable(const Format& f) {
    if (f.jet3) throw Error(kErrUnsupported, "Writing the indexes of Access 97 databases is not supported.");
}

}  // namespace

bool indexHasKey(const Pager& pager, const Format& f, const RealIndex& index, const std::vector<uint8_t>& key) {
    Tree tree = readTree(pager, f, index.root_page);
    auto it = std::lower_bound(tree.entries.begin(), tree.entries.end(), Entry{key, RowId{0, 0}});
    return it != tree.entries.end() && it->key == key;
}

void insertIndexEntry(Pager& pager, const Format& f, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row) {
    requireWritable(f);
    Tree tree = readTree(pager, f, index.root_page);
    Entry e{key, row};
    auto it = std::lower_bound(tree.entries.begin(), tree.entries.end(), e);
    if (it != tree.entries.end() && !(e < *it)) corrupt("an index already has an entry for a row being added");
    tree.entries.insert(it, std::move(e));
    writeTree(pager, f, owner, tree, tree.entries);
}

void removeIndexEntry(Pager& pager, const Format& f, uint32_t owner, const RealIndex& index,
                      const std::vector<uint8_t>& key, RowId row) {
    requireWritable(f);
    Tree tree = readTree(pager, f, index.root_page);
    Entry e{key, row};
    auto it = std::lower_bound(tree.entries.begin(), tree.entries.end(), e);
    if (it == tree.entries.end() || e < *it) corrupt("an index has no entry for a row being changed");
    tree.entries.erase(it);
    writeTree(pager, f, owner, tree, tree.entries);
}

}  // namespace jet
