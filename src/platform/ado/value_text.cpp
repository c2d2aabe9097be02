// SPDX-License-Identifier: Apache-2.0
#include "ado/value_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>

namespace ado {

namespace {

constexpr long long kSecondsPerDay = 86400;

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = unsigned(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = (long long)(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

struct Parts {
    long long year;
    unsigned month, day;
    long long seconds;  // of the day
    bool day_zero;
};

// Jet counts days from 1899-12-30; before it the whole part counts days
// back while the fraction still runs forward through the day.
Parts split(jet::DateTime date) {
    double whole = std::trunc(date.days);
    long long day = (long long)whole;
    long long seconds = std::llround(std::fabs(date.days - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    Parts p;
    p.day_zero = day == 0;
    p.seconds = seconds;
    civilFromDays(day - 25569, p.year, p.month, p.day);  // 25569: 1899-12-30 to 1970-01-01
    return p;
}

void appendNumber(std::string& out, long long v, int min_digits = 1) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v);
    if (v < 0) out += '-';
    out.append(size_t(std::max<long long>(0, min_digits - (r.ptr - buf))), '0');
    out.append(buf, r.ptr);
}

std::string dateText(jet::DateTime date) {
    if (!std::isfinite(date.days) || std::fabs(date.days) > 3e6) return "";
    Parts p = split(date);
    bool show_date = !p.day_zero;
    bool show_time = p.seconds != 0 || p.day_zero;
    std::string out;
    if (show_date) {
        appendNumber(out, p.month);
        out += '/';
        appendNumber(out, p.day);
        out += '/';
        appendNumber(out, p.year);
    }
    if (show_time) {
        long long h = p.seconds / 3600;
        if (show_date) out += ' ';
        appendNumber(out, h % 12 == 0 ? 12 : h % 12);
        out += ':';
        appendNumber(out, p.seconds / 60 % 60, 2);
        out += ':';
        appendNumber(out, p.seconds % 60, 2);
        out += h < 12 ? " AM" : " PM";
    }
    return out;
}

// Writes the digits of `v` in the VB style: the shortest that read back,
// or rounded to `shown` significant digits where that is given (then
// numbers with more whole digits than that take the exponent form).
template <typename F>
std::string floatText(F v, char separator, int shown = 0) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
    if (v == 0) return "0";
    char sci[64];
    auto res = shown ? std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, shown - 1)
                     : std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific);
    std::string s(sci, res.ptr);
    if (shown) {
        size_t e = s.find('e'), last = s.find_last_not_of('0', e - 1);
        s.erase(s[last] == '.' ? last : last + 1, e - (s[last] == '.' ? last : last + 1));
    }
    bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    size_t e = s.find('e');
    int exponent = std::atoi(s.c_str() + e + 1);
    std::string digits = s.substr(0, e);
    if (digits.size() > 1) digits.erase(1, 1);  // drop the point

    std::string out = negative ? "-" : "";
    if (exponent >= -4 && exponent < (shown ? shown : 15)) {
        if (exponent < 0) {
            out += "0";
            out += separator;
            out.append(size_t(-exponent - 1), '0');
            out += digits;
        } else if (size_t(exponent) + 1 >= digits.size()) {
            out += digits;
            out.append(size_t(exponent) + 1 - digits.size(), '0');
        } else {
            out += digits.substr(0, size_t(exponent) + 1);
            out += separator;
            out += digits.substr(size_t(exponent) + 1);
        }
        return out;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1) {
        out += separator;
        out += digits.substr(1);
    }
    char ex[16];
    std::snprintf(ex, sizeof ex, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return out + ex;
}

std::string u128Text(unsigned __int128 v) {
    char buf[40];
    char* end = buf + sizeof buf;
    char* p = end;
    // 64-bit steps where the value allows: 128-bit division is slow.
    while (v > UINT64_MAX) {
        *--p = char('0' + int(v % 10));
        v /= 10;
    }
    uint64_t small = uint64_t(v);
    do {
        *--p = char('0' + int(small % 10));
        small /= 10;
    } while (small);
    return std::string(p, end);
}

// A whole number of 10^-scale units, as exact decimal text.
std::string scaledText(bool negative, unsigned __int128 magnitude, unsigned scale, char separator) {
    std::string digits = u128Text(magnitude);
    if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
    std::string whole = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    std::string out = negative && magnitude != 0 ? "-" : "";
    out += whole;
    if (!fraction.empty()) {
        out += separator;
        out += fraction;
    }
    return out;
}

std::string hexText(const jet::Binary& b) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(b.size() * 2);
    for (uint8_t c : b) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::string guidText(const jet::Guid& g) {
    const auto& b = g.bytes;
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2],
                  b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return buf;
}

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

char localeDecimalSeparator() {
    const std::lconv* l = std::localeconv();
    return l && l->decimal_point && l->decimal_point[0] ? l->decimal_point[0] : '.';
}

std::string toText(const Value& value, char sep, Digits digits) {
    const bool shown = digits == Digits::Shown;
    return std::visit(
        Overloaded{
            [](std::monostate) { return std::string(); },
            [](bool b) { return std::string(b ? "True" : "False"); },
            [](uint8_t v) { return std::to_string(v); },
            [](int16_t v) { return std::to_string(v); },
            [](int32_t v) { return std::to_string(v); },
            [](int64_t v) { return std::to_string(v); },
            [sep](jet::Currency c) {
                bool negative = c.ten_thousandths < 0;
                unsigned __int128 m = negative ? -(unsigned __int128)(c.ten_thousandths) : c.ten_thousandths;
                return scaledText(negative, m, 4, sep);
            },
            [sep, shown](float v) { return floatText(v, sep, shown ? 7 : 0); },
            [sep, shown](double v) { return floatText(v, sep, shown ? 15 : 0); },
            [](jet::DateTime d) { return dateText(d); },
            [](const std::string& s) { return s; },
            [](const jet::Binary& b) { return hexText(b); },
            [](const jet::Guid& g) { return guidText(g); },
            [sep](const jet::Decimal& d) { return scaledText(d.negative, d.magnitude, d.scale, sep); },
        },
        value.storage());
}

std::string toIsoText(jet::DateTime date) {
    if (!std::isfinite(date.days) || std::fabs(date.days) > 3e6) return "";
    Parts p = split(date);
    std::string out;
    appendNumber(out, p.year, 4);
    out += '-';
    appendNumber(out, p.month, 2);
    out += '-';
    appendNumber(out, p.day, 2);
    out += ' ';
    appendNumber(out, p.seconds / 3600, 2);
    out += ':';
    appendNumber(out, p.seconds / 60 % 60, 2);
    out += ':';
    appendNumber(out, p.seconds % 60, 2);
    return out;
}

}  // namespace ado
