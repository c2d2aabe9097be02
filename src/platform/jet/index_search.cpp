// SPDX-License-Identifier: Apache-2.0
#include "index_search.h"

#include <algorithm>
#include <unordered_set>

#include "index_key.h"
#include "index_page.h"

namespace jet {

namespace {

bool startsWith(const std::vector<uint8_t>& key, const std::vector<uint8_t>& prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

// The leaf holding the first entry whose key is not below `low`: each
// intermediate entry names its child's last entry, the tail holds the rest.
// Pages are searched in place, in the order their entries keep.
uint32_t firstLeaf(const Pager& pager, const Format& f, uint32_t root, const std::vector<uint8_t>& low) {
    std::unordered_set<uint32_t> seen;
    uint32_t number = root;
    IndexEntry e;
    for (;;) {
        if (!seen.insert(number).second) corrupt("the pages of an index form a loop");
        IndexPageView page(pager, f, number);
        if (page.type() == kIndexLeafPage) return number;
        size_t at = page.firstNotBelow(low, e);
        if (at < page.size()) page.entry(at, e);
        number = at < page.size() ? e.child : page.tail();
        if (number == 0) corrupt("an intermediate index page has no child for a key");
    }
}

// The rows between the encoded bounds `from` and `to`, where `low` and
// `high` (which say whether each is inclusive) are given.
std::vector<RowId> scanKeys(const Pager& pager, const Format& f, const RealIndex& index, const KeyBound* low,
                            const std::vector<uint8_t>& from, const KeyBound* high, const std::vector<uint8_t>& to) {
    std::vector<RowId> rows;
    std::unordered_set<uint32_t> seen;
    for (uint32_t number = firstLeaf(pager, f, index.root_page, from); number != 0;) {
        if (!seen.insert(number).second) corrupt("the leaves of an index form a loop");
        IndexPageView page(pager, f, number);
        if (page.type() != kIndexLeafPage) corrupt("an index leaf is followed by a page that is not a leaf");
        IndexEntry e;
        for (size_t k = low ? page.firstNotBelow(from, e) : 0; k < page.size(); ++k) {
            page.entry(k, e);
            if (low && (e.key < from || (!low->inclusive && startsWith(e.key, from)))) continue;
            if (high && e.key > to && !(high->inclusive && startsWith(e.key, to))) return rows;
            if (high && !high->inclusive && startsWith(e.key, to)) return rows;
            rows.push_back(e.row);
        }
        number = page.next();
    }
    return rows;
}

}  // namespace

std::vector<RowId> scanRange(const Pager& pager, const Format& f, const TableDef& t, const RealIndex& index,
                             const std::optional<KeyBound>& low, const std::optional<KeyBound>& high) {
    std::vector<uint8_t> from = low ? encodeKeyPrefix(t, index, low->values) : std::vector<uint8_t>();
    std::vector<uint8_t> to = high ? encodeKeyPrefix(t, index, high->values) : std::vector<uint8_t>();
    return scanKeys(pager, f, index, low ? &*low : nullptr, from, high ? &*high : nullptr, to);
}

std::vector<RowId> scanKeyPrefix(const Pager& pager, const Format& f, const RealIndex& index,
                                 const std::vector<uint8_t>& prefix) {
    const KeyBound inclusive;
    return scanKeys(pager, f, index, &inclusive, prefix, &inclusive, prefix);
}

std::vector<RowId> findRows(const Pager& pager, const Format& f, const TableDef& t, const RealIndex& index,
                            const std::vector<Value>& values) {
    KeyBound bound{values, true};
    return scanRange(pager, f, t, index, bound, bound);
}

}  // namespace jet
