// SPDX-License-Identifier: Apache-2.0
#include "index_key.h"

#include <algorithm>
#include <cstring>

#include "text_key.h"

namespace jet {

namespace {

const Column* columnNumbered(const TableDef& t, uint16_t number) {
    for (const Column& c : t.columns)
        if (c.number == number) return &c;
    return nullptr;
}

bool covered(const Column& c) {
    switch (c.type) {
    case kBoolean: case kByte: case kInteger: case kLong: case kBigInt: case kCurrency: case kSingle: case kDouble:
    case kDateTime: case kGuid: case kBinary:
        return true;
    case kText: case kMemo:
        return textSortOrder(c).has_value();
    default:
        return false;
    }
}

void appendBigEndian(std::vector<uint8_t>& out, uint64_t v, size_t bytes) {
    for (size_t i = bytes; i-- > 0;) out.push_back(uint8_t(v >> (8 * i)));
}

// Integers: the sign bit flipped, so that negatives sort first.
void appendInteger(std::vector<uint8_t>& out, int64_t v, size_t bytes) {
    uint64_t u = uint64_t(v) ^ (uint64_t(1) << (8 * bytes - 1));
    appendBigEndian(out, u, bytes);
}

void appendFloat(std::vector<uint8_t>& out, uint64_t bits, size_t bytes) {
    uint64_t sign = uint64_t(1) << (8 * bytes - 1);
    uint64_t mask = bytes == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * bytes)) - 1;
    appendBigEndian(out, (bits & sign) ? ~bits & mask : bits | sign, bytes);
}

void appendSegmented(std::vector<uint8_t>& out, const uint8_t* data, size_t size, bool ascending) {
    for (size_t at = 0; at < size; at += 8) {
        size_t n = std::min<size_t>(8, size - at);
        size_t from = out.size();
        out.insert(out.end(), data + at, data + at + n);
        out.insert(out.end(), 8 - n, 0);
        bool last = at + 8 >= size;
        if (last) out.push_back(uint8_t(n));
        if (!ascending)
            for (size_t i = from; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
        if (!last) out.push_back(0x09);
    }
}

// The GUID in its written order: Data1..3 big-endian.
void appendGuid(std::vector<uint8_t>& out, const Guid& g, bool ascending) {
    const uint8_t* b = g.bytes.data();
    uint8_t canonical[16] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
    std::memcpy(canonical + 8, b + 8, 8);
    appendSegmented(out, canonical, 16, ascending);
}

void appendValue(std::vector<uint8_t>& out, const Column& c, const Value& v) {
    switch (c.type) {
    case kByte: appendBigEndian(out, v.as<uint8_t>(), 1); break;
    case kInteger: appendInteger(out, v.as<int16_t>(), 2); break;
    case kLong: appendInteger(out, v.as<int32_t>(), 4); break;
    case kBigInt: appendInteger(out, v.as<int64_t>(), 8); break;
    case kCurrency: appendInteger(out, v.as<Currency>().ten_thousandths, 8); break;
    case kSingle: {
        uint32_t bits;
        float f = v.as<float>();
        std::memcpy(&bits, &f, 4);
        appendFloat(out, bits, 4);
        break;
    }
    case kDouble: case kDateTime: {
        uint64_t bits;
        double d = c.type == kDouble ? v.as<double>() : v.as<DateTime>().days;
        std::memcpy(&bits, &d, 8);
        appendFloat(out, bits, 8);
        break;
    }
    default:
        throw Error(kErrUnsupported, "The index key of column '" + c.name + "' is of a kind this version cannot encode.");
    }
}

}  // namespace

bool keyKindsCovered(const TableDef& t, const RealIndex& index) {
    for (const IndexColumn& ic : index.columns) {
        const Column* c = columnNumbered(t, ic.column_number);
        if (!c || !covered(*c)) return false;
    }
    return true;
}

namespace {

void appendColumn(std::vector<uint8_t>& key, const Column& c, const IndexColumn& ic, const Value& v) {
    // A Yes/No value is never Null: it lives in the null mask.
    if (v.isNull() && c.type != kBoolean) {
        key.push_back(ic.ascending ? 0x00 : 0xFF);
        return;
    }
    key.push_back(ic.ascending ? 0x7F : 0x80);
    switch (c.type) {
    case kBoolean: {
        bool yes = v.is<bool>() && v.as<bool>();
        key.push_back(yes == ic.ascending ? 0x00 : 0xFF);
        return;
    }
    case kText: case kMemo: {
        std::optional<TextSortOrder> order = textSortOrder(c);
        if (!order)
            throw Error(kErrUnsupported,
                        "The index key of column '" + c.name + "' follows a sort order this version cannot encode.");
        appendTextKey(key, *order, v.as<std::string>(), ic.ascending);
        return;
    }
    case kGuid: appendGuid(key, v.as<Guid>(), ic.ascending); return;
    case kBinary: {
        const Binary& b = v.as<Binary>();
        appendSegmented(key, b.data(), b.size(), ic.ascending);
        return;
    }
    default: break;
    }
    size_t from = key.size();
    appendValue(key, c, v);
    if (!ic.ascending)
        for (size_t i = from; i < key.size(); ++i) key[i] = uint8_t(~key[i]);
}

const Column& keyColumn(const TableDef& t, const IndexColumn& ic) {
    const Column* c = columnNumbered(t, ic.column_number);
    if (!c) corrupt("an index names a column the table does not have");
    return *c;
}

}  // namespace

std::vector<uint8_t> encodeKey(const TableDef& t, const RealIndex& index, const std::vector<Value>& row) {
    std::vector<uint8_t> key;
    for (const IndexColumn& ic : index.columns) {
        const Column& c = keyColumn(t, ic);
        appendColumn(key, c, ic, row.at(size_t(&c - t.columns.data())));
    }
    return key;
}

std::vector<uint8_t> encodeKeyPrefix(const TableDef& t, const RealIndex& index, const std::vector<Value>& values) {
    if (values.size() > index.columns.size()) throw Error(kErrConversion, "More key values than the index has columns.");
    std::vector<uint8_t> key;
    for (size_t i = 0; i < values.size(); ++i) appendColumn(key, keyColumn(t, index.columns[i]), index.columns[i], values[i]);
    return key;
}

bool allKeyColumnsNull(const TableDef& t, const RealIndex& index, const std::vector<Value>& row) {
    for (const IndexColumn& ic : index.columns) {
        const Column& c = keyColumn(t, ic);
        if (c.type == kBoolean || !row.at(size_t(&c - t.columns.data())).isNull()) return false;
    }
    return true;
}

}  // namespace jet
