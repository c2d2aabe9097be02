// SPDX-License-Identifier: Apache-2.0
#include "value_parse.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "error.h"
#include "text.h"

namespace jet {

namespace {

using u128 = unsigned __int128;

[[noreturn]] void conversion(const Column& c, const std::string& text) {
    throw Error(kErrConversion, "Data type conversion error: '" + text + "' is not a value for the field '" + c.name + "'.");
}

[[noreturn]] void overflow(const Column& c, const std::string& text) {
    throw Error(kErrOverflow, "Numeric field overflow: '" + text + "' is out of range for the field '" + c.name + "'.");
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number exactly as written: digits x 10^exponent. Kept exact so that
// Currency and Decimal round once, from the text, never through a double.
struct DecimalText {
    bool negative = false;
    std::string digits;  // no leading zeros; empty for zero
    long exponent = 0;
};

bool readDecimalText(const std::string& s, char separator, DecimalText& out) {
    size_t i = 0, n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) out.negative = s[i++] == '-';
    size_t mantissa_digits = 0;
    for (; i < n && isDigit(s[i]); ++i, ++mantissa_digits) out.digits += s[i];
    if (i < n && s[i] == separator) {
        for (++i; i < n && isDigit(s[i]); ++i, ++mantissa_digits) {
            out.digits += s[i];
            --out.exponent;
        }
    }
    if (mantissa_digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negative_exponent = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) negative_exponent = s[i++] == '-';
        if (i == n) return false;
        long e = 0;
        for (; i < n && isDigit(s[i]); ++i) e = std::min(e * 10 + (s[i] - '0'), 100000L);
        out.exponent += negative_exponent ? -e : e;
    }
    if (i != n) return false;
    size_t lead = out.digits.find_first_not_of('0');
    out.digits = lead == std::string::npos ? "" : out.digits.substr(lead);
    return true;
}

// round(|value| x 10^scale), half to even; false when it passes 10^38.
bool scaledMagnitude(const DecimalText& d, int scale, u128& out) {
    out = 0;
    if (d.digits.empty()) return true;
    long shift = d.exponent + scale;
    std::string kept = d.digits;
    bool round_up = false;
    if (shift >= 0) {
        if (long(kept.size()) + shift > 38) return false;
        kept.append(size_t(shift), '0');
    } else {
        size_t cut = size_t(-shift);
        std::string dropped = cut >= kept.size() ? std::string(cut - kept.size(), '0') + kept : kept.substr(kept.size() - cut);
        kept = cut >= kept.size() ? "" : kept.substr(0, kept.size() - cut);
        bool rest_zero = dropped.find_first_not_of('0', 1) == std::string::npos;
        bool odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
        round_up = dropped[0] > '5' || (dropped[0] == '5' && (!rest_zero || odd));
        if (kept.size() > 38) return false;
    }
    for (char c : kept) out = out * 10 + u128(c - '0');
    if (round_up) ++out;
    return true;
}

u128 pow10(int n) {
    u128 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

template <typename T>
T parseWhole(const Column& c, const std::string& text, char separator) {
    DecimalText d;
    if (!readDecimalText(text, separator, d)) conversion(c, text);
    u128 m;
    if (!scaledMagnitude(d, 0, m)) overflow(c, text);
    using L = std::numeric_limits<T>;
    u128 limit = d.negative ? u128(-(__int128)L::min()) : u128(L::max());
    if (m > limit) overflow(c, text);
    return d.negative ? T(-(__int128)m) : T(m);
}

template <typename F>
F parseFloat(const Column& c, const std::string& text, char separator) {
    std::string t = text;
    bool negative = !t.empty() && t[0] == '-';
    std::string body = !t.empty() && (t[0] == '-' || t[0] == '+') ? t.substr(1) : t;
    // Access holds no infinities nor NaN, though a file may: the text of one
    // is refused as out of range, not taken as a number.
    if (equalsIgnoringCase(t, "NaN") || equalsIgnoringCase(body, "Infinity")) overflow(c, text);
    DecimalText d;
    if (!readDecimalText(text, separator, d)) conversion(c, text);
    if (d.digits.empty()) return negative ? -F(0) : F(0);
    long magnitude = long(d.digits.size()) + d.exponent;  // 10^(magnitude-1) <= |value|
    if (magnitude > 400) overflow(c, text);
    if (magnitude < -400) return negative ? -F(0) : F(0);
    std::string canonical = d.digits + "e" + std::to_string(d.exponent);
    F v{};
    auto res = std::from_chars(canonical.data(), canonical.data() + canonical.size(), v, std::chars_format::scientific);
    if (res.ec == std::errc::result_out_of_range) {
        if (magnitude > 0) overflow(c, text);
        v = 0;  // too small to hold: as close as the kind comes is zero
    } else if (res.ec != std::errc() || res.ptr != canonical.data() + canonical.size()) {
        conversion(c, text);
    }
    if (std::isinf(v)) overflow(c, text);
    return negative ? -v : v;
}

Currency parseCurrency(const Column& c, const std::string& text, char separator) {
    DecimalText d;
    if (!readDecimalText(text, separator, d)) conversion(c, text);
    u128 m;
    if (!scaledMagnitude(d, 4, m)) overflow(c, text);
    u128 limit = d.negative ? u128(1) << 63 : (u128(1) << 63) - 1;
    if (m > limit) overflow(c, text);
    return Currency{d.negative ? int64_t(-(__int128)m) : int64_t(m)};
}

Decimal parseDecimal(const Column& c, const std::string& text, char separator) {
    DecimalText d;
    if (!readDecimalText(text, separator, d)) conversion(c, text);
    Decimal v;
    v.scale = c.scale;
    if (!scaledMagnitude(d, c.scale, v.magnitude)) overflow(c, text);
    int precision = c.precision == 0 ? 28 : std::min<int>(c.precision, 38);
    if (v.magnitude >= pow10(precision) || v.magnitude >> 96) overflow(c, text);
    v.negative = d.negative && v.magnitude != 0;
    return v;
}

// ---- dates ----

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = unsigned(y - era * 400);
    unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)(doe) - 719468;
}

