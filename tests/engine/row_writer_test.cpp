// SPDX-License-Identifier: Apache-2.0
// Rows written by encodeRow must read back through RowReader as the values
// they were made from: every row of the corpus re-encoded, rows of every
// kind the writer stores, Jet 3's jump table at every boundary, and the
// errors for rows and values that do not fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/row_reader.h"
#include "jet/row_writer.h"
#include "jet/value_parse.h"
#include "support/testdata.h"

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace jet;

constexpr uint32_t kInlineFlag = 0x80000000;
constexpr uint32_t kSingleRowFlag = 0x40000000;

// Keeps data inline when the row has room, else in memory behind a head
// whose pointer is the data's number here.
class MemorySink : public LongValueSink {
public:
    std::vector<uint8_t> store(const Column&, const std::vector<uint8_t>& data, size_t inline_room) override {
        rooms.push_back(inline_room);
        if (data.size() <= inline_room && !force_outside) return inlineLongValue(data);
        std::vector<uint8_t> head(12, 0);
        uint32_t word = uint32_t(data.size()) | kSingleRowFlag;
        uint32_t pointer = uint32_t(kept.size());
        std::memcpy(head.data(), &word, 4);
        std::memcpy(head.data() + 4, &pointer, 4);
        kept.push_back(data);
        return head;
    }

    // The data behind a head this sink returned.
    Binary load(const Binary& head) const {
        uint32_t word, pointer;
        std::memcpy(&word, head.data(), 4);
        std::memcpy(&pointer, head.data() + 4, 4);
        if (word & kInlineFlag) return Binary(head.begin() + 12, head.begin() + 12 + (word & 0x3FFFFFFF));
        EXPECT_TRUE(word & kSingleRowFlag);
        return kept.at(pointer);
    }

    bool force_outside = false;
    std::vector<size_t> rooms;
    std::vector<Binary> kept;
};

// Reads rows through RowReader with the long-value columns seen as binary,
// so their heads come back and MemorySink resolves them.
class MemoryReader {
public:
    MemoryReader(const Pager& pager, const Format& f, const TextCodec& codec, const TableDef& table, const MemorySink& sink)
        : codec_(codec), table_(table), heads_(table), reader_(pager, f, codec, heads_), sink_(sink) {
        for (Column& c : heads_.columns)
            if (!c.calculated() && (c.type == kMemo || c.type == kOle)) c.type = kBinary;
    }

    std::vector<Value> decode(const std::vector<uint8_t>& row) const {
        std::vector<Value> values;
        reader_.decode(Bytes(row.data(), row.size()), values);
        for (size_t i = 0; i < values.size(); ++i) {
            const Column& c = table_.columns[i];
            if (values[i].isNull() || heads_.columns[i].type == c.type) continue;
            Binary data = sink_.load(values[i].as<Binary>());
            values[i] = c.type == kMemo ? Value(codec_.decode(Bytes(data.data(), data.size()))) : Value(data);
        }
        return values;
    }

private:
    const TextCodec& codec_;
    const TableDef& table_;
    TableDef heads_;
    RowReader reader_;
    const MemorySink& sink_;
};

// Equal values; floating kinds compared bit for bit, so NaN and -0 count.
bool same(const Value& a, const Value& b) {
    if (a.is<double>() && b.is<double>()) return std::memcmp(&a.as<double>(), &b.as<double>(), 8) == 0;
    if (a.is<float>() && b.is<float>()) return std::memcmp(&a.as<float>(), &b.as<float>(), 4) == 0;
    if (a.is<DateTime>() && b.is<DateTime>()) return std::memcmp(&a.as<DateTime>().days, &b.as<DateTime>().days, 8) == 0;
    return a == b;
}

