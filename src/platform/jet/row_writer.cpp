// SPDX-License-Identifier: Apache-2.0
#include "row_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "error.h"
#include "long_value.h"
#include "value_parse.h"

namespace jet {

namespace {

constexpr size_t kMaxCompressedChars = 1024;
constexpr size_t kCalculatedHead = 20;  // the length sits at 16, the data at 20

size_t fixedSize(const Column& c) {
    size_t natural = naturalSize(c.type);
    return natural == 0 || c.calculated() ? c.length : natural;
}

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

template <typename T>
void putRaw(std::vector<uint8_t>& out, const T& v) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));  // the engine runs little-endian, as the file is
    for (uint8_t b : bytes) out.push_back(b);
}

std::vector<uint8_t> decimalBytes(const Column& c, Decimal d) {
    if (d.scale != c.scale) {
        // Only a widening of the scale is exact; a caller with fewer or more
        // decimals than the column must convert first (parseValue does).
        if (d.scale > c.scale) throw Error(kErrConversion, "A decimal value has more decimals than the field '" + c.name + "' holds.");
        for (; d.scale < c.scale; ++d.scale) d.magnitude *= 10;
    }
    if (d.magnitude >> 96) throw Error(kErrOverflow, "Numeric field overflow in the field '" + c.name + "'.");
    std::vector<uint8_t> out;
    out.push_back(d.negative && d.magnitude != 0 ? 0x80 : 0x00);
    // Four little-endian 32-bit words, the most significant first.
    for (int k = 3; k >= 0; --k) putRaw(out, uint32_t(d.magnitude >> (32 * k)));
    return out;
}

// The bytes of a fixed-length value, exactly fixedSize(c) long.
std::vector<uint8_t> fixedBytes(const Format& f, const Column& c, const TextCodec& codec, const Value& v) {
    std::vector<uint8_t> out;
    switch (c.type) {
    case kByte: out.push_back(v.as<uint8_t>()); break;
    case kInteger: putRaw(out, v.as<int16_t>()); break;
    case kLong: putRaw(out, v.as<int32_t>()); break;
    case kBigInt: putRaw(out, v.as<int64_t>()); break;
    case kCurrency: putRaw(out, v.as<Currency>().ten_thousandths); break;
    case kSingle: putRaw(out, v.as<float>()); break;
    case kDouble: putRaw(out, v.as<double>()); break;
    case kDateTime: putRaw(out, v.as<DateTime>().days); break;
    case kGuid: out.assign(v.as<Guid>().bytes.begin(), v.as<Guid>().bytes.end()); break;
    case kNumeric: out = decimalBytes(c, v.as<Decimal>()); break;
    case kText: {
        // A fixed text keeps its full size, padded with spaces, never
        // compressed: its length is the column's, not the value's.
        out = codec.encode(v.as<std::string>(), false);
        size_t unit = f.jet3 ? 1 : 2;
        while (out.size() + unit <= c.length) {
            out.push_back(' ');
            if (unit == 2) out.push_back(0);
        }
        break;
    }
    case kBinary: out = v.as<Binary>(); break;
    default:
        throw Error(kErrUnsupported, "Values of the field '" + c.name + "' cannot be written by this engine.");
    }
    if (out.size() > fixedSize(c))
        throw Error(kErrFieldTooSmall, "The field '" + c.name + "' is too small to accept the amount of data you "
                                       "attempted to add.");
    out.resize(fixedSize(c), 0);
    return out;
}

std::vector<uint8_t> textBytes(const Format& f, const Column& c, const TextCodec& codec, const std::string& s) {
    bool compress = !f.jet3 && c.compressedText() && toUtf16(s).size() <= kMaxCompressedChars;
    return codec.encode(s, compress);
}