bool leap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(long long y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// A small cursor over the text of a date.
struct Scanner {
    const std::string& s;
    size_t i = 0;

    bool done() const { return i == s.size(); }
    bool take(char c) {
        if (i < s.size() && s[i] == c) return ++i, true;
        return false;
    }
    // Up to `max` digits, at least one; their count in `count`.
    bool number(long& v, size_t max, size_t* count = nullptr) {
        size_t start = i;
        v = 0;
        while (i < s.size() && isDigit(s[i]) && i - start < max) v = v * 10 + (s[i++] - '0');
        if (count) *count = i - start;
        return i > start;
    }
    void spaces() {
        while (i < s.size() && s[i] == ' ') ++i;
    }
};

bool readTime(Scanner& sc, long& seconds) {
    long h, m, s = 0;
    size_t hd, md, sd;
    if (!sc.number(h, 2, &hd) || !sc.take(':') || !sc.number(m, 2, &md) || md != 2) return false;
    if (sc.take(':') && (!sc.number(s, 2, &sd) || sd != 2)) return false;
    size_t before = sc.i;
    sc.spaces();
    std::string rest = sc.s.substr(sc.i, 2);
    bool am = equalsIgnoringCase(rest, "AM"), pm = equalsIgnoringCase(rest, "PM");
    if (am || pm) {
        sc.i += 2;
        if (h < 1 || h > 12) return false;
        h = h % 12 + (pm ? 12 : 0);
    } else {
        sc.i = before;
        if (h > 23) return false;
    }
    if (m > 59 || s > 59) return false;
    seconds = h * 3600 + m * 60 + s;
    return true;
}

bool validDate(long y, long m, long d) {
    return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= long(daysInMonth(y, unsigned(m)));
}

// The date and time of `text`: days since 1899-12-30 and seconds of the day.
bool readDateTime(const std::string& text, long long& day, long& seconds) {
    Scanner sc{text};
    day = 0;
    seconds = 0;
    long a;
    size_t ad;
    if (!sc.number(a, 4, &ad)) return false;
    if (sc.take('-')) {  // ISO: year-month-day
        long m, d;
        if (ad != 4 || !sc.number(m, 2) || !sc.take('-') || !sc.number(d, 2) || !validDate(a, m, d)) return false;
        day = daysFromCivil(a, unsigned(m), unsigned(d)) + 25569;
        if (sc.done()) return true;
        if (!sc.take('T') && !sc.take(' ')) return false;
        sc.spaces();
        return readTime(sc, seconds) && sc.done();
    }
    if (sc.take('/')) {  // month/day/year
        long d, y;
        size_t yd;
        if (ad > 2 || !sc.number(d, 2) || !sc.take('/') || !sc.number(y, 4, &yd)) return false;
        if (yd == 2) y += y < 30 ? 2000 : 1900;
        else if (yd != 4 && yd != 3) return false;
        if (!validDate(y, a, d)) return false;
        day = daysFromCivil(y, unsigned(a), unsigned(d)) + 25569;
        if (sc.done()) return true;
        if (!sc.take(' ')) return false;
        sc.spaces();
        return readTime(sc, seconds) && sc.done();
    }
    sc.i = 0;  // a time alone, on day zero
    return readTime(sc, seconds) && sc.done();
}

DateTime parseDate(const Column& c, const std::string& text) {
    long long day;
    long seconds;
    if (!readDateTime(text, day, seconds)) conversion(c, text);
    // Before day zero the whole part counts back while the fraction runs
    // forward: 6 AM on 1899-12-29 is -1.25.
    double fraction = double(seconds) / 86400.0;
    return DateTime{day < 0 ? double(day) - fraction : double(day) + fraction};
}

// ---- other kinds ----

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

Binary parseHex(const Column& c, const std::string& text) {
    size_t start = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    if ((text.size() - start) % 2 != 0) conversion(c, text);
    Binary out;
    out.reserve((text.size() - start) / 2);
    for (size_t i = start; i < text.size(); i += 2) {
        int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) conversion(c, text);
        out.push_back(uint8_t(hi << 4 | lo));
    }
    return out;
}

