#include "index_key.h"

#include <cstring>

namespace jet {

namespace {

const Column* columnNumbered(const TableDef& t, uint16_t number) {
    for (const Column& c : t.columns)
        if (c.number == number) return &c;
    return nullptr;
}

bool covered(uint8_t type) {
    switch (type) {
    case kByte: case kInteger: case kLong: case kBigInt: case kCurrency: case kSingle: case kDouble: case kDateTime:
        return true;
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
        if (!c || !covered(c->type)) return false;
    }
    return true;
}

namespace {

void appendColumn(std::vector<uint8_t>& key, const Column& c, const IndexColumn& ic, const Value& v) {
    if (v.isNull()) {
        key.push_back(ic.ascending ? 0x00 : 0xFF);
        return;
    }
    key.push_back(ic.ascending ? 0x7F : 0x80);
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
    for (const IndexColumn& ic : index.columns)
        if (!row.at(size_t(&keyColumn(t, ic) - t.columns.data())).isNull()) return false;
    return true;
}

}  // namespace jet
