// SPDX-License-Identifier: Apache-2.0
// Text typed by a user becomes the value Access would store: every value of
// the corpus read back from the text the program shows for it, the edges of
// every kind's range, the date forms, and the errors for what does not fit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>

#include "ado/value_text.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/value_parse.h"
#include "support/testdata.h"

namespace {

namespace fs = std::filesystem;
using namespace jet;

Column columnOf(uint8_t type, uint16_t length = 0, uint8_t precision = 0, uint8_t scale = 0) {
    Column c;
    c.name = "F";
    c.type = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    return c;
}

long errorOf(const Column& c, const std::string& text, char sep = '.') {
    try {
        parseValue(c, text, sep);
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

Value parse(uint8_t type, const std::string& text, char sep = '.') { return parseValue(columnOf(type), text, sep); }

bool same(const Value& a, const Value& b) {
    if (a.is<double>() && b.is<double>()) return std::memcmp(&a.as<double>(), &b.as<double>(), 8) == 0 ||
                                                  (std::isnan(a.as<double>()) && std::isnan(b.as<double>()));
    if (a.is<float>() && b.is<float>()) return std::memcmp(&a.as<float>(), &b.as<float>(), 4) == 0 ||
                                                (std::isnan(a.as<float>()) && std::isnan(b.as<float>()));
    return a == b;
}

bool wholeSeconds(DateTime d) {
    double s = std::fabs(d.days - std::trunc(d.days)) * 86400;
    return std::fabs(s - std::round(s)) < 1e-6;
}

// Within `ulps` representable doubles of each other.
bool near(double a, double b, int ulps) {
    for (int i = 0; i < ulps && a != b; ++i) a = std::nextafter(a, b);
    return a == b;
}

// The date of a file read back from its shown text is the one stored. Some
// writers (not Access: its own stamps match exactly) store a whole second
// one unit in the last place away from day + seconds / 86400; those must
// come back within that unit.
TEST(ParseValueCorpus, EveryShownValueReadsBackAsStored) {
    SKIP_WITHOUT_CORPUS();
    size_t checked = 0, dates = 0, dates_exact = 0;
    std::map<uint8_t, size_t> per_kind;
    for (const auto& e : fs::directory_iterator(testdata::root() + "/mdb")) {
        std::unique_ptr<Database> db;
        try {
            db = std::make_unique<Database>(e.path().string(), "");
        } catch (const Error&) {
            continue;
        }
        for (const CatalogEntry& entry : db->catalog()) {
            if (!entry.isTable()) continue;
            const TableDef* table;
            try {
                table = &db->table(entry.name);
            } catch (const Error&) {
                continue;
            }
            TableScan scan(*db, *table);
            std::vector<Value> values;
            while (scan.next()) {
                scan.read(values);
                for (size_t i = 0; i < values.size(); ++i) {
                    const Column& c = table->columns[i];
                    const Value& v = values[i];
                    if (c.calculated() || c.type == kComplex || c.type == kExtDateTime || v.isNull()) continue;
                    // Milliseconds (system tables keep them) are not shown.
                    if (v.is<DateTime>() && (!wholeSeconds(v.as<DateTime>()) || ado::toText(v).empty())) continue;
                    // No text reads as empty binary: "" is Null.
                    if (v.is<Binary>() && v.as<Binary>().empty()) continue;
                    for (char sep : {'.', ','}) {
                        std::string text = ado::toText(v, sep);
                        Value back;
                        try {
                            back = parseValue(c, text, sep);
                        } catch (const Error& err) {
                            ADD_FAILURE() << e.path().filename() << " " << entry.name << "." << c.name << " '"
                                          << text << "': " << err.what();
                            continue;
                        }
                        bool ok = same(back, v);
                        if (v.is<DateTime>() && back.is<DateTime>()) {
                            dates_exact += ok && sep == '.';
                            ok = near(back.as<DateTime>().days, v.as<DateTime>().days, 1);
                        }
                        EXPECT_TRUE(ok) << e.path().filename() << " " << entry.name << "." << c.name << " '"
                                        << text << "' read back as '" << ado::toText(back, sep) << "'";
                    }
                    ++checked;
                    ++per_kind[c.type];
                    dates += v.is<DateTime>();
                }
            }
        }
    }
    EXPECT_GT(checked, 10000u);
    EXPECT_GT(dates, 50u);
    EXPECT_GT(dates_exact, dates * 9 / 10);
    for (uint8_t kind : {kBoolean, kByte, kInteger, kLong, kCurrency, kSingle, kDouble, kDateTime, kBinary, kText,
                         kOle, kMemo, kGuid, kNumeric})
        EXPECT_GT(per_kind[kind], 0u) << "no corpus value of kind " << int(kind);
}

TEST(ParseValue, WholeNumberRangesAndRounding) {
    struct Range {
        uint8_t type;
        const char *min, *max, *below, *above;
    };
    for (const Range& r : {Range{kByte, "0", "255", "-1", "256"}, Range{kInteger, "-32768", "32767", "-32769", "32768"},
                           Range{kLong, "-2147483648", "2147483647", "-2147483649", "2147483648"},
                           Range{kBigInt, "-9223372036854775808", "9223372036854775807", "-9223372036854775809",
                                 "9223372036854775808"}}) {
        Column c = columnOf(r.type);
        EXPECT_EQ(ado::toText(parseValue(c, r.min, '.')), r.min);
        EXPECT_EQ(ado::toText(parseValue(c, r.max, '.')), r.max);
        EXPECT_EQ(errorOf(c, r.below), kErrOverflow) << r.below;
        EXPECT_EQ(errorOf(c, r.above), kErrOverflow) << r.above;
        EXPECT_EQ(errorOf(c, "1e30"), kErrOverflow);
    }
    // Half to even, as Access's conversions round; the separator is the given one.
    EXPECT_EQ(parse(kLong, "2.5"), Value(int32_t(2)));
    EXPECT_EQ(parse(kLong, "3,5", ','), Value(int32_t(4)));
    EXPECT_EQ(parse(kLong, "-2.5"), Value(int32_t(-2)));
    EXPECT_EQ(parse(kLong, "2.5000001"), Value(int32_t(3)));
    EXPECT_EQ(parse(kByte, "255.4"), Value(uint8_t(255)));
    EXPECT_EQ(errorOf(columnOf(kByte), "255.5"), kErrOverflow);
    EXPECT_EQ(parse(kInteger, " +12 "), Value(int16_t(12)));
    EXPECT_EQ(parse(kInteger, "1.5E+2"), Value(int16_t(150)));
    EXPECT_EQ(parse(kInteger, "-0"), Value(int16_t(0)));
    EXPECT_EQ(parse(kLong, ".5"), Value(int32_t(0)));
}

TEST(ParseValue, CurrencyAndDecimalAreExact) {
    auto cents = [](const std::string& t) { return parse(kCurrency, t).as<Currency>().ten_thousandths; };
    EXPECT_EQ(cents("1234.5678"), 12345678);
    EXPECT_EQ(cents("0.00005"), 0);       // half to even
    EXPECT_EQ(cents("0.00015"), 2);
    EXPECT_EQ(cents("0.000150001"), 2);
    EXPECT_EQ(cents("-0.00025"), -2);
    EXPECT_EQ(cents("922337203685477.5807"), INT64_MAX);
    EXPECT_EQ(cents("-922337203685477.5808"), INT64_MIN);
    EXPECT_EQ(errorOf(columnOf(kCurrency), "922337203685477.5808"), kErrOverflow);
    EXPECT_EQ(cents("0.1"), 1000);  // no binary fraction on the way

    Column d = columnOf(kNumeric, 17, 5, 2);
    EXPECT_EQ(ado::toText(parseValue(d, "123.45", '.')), "123.45");
    EXPECT_EQ(ado::toText(parseValue(d, "-999.994", '.')), "-999.99");
    EXPECT_EQ(parseValue(d, "1.5", '.').as<Decimal>().magnitude, 150u);
    EXPECT_EQ(parseValue(d, "1.5", '.').as<Decimal>().scale, 2);
    EXPECT_EQ(errorOf(d, "1000"), kErrOverflow);      // four whole digits where three fit
    EXPECT_EQ(errorOf(d, "999.995"), kErrOverflow);   // rounds up to 1000.00
    EXPECT_FALSE(parseValue(d, "-0.001", '.').as<Decimal>().negative);
    Column wide = columnOf(kNumeric, 17, 28, 0);
    EXPECT_EQ(ado::toText(parseValue(wide, "9999999999999999999999999999", '.')), "9999999999999999999999999999");
    EXPECT_EQ(errorOf(wide, "10000000000000000000000000000"), kErrOverflow);
}

TEST(ParseValue, FloatingKinds) {
    EXPECT_EQ(parse(kDouble, "0.1"), Value(0.1));
    EXPECT_EQ(parse(kDouble, "1,5E+20", ','), Value(1.5e20));
    EXPECT_EQ(parse(kSingle, "0.1"), Value(0.1f));  // nearest float, not the double rounded again
    EXPECT_EQ(parse(kSingle, "16777217"), Value(16777216.0f));
    EXPECT_EQ(parse(kDouble, "1.7976931348623157E+308"), Value(1.7976931348623157e308));
    EXPECT_EQ(errorOf(columnOf(kDouble), "1.8E+308"), kErrOverflow);
    EXPECT_EQ(errorOf(columnOf(kSingle), "3.5E+38"), kErrOverflow);
    EXPECT_EQ(parse(kSingle, "1E-50"), Value(0.0f));
    EXPECT_EQ(parse(kDouble, "4.9E-324"), Value(4.9e-324));
    EXPECT_TRUE(std::signbit(parse(kDouble, "-0").as<double>()));
    for (const char* odd : {"NaN", "nan", "Infinity", "-Infinity", "+infinity"})
        for (uint8_t type : {kSingle, kDouble}) EXPECT_EQ(errorOf(columnOf(type), odd), kErrOverflow) << odd;
}

TEST(ParseValue, GarbageIsAConversionError) {
    for (uint8_t type : {kByte, kInteger, kLong, kBigInt, kCurrency, kSingle, kDouble, kNumeric}) {
        Column c = columnOf(type, 17, 18, 2);
        for (const char* bad : {"abc", "12a", "1.2.3", "--1", "+-1", "1e", "e5", ".", "1 2", "0x10", "1,5", "½"})
            EXPECT_EQ(errorOf(c, bad), kErrConversion) << int(type) << " '" << bad << "'";
        EXPECT_EQ(errorOf(c, "1.5", ','), kErrConversion) << "a point where the locale has a comma";
    }
    for (const char* bad : {"maybe", "2", "yess", "T"}) EXPECT_EQ(errorOf(columnOf(kBoolean), bad), kErrConversion) << bad;
    for (const char* bad : {"abc", "0x1", "ABCG", "0xx0"}) EXPECT_EQ(errorOf(columnOf(kBinary), bad), kErrConversion) << bad;
    for (const char* bad : {"{6F9619FF-8B86-D011-B42D-00C04FC964F}", "6F9619FF8B86D011B42D00C04FC964FF",
                            "{6F9619FF-8B86-D011-B42D-00C04FC964FG}", "{6F9619FF-8B86-D011-B42D-00C04FC964FF"})
        EXPECT_EQ(errorOf(columnOf(kGuid), bad), kErrConversion) << bad;
    EXPECT_EQ(errorOf(columnOf(kText, 100), "\xFF"), kErrConversion);
    EXPECT_EQ(errorOf(columnOf(kComplex), "1"), kErrUnsupported);
}

TEST(ParseValue, DatesInTheShownAndIsoForms) {
    auto days = [](const std::string& t) { return parse(kDateTime, t).as<DateTime>().days; };
    EXPECT_EQ(days("12/30/1899"), 0.0);
    EXPECT_EQ(days("1/15/2020"), 43845.0);
    EXPECT_EQ(days("2020-01-15"), 43845.0);
    EXPECT_EQ(days("12:00:00 PM"), 0.5);
    EXPECT_EQ(days("6:00 AM"), 0.25);
    EXPECT_EQ(days("12/29/1899 6:00:00 AM"), -1.25);  // the fraction runs forward before day zero
    EXPECT_EQ(days("12/31/1899 6:00:00 PM"), 1.75);
    EXPECT_EQ(days("1/1/100"), -657434.0);
    EXPECT_EQ(days("12/31/9999"), 2958465.0);
    EXPECT_EQ(days("2/29/2000"), 36585.0);
    EXPECT_EQ(days("1/15/20"), 43845.0);
    EXPECT_EQ(days("1/15/30"), days("1/15/1930"));
    double pm = days("1/15/2020 3:04:05 PM");
    for (const char* same_time : {"2020-01-15 15:04:05", "2020-01-15T15:04:05", "1/15/2020 15:04:05",
                                  "1/15/2020 3:04:05pm", " 01/15/2020  3:04:05 PM "})
        EXPECT_EQ(days(same_time), pm) << same_time;
    EXPECT_EQ(days("15:04"), days("3:04 PM"));
    EXPECT_EQ(days("12:30 AM"), days("0:30"));

    for (const char* bad : {"2/30/2020", "2/29/2019", "13/1/2020", "0/1/2020", "1/32/2020", "1/15/2020 24:00",
                            "1/15/2020 13:00 PM", "0:00 AM", "1/15/2020 3:60", "3:04:60", "1/15/99999",
                            "2020-01-15X", "2020-13-01", "2020/01/15", "1/15/2020 3", "3:4",
                            "1/15/2020 3:04:05 XM", "12/31/10000", "1/1/0099", "tomorrow", "1-15-2020"})
        EXPECT_EQ(errorOf(columnOf(kDateTime), bad), kErrConversion) << bad;
}

// The printed form read back gives the same instant, for times across the
// whole range of dates Access takes, before and after day zero.
TEST(ParseValue, DatesReadBackFromTheirPrintedForm) {
    size_t n = 0;
    for (long day = -657434; day <= 2958465; day += 9973) {
        for (long seconds : {0L, 1L, 43199L, 43200L, 86399L, day % 86400 < 0 ? -(day % 86400) : day % 86400}) {
            std::string shown = ado::toText(Value(DateTime{day < 0 ? day - seconds / 86400.0 : day + seconds / 86400.0}));
            Value back = parse(kDateTime, shown);
            EXPECT_EQ(ado::toText(back), shown);
            std::string iso = ado::toIsoText(back.as<DateTime>());
            EXPECT_EQ(parse(kDateTime, iso), back) << iso;
            ++n;
        }
    }
    EXPECT_GT(n, 1000u);
}

TEST(ParseValue, BooleanBinaryGuidText) {
    for (const char* t : {"True", "true", "YES", "on", "-1", "1"}) EXPECT_EQ(parse(kBoolean, t), Value(true)) << t;
    for (const char* f : {"False", "no", "OFF", "0"}) EXPECT_EQ(parse(kBoolean, f), Value(false)) << f;
    EXPECT_EQ(parse(kBinary, "00ff10Ab"), Value(Binary{0x00, 0xFF, 0x10, 0xAB}));
    EXPECT_EQ(parse(kOle, "0x0A0b"), Value(Binary{0x0A, 0x0B}));
    Value g = parse(kGuid, "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(g.as<Guid>().bytes[0], 0xFF);  // Data1 little-endian
    EXPECT_EQ(g.as<Guid>().bytes[8], 0xB4);  // Data4 as written
    EXPECT_EQ(ado::toText(g), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(parse(kGuid, "6f9619ff-8b86-d011-b42d-00c04fc964ff"), g);

    EXPECT_EQ(parse(kText, "  as typed "), Value(std::string("  as typed ")));
    EXPECT_EQ(parse(kMemo, ""), Value(std::string()));
    for (uint8_t type : {kBoolean, kByte, kLong, kDouble, kCurrency, kDateTime, kBinary, kGuid, kNumeric})
        EXPECT_TRUE(parse(type, type == kBinary ? "" : "  ").isNull()) << int(type);
}

TEST(CheckValue, SizesKindsAndRequired) {
    const Format& f4 = Format::forVersion(Version::Jet4);
    const Format& f3 = Format::forVersion(Version::Jet3);
    auto errorOfCheck = [](const Format& f, const Column& c, const Value& v, bool required) -> long {
        try {
            checkValue(f, c, v, required);
        } catch (const Error& e) {
            return e.number();
        }
        return 0;
    };
    Column text = columnOf(kText, 10);
    EXPECT_EQ(errorOfCheck(f4, text, std::string("12345"), false), 0);
    EXPECT_EQ(errorOfCheck(f4, text, std::string("123456"), false), kErrFieldTooSmall);
    EXPECT_EQ(errorOfCheck(f4, text, std::string("ééééé"), false), 0);     // characters, not UTF-8 bytes
    EXPECT_EQ(errorOfCheck(f4, text, std::string("😁😁😁"), false), kErrFieldTooSmall);  // 6 UTF-16 units
    EXPECT_EQ(errorOfCheck(f3, text, std::string("1234567890"), false), 0);
    EXPECT_EQ(errorOfCheck(f3, text, std::string("12345678901"), false), kErrFieldTooSmall);
    Column bin = columnOf(kBinary, 4);
    EXPECT_EQ(errorOfCheck(f4, bin, Binary(4), false), 0);
    EXPECT_EQ(errorOfCheck(f4, bin, Binary(5), false), kErrFieldTooSmall);
    EXPECT_EQ(errorOfCheck(f4, columnOf(kMemo), std::string(100000, 'm'), false), 0);

    EXPECT_EQ(errorOfCheck(f4, text, Value(), true), kErrRequired);
    EXPECT_EQ(errorOfCheck(f4, text, Value(), false), 0);
    EXPECT_EQ(errorOfCheck(f4, text, std::string(), true), 0);
    EXPECT_EQ(errorOfCheck(f4, columnOf(kBoolean), Value(), true), 0);  // stored as False
    try {
        checkValue(f4, text, Value(), true);
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'F'"), std::string::npos) << "the message names the field";
    }
    EXPECT_EQ(errorOfCheck(f4, columnOf(kLong), int16_t(1), false), kErrConversion);
    EXPECT_EQ(errorOfCheck(f4, columnOf(kDouble), 1.0f, false), kErrConversion);
}

}  // namespace