std::vector<std::string> corpusFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(testdata::root() + "/mdb")) {
        std::string ext = e.path().extension().string();
        if (ext == ".mdb" || ext == ".accdb") names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RowWriterCorpus, EveryRowReencodesToItsValues) {
    SKIP_WITHOUT_CORPUS();
    size_t files = 0, rows = 0, jet3_rows = 0, outside = 0, exact = 0;
    for (const std::string& name : corpusFiles()) {
        std::unique_ptr<Database> db;
        try {
            db = std::make_unique<Database>(testdata::file(name), "");
        } catch (const Error& e) {
            continue;  // a password or an encoding the reader refuses
        }
        ++files;
        for (const CatalogEntry& entry : db->catalog()) {
            if (!entry.isTable()) continue;
            const TableDef* table;
            try {
                table = &db->table(entry.name);
            } catch (const Error&) {
                continue;  // linked tables have no definition here
            }
            // Complex columns show values that live elsewhere, calculated ones
            // their results; the tables of either are not written.
            if (std::any_of(table->columns.begin(), table->columns.end(),
                            [](const Column& c) { return c.type == kComplex || (c.calculated() && c.type != kText); }))
                continue;
            TableScan scan(*db, *table);
            std::vector<Value> original;
            while (scan.next()) {
                scan.read(original);
                MemorySink sink;
                std::vector<uint8_t> row;
                try {
                    row = encodeRow(db->format(), *table, db->codec(), original, sink);
                } catch (const Error& e) {
                    ADD_FAILURE() << name << " " << entry.name << ": " << e.what();
                    continue;
                }
                ASSERT_LE(row.size(), maxRowSize(db->format()));
                std::vector<Value> back = MemoryReader(db->pager(), db->format(), db->codec(), *table, sink).decode(row);
                ASSERT_EQ(back.size(), original.size());
                for (size_t i = 0; i < back.size(); ++i)
                    EXPECT_TRUE(same(back[i], original[i]))
                        << name << " " << entry.name << " row " << scan.rowId().page << ":" << scan.rowId().row
                        << " column " << table->columns[i].name;
                std::optional<Bytes> stored = readRow(db->pager(), db->format(), scan.rowId());
                exact += stored && stored->size() == row.size() && std::equal(row.begin(), row.end(), stored->data());
                ++rows;
                jet3_rows += db->format().jet3;
                outside += sink.kept.size();
            }
        }
    }
    EXPECT_GT(files, 50u);
    EXPECT_GT(rows, 3000u);
    EXPECT_GT(jet3_rows, 1000u);
    EXPECT_GT(outside, 0u);  // some memo or OLE values were too long to stay inline
    // Most rows come out byte for byte as Access wrote them; the others
    // differ where Access left old bytes under a Null fixed column or kept
    // a long value on an LVAL page. A fault in the layout (counts, offsets,
    // text form) would show in all of them.
    EXPECT_GT(exact, rows * 85 / 100) << exact << " of " << rows << " rows identical";
}

// ---- rows built here ----

