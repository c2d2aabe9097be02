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

std::vector<uint8_t> encodeKey(const TableDef& t, const RealIndex& index, const std::vector<Value>& row) {
    std::vector<uint8_t> key;
    for (const IndexColumn& ic : index.columns) {
        const Column* c = columnNumbered(t, ic.column_number);
        if (!c) corrupt("an index names a column the table does not have");
        const Value& v = row.at(size_t(c - t.columns.data()));
        if (v.isNull()) {
            key.push_back(ic.ascending ? 0x00 : 0xFF);
            continue;
        }
        key.push_back(ic.ascending ? 0x7F : 0x80);
        size_t from = key.size();
        appendValue(key, *c, v);
        if (!ic.ascending)
            for (size_t i = from; i < key.size(); ++i) key[i] = uint8_t(~key[i]);
    }
    return key;
}

}  // namespace jet