Guid parseGuid(const Column& c, const std::string& text) {
    std::string t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-') conversion(c, text);
    std::string hex;
    for (char ch : t)
        if (ch != '-') hex += ch;
    Binary b = parseHex(c, hex);
    if (b.size() != 16) conversion(c, text);
    // The text shows Data1..3 big-endian; the file keeps them little-endian.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Guid g;
    for (int i = 0; i < 16; ++i) g.bytes[size_t(kOrder[i])] = b[size_t(i)];
    return g;
}

bool parseBoolean(const Column& c, const std::string& text) {
    for (const char* t : {"True", "Yes", "On", "-1", "1"})
        if (equalsIgnoringCase(text, t)) return true;
    for (const char* f : {"False", "No", "Off", "0"})
        if (equalsIgnoringCase(text, f)) return false;
    conversion(c, text);
}

size_t utf16Length(const std::string& utf8) {
    size_t n = 0;
    for (unsigned char ch : utf8) n += (ch & 0xC0) != 0x80 ? (ch >= 0xF0 ? 2 : 1) : 0;
    return n;
}

}  // namespace

Value parseValue(const Column& c, const std::string& raw, char separator) {
    if (c.calculated())
        throw Error(kErrUnsupported, "The field '" + c.name + "' is calculated from an expression and cannot be edited.");
    if (c.type == kText || c.type == kMemo) {
        toUtf16(raw);  // rejects malformed UTF-8
        return raw;
    }
    std::string text = trim(raw);
    if (text.empty()) return Value();
    switch (c.type) {
    case kBoolean: return parseBoolean(c, text);
    case kByte: return parseWhole<uint8_t>(c, text, separator);
    case kInteger: return parseWhole<int16_t>(c, text, separator);
    case kLong: return parseWhole<int32_t>(c, text, separator);
    case kBigInt: return parseWhole<int64_t>(c, text, separator);
    case kCurrency: return parseCurrency(c, text, separator);
    case kSingle: return parseFloat<float>(c, text, separator);
    case kDouble: return parseFloat<double>(c, text, separator);
    case kNumeric: return parseDecimal(c, text, separator);
    case kDateTime: return parseDate(c, text);
    case kBinary:
    case kOle: return parseHex(c, text);
    case kGuid: return parseGuid(c, text);
    default:
        throw Error(kErrUnsupported, "Values of the field '" + c.name + "' (type " + std::to_string(c.type) +
                                         ") cannot be written by this engine.");
    }
}

bool isOfColumnKind(const Column& c, const Value& v) {
    if (v.isNull()) return true;
    switch (c.type) {
    case kBoolean: return v.is<bool>();
    case kByte: return v.is<uint8_t>();
    case kInteger: return v.is<int16_t>();
    case kLong: return v.is<int32_t>();
    case kBigInt: return v.is<int64_t>();
    case kCurrency: return v.is<Currency>();
    case kSingle: return v.is<float>();
    case kDouble: return v.is<double>();
    case kDateTime: return v.is<DateTime>();
    case kGuid: return v.is<Guid>();
    case kNumeric: return v.is<Decimal>();
    case kText:
    case kMemo: return v.is<std::string>();
    case kBinary:
    case kOle: return v.is<Binary>();
    default: return false;
    }
}

void checkValue(const Format& f, const Column& c, const Value& v, bool required) {
    if (!isOfColumnKind(c, v))
        throw Error(kErrConversion, "Data type conversion error: the value given for the field '" + c.name +
                                        "' is not of its type.");
    if (v.isNull()) {
        if (required && c.type != kBoolean)
            throw Error(kErrRequired, "The field '" + c.name +
                                          "' cannot contain a Null value because the Required property for this "
                                          "field is set to True.");
        return;
    }
    if (c.calculated()) return;  // sized by its expression, not by the column
    size_t size = 0, limit = 0;
    if (c.type == kText) {
        size = utf16Length(v.as<std::string>());
        limit = f.jet3 ? c.length : c.length / 2u;
    } else if (c.type == kBinary) {
        size = v.as<Binary>().size();
        limit = c.length;
    } else {
        return;
    }
    if (size > limit)
        throw Error(kErrFieldTooSmall, "The field '" + c.name + "' is too small to accept the amount of data you "
                                       "attempted to add: " + std::to_string(size) + " where it holds " +
                                       std::to_string(limit) + ".");
}

}  // namespace jet