// A page-sized file for a Pager; the rows built here never reach it.
class ScratchFile {
public:
    ScratchFile() {
        path_ = (fs::temp_directory_path() / ("pellinordb-rows-" + std::to_string(::getpid()))).string();
        std::ofstream(path_, std::ios::binary) << std::string(4096, '\0');
    }
    ~ScratchFile() { fs::remove(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

Column column(const std::string& name, uint8_t type, uint16_t length, bool fixed) {
    Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.flags = uint8_t((fixed ? 0x01 : 0) | 0x02);
    return c;
}

// Numbers the columns as Jet does: fixed ones get offsets in turn,
// variable ones var_index in turn; `gap` numbers skipped (deleted).
TableDef tableOf(std::vector<Column> columns, uint16_t gap_every = 0) {
    TableDef t;
    uint16_t number = 0, var = 0, offset = 0;
    for (Column& c : columns) {
        if (gap_every && number % gap_every == gap_every - 1) {
            ++number, ++var, offset += 4;  // a deleted column's number, slot and bytes
        }
        c.number = number++;
        if (c.fixedLength()) {
            c.fixed_offset = offset;
            size_t size = c.type == kBoolean ? 0 : c.type == kByte ? 1 : c.type == kInteger ? 2 :
                          c.type == kLong || c.type == kSingle ? 4 : c.type == kGuid ? 16 :
                          c.type == kNumeric ? 17 : c.type == kText || c.type == kBinary ? c.length : 8;
            offset = uint16_t(offset + size);
        } else {
            c.var_index = var++;
        }
    }
    t.columns = std::move(columns);
    t.max_columns = number;
    t.var_columns = var;
    return t;
}

TableDef everyKind(bool jet3) {
    Column text = column("Text", kText, jet3 ? 50 : 100, false);
    text.ext_flags = 0x01;  // compressed text allowed
    Column numeric = column("Numeric", kNumeric, 17, true);
    numeric.precision = 18;
    numeric.scale = 4;
    return tableOf({column("Yes", kBoolean, 0, true), column("Byte", kByte, 1, true),
                    column("Integer", kInteger, 2, true), column("Long", kLong, 4, true),
                    column("Currency", kCurrency, 8, true), column("Single", kSingle, 4, true),
                    column("Double", kDouble, 8, true), column("Date", kDateTime, 8, true), text,
                    column("Binary", kBinary, 20, false), column("Memo", kMemo, 0, false),
                    column("Ole", kOle, 0, false), column("Guid", kGuid, 16, true), numeric,
                    column("Fixed", kText, jet3 ? 10 : 20, true), column("BigInt", kBigInt, 8, true),
                    column("No", kBoolean, 0, true)});
}

std::vector<Value> everyKindValues() {
    Guid g{};
    for (size_t i = 0; i < 16; ++i) g.bytes[i] = uint8_t(0xA0 + i);
    Decimal d;
    d.negative = true;
    d.scale = 4;
    d.magnitude = (unsigned __int128)(123456789012345678ULL);
    return {true, uint8_t(255), int16_t(-32768), int32_t(2147483647), Currency{-922337203685477580LL},
            -1.5e-30f, std::nan(""), DateTime{-1.25}, std::string("Grüße, 世界 😀"),
            Binary{0x00, 0xFF, 0x10}, std::string(3000, 'x') + "é", Binary(5000, 0xAB), g, d,
            std::string("fixed     "), int64_t(-9000000000000000000LL), false};
}

std::vector<Value> jet3Values() {
    std::vector<Value> v = everyKindValues();
    v[8] = std::string("Café € … ÿ");  // all in Windows-1252
    v[10] = std::string(1800, 'm');
    v[14] = std::string("ten chars!");
    return v;
}

class RowsBuiltHere : public ::testing::Test {
protected:
    ScratchFile file;
    Pager pager{file.path(), Pager::Mode::ReadOnly};

    std::vector<Value> roundTrip(const Format& f, const TextCodec& codec, const TableDef& t,
                                 const std::vector<Value>& values, MemorySink& sink) {
        std::vector<uint8_t> row = encodeRow(f, t, codec, values, sink);
        EXPECT_LE(row.size(), maxRowSize(f));
        return MemoryReader(pager, f, codec, t, sink).decode(row);
    }

    void expectSame(const std::vector<Value>& a, const std::vector<Value>& b, const TableDef& t) {
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(same(a[i], b[i])) << "column " << t.columns[i].name;
    }
};

TEST_F(RowsBuiltHere, EveryKindRoundTripsInBothVersions) {
    for (bool jet3 : {false, true}) {
        SCOPED_TRACE(jet3 ? "Jet 3" : "Jet 4");
        const Format& f = Format::forVersion(jet3 ? Version::Jet3 : Version::Jet4);
        TextCodec codec(jet3, 1252);
        for (uint16_t gaps : {0, 3}) {
            TableDef t = everyKind(jet3);
            if (gaps) t = tableOf(t.columns, gaps);
            std::vector<Value> values = jet3 ? jet3Values() : everyKindValues();
            MemorySink sink;
            expectSame(roundTrip(f, codec, t, values, sink), values, t);
            EXPECT_FALSE(sink.kept.empty());

            std::vector<Value> nulls(values.size());
            std::vector<Value> read = roundTrip(f, codec, t, nulls, sink);
            for (size_t i = 0; i < read.size(); ++i)
                EXPECT_TRUE(t.columns[i].type == kBoolean ? read[i] == Value(false) : read[i].isNull())
                    << t.columns[i].name;
        }
    }
}

TEST_F(RowsBuiltHere, Jet4CompressesOnlyWhereAllowedAndShorter) {
    const Format& f = Format::forVersion(Version::Jet4);
    TextCodec codec(false, 0);
    Column allowed = column("A", kText, 510, false);
    allowed.ext_flags = 0x01;
    TableDef t = tableOf({allowed, column("B", kText, 510, false)});
    MemorySink sink;
    std::vector<uint8_t> row = encodeRow(f, t, codec, {std::string("hello"), std::string("hello")}, sink);
    // count, two slots of 7 and 10 bytes, three offsets, var count, mask
    ASSERT_EQ(row.size(), 2u + 7 + 10 + 6 + 2 + 1);
    EXPECT_EQ(std::vector<uint8_t>(row.begin() + 2, row.begin() + 9),
              (std::vector<uint8_t>{0xFF, 0xFE, 'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(row[9], 'h');
    EXPECT_EQ(row[10], 0);
}

// Every row length around each 256-byte boundary, with the boundaries
// falling inside, between and after the variable columns.
TEST_F(RowsBuiltHere, Jet3JumpTableAtEveryBoundary) {
    const Format& f = Format::forVersion(Version::Jet3);
    TextCodec codec(true, 1252);
    std::vector<Column> columns;
    for (int i = 0; i < 9; ++i) columns.push_back(column("T" + std::to_string(i), kText, 255, false));
    columns.push_back(column("N", kLong, 4, true));
    TableDef t = tableOf(columns);
    size_t rows = 0;
    for (size_t a = 0; a <= 255; a += 3) {
        for (size_t b : {0, 1, 200, 255}) {
            std::vector<Value> v;
            for (int i = 0; i < 9; ++i) v.push_back(std::string(i % 2 ? b : a, char('a' + i)));
            v.push_back(int32_t(a * 1000 + b));
            v[4] = Value();  // an empty slot among them
            MemorySink sink;
            std::vector<Value> back;
            try {
                back = roundTrip(f, codec, t, v, sink);
            } catch (const Error& e) {
                EXPECT_EQ(e.number(), kErrRecordTooLarge);
                continue;
            }
            expectSame(back, v, t);
            ++rows;
        }
    }
    EXPECT_GT(rows, 300u);
}

TEST_F(RowsBuiltHere, Jet3JumpTableWithManyVariableColumns) {
    // Many empty slots put the offset table itself across a boundary that
    // no offset reaches: the case of the filler entry.
    const Format& f = Format::forVersion(Version::Jet3);
    TextCodec codec(true, 1252);
    for (size_t count : {100, 200, 250}) {
        std::vector<Column> columns;
        for (size_t i = 0; i < count; ++i) columns.push_back(column("C" + std::to_string(i), kText, 255, false));
        TableDef t = tableOf(columns);
        for (size_t len = 0; len < 300; len += 7) {
            std::vector<Value> v(count);
            v[count / 2] = std::string(std::min<size_t>(len, 255), 'q');
            v[count - 1] = std::string(len > 255 ? len - 255 : 0, 'z');
            MemorySink sink;
            expectSame(roundTrip(f, codec, t, v, sink), v, t);
        }
    }
}

TEST_F(RowsBuiltHere, LongValuesGetTheRoomTheRowLeaves) {
    for (bool jet3 : {false, true}) {
        const Format& f = Format::forVersion(jet3 ? Version::Jet3 : Version::Jet4);
        TextCodec codec(jet3, 1252);
        TableDef t = tableOf({column("Id", kLong, 4, true), column("Name", kText, 255, false),
                              column("Ole", kOle, 0, false)});
        MemorySink probe;
        encodeRow(f, t, codec, {int32_t(1), std::string("x"), Binary(1, 0)}, probe);
        size_t room = probe.rooms.at(0);
        // Exactly the room fits inline; a byte more makes the row too large.
        MemorySink fits;
        EXPECT_LE(encodeRow(f, t, codec, {int32_t(1), std::string("x"), Binary(room, 7)}, fits).size(), maxRowSize(f));
        EXPECT_TRUE(fits.kept.empty());

        class Stubborn : public LongValueSink {
            std::vector<uint8_t> store(const Column&, const std::vector<uint8_t>& d, size_t) override {
                return inlineLongValue(d);
            }
        } stubborn;
        try {
            encodeRow(f, t, codec, {int32_t(1), std::string("x"), Binary(room + 1, 7)}, stubborn);
            ADD_FAILURE() << "a row past the page's limit was built";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrRecordTooLarge);
        }
    }
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

TEST_F(RowsBuiltHere, ValuesThatDoNotFitAreRefused) {
    const Format& f4 = Format::forVersion(Version::Jet4);
    const Format& f3 = Format::forVersion(Version::Jet3);
    TextCodec c4(false, 0), c3(true, 1252);
    TableDef t = tableOf({column("Short", kText, 10, false), column("Bin", kBinary, 4, false),
                          column("N", kLong, 4, true)});
    MemorySink sink;
    auto row = [&](const Format& f, const TextCodec& c, std::vector<Value> v) {
        return [&, v] { encodeRow(f, t, c, v, sink); };
    };
    EXPECT_EQ(errorOf(row(f4, c4, {std::string("12345"), Value(), Value()})), 0);  // 10 bytes = 5 characters
    EXPECT_EQ(errorOf(row(f4, c4, {std::string("123456"), Value(), Value()})), kErrFieldTooSmall);
    EXPECT_EQ(errorOf(row(f3, c3, {std::string("1234567890"), Value(), Value()})), 0);
    EXPECT_EQ(errorOf(row(f3, c3, {std::string("12345678901"), Value(), Value()})), kErrFieldTooSmall);
    EXPECT_EQ(errorOf(row(f3, c3, {std::string("日本"), Value(), Value()})), kErrConversion);
    EXPECT_EQ(errorOf(row(f4, c4, {Value(), Binary(5, 1), Value()})), kErrFieldTooSmall);
    EXPECT_EQ(errorOf(row(f4, c4, {Value(), Value(), int16_t(3)})), kErrConversion);  // not the column's kind

    std::vector<Column> wide;
    for (int i = 0; i < 20; ++i) wide.push_back(column("W" + std::to_string(i), kText, 510, false));
    TableDef w = tableOf(wide);
    std::vector<Value> full(20, Value(std::string(255, 'w')));
    EXPECT_EQ(errorOf([&] { encodeRow(f4, w, c4, full, sink); }), kErrRecordTooLarge);
}

}  // namespace

namespace {

using namespace jet;

std::string decoded(const TextCodec& codec, const std::vector<uint8_t>& b) { return codec.decode(Bytes(b.data(), b.size())); }

// A compressed value read as the strictest reader does: each 00 a switch,
// and no 00 inside a two-byte character.
bool zerosOnlySwitch(const std::vector<uint8_t>& b) {
    if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xFE) return true;
    bool two = false;
    for (size_t i = 2; i < b.size();) {
        if (b[i] == 0) two = !two, ++i;
        else if (!two) ++i;
        else if (i + 1 < b.size() && b[i + 1] != 0) i += 2;
        else return false;
    }
    return true;
}

TEST(TextEncode, Jet4ReadsBackAndPicksTheShortestForm) {
    TextCodec codec(false, 0);
    struct Case {
        std::string text;
        size_t compressed_size;  // with compression allowed
    };
    std::string nul("a\0b", 3);
    const Case cases[] = {
        {"", 0},
        {"ab", 4},                      // FF FE + 2 is not shorter than 4
        {"abc", 5},
        {"ÿé plain Latin-1", 2 + 16},  // every character below U+0100
        {"日本語", 6},                  // no run to compress
        {"abc日本語defg", 2 + 3 + 1 + 6 + 1 + 4},  // one-byte, switch, two-byte, switch back
        {"日x本", 6},                   // a lone one-byte character costs two switches
        {"aaaaœbœcccc", 19},            // b between: back to one-byte mode, never "62 00"
        {"xxxxĀxxxx", 18},              // U+0100 has a zero low byte: plain only
        {nul, 6},                       // so has U+0000
        {"😁 emoji", 2 + 1 + 4 + 1 + 6},  // U+1F601: both halves compress in two-byte mode
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<uint8_t> plain = codec.encode(c.text, false);
        std::vector<uint8_t> small = codec.encode(c.text, true);
        EXPECT_EQ(decoded(codec, plain), c.text);
        EXPECT_EQ(decoded(codec, small), c.text);
        EXPECT_EQ(small.size(), c.compressed_size);
        EXPECT_TRUE(zerosOnlySwitch(small));
        EXPECT_EQ(plain.size(), 2 * toUtf16(c.text).size());
    }
    // Plain text starting with U+FEFF would read as compressed.
    std::string bom = "\xEF\xBB\xBFtext";
    EXPECT_EQ(decoded(codec, codec.encode(bom, false)), bom);
    EXPECT_EQ(decoded(codec, codec.encode(bom, true)), bom);
    EXPECT_THROW(codec.encode("\xEF\xBB\xBF\xC4\x80", false), Error);  // U+FEFF U+0100: no form reads back
}

TEST(TextEncode, Jet3CodePages) {
    TextCodec cp1252(true, 1252);
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    std::string text = cp1252.decode(Bytes(reinterpret_cast<const uint8_t*>(all.data()), all.size()));
    std::vector<uint8_t> back = cp1252.encode(text, true);
    EXPECT_EQ(std::string(back.begin(), back.end()), all);  // every byte of the code page, undefined ones too

    long number = 0;
    try {
        cp1252.encode("Ω", false);
    } catch (const Error& e) {
        number = e.number();
    }
    EXPECT_EQ(number, kErrConversion);

    TextCodec cp1251(true, 1251);
    EXPECT_EQ(cp1251.encode("Привет", false), (std::vector<uint8_t>{0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
    EXPECT_THROW(cp1251.encode("é", false), Error);
}

TEST(TextEncode, MalformedUtf8IsAConversionError) {
    TextCodec codec(false, 0);
    for (std::string bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"}) {
        long number = 0;
        try {
            codec.encode(bad, true);
        } catch (const Error& e) {
            number = e.number();
        }
        EXPECT_EQ(number, kErrConversion) << testing::PrintToString(bad);
    }
}

}  // namespace
