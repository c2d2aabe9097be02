// SPDX-License-Identifier: Apache-2.0
// The text form of values, as every window and the command-line tool show them.
#include <gtest/gtest.h>

#include "ado/value_text.h"

namespace {

using ado::toText;
using ado::Value;

TEST(ValueText, NullEmptyAndBoolean) {
    EXPECT_EQ(toText(Value()), "");
    EXPECT_EQ(toText(Value(std::string())), "");
    EXPECT_EQ(toText(Value(true)), "True");
    EXPECT_EQ(toText(Value(false)), "False");
    EXPECT_EQ(toText(Value(std::string("a,b \"c\""))), "a,b \"c\"");
}

TEST(ValueText, WholeNumbers) {
    EXPECT_EQ(toText(Value(uint8_t(255))), "255");
    EXPECT_EQ(toText(Value(int16_t(-32768))), "-32768");
    EXPECT_EQ(toText(Value(int32_t(333333333))), "333333333");
    EXPECT_EQ(toText(Value(int64_t(-9007199254740993))), "-9007199254740993");
}

// Exactly (the shortest digits that read back), and as Access shows them.
TEST(ValueText, FloatingPointExactlyAndShown) {
    const struct {
        Value value;
        const char* exact;
        const char* shown;
    } cases[] = {
        {Value(444.555), "444.555", "444.555"},
        {Value(0.1), "0.1", "0.1"},
        {Value(-0.5), "-0.5", "-0.5"},
        {Value(0.0), "0", "0"},
        {Value(100.0), "100", "100"},
        {Value(123456789012345.0), "123456789012345", "123456789012345"},
        {Value(1e15), "1E+15", "1E+15"},
        {Value(1.5e20), "1.5E+20", "1.5E+20"},
        {Value(0.0001), "0.0001", "0.0001"},
        {Value(0.00001), "1E-05", "1E-05"},
        {Value(-1.25e-7), "-1.25E-07", "-1.25E-07"},
        // Computed values: VB's CStr rounds a Double to 15 digits.
        {Value(0.1 + 0.2), "0.30000000000000004", "0.3"},
        {Value(1.0 / 3), "0.3333333333333333", "0.333333333333333"},
        {Value(2.0 / 3), "0.6666666666666666", "0.666666666666667"},
        {Value(9.9999999999999999e14), "1E+15", "1E+15"},
        {Value(999999999999999.4), "999999999999999.4", "999999999999999"},
        {Value(3.141592653589793), "3.141592653589793", "3.14159265358979"},
        // A Single shows its own digits, not those of the double it widens
        // to: the shortest, or 7.
        {Value(3.1f), "3.1", "3.1"},
        {Value(16777216.0f), "16777216", "1.677722E+07"},
        {Value(1.0f / 3), "0.33333334", "0.3333333"},
        {Value(1234567.9f), "1234567.9", "1234568"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toText(c.value, '.'), c.exact);
        EXPECT_EQ(toText(c.value, '.', ado::Digits::Shown), c.shown) << c.exact;
    }
}

TEST(ValueText, TheLocaleDecimalSeparatorIsUsed) {
    EXPECT_EQ(toText(Value(2.5), ','), "2,5");
    EXPECT_EQ(toText(Value(jet::Currency{35000}), ','), "3,5");
    EXPECT_EQ(toText(Value(1.5e20), ','), "1,5E+20");
}

TEST(ValueText, CurrencyAndDecimalWithoutTrailingZeros) {
    EXPECT_EQ(toText(Value(jet::Currency{35000}), '.'), "3.5");
    EXPECT_EQ(toText(Value(jet::Currency{420000}), '.'), "42");
    EXPECT_EQ(toText(Value(jet::Currency{-1}), '.'), "-0.0001");
    EXPECT_EQ(toText(Value(jet::Currency{0}), '.'), "0");
    EXPECT_EQ(toText(Value(jet::Currency{INT64_MIN}), '.'), "-922337203685477.5808");

    jet::Decimal d;
    d.scale = 6;
    d.magnitude = 50325000;
    EXPECT_EQ(toText(Value(d), '.'), "50.325");
    d.negative = true;
    d.magnitude = 12300;
    EXPECT_EQ(toText(Value(d), '.'), "-0.0123");
    d.magnitude = 0;
    EXPECT_EQ(toText(Value(d), '.'), "0");
    d = jet::Decimal{};
    d.magnitude = (unsigned __int128)(1) << 95;
    EXPECT_EQ(toText(Value(d), '.'), "39614081257132168796771975168");
}

jet::DateTime at(int days, int h, int m, int s) { return {days + (h * 3600 + m * 60 + s) / 86400.0}; }

TEST(ValueText, DatesAsMonthDayYearAndTwelveHourTime) {
    // 43845 is 15 January 2020.
    EXPECT_EQ(toText(Value(at(43845, 15, 4, 5))), "1/15/2020 3:04:05 PM");
    EXPECT_EQ(toText(Value(at(43845, 0, 0, 0))), "1/15/2020");
    EXPECT_EQ(toText(Value(at(43845, 0, 0, 1))), "1/15/2020 12:00:01 AM");
    EXPECT_EQ(toText(Value(at(43845, 12, 30, 0))), "1/15/2020 12:30:00 PM");
    EXPECT_EQ(toText(Value(at(0, 13, 45, 0))), "1:45:00 PM");  // day zero: the time alone
    EXPECT_EQ(toText(Value(jet::DateTime{0})), "12:00:00 AM");
    EXPECT_EQ(toText(Value(jet::DateTime{1})), "12/31/1899");
    EXPECT_EQ(toText(Value(jet::DateTime{60})), "2/28/1900");
    EXPECT_EQ(toText(Value(jet::DateTime{61})), "3/1/1900");
    EXPECT_EQ(toText(Value(at(2958465, 23, 59, 59))), "12/31/9999 11:59:59 PM");
}

TEST(ValueText, DatesBefore1899CountDaysBackButTimeForward) {
    EXPECT_EQ(toText(Value(jet::DateTime{-1.25})), "12/29/1899 6:00:00 AM");
    EXPECT_EQ(toText(Value(jet::DateTime{-115858})), "10/15/1582");
    EXPECT_EQ(ado::toIsoText(jet::DateTime{-1.5}), "1899-12-29 12:00:00");
}

TEST(ValueText, TimesRoundToTheNearestSecond) {
    EXPECT_EQ(toText(Value(jet::DateTime{43845 + 86399.6 / 86400})), "1/16/2020");
    EXPECT_EQ(ado::toIsoText(jet::DateTime{43845 + 0.4 / 86400}), "2020-01-15 00:00:00");
}

TEST(ValueText, GuidAndBinary) {
    jet::Guid g{{0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0, 0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF}};
    EXPECT_EQ(toText(Value(g)), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(toText(Value(jet::Binary{0x00, 0xAB, 0x1F})), "00AB1F");
    EXPECT_EQ(toText(Value(jet::Binary{})), "");
}

}  // namespace
