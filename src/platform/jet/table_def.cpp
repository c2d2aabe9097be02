// SPDX-License-Identifier: Apache-2.0
#include "table_def.h"

#include <algorithm>
#include <cctype>

namespace jet {

namespace {

constexpr uint8_t kTdefPage = 0x02;
constexpr size_t kTdefChainHeader = 8;  // type, 01, free space, next page
constexpr size_t kMaxColumns = 256;
constexpr size_t kMaxIndexes = 256;

std::vector<uint8_t> readChain(const Pager& pager, uint32_t first) {
    std::vector<uint8_t> buf;
    uint32_t page = first;
    for (uint32_t hops = 0; page != 0; ++hops) {
        if (hops > pager.pageCount()) corrupt("the definition pages of a table form a loop");
        Bytes p = pager.page(page);
        if (p.u8(0) != kTdefPage) corrupt("page " + std::to_string(page) + " is not a table definition page");
        size_t skip = buf.empty() ? 0 : kTdefChainHeader;
        buf.insert(buf.end(), p.data() + skip, p.data() + p.size());
        page = p.u32(4);
    }
    return buf;
}

// Reads one length-prefixed name at `pos` and advances past it.
std::string readName(Bytes b, size_t& pos, const Format& f, const TextCodec& codec) {
    size_t len = f.jet3 ? b.u8(pos) : b.u16(pos);
    pos += f.jet3 ? 1 : 2;
    std::string name = codec.decode(b.slice(pos, len));
    pos += len;
    return name;
}

}  // namespace

size_t naturalSize(uint8_t type) {
    switch (type) {
    case kByte: return 1;
    case kInteger: return 2;
    case kLong: case kSingle: return 4;
    case kCurrency: case kDouble: case kDateTime: case kBigInt: return 8;
    case kGuid: return 16;
    case kNumeric: return 17;
    default: return 0;
    }
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

int TableDef::findColumn(const std::string& name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (sameName(columns[i].name, name)) return int(i);
    return -1;
}

TableDef TableDef::read(const Pager& pager, const Format& f, const TextCodec& codec, uint32_t page) {
    std::vector<uint8_t> buf = readChain(pager, page);
    Bytes b(buf.data(), buf.size());

    TableDef t;
    t.page = page;
    t.row_count = b.u32(f.tdef_row_count);
    t.next_autonumber = b.u32(f.tdef_autonumber);
    t.table_type = b.u8(f.tdef_table_type);
    t.max_columns = b.u16(f.tdef_max_cols);
    t.var_columns = b.u16(f.tdef_var_cols);
    size_t column_count = b.u16(f.tdef_col_count);
    size_t logical_count = b.u32(f.tdef_logical_index_count);
    size_t real_count = b.u32(f.tdef_real_index_count);
    t.owned_pages = b.u32(f.tdef_owned_pages);
    t.free_pages = b.u32(f.tdef_free_pages);
    if (column_count > kMaxColumns || real_count > kMaxIndexes || logical_count > kMaxIndexes)
        corrupt("a table definition declares an impossible number of columns or indexes");

    size_t pos = f.tdef_index_block + real_count * f.real_index_count_entry;
    t.columns.resize(column_count);
    for (Column& c : t.columns) {
        Bytes d = b.slice(pos, f.column_entry);
        c.type = d.u8(0);
        c.number = d.u16(f.col_number);
        c.var_index = d.u16(f.col_var_index);
        c.precision = d.u8(f.col_precision);
        c.scale = d.u8(f.col_scale);
        c.flags = d.u8(f.col_flags);
        c.ext_flags = f.jet3 ? 0 : d.u8(f.col_flags + 1);
        c.fixed_offset = d.u16(f.col_fixed_offset);
        c.length = d.u16(f.col_length);
        if (c.type == kText || c.type == kMemo) {
            c.sort_order = d.u16(f.col_sort_order);
            c.sort_version = f.jet3 ? kSortVersionJet3 : d.u8(f.col_sort_version);
        }
        if (c.type == kComplex) c.complex_id = d.u32(f.col_sort_order);
        pos += f.column_entry;
    }
    for (Column& c : t.columns) c.name = readName(b, pos, f, codec);
    // Access lists fields by number; a field inserted between two others is
    // stored last but numbered between them.
    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });

    t.real_indexes.resize(real_count);
    for (RealIndex& r : t.real_indexes) {
        Bytes d = b.slice(pos + f.real_index_skip, f.real_index_entry - f.real_index_skip);
        for (size_t k = 0; k < 10; ++k) {
            uint16_t col = d.u16(3 * k);
            if (col != 0xFFFF) r.columns.push_back({col, d.u8(3 * k + 2) == 0x01});
        }
        r.usage_map = d.u32(30);
        r.root_page = d.u32(34);
        r.flags = b.u8(pos + f.real_index_flags);
        pos += f.real_index_entry;
    }

    t.indexes.resize(logical_count);
    for (Index& x : t.indexes) {
        Bytes d = b.slice(pos + f.logical_index_skip, 20);
        x.number = d.u32(0);
        x.real_index = d.u32(4);
        x.kind = d.u8(19);
        if (x.real_index >= real_count) corrupt("an index refers to index data that does not exist");
        pos += f.logical_index_entry;
    }
    for (Index& x : t.indexes) x.name = readName(b, pos, f, codec);

    // Jet 4 closes the definition with the long-value maps of columns,
    // ended by FFFF.
    while (!f.jet3 && pos + 2 <= b.size() && b.u16(pos) != 0xFFFF) {
        Bytes d = b.slice(pos, 10);
        t.column_maps.push_back({d.u16(0), d.u32(2), d.u32(6)});
        pos += 10;
        if (t.column_maps.size() > kMaxColumns) corrupt("a table definition lists too many column maps");
    }
    return t;
}

}  // namespace jet