std::vector<uint8_t> calculatedBytes(const Column& c, const TextCodec& codec, const Value& v) {
    if (v.isNull()) return {};
    if (c.type != kText)
        throw Error(kErrUnsupported, "The calculated field '" + c.name + "' holds a kind of result this engine cannot write.");
    std::vector<uint8_t> data = codec.encode(v.as<std::string>(), false);
    std::vector<uint8_t> out(kCalculatedHead, 0);
    uint32_t length = uint32_t(data.size());
    std::memcpy(out.data() + 16, &length, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

bool isLong(const Column& c) { return !c.calculated() && (c.type == kMemo || c.type == kOle); }

// Bytes after the variable data: offsets, jump table, var count, null mask.
// Jet 3's jump count depends on the row's length, so it is the largest the
// row can ever need, which keeps an inline-room estimate on the safe side.
size_t trailerBound(const Format& f, size_t var_count, size_t mask) {
    if (f.jet3) return var_count + 1 + (maxRowSize(f) - 1) / 256 + 1 + mask;
    return 2 * (var_count + 1) + 2 + mask;
}

[[noreturn]] void tooLarge(size_t size, const Format& f) {
    throw Error(kErrRecordTooLarge, "Record is too large: " + std::to_string(size) + " bytes where a row holds " +
                                        std::to_string(maxRowSize(f)) + ".");
}

// Appends the Jet 3 offset table (8-bit, with jump entries), var count and
// nothing else; `offsets` has var_count + 1 entries, the last the end.
void appendJet3Trailer(std::vector<uint8_t>& row, const std::vector<size_t>& offsets, size_t mask) {
    size_t var_count = offsets.size() - 1;
    size_t end = offsets.back();
    // The reader derives the number of jump entries from the row's length,
    // which the jump entries are part of: take the least that agrees.
    size_t base = end + (var_count + 1) + 1 + mask;
    size_t jumps = 0;
    while ((base + jumps - 1) / 256 > jumps) ++jumps;
    size_t real = end / 256 < jumps ? jumps - 1 : jumps;  // the reader's rule for a filler
    for (size_t i = var_count + 1; i-- > 0;) row.push_back(uint8_t(offsets[i]));
    // Stored from the far end: the filler first, then boundary `real` down
    // to boundary 1 beside the var count.
    std::vector<uint8_t> jump(jumps, 0xFF);
    for (size_t k = 1; k <= real; ++k) {
        size_t i = 0;
        while (i <= var_count && offsets[i] < 256 * k) ++i;
        if (i > var_count) {
            // No offset reaches this boundary: an entry matching no column
            // keeps the reader from counting it, if one is free.
            if (var_count >= 0xFF) throw Error(kErrUnsupported, "A row of 255 variable columns cannot be laid out.");
            i = 0xFF;
        }
        jump[k - 1] = uint8_t(i);
    }
    for (size_t k = jumps; k-- > 0;) row.push_back(jump[k]);
    row.push_back(uint8_t(var_count));
}

}  // namespace

LongValueSink::~LongValueSink() = default;

std::vector<uint8_t> inlineLongValue(const std::vector<uint8_t>& data) {
    if (data.size() > 0x3FFFFFFF) throw Error(kErrRecordTooLarge, "Record is too large.");
    std::vector<uint8_t> out(kLongValueHeadSize + data.size(), 0);
    uint32_t word = uint32_t(data.size()) | kLongValueInline;
    std::memcpy(out.data(), &word, 4);
    std::copy(data.begin(), data.end(), out.begin() + kLongValueHeadSize);
    return out;
}

size_t maxRowSize(const Format& f) { return f.jet3 ? 2012 : 4060; }

std::vector<uint8_t> encodeRow(const Format& f, const TableDef& table, const TextCodec& codec,
                               const std::vector<Value>& values, LongValueSink& sink) {
    if (values.size() != table.columns.size())
        throw std::invalid_argument("encodeRow: one value per column of the table is needed");

    size_t column_count = table.max_columns;
    size_t var_count = table.var_columns;
    size_t fixed_end = 0;
    for (const Column& c : table.columns) {
        column_count = std::max<size_t>(column_count, c.number + 1u);
        if (c.fixedLength() && !(c.type == kBoolean && !c.calculated()))
            fixed_end = std::max(fixed_end, c.fixed_offset + fixedSize(c));
        else if (!c.fixedLength())
            var_count = std::max<size_t>(var_count, c.var_index + 1u);
    }
    if (column_count > (f.jet3 ? 0xFFu : 0xFFFFu) || var_count > (f.jet3 ? 0xFFu : 0xFFFFu))
        throw Error(kErrUnsupported, "The table has more columns than a row can describe.");
    size_t mask = (column_count + 7) / 8;

    std::vector<uint8_t> row(f.row_count_size + fixed_end, 0);
    if (f.jet3) row[0] = uint8_t(column_count);
    else put16(row, 0, uint32_t(column_count));
    std::vector<uint8_t> null_mask(mask, 0);
    std::vector<std::vector<uint8_t>> slots(var_count);
    constexpr size_t kNone = SIZE_MAX;
    std::vector<size_t> long_columns(var_count, kNone);  // column index of each long slot

    for (size_t k = 0; k < table.columns.size(); ++k) {
        const Column& c = table.columns[k];
        const Value& v = values[k];
        checkValue(f, c, v, false);
        if (c.type == kBoolean && !c.calculated()) {
            if (!v.isNull() && v.as<bool>()) null_mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
            continue;
        }
        if (v.isNull()) continue;
        null_mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
        if (c.calculated()) {
            std::vector<uint8_t> bytes = calculatedBytes(c, codec, v);
            if (c.fixedLength()) {
                if (bytes.size() > fixedSize(c)) tooLarge(bytes.size(), f);
                std::copy(bytes.begin(), bytes.end(), row.begin() + long(f.row_count_size + c.fixed_offset));
            } else {
                slots[c.var_index] = std::move(bytes);
            }
        } else if (c.fixedLength()) {
            std::vector<uint8_t> bytes = fixedBytes(f, c, codec, v);
            std::copy(bytes.begin(), bytes.end(), row.begin() + long(f.row_count_size + c.fixed_offset));
        } else if (isLong(c)) {
            long_columns[c.var_index] = k;  // stored below, once the room left is known
        } else if (c.type == kText) {
            slots[c.var_index] = textBytes(f, c, codec, v.as<std::string>());
            if (f.jet3 && slots[c.var_index].size() > c.length)
                throw Error(kErrFieldTooSmall, "The field '" + c.name + "' is too small to accept the amount of "
                                               "data you attempted to add.");
        } else if (c.type == kBinary) {
            slots[c.var_index] = v.as<Binary>();
        } else {
            // A number or date kept among the variable columns (some system
            // tables have them): its usual bytes, in a slot of their own.
            slots[c.var_index] = fixedBytes(f, c, codec, v);
        }
    }

    // Long values last: each is offered what the rest of the row leaves.
    size_t size = row.size() + trailerBound(f, var_count, mask);
    for (size_t i = 0; i < var_count; ++i) size += long_columns[i] != kNone ? kLongValueHeadSize : slots[i].size();
    for (size_t i = 0; i < var_count; ++i) {
        if (long_columns[i] == kNone) continue;
        const Column& c = table.columns[long_columns[i]];
        const Value& v = values[long_columns[i]];
        std::vector<uint8_t> data = c.type == kMemo ? textBytes(f, c, codec, v.as<std::string>()) : v.as<Binary>();
        size_t room = maxRowSize(f) > size ? maxRowSize(f) - size : 0;
        slots[i] = sink.store(c, data, room);
        if (slots[i].size() < kLongValueHeadSize)
            throw std::logic_error("LongValueSink::store returned less than a long-value head");
        size += slots[i].size() - kLongValueHeadSize;
    }

    std::vector<size_t> offsets(var_count + 1);
    for (size_t i = 0; i < var_count; ++i) {
        offsets[i] = row.size();
        row.insert(row.end(), slots[i].begin(), slots[i].end());
    }
    offsets[var_count] = row.size();
    if (row.size() > maxRowSize(f)) tooLarge(row.size(), f);

    if (var_count > 0 || table.var_columns > 0) {
        if (f.jet3) {
            appendJet3Trailer(row, offsets, mask);
        } else {
            // Lowest address first: the end, then the slots from the last.
            for (size_t i = var_count + 1; i-- > 0;) {
                row.resize(row.size() + 2);
                put16(row, row.size() - 2, uint32_t(offsets[i]));
            }
            row.resize(row.size() + 2);
            put16(row, row.size() - 2, uint32_t(var_count));
        }
    }
    row.insert(row.end(), null_mask.begin(), null_mask.end());
    if (row.size() > maxRowSize(f)) tooLarge(row.size(), f);
    return row;
}

}  // namespace jet
