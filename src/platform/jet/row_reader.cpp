// SPDX-License-Identifier: Apache-2.0
#include "row_reader.h"

#include <algorithm>
#include <map>

#include "complex_values.h"
#include "database.h"
#include "field_properties.h"
#include "long_value.h"

namespace jet {

namespace {

// A calculated column (ACE) wraps its value: the length at offset 16, the
// data from offset 20.
Bytes unwrapCalculated(Bytes data) {
    if (data.size() < 20) return data;
    size_t length = std::min<size_t>(data.u32(16), data.size() - 20);
    return data.slice(20, length);
}

Decimal readDecimal(Bytes d, uint8_t scale) {
    Decimal v;
    v.negative = d.u8(0) & 0x80;
    v.scale = scale;
    // Four little-endian 32-bit words, the most significant first.
    for (size_t k = 0; k < 4; ++k) v.magnitude = (v.magnitude << 32) | d.u32(1 + 4 * k);
    return v;
}

}  // namespace

RowReader::RowReader(const Pager& pager, const Format& format, const TextCodec& codec, const TableDef& table)
    : pager_(pager), format_(format), codec_(codec), table_(table) {}

RowReader::RowReader(const Database& db, const TableDef& table)
    : RowReader(db.pager(), db.format(), db.codec(), table) {
    if (std::any_of(table.columns.begin(), table.columns.end(), [](const Column& c) { return c.type == kComplex; }))
        complex_ = std::make_shared<ComplexValues>(db, table);
    if (std::none_of(table.columns.begin(), table.columns.end(), [](const Column& c) { return c.calculated(); })) return;
    std::map<std::string, FieldProperties> properties;
    for (const CatalogEntry& e : db.catalog())
        if (e.isTable() && e.definitionPage() == table.page) {
            try {
                properties = readFieldProperties(db, e.name);
            } catch (const Error&) {
                // damaged properties: the descriptors' types stand
            }
        }
    result_types_.assign(table.columns.size(), 0);
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (auto p = properties.find(table.columns[i].name); p != properties.end())
            result_types_[i] = p->second.result_type;
}

void RowReader::crack(Bytes row, Layout& l) const {
    const Format& f = format_;
    size_t n = row.size();
    l.row = row;
    l.column_count = f.jet3 ? row.u8(0) : row.u16(0);
    size_t mask_length = (l.column_count + 7) / 8;
    if (mask_length + f.row_count_size > n) corrupt("a row is shorter than its null mask");
    l.null_mask = row.slice(n - mask_length, mask_length);
    l.var_offsets.clear();
    if (table_.var_columns == 0) return;

    size_t var_count;
    if (f.jet3) {
        var_count = row.u8(n - mask_length - 1);
        readJet3Offsets(l, var_count);
    } else {
        if (n < mask_length + 2) corrupt("a row has no room for its variable columns");
        var_count = row.u16(n - mask_length - 2);
        if (mask_length + 4 + 2 * var_count > n) corrupt("a row's variable offset table does not fit in it");
        l.var_offsets.resize(var_count + 1);
        for (size_t i = 0; i <= var_count; ++i) l.var_offsets[i] = row.u16(n - mask_length - 4 - 2 * i);
    }
    for (size_t i = 0; i <= var_count; ++i) {
        if (l.var_offsets[i] > n || (i > 0 && l.var_offsets[i] < l.var_offsets[i - 1]))
            corrupt("a row's variable column offsets are out of order");
    }
}

void RowReader::readJet3Offsets(Layout& l, size_t var_count) const {
    Bytes row = l.row;
    size_t n = row.size();
    size_t mask_length = l.null_mask.size();
    // One jump entry for each 256 bytes of row; the last may be a filler
    // (0xFF) that sits below the table's lowest offsets.
    size_t jumps = (n - 1) / 256;
    if (n < mask_length + jumps + 2 + var_count) corrupt("a row's variable offset table does not fit in it");
    size_t first = n - mask_length - jumps - 2;  // position of entry 0
    if ((first - var_count) / 256 < jumps) --jumps;
    l.var_offsets.resize(var_count + 1);
    size_t passed = 0;
    for (size_t i = 0; i <= var_count; ++i) {
        while (passed < jumps && row.u8(n - mask_length - 2 - passed) == i) ++passed;
        l.var_offsets[i] = uint16_t(row.u8(first - i) + 256 * passed);
    }
}

// A column's bit in the null mask; columns added after the row was written
// have none and read as absent.
bool RowReader::present(const Column& c, const Layout& l) {
    return c.number < l.column_count && (l.null_mask.u8(c.number / 8) >> (c.number % 8) & 1);
}

std::optional<Bytes> RowReader::locate(const Column& c, const Layout& l) const {
    if (!present(c, l)) return std::nullopt;
    if (c.fixedLength()) {
        size_t size = naturalSize(c.type) == 0 || c.calculated() ? c.length : naturalSize(c.type);
        return l.row.slice(format_.row_count_size + c.fixed_offset, size);
    }
    if (size_t(c.var_index) + 1 >= l.var_offsets.size()) return std::nullopt;  // column added after the row
    size_t start = l.var_offsets[c.var_index];
    size_t end = l.var_offsets[c.var_index + 1];
    return l.row.slice(start, end - start);
}

Value RowReader::columnValue(const Column& c, const Layout& l) const {
    if (c.type == kBoolean && !c.calculated()) return present(c, l);
    std::optional<Bytes> data = locate(c, l);
    return data ? decodeStored(c, *data) : Value();
}

std::optional<Bytes> RowReader::stored(Bytes row, size_t index) const {
    Layout l;
    crack(row, l);
    return locate(table_.columns.at(index), l);
}

Value RowReader::decodeStored(const Column& c, Bytes d) const {
    if (c.calculated()) return decodeCalculated(c, d);
    switch (c.type) {
    case kByte: return d.u8(0);
    case kInteger: return int16_t(d.u16(0));
    case kLong: return int32_t(d.u32(0));
    case kBigInt: return int64_t(d.u64(0));
    case kCurrency: return Currency{int64_t(d.u64(0))};
    case kSingle: return d.f32(0);
    case kDouble: return d.f64(0);
    case kDateTime: return DateTime{d.f64(0)};
    case kGuid: {
        Guid g;
        Bytes s = d.slice(0, 16);
        std::copy(s.data(), s.data() + 16, g.bytes.begin());
        return g;
    }
    case kNumeric: return readDecimal(d.slice(0, 17), c.scale);
    case kText: return codec_.decode(d);
    case kBinary: return Binary(d.data(), d.data() + d.size());
    case kMemo: {
        Binary raw = readLongValue(pager_, format_, d);
        return codec_.decode(Bytes(raw.data(), raw.size()));
    }
    case kOle: return readLongValue(pager_, format_, d);
    case kComplex: return complex_ ? complex_->value(c, int32_t(d.u32(0))) : Value();
    default: return Value();  // a kind this engine does not read
    }
}

// A calculated value is wrapped (unwrapCalculated) and encoded as its result
// type: Yes/No in a byte, Decimal as Windows keeps one (scale at byte 2,
// sign at 3, then the high, low and middle 32 bits), the rest as a column
// of that type would store it. A long text result is a long value holding
// the wrapper.
Value RowReader::decodeCalculated(const Column& c, Bytes d) const {
    size_t i = size_t(&c - table_.columns.data());
    uint8_t type = i < result_types_.size() && result_types_[i] ? result_types_[i] : c.type;
    Binary whole;
    if ((type == kText || type == kMemo) && c.length == 0) {
        whole = readLongValue(pager_, format_, d);
        d = Bytes(whole.data(), whole.size());
    }
    Bytes v = unwrapCalculated(d);
    switch (type) {
    case kBoolean: return v.size() ? Value(v.u8(0) != 0) : Value();
    case kText: case kMemo: return codec_.decode(v);
    case kNumeric: {
        if (v.size() < 16) return Value();
        Decimal x;
        x.scale = v.u8(2);
        x.negative = v.u8(3) & 0x80;
        x.magnitude = (unsigned __int128)v.u32(4) << 64 | (unsigned __int128)v.u32(12) << 32 | v.u32(8);
        return x;
    }
    case kByte: case kInteger: case kLong: case kBigInt: case kCurrency: case kSingle: case kDouble: case kDateTime:
    case kGuid: {
        if (v.size() < naturalSize(type)) return Value();
        Column plain = c;
        plain.type = type;
        plain.ext_flags = 0;
        return decodeStored(plain, v);
    }
    default: return Value();  // a kind this engine does not read
    }
}

void RowReader::decode(Bytes row, std::vector<Value>& values) const {
    crack(row, layout_);
    values.resize(table_.columns.size());
    for (size_t i = 0; i < table_.columns.size(); ++i) values[i] = columnValue(table_.columns[i], layout_);
}

Value RowReader::decodeColumn(Bytes row, size_t index) const {
    crack(row, layout_);
    return columnValue(table_.columns.at(index), layout_);
}

}  // namespace jet
