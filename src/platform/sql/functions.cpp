// SPDX-License-Identifier: Apache-2.0
// The functions the translator's SQLite text calls (jet_len, jet_iif ...),
// the aggregates Access has and SQLite lacks, and the text collation.
//
// Values follow the translator's contract: dates are Jet day numbers
// (reals), True is -1, text is UTF-8. As in Access, a Null argument makes a
// Null result, except where Access says otherwise (&, IsNull, Nz). An
// argument of the wrong kind fails the statement with Access's number,
// carried in the message as "[number] description" (see functionError).
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ado/value_text.h"
#include "sql/datetime.h"
#include "sql/dialect.h"
#include "sql/format.h"
#include "sql/text.h"

namespace ado::sql {

namespace {

enum FunctionError : long {
    kInvalidCall = 5,      // "Invalid procedure call or argument"
    kOverflow = 6,         // "Overflow"
    kDivisionByZero = 11,  // "Division by zero"
    kOutOfStringSpace = 14,  // "Out of string space"
    kInvalidNull = 94,     // "Invalid use of Null"
    kMismatch = 3464,      // "Data type mismatch in criteria expression."
};

void raise(sqlite3_context* ctx, long number, const std::string& description) {
    std::string message = "[";
    message += std::to_string(number);
    message += "] ";
    message += description;
    sqlite3_result_error(ctx, message.c_str(), int(message.size()));
}

void mismatch(sqlite3_context* ctx, const char* function) {
    raise(ctx, kMismatch, std::string("Data type mismatch in criteria expression: a value given to ") + function +
                              " is of the wrong kind.");
}

void invalidCall(sqlite3_context* ctx, const char* function) {
    raise(ctx, kInvalidCall, std::string("Invalid procedure call or argument in ") + function + ".");
}

void overflow(sqlite3_context* ctx, const char* function) {
    raise(ctx, kOverflow, std::string("Overflow in ") + function + ".");
}

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (isNull(argv[i])) return true;
    return false;
}

std::string rawText(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_value_bytes(v))) : std::string();
}

// A number in text as Access reads one: blanks around, a sign, digits with
// an optional point and exponent, nothing else.
bool parseNumber(const std::string& s, double& out) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return false;
    size_t e = s.find_last_not_of(" \t") + 1;
    std::string t = s.substr(b, e - b);
    if (t.find_first_of("0123456789") == std::string::npos) return false;
    if (t.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

// The number a value stands for; false for a text that is none, a blob.
bool numberOf(sqlite3_value* v, double& out) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        out = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT:
        return parseNumber(rawText(v), out);
    default:
        return false;
    }
}

// Whole numbers stay whole: the integer a value holds, if it holds one.
bool integerOf(sqlite3_value* v, sqlite3_int64& out) {
    if (sqlite3_value_type(v) != SQLITE_INTEGER) return false;
    out = sqlite3_value_int64(v);
    return true;
}

// A date: a number, or a text Access reads as a date or a number.
bool dateOf(sqlite3_value* v, double& out) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        std::string t = rawText(v);
        return parseDateText(t, out) || parseNumber(t, out);
    }
    return numberOf(v, out);
}

// The text form Access joins and measures: numbers in their general form,
// a Double to 15 significant digits as VBA turns one into text.
std::string textOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT: {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%.14e", sqlite3_value_double(v));
        return toText(Value(std::strtod(digits, nullptr)), '.');
    }
    case SQLITE_NULL: return "";
    default: return rawText(v);
    }
}

// The longest text Access holds: a Long Text's 1 GB, two bytes a character.
constexpr size_t kMaxTextCharacters = size_t(1) << 29;

// False, having raised, when a text of `characters` would pass that.
bool textFits(sqlite3_context* ctx, size_t characters) {
    if (characters <= kMaxTextCharacters) return true;
    raise(ctx, kOutOfStringSpace, "Out of string space: a text may hold " + std::to_string(kMaxTextCharacters) +
                                      " characters.");
    return false;
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    // Characters (UTF-8 lead bytes) are counted only where the bytes could be too many.
    if (s.size() > kMaxTextCharacters &&
        !textFits(ctx, size_t(std::count_if(s.begin(), s.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }))))
        return;
    sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void resultText(sqlite3_context* ctx, const std::u32string& s) { resultText(ctx, utf8(s)); }

// A real result; one too large for a Double overflowed, as in Access.
void resultNumber(sqlite3_context* ctx, double r, const char* function) {
    if (std::isfinite(r)) return sqlite3_result_double(ctx, r);
    overflow(ctx, function);
}

void resultBool(sqlite3_context* ctx, bool b) { sqlite3_result_int(ctx, b ? -1 : 0); }

// A real that is whole and fits goes back as an integer.
void resultWhole(sqlite3_context* ctx, double r) {
    if (std::fabs(r) < 9.0e15) sqlite3_result_int64(ctx, sqlite3_int64(r));
    else sqlite3_result_double(ctx, r);
}

// A Single result as SQLite carries it: the double of the Single's shortest
// digits, so that it shows as a Single does ("1.1", not "1.100000023841858").
double singleValue(double x) {
    char buf[32];
    *std::to_chars(buf, buf + sizeof buf - 1, float(x)).ptr = '\0';
    return std::strtod(buf, nullptr);
}

// Half to even, as Access's Round and its conversions to whole numbers.
double roundEven(double v) {
    double r = std::floor(v);
    double d = v - r;
    if (d > 0.5 || (d == 0.5 && std::fmod(r, 2.0) != 0)) r += 1;
    return r;
}

// An argument that must be a number; raises and returns false otherwise.
// Access has no infinities nor NaN: arithmetic that makes one overflowed.
bool needNumber(sqlite3_context* ctx, sqlite3_value* v, const char* function, double& out) {
    if (!numberOf(v, out)) {
        mismatch(ctx, function);
        return false;
    }
    if (std::isfinite(out)) return true;
    overflow(ctx, function);
    return false;
}

// A date argument: a number outside years 100 to 9999 overflows the kind.
bool needDate(sqlite3_context* ctx, sqlite3_value* v, const char* function, double& out) {
    if (!dateOf(v, out)) {
        mismatch(ctx, function);
        return false;
    }
    if (inDateRange(out)) return true;
    overflow(ctx, function);
    return false;
}

// A count of characters, as Left, Mid and Space take it.
bool needCount(sqlite3_context* ctx, sqlite3_value* v, const char* function, long long& out) {
    double n = 0;
    if (isNull(v)) {
        raise(ctx, kInvalidNull, std::string("Invalid use of Null in ") + function + ".");
        return false;
    }
    if (!needNumber(ctx, v, function, n)) return false;
    n = roundEven(n);
    if (n < 0 || n > 2147483647.0) {
        invalidCall(ctx, function);
        return false;
    }
    out = (long long)n;
    return true;
}

// ------------------------------------------------------------ moments
// A Jet date as seconds on one line: the calendar day times 86400 plus the
// time of day, so date arithmetic is plain arithmetic before 1899 too.

double momentOf(double date) {
    double day = std::trunc(date);
    double seconds = std::round(std::fabs(date - day) * 86400.0);
    return day * 86400.0 + seconds;
}

double dateOfMoment(double moment) {
    double day = std::floor(moment / 86400.0);
    return jetDate((long long)day, moment - day * 86400.0);
}

// The same time of day, `months` later, the day clamped to the month's end.
bool addMonths(double date, long long months, double& out) {
    CivilTime t = civilTime(date);
    long long total = (long long)t.year * 12 + (t.month - 1) + months;
    int year = int(total >= 0 ? total / 12 : -((-total + 11) / 12));
    int month = int(total - (long long)year * 12) + 1;
    if (year < 100 || year > 9999) return false;
    int day = std::min(t.day, daysInMonth(year, month));
    out = jetDate(dayNumber(year, month, day), t.hour * 3600.0 + t.minute * 60.0 + t.second);
    return true;
}

int weekdayOf(double date) {  // 1 = Sunday; day 0 was a Saturday
    long long day = (long long)std::floor(momentOf(date) / 86400.0);
    return int(((day + 6) % 7 + 7) % 7) + 1;
}

// ------------------------------------------------------------ text

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, sqlite3_int64(characters(textOf(argv[0])).size()));
}

void fnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = 0;
    if (!needCount(ctx, argv[1], "Left", n) || isNull(argv[0])) return;
    std::u32string s = characters(textOf(argv[0]));
    resultText(ctx, s.substr(0, size_t(std::min<long long>(n, (long long)s.size()))));
}

void fnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = 0;
    if (!needCount(ctx, argv[1], "Right", n) || isNull(argv[0])) return;
    std::u32string s = characters(textOf(argv[0]));
    size_t k = size_t(std::min<long long>(n, (long long)s.size()));
    resultText(ctx, s.substr(s.size() - k));
}

void fnMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    long long start = 0, n = -1;
    if (!needCount(ctx, argv[1], "Mid", start)) return;
    if (start < 1) return invalidCall(ctx, "Mid");
    if (argc == 3 && !needCount(ctx, argv[2], "Mid", n)) return;
    if (isNull(argv[0])) return;
    std::u32string s = characters(textOf(argv[0]));
    if (size_t(start) > s.size()) return resultText(ctx, std::string());
    resultText(ctx, s.substr(size_t(start - 1), n < 0 ? std::u32string::npos : size_t(n)));
}

void fnUcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    resultText(ctx, upperCase(textOf(argv[0])));
}

void fnLcase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    resultText(ctx, lowerCase(textOf(argv[0])));
}

void trimmed(sqlite3_context* ctx, sqlite3_value* v, bool left, bool right) {
    if (isNull(v)) return;
    std::string s = textOf(v);
    size_t b = left ? s.find_first_not_of(' ') : 0;
    if (b == std::string::npos) return resultText(ctx, std::string());
    size_t e = right ? s.find_last_not_of(' ') + 1 : s.size();
    resultText(ctx, s.substr(b, e - b));
}

void fnTrim(sqlite3_context* ctx, int, sqlite3_value** argv) { trimmed(ctx, argv[0], true, true); }
void fnLtrim(sqlite3_context* ctx, int, sqlite3_value** argv) { trimmed(ctx, argv[0], true, false); }
void fnRtrim(sqlite3_context* ctx, int, sqlite3_value** argv) { trimmed(ctx, argv[0], false, true); }

// InStr([start,] text, sought [, compare]): the character position, 0 when
// absent; case ignored unless compare is 0 (binary).
void fnInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    long long start = 1;
    int at = 0;
    if (argc >= 3) {
        if (!needCount(ctx, argv[0], "InStr", start)) return;
        if (start < 1) return invalidCall(ctx, "InStr");
        at = 1;
    }
    bool exact = false;
    if (argc == 4) {
        double compare = 1;
        if (!isNull(argv[3]) && !needNumber(ctx, argv[3], "InStr", compare)) return;
        exact = compare == 0;
    }
    if (isNull(argv[at]) || isNull(argv[at + 1])) return;
    std::u32string hay = characters(textOf(argv[at])), needle = characters(textOf(argv[at + 1]));
    if (needle.empty()) return sqlite3_result_int64(ctx, start);
    if (size_t(start) > hay.size()) return sqlite3_result_int(ctx, 0);
    size_t found = findText(hay, needle, size_t(start - 1), exact);
    sqlite3_result_int64(ctx, found == std::u32string::npos ? 0 : sqlite3_int64(found + 1));
}

// InStrRev(text, sought [, start [, compare]]): the last position of sought
// that ends at or before start (-1, the default: the end of the text).
void fnInstrrev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    double start = -1;
    if (argc >= 3 && !needNumber(ctx, argv[2], "InStrRev", start)) return;
    start = roundEven(start);
    if (start == 0 || start < -1) return invalidCall(ctx, "InStrRev");
    bool exact = false;
    if (argc == 4) {
        double compare = 1;
        if (!isNull(argv[3]) && !needNumber(ctx, argv[3], "InStrRev", compare)) return;
        exact = compare == 0;
    }
    if (isNull(argv[0]) || isNull(argv[1])) return;
    std::u32string hay = characters(textOf(argv[0])), needle = characters(textOf(argv[1]));
    size_t end = start == -1 ? hay.size() : size_t(start);
    if (end > hay.size()) return sqlite3_result_int(ctx, 0);
    if (needle.empty()) return sqlite3_result_int64(ctx, sqlite3_int64(end));
    size_t last = std::u32string::npos;
    for (size_t at = 0; (at = findText(hay, needle, at, exact)) != std::u32string::npos && at + needle.size() <= end; ++at)
        last = at;
    sqlite3_result_int64(ctx, last == std::u32string::npos ? 0 : sqlite3_int64(last + 1));
}

void fnStrreverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in StrReverse.");
    std::u32string s = characters(textOf(argv[0]));
    resultText(ctx, std::u32string(s.rbegin(), s.rend()));
}

// StrConv(text, 1 | 2 | 3): upper case, lower case, or each word's first
// letter upper and the rest lower.
void fnStrconv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double how = 0;
    if (!needNumber(ctx, argv[1], "StrConv", how)) return;
    if (isNull(argv[0])) return;
    std::u32string s = characters(textOf(argv[0]));
    if (how != 1 && how != 2 && how != 3) return invalidCall(ctx, "StrConv");
    bool word_start = true;
    for (char32_t& c : s) {
        bool upper = how == 1 || (how == 3 && word_start);
        c = upper ? upperCase(c) : lowerCase(c);
        word_start = c == U' ' || c == U'\t' || c == U'\n' || c == U'\r';
    }
    resultText(ctx, s);
}

void fnReplace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    std::u32string s = characters(textOf(argv[0]));
    std::u32string find = characters(textOf(argv[1])), with = characters(textOf(argv[2]));
    if (find.empty()) return resultText(ctx, s);
    std::vector<size_t> found;
    for (size_t at = 0; (at = findText(s, find, at, false)) != std::u32string::npos; at += find.size()) found.push_back(at);
    if (!textFits(ctx, s.size() + found.size() * with.size() - found.size() * find.size())) return;
    std::u32string out;
    size_t from = 0;
    for (size_t at : found) {
        out += s.substr(from, at - from) + with;
        from = at + find.size();
    }
    out += s.substr(from);
    resultText(ctx, out);
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = 0;
    if (!needCount(ctx, argv[0], "Space", n) || !textFits(ctx, size_t(n))) return;
    resultText(ctx, std::string(size_t(n), ' '));
}

void fnString(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long n = 0;
    if (!needCount(ctx, argv[0], "String", n) || isNull(argv[1]) || !textFits(ctx, size_t(n))) return;
    char32_t c = 0;
    if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        std::u32string s = characters(rawText(argv[1]));
        if (s.empty()) return invalidCall(ctx, "String");
        c = s[0];
    } else {
        double code = 0;
        if (!needNumber(ctx, argv[1], "String", code)) return;
        if (std::fabs(code) > 65535) return invalidCall(ctx, "String");
        c = char32_t(int(roundEven(code)) & 0xFFFF);
    }
    std::string one = utf8(std::u32string(1, c)), out;
    out.reserve(one.size() * size_t(n));
    for (long long i = 0; i < n; ++i) out += one;
    resultText(ctx, out);
}

// StrComp(a, b [, compare]): -1, 0 or 1; case ignored unless compare is 0.
void fnStrcomp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return;
    double compare = 1;
    if (argc == 3 && !isNull(argv[2]) && !needNumber(ctx, argv[2], "StrComp", compare)) return;
    std::string a = textOf(argv[0]), b = textOf(argv[1]);
    int r = compare == 0 ? a.compare(b) : compareFolded(a.data(), a.size(), b.data(), b.size());
    sqlite3_result_int(ctx, r < 0 ? -1 : r > 0 ? 1 : 0);
}

void fnAsc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    std::u32string s = characters(textOf(argv[0]));
    if (s.empty()) return invalidCall(ctx, "Asc");
    sqlite3_result_int64(ctx, sqlite3_int64(s[0]));
}

void fnChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double code = 0;
    if (isNull(argv[0])) return;
    if (!needNumber(ctx, argv[0], "Chr", code)) return;
    code = roundEven(code);
    if (code < 0 || code > 65535) return invalidCall(ctx, "Chr");
    resultText(ctx, std::u32string(1, char32_t(code)));
}

void fnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return;
    resultBool(ctx, likeMatch(characters(textOf(argv[0])), characters(textOf(argv[1]))));
}

// "&" over a run of operands: Null joins as the empty text; only Nulls
// make Null.
void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    bool any = false;
    for (int i = 0; i < argc; ++i) {
        any = any || !isNull(argv[i]);
        out += textOf(argv[i]);
        if (!textFits(ctx, out.size())) return;
    }
    if (any) resultText(ctx, out);
}

// ------------------------------------------------------------ arithmetic

// "+" over a run of terms, left to right: two texts join; otherwise numbers
// (texts that are numbers count) add, whole numbers staying whole while
// they fit. A Null makes the rest Null.
void fnAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    // The sum so far: a text while texts are joined, else a number.
    bool text = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
    std::string joined = text ? rawText(argv[0]) : std::string();
    sqlite3_int64 whole = 0;
    bool is_whole = integerOf(argv[0], whole);
    double real = double(whole);
    if (!text && !is_whole && !needNumber(ctx, argv[0], "+", real)) return;
    for (int i = 1; i < argc; ++i) {
        sqlite3_value* term = argv[i];
        if (isNull(term)) return;
        if (text && sqlite3_value_type(term) == SQLITE_TEXT) {
            joined += rawText(term);
            if (!textFits(ctx, joined.size())) return;
            continue;
        }
        if (text && !parseNumber(joined, real)) return mismatch(ctx, "+");
        text = false;
        sqlite3_int64 n = 0, sum = 0;
        if (is_whole && integerOf(term, n) && !__builtin_add_overflow(whole, n, &sum)) {
            whole = sum;
            real = double(sum);
            continue;
        }
        double y = 0;
        if (!needNumber(ctx, term, "+", y)) return;
        is_whole = false;
        real += y;
        if (!std::isfinite(real)) return overflow(ctx, "+");
    }
    if (text) return resultText(ctx, joined);
    if (is_whole) return sqlite3_result_int64(ctx, whole);
    sqlite3_result_double(ctx, real);
}

// The two operands of Mod and \, rounded to whole numbers as Access does.
bool wholeOperands(sqlite3_context* ctx, sqlite3_value** argv, const char* op, sqlite3_int64& a, sqlite3_int64& b) {
    double x = 0, y = 0;
    if (!needNumber(ctx, argv[0], op, x) || !needNumber(ctx, argv[1], op, y)) return false;
    x = roundEven(x);
    y = roundEven(y);
    if (std::fabs(x) > 9.2e18 || std::fabs(y) > 9.2e18) {
        overflow(ctx, op);
        return false;
    }
    a = sqlite3_int64(x);
    b = sqlite3_int64(y);
    if (b == 0) {
        raise(ctx, kDivisionByZero, "Division by zero.");
        return false;
    }
    return true;
}

void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_int64 a = 0, b = 0;
    if (anyNull(2, argv) || !wholeOperands(ctx, argv, "Mod", a, b)) return;
    sqlite3_result_int64(ctx, b == -1 ? 0 : a % b);
}

void fnIntdiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_int64 a = 0, b = 0;
    if (anyNull(2, argv) || !wholeOperands(ctx, argv, "\\", a, b)) return;
    if (b == -1) return sqlite3_result_double(ctx, -double(a));
    sqlite3_result_int64(ctx, a / b);
}

void fnDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return;
    double x = 0, y = 0;
    if (!needNumber(ctx, argv[0], "/", x) || !needNumber(ctx, argv[1], "/", y)) return;
    if (y == 0) return raise(ctx, kDivisionByZero, "Division by zero.");
    resultNumber(ctx, x / y, "/");
}

void fnPower(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return;
    double x = 0, y = 0;
    if (!needNumber(ctx, argv[0], "^", x) || !needNumber(ctx, argv[1], "^", y)) return;
    double r = std::pow(x, y);
    if (std::isnan(r)) return invalidCall(ctx, "^");
    resultNumber(ctx, r, "^");
}

// ------------------------------------------------------------ numbers

// Int floors, Fix truncates; whole numbers come back unchanged.
void rounded(sqlite3_context* ctx, sqlite3_value* v, double (*how)(double), const char* function) {
    if (isNull(v)) return;
    sqlite3_int64 n = 0;
    if (integerOf(v, n)) return sqlite3_result_int64(ctx, n);
    double x = 0;
    if (!needNumber(ctx, v, function, x)) return;
    sqlite3_result_double(ctx, how(x));
}

double floorOf(double x) { return std::floor(x); }
double truncOf(double x) { return std::trunc(x); }

void fnInt(sqlite3_context* ctx, int, sqlite3_value** argv) { rounded(ctx, argv[0], floorOf, "Int"); }
void fnFix(sqlite3_context* ctx, int, sqlite3_value** argv) { rounded(ctx, argv[0], truncOf, "Fix"); }

void fnAbs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    sqlite3_int64 n = 0;
    if (integerOf(argv[0], n) && n != INT64_MIN) return sqlite3_result_int64(ctx, n < 0 ? -n : n);
    double x = 0;
    if (!needNumber(ctx, argv[0], "Abs", x)) return;
    sqlite3_result_double(ctx, std::fabs(x));
}

void fnSgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double x = 0;
    if (!needNumber(ctx, argv[0], "Sgn", x)) return;
    sqlite3_result_int(ctx, x > 0 ? 1 : x < 0 ? -1 : 0);
}

// Round(x [, places]): half to even at the given decimal place.
void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    long long places = 0;
    if (argc == 2 && !isNull(argv[1]) && !needCount(ctx, argv[1], "Round", places)) return;
    sqlite3_int64 n = 0;
    if (integerOf(argv[0], n)) return sqlite3_result_int64(ctx, n);
    double x = 0;
    if (!needNumber(ctx, argv[0], "Round", x)) return;
    if (places > 15) return sqlite3_result_double(ctx, x);
    double scale = std::pow(10.0, double(places));
    double scaled = x * scale;
    // 2.675 * 100 is 267.49999999999997: decide the tie on 15 digits.
    char buf[40];
    if (!std::isfinite(scaled)) return sqlite3_result_double(ctx, x);  // no decimals that far down
    std::snprintf(buf, sizeof buf, "%.15g", scaled);
    scaled = std::strtod(buf, nullptr);
    sqlite3_result_double(ctx, roundEven(scaled) / scale);
}

void fnSqr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double x = 0;
    if (!needNumber(ctx, argv[0], "Sqr", x)) return;
    if (x < 0) return invalidCall(ctx, "Sqr");
    sqlite3_result_double(ctx, std::sqrt(x));
}

// Val: the number a text begins with (blanks skipped), 0 when none.
void fnVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
    std::string s;
    for (char c : rawText(argv[0]))
        if (c != ' ' && c != '\t') s += c;
    // &H hexadecimal, &O (or & alone) octal: 16-bit when four (or six)
    // digits or fewer, else 32-bit, as VBA types them.
    if (s.size() >= 1 && s[0] == '&') {
        bool hex = s.size() > 1 && (s[1] == 'h' || s[1] == 'H');
        size_t i = hex || (s.size() > 1 && (s[1] == 'o' || s[1] == 'O')) ? 2 : 1;
        uint64_t v = 0;
        size_t digits = 0;
        for (; i < s.size() && digits < 11; ++i, ++digits) {
            char c = char(std::tolower(static_cast<unsigned char>(s[i])));
            int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0 || (!hex && d > 7)) break;
            v = v * (hex ? 16 : 8) + uint64_t(d);
        }
        if (v <= 0xFFFF) return sqlite3_result_int(ctx, int16_t(uint16_t(v)));
        return sqlite3_result_int64(ctx, int32_t(uint32_t(v)));
    }
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    }
    if (i == digits || (i == digits + 1 && s[digits] == '.')) return sqlite3_result_int(ctx, 0);
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
            while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
            i = k;
        }
    }
    resultNumber(ctx, std::strtod(s.substr(0, i).c_str(), nullptr), "Val");
}

void fnCstr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CStr.");
    resultText(ctx, textOf(argv[0]));
}

// CLng and CInt: half to even, refused outside the kind's range.
void toWhole(sqlite3_context* ctx, sqlite3_value* v, double low, double high, const char* function) {
    if (isNull(v)) return raise(ctx, kInvalidNull, std::string("Invalid use of Null in ") + function + ".");
    double x = 0;
    if (!needNumber(ctx, v, function, x)) return;
    x = roundEven(x);
    if (x < low || x > high) return overflow(ctx, function);
    sqlite3_result_int64(ctx, sqlite3_int64(x));
}

void fnClng(sqlite3_context* ctx, int, sqlite3_value** argv) { toWhole(ctx, argv[0], -2147483648.0, 2147483647.0, "CLng"); }
void fnCint(sqlite3_context* ctx, int, sqlite3_value** argv) { toWhole(ctx, argv[0], -32768.0, 32767.0, "CInt"); }

void fnCbyte(sqlite3_context* ctx, int, sqlite3_value** argv) { toWhole(ctx, argv[0], 0.0, 255.0, "CByte"); }

// CDec: a Decimal, as far as a Double carries one; refused past Decimal's range.
void fnCdec(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CDec.");
    double x = 0;
    if (!needNumber(ctx, argv[0], "CDec", x)) return;
    if (std::fabs(x) >= 7.9228162514264337593543950336e28) return raise(ctx, kOverflow, "Overflow in CDec.");
    sqlite3_result_double(ctx, x);
}

void fnCsng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CSng.");
    double x = 0;
    if (!needNumber(ctx, argv[0], "CSng", x)) return;
    if (std::fabs(x) > 3.402823466e38) return raise(ctx, kOverflow, "Overflow in CSng.");
    sqlite3_result_double(ctx, singleValue(x));
}

// Hex and Oct: a whole number in base 16 or 8, negative ones as 32-bit
// two's complement.
void inBase(sqlite3_context* ctx, sqlite3_value* v, int base, const char* function) {
    if (isNull(v)) return;
    double x = 0;
    if (!needNumber(ctx, v, function, x)) return;
    x = roundEven(x);
    if (x < -2147483648.0 || x > 2147483647.0) return raise(ctx, kOverflow, std::string("Overflow in ") + function + ".");
    uint32_t n = uint32_t(int32_t(x));
    std::string out;
    do {
        out.insert(out.begin(), "0123456789ABCDEF"[n % unsigned(base)]);
        n /= unsigned(base);
    } while (n);
    resultText(ctx, out);
}

void fnHex(sqlite3_context* ctx, int, sqlite3_value** argv) { inBase(ctx, argv[0], 16, "Hex"); }
void fnOct(sqlite3_context* ctx, int, sqlite3_value** argv) { inBase(ctx, argv[0], 8, "Oct"); }

// Str: a number's text with a blank where a plus sign would go.
void fnStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double x = 0;
    if (!needNumber(ctx, argv[0], "Str", x)) return;
    std::string t = textOf(argv[0]);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) t = toText(Value(x), '.');
    resultText(ctx, x < 0 ? t : " " + t);
}

void fnCvar(sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }

// A field in a query is never Empty, only Null or a value.
void fnIsempty(sqlite3_context* ctx, int, sqlite3_value**) { resultBool(ctx, false); }

// ------------------------------------------------------------ mathematics

template <double (*F)(double)>
void mathematical(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double x = 0;
    if (!needNumber(ctx, argv[0], "a mathematical function", x)) return;
    double r = F(x);
    if (!std::isfinite(r)) return raise(ctx, kOverflow, "Overflow in a mathematical function.");
    sqlite3_result_double(ctx, r);
}

double atnOf(double x) { return std::atan(x); }
double cosOf(double x) { return std::cos(x); }
double sinOf(double x) { return std::sin(x); }
double tanOf(double x) { return std::tan(x); }
double expOf(double x) { return std::exp(x); }

void fnLog(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double x = 0;
    if (!needNumber(ctx, argv[0], "Log", x)) return;
    if (x <= 0) return invalidCall(ctx, "Log");
    sqlite3_result_double(ctx, std::log(x));
}

// Rnd([n]): the next number of [0, 1); 0 repeats the last, a negative
// number starts the same sequence again each time.
void fnRnd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    static std::mt19937 random(std::random_device{}());
    static double last = 0;
    double n = 1;
    if (argc == 1 && !isNull(argv[0]) && !needNumber(ctx, argv[0], "Rnd", n)) return;
    if (n < 0) random.seed(uint32_t(int64_t(n * 1000003.0)));
    if (n != 0) last = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    sqlite3_result_double(ctx, singleValue(last));
}

void fnCdbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CDbl.");
    double x = 0;
    if (!needNumber(ctx, argv[0], "CDbl", x)) return;
    sqlite3_result_double(ctx, x);
}

void fnCcur(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CCur.");
    double x = 0;
    if (!needNumber(ctx, argv[0], "CCur", x)) return;
    if (std::fabs(x) >= 922337203685477.5808) return overflow(ctx, "CCur");
    sqlite3_result_double(ctx, roundEven(x * 10000.0) / 10000.0);
}

void fnCbool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CBool.");
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        std::string t = lowerCase(rawText(argv[0]));
        if (t == "true" || t == "yes" || t == "on") return resultBool(ctx, true);
        if (t == "false" || t == "no" || t == "off") return resultBool(ctx, false);
    }
    double x = 0;
    if (!needNumber(ctx, argv[0], "CBool", x)) return;
    resultBool(ctx, x != 0);
}

void fnCdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in CDate.");
    double d = 0;
    if (!needDate(ctx, argv[0], "CDate", d)) return;
    sqlite3_result_double(ctx, d);
}

void fnIsnull(sqlite3_context* ctx, int, sqlite3_value** argv) { resultBool(ctx, isNull(argv[0])); }

void fnIsnumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double x = 0;
    resultBool(ctx, !isNull(argv[0]) && numberOf(argv[0], x));
}

void fnIsdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double d = 0;
    resultBool(ctx, sqlite3_value_type(argv[0]) == SQLITE_TEXT && parseDateText(rawText(argv[0]), d));
}

// Format(value [, format]); the translator adds a third argument, 1, when
// it knows the value is a date.
void fnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    std::string format = argc >= 2 && !isNull(argv[1]) ? textOf(argv[1]) : "";
    bool known_date = argc >= 3 && sqlite3_value_int(argv[2]) != 0;
    bool date_format = isDateFormat(format);
    int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_BLOB) return mismatch(ctx, "Format");
    if (type == SQLITE_TEXT) {
        std::string text = rawText(argv[0]);
        double v = 0;
        if (format.empty()) return resultText(ctx, text);
        if (date_format && parseDateText(text, v)) return resultText(ctx, formatDate(v, format));
        if (!date_format && format.find_first_of("@&<>") == std::string::npos && parseNumber(text, v))
            return resultText(ctx, formatNumber(v, format));
        return resultText(ctx, formatText(text, format));
    }
    double v = 0;
    if (date_format || (known_date && format.empty())) {
        if (!needDate(ctx, argv[0], "Format", v)) return;
        return resultText(ctx, formatDate(v, format));
    }
    if (!needNumber(ctx, argv[0], "Format", v)) return;
    if (format.find_first_of("@&<>") != std::string::npos) return resultText(ctx, formatText(textOf(argv[0]), format));
    if (type == SQLITE_INTEGER && format.empty()) return resultText(ctx, textOf(argv[0]));
    resultText(ctx, formatNumber(v, format));
}

// FormatNumber, FormatCurrency and FormatPercent (value [, digits after
// the point [, leading digit [, parentheses for negatives [, grouping]]]]):
// -1 is True, 0 False, -2 (or left out) the English (United States)
// default, which for money puts negatives in parentheses.
void formatted(sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* function, const char* prefix,
               const char* suffix, double scale) {
    if (isNull(argv[0])) return;
    double v = 0;
    if (!needNumber(ctx, argv[0], function, v)) return;
    double option[4] = {-1, -2, -2, -2};
    for (int i = 1; i < argc && i < 5; ++i)
        if (!isNull(argv[i]) && !needNumber(ctx, argv[i], function, option[i - 1])) return;
    int digits = option[0] < 0 ? 2 : int(option[0]);
    if (digits > 99) return invalidCall(ctx, function);
    bool leading = option[1] != 0, parens = option[2] == -2 ? *prefix != 0 : option[2] != 0, grouped = option[3] != 0;
    std::string body = std::string(prefix) + (grouped ? "#,##" : "#") + (leading ? "0" : "#") +
                       (digits ? "." + std::string(size_t(digits), '0') : "") + suffix;
    resultText(ctx, formatNumber(v * scale, body + ";" + (parens ? "(" + body + ")" : "-" + body)));
}

void fnFormatnumber(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    formatted(ctx, argc, argv, "FormatNumber", "", "", 1);
}
void fnFormatcurrency(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    formatted(ctx, argc, argv, "FormatCurrency", "$", "", 1);
}
void fnFormatpercent(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    formatted(ctx, argc, argv, "FormatPercent", "", "%", 1);  // the % format multiplies by 100
}

// FormatDateTime(date [, 0 General Date | 1 Long Date | 2 Short Date |
// 3 Long Time | 4 Short Time]).
void fnFormatdatetime(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    static const char* const kNamed[] = {"General Date", "Long Date", "Short Date", "Long Time", "Short Time"};
    if (isNull(argv[0])) return;
    double d = 0, named = 0;
    if (!needDate(ctx, argv[0], "FormatDateTime", d)) return;
    if (argc == 2 && !isNull(argv[1]) && !needNumber(ctx, argv[1], "FormatDateTime", named)) return;
    if (named < 0 || named > 4 || named != std::trunc(named)) return invalidCall(ctx, "FormatDateTime");
    resultText(ctx, formatDate(d, kNamed[int(named)]));
}

// Partition(number, start, stop, interval): the range of `interval` from
// `start` that holds `number`, as "lower:upper", each side as wide as
// `stop` has digits plus one; below start ":start-1", above stop "stop+1:".
void fnPartition(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double x[4];
    for (int i = 0; i < 4; ++i)
        if (!needNumber(ctx, argv[i], "Partition", x[i])) return;
    long long number = (long long)roundEven(x[0]), start = (long long)roundEven(x[1]),
              stop = (long long)roundEven(x[2]), interval = (long long)roundEven(x[3]);
    if (start < 0 || stop <= start || interval < 1 || std::fabs(x[2]) > 1e15) return invalidCall(ctx, "Partition");
    size_t width = std::to_string(stop).size() + 1;
    auto side = [&](std::optional<long long> n) {
        std::string s = n ? std::to_string(*n) : "";
        return std::string(width > s.size() ? width - s.size() : 0, ' ') + s;
    };
    if (number < start) return resultText(ctx, side(std::nullopt) + ":" + side(start - 1));
    if (number > stop) return resultText(ctx, side(stop + 1) + ":" + side(std::nullopt));
    long long lower = start + (number - start) / interval * interval;
    resultText(ctx, side(lower) + ":" + side(std::min(lower + interval - 1, stop)));
}

// ------------------------------------------------------------ dates

double localNow() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return jetDate(dayNumber(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday), t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec);
}

void fnNow(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, localNow()); }
void fnDate(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, std::trunc(localNow())); }

void fnTime(sqlite3_context* ctx, int, sqlite3_value**) {
    double now = localNow();
    sqlite3_result_double(ctx, now - std::trunc(now));
}

// Year, Month ... Second: a part of a date, as a whole number.
template <int CivilTime::*Part>
void datePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double d = 0;
    if (!needDate(ctx, argv[0], "a date function", d)) return;
    sqlite3_result_int(ctx, civilTime(d).*Part);
}

// Weekday(date [, first day]): 1 for the first day of the week, Sunday
// unless told otherwise (0 means the system's, Sunday here).
void fnWeekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double d = 0, first = 1;
    if (!needDate(ctx, argv[0], "Weekday", d)) return;
    if (argc == 2 && !isNull(argv[1]) && !needNumber(ctx, argv[1], "Weekday", first)) return;
    if (first < 0 || first >= 8) return invalidCall(ctx, "Weekday");
    int f = int(first);
    if (f == 0) f = 1;
    sqlite3_result_int(ctx, (weekdayOf(d) - f + 7) % 7 + 1);
}

// DateSerial(year, month, day): months and days beyond their range carry
// over; years 0 to 29 are 2000 to 2029, 30 to 99 are 1930 to 1999.
void fnDateserial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return;
    double y = 0, m = 0, d = 0;
    if (!needNumber(ctx, argv[0], "DateSerial", y) || !needNumber(ctx, argv[1], "DateSerial", m) ||
        !needNumber(ctx, argv[2], "DateSerial", d))
        return;
    if (std::fabs(m) > 1000000 || std::fabs(d) > 100000000 || y < 0 || y > 100000) return overflow(ctx, "DateSerial");
    long long year = (long long)roundEven(y), month = (long long)roundEven(m), day = (long long)roundEven(d);
    if (year >= 0 && year < 30) year += 2000;
    else if (year >= 30 && year < 100) year += 1900;
    long long total = year * 12 + (month - 1);
    long long y2 = total >= 0 ? total / 12 : -((-total + 11) / 12);
    long long m2 = total - y2 * 12 + 1;
    if (y2 < 100 || y2 > 9999) return invalidCall(ctx, "DateSerial");
    double r = double(dayNumber(int(y2), int(m2), 1) + day - 1);
    if (!inDateRange(r)) return invalidCall(ctx, "DateSerial");
    sqlite3_result_double(ctx, r);
}

void fnTimeserial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return;
    double h = 0, m = 0, s = 0;
    if (!needNumber(ctx, argv[0], "TimeSerial", h) || !needNumber(ctx, argv[1], "TimeSerial", m) ||
        !needNumber(ctx, argv[2], "TimeSerial", s))
        return;
    double seconds = roundEven(h) * 3600 + roundEven(m) * 60 + roundEven(s);
    if (!inDateRange(seconds / 86400.0)) return overflow(ctx, "TimeSerial");
    sqlite3_result_double(ctx, dateOfMoment(seconds));
}

void fnDatevalue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double d = 0;
    if (!needDate(ctx, argv[0], "DateValue", d)) return;
    sqlite3_result_double(ctx, std::trunc(d));
}

void fnTimevalue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    double d = 0;
    if (!needDate(ctx, argv[0], "TimeValue", d)) return;
    sqlite3_result_double(ctx, std::fabs(d - std::trunc(d)));
}

void fnTimer(sqlite3_context* ctx, int, sqlite3_value**) {
    double now = localNow();
    sqlite3_result_double(ctx, singleValue((now - std::trunc(now)) * 86400.0));
}

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::string named(const char* name, bool abbreviated) { return abbreviated ? std::string(name, 3) : name; }

// An optional argument: `fallback` where it is left out or Null.
bool optionalNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv, int i, const char* function,
                    double fallback, double& out) {
    out = fallback;
    return argc <= i || isNull(argv[i]) || needNumber(ctx, argv[i], function, out);
}

// The first day of the week as Weekday takes it: 1 Sunday ... 7 Saturday,
// 0 the system's (Sunday).
bool firstDayOf(sqlite3_context* ctx, int argc, sqlite3_value** argv, int i, const char* function, int& out) {
    double first = 1;
    if (!optionalNumber(ctx, argc, argv, i, function, 1, first)) return false;
    if (first == 0) first = 1;
    if (first != std::trunc(first) || first < 1 || first > 7) {
        invalidCall(ctx, function);
        return false;
    }
    out = int(first);
    return true;
}

void fnMonthname(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    double m = 0, abbreviated = 0;
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in MonthName.");
    if (!needNumber(ctx, argv[0], "MonthName", m) || !optionalNumber(ctx, argc, argv, 1, "MonthName", 0, abbreviated))
        return;
    m = roundEven(m);
    if (m < 1 || m > 12) return invalidCall(ctx, "MonthName");
    resultText(ctx, named(kMonthNames[int(m) - 1], abbreviated != 0));
}

void fnWeekdayname(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    double w = 0, abbreviated = 0;
    int first = 1;
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in WeekdayName.");
    if (!needNumber(ctx, argv[0], "WeekdayName", w) ||
        !optionalNumber(ctx, argc, argv, 1, "WeekdayName", 0, abbreviated) ||
        !firstDayOf(ctx, argc, argv, 2, "WeekdayName", first))
        return;
    w = roundEven(w);
    if (w < 1 || w > 7) return invalidCall(ctx, "WeekdayName");
    resultText(ctx, named(kDayNames[(int(w) - 1 + first - 1) % 7], abbreviated != 0));
}

// The week of the year `date` falls in: week 1 holds 1 January (first
// week 1), or is the first with four days of the year (2), or the first
// whole one (3); days before it belong to the last week of the year before.
int weekOfYear(double date, int first_day, int first_week) {
    for (int year = civilTime(date).year;; --year) {
        double jan1 = double(dayNumber(year, 1, 1));
        int offset = (weekdayOf(jan1) - first_day + 7) % 7;  // days of that week before 1 January
        double start = jan1 - offset;
        if ((first_week == 2 && offset > 3) || (first_week == 3 && offset > 0)) start += 7;
        double day = std::floor(momentOf(date) / 86400.0);
        if (day >= start || year <= 100) return int(std::floor((day - start) / 7)) + 1;
    }
}

// DatePart(interval, date [, first day of week [, first week of year]]).
void fnDatepart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int first_day = 1;
    double first_week = 1;
    if (!firstDayOf(ctx, argc, argv, 2, "DatePart", first_day) ||
        !optionalNumber(ctx, argc, argv, 3, "DatePart", 1, first_week))
        return;
    if (first_week == 0) first_week = 1;
    if (first_week != 1 && first_week != 2 && first_week != 3) return invalidCall(ctx, "DatePart");
    if (isNull(argv[0])) return raise(ctx, kInvalidNull, "Invalid use of Null in DatePart.");
    if (isNull(argv[1])) return;
    double d = 0;
    if (!needDate(ctx, argv[1], "DatePart", d)) return;
    CivilTime t = civilTime(d);
    std::string s = lowerCase(textOf(argv[0]));
    int r = 0;
    if (s == "yyyy") r = t.year;
    else if (s == "q") r = (t.month - 1) / 3 + 1;
    else if (s == "m") r = t.month;
    else if (s == "y") r = int(dayNumber(t.year, t.month, t.day) - dayNumber(t.year, 1, 1)) + 1;
    else if (s == "d") r = t.day;
    else if (s == "w") r = (weekdayOf(d) - first_day + 7) % 7 + 1;
    else if (s == "ww") r = weekOfYear(d, first_day, int(first_week));
    else if (s == "h") r = t.hour;
    else if (s == "n") r = t.minute;
    else if (s == "s") r = t.second;
    else return invalidCall(ctx, "DatePart");
    sqlite3_result_int(ctx, r);
}

// An interval of DateAdd and DateDiff, as months or as seconds.
struct Interval {
    int months = 0;
    double seconds = 0;
};

bool intervalOf(sqlite3_value* v, Interval& out) {
    std::string s = lowerCase(textOf(v));
    if (s == "yyyy") out.months = 12;
    else if (s == "q") out.months = 3;
    else if (s == "m") out.months = 1;
    else if (s == "y" || s == "d" || s == "w") out.seconds = 86400;
    else if (s == "ww") out.seconds = 7 * 86400;
    else if (s == "h") out.seconds = 3600;
    else if (s == "n") out.seconds = 60;
    else if (s == "s") out.seconds = 1;
    else return false;
    return true;
}

void fnDateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return;
    Interval interval;
    if (!intervalOf(argv[0], interval)) return invalidCall(ctx, "DateAdd");
    double n = 0, d = 0;
    if (!needNumber(ctx, argv[1], "DateAdd", n) || !needDate(ctx, argv[2], "DateAdd", d)) return;
    n = std::trunc(n);
    double r = 0;
    if (interval.months) {
        if (std::fabs(n) > 200000 || !addMonths(d, (long long)n * interval.months, r))
            return invalidCall(ctx, "DateAdd");
    } else {
        double moment = momentOf(d) + n * interval.seconds;
        if (!inDateRange(moment / 86400.0)) return invalidCall(ctx, "DateAdd");
        r = dateOfMoment(moment);
    }
    if (!inDateRange(r)) return invalidCall(ctx, "DateAdd");
    sqlite3_result_double(ctx, r);
}

// DateDiff(interval, from, to): how many interval boundaries lie between.
void fnDatediff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return;
    Interval interval;
    if (!intervalOf(argv[0], interval)) return invalidCall(ctx, "DateDiff");
    double a = 0, b = 0;
    if (!needDate(ctx, argv[1], "DateDiff", a) || !needDate(ctx, argv[2], "DateDiff", b)) return;
    std::string s = lowerCase(textOf(argv[0]));
    if (interval.months) {
        CivilTime x = civilTime(a), y = civilTime(b);
        long long ma = (long long)x.year * 12 + x.month - 1, mb = (long long)y.year * 12 + y.month - 1;
        return sqlite3_result_int64(ctx, (mb / interval.months) - (ma / interval.months));
    }
    double ma = momentOf(a), mb = momentOf(b);
    if (s == "w") return resultWhole(ctx, std::trunc((std::floor(mb / 86400) - std::floor(ma / 86400)) / 7));
    if (s == "ww") {
        // Sundays crossed: day 1 (31 December 1899) was a Sunday.
        double wa = std::floor((std::floor(ma / 86400) - 1) / 7), wb = std::floor((std::floor(mb / 86400) - 1) / 7);
        return resultWhole(ctx, wb - wa);
    }
    resultWhole(ctx, std::floor(mb / interval.seconds) - std::floor(ma / interval.seconds));
}

// ------------------------------------------------------------ aggregates

// First and Last: the value of the group's first or last row, Null too.
struct Pick {
    sqlite3_value* value;
    bool seen;
};

void pickFirstStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* p = static_cast<Pick*>(sqlite3_aggregate_context(ctx, sizeof(Pick)));
    if (!p || p->seen) return;
    p->value = sqlite3_value_dup(argv[0]);
    p->seen = true;
}

void pickLastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* p = static_cast<Pick*>(sqlite3_aggregate_context(ctx, sizeof(Pick)));
    if (!p) return;
    sqlite3_value_free(p->value);
    p->value = sqlite3_value_dup(argv[0]);
    p->seen = true;
}

void pickFinal(sqlite3_context* ctx) {
    auto* p = static_cast<Pick*>(sqlite3_aggregate_context(ctx, 0));
    if (!p || !p->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, p->value);
    sqlite3_value_free(p->value);
    p->value = nullptr;
}

// Sum of Currency values, in whole ten-thousandths as Currency holds them,
// so that no binary fraction creeps in however many are added.
struct CurrencySum {
    int64_t ten_thousandths;
    bool seen, mismatched, overflowed;
};

void currencySumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<CurrencySum*>(sqlite3_aggregate_context(ctx, sizeof(CurrencySum)));
    if (!s || s->mismatched || s->overflowed || isNull(argv[0])) return;
    double x = 0;
    if (!numberOf(argv[0], x)) {
        s->mismatched = true;
        return mismatch(ctx, "an aggregate");
    }
    double scaled = std::nearbyint(x * 10000.0);
    int64_t add = 0;
    if (!(std::fabs(scaled) < 9.2e18) || __builtin_add_overflow(s->ten_thousandths, int64_t(scaled), &add)) {
        s->overflowed = true;
        return overflow(ctx, "Sum");
    }
    s->ten_thousandths = add;
    s->seen = true;
}

void currencySumFinal(sqlite3_context* ctx) {
    auto* s = static_cast<CurrencySum*>(sqlite3_aggregate_context(ctx, 0));
    if (s && s->mismatched) return mismatch(ctx, "an aggregate");
    if (s && s->overflowed) return overflow(ctx, "Sum");
    if (!s || !s->seen) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, double(s->ten_thousandths) / 10000.0);
}

// StDev, StDevP, Var, VarP over the non-Null values (Welford's sums).
struct Spread {
    double count, mean, m2;
    bool failed;
};

void spreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
    if (!s || s->failed || isNull(argv[0])) return;
    double x = 0;
    if (!numberOf(argv[0], x)) {
        s->failed = true;
        return mismatch(ctx, "an aggregate");
    }
    s->count += 1;
    double delta = x - s->mean;
    s->mean += delta / s->count;
    s->m2 += delta * (x - s->mean);
}

template <bool Sample, bool Root>
void spreadFinal(sqlite3_context* ctx) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
    if (s && s->failed) return mismatch(ctx, "an aggregate");
    double n = s ? s->count : 0;
    if (n < (Sample ? 2 : 1)) return sqlite3_result_null(ctx);
    double var = s->m2 / (Sample ? n - 1 : n);
    sqlite3_result_double(ctx, Root ? std::sqrt(var) : var);
}

int compareText(void* order, int n1, const void* a, int n2, const void* b) {
    return compareAccessText(*static_cast<const jet::TextSortOrder*>(order), static_cast<const char*>(a), size_t(n1),
                             static_cast<const char*>(b), size_t(n2));
}

struct Scalar {
    const char* name;
    int args;  // -1: any number, the translator having checked it
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

constexpr Scalar kScalars[] = {
    {"jet_len", 1, fnLen, true},           {"jet_left", 2, fnLeft, true},
    {"jet_right", 2, fnRight, true},       {"jet_mid", -1, fnMid, true},
    {"jet_ucase", 1, fnUcase, true},       {"jet_lcase", 1, fnLcase, true},
    {"jet_trim", 1, fnTrim, true},         {"jet_ltrim", 1, fnLtrim, true},
    {"jet_rtrim", 1, fnRtrim, true},       {"jet_instr", -1, fnInstr, true},
    {"jet_replace", 3, fnReplace, true},   {"jet_space", 1, fnSpace, true},
    {"jet_string", 2, fnString, true},     {"jet_strcomp", -1, fnStrcomp, true},
    {"jet_asc", 1, fnAsc, true},           {"jet_chr", 1, fnChr, true},
    {"jet_like", 2, fnLike, true},         {"jet_concat", -1, fnConcat, true},
    {"jet_add", -1, fnAdd, true},           {"jet_mod", 2, fnMod, true},
    {"jet_intdiv", 2, fnIntdiv, true},     {"jet_divide", 2, fnDivide, true},
    {"jet_power", 2, fnPower, true},       {"jet_int", 1, fnInt, true},
    {"jet_fix", 1, fnFix, true},           {"jet_abs", 1, fnAbs, true},
    {"jet_sgn", 1, fnSgn, true},           {"jet_round", -1, fnRound, true},
    {"jet_sqr", 1, fnSqr, true},           {"jet_val", 1, fnVal, true},
    {"jet_cstr", 1, fnCstr, true},         {"jet_clng", 1, fnClng, true},
    {"jet_cint", 1, fnCint, true},         {"jet_cdbl", 1, fnCdbl, true},
    {"jet_ccur", 1, fnCcur, true},         {"jet_cbool", 1, fnCbool, true},
    {"jet_cdate", 1, fnCdate, true},       {"jet_isnull", 1, fnIsnull, true},
    {"jet_isnumeric", 1, fnIsnumeric, true}, {"jet_isdate", 1, fnIsdate, true},
    {"jet_format", -1, fnFormat, true},    {"jet_now", 0, fnNow, false},
    {"jet_date", 0, fnDate, false},        {"jet_time", 0, fnTime, false},
    {"jet_year", 1, datePart<&CivilTime::year>, true},
    {"jet_month", 1, datePart<&CivilTime::month>, true},
    {"jet_day", 1, datePart<&CivilTime::day>, true},
    {"jet_hour", 1, datePart<&CivilTime::hour>, true},
    {"jet_minute", 1, datePart<&CivilTime::minute>, true},
    {"jet_second", 1, datePart<&CivilTime::second>, true},
    {"jet_weekday", -1, fnWeekday, true},  {"jet_dateserial", 3, fnDateserial, true},
    {"jet_timeserial", 3, fnTimeserial, true}, {"jet_datevalue", 1, fnDatevalue, true},
    {"jet_dateadd", 3, fnDateadd, true},   {"jet_datediff", 3, fnDatediff, true},
    {"jet_datepart", -1, fnDatepart, true}, {"jet_timevalue", 1, fnTimevalue, true},
    {"jet_monthname", -1, fnMonthname, true}, {"jet_weekdayname", -1, fnWeekdayname, true},
    {"jet_timer", 0, fnTimer, false},      {"jet_instrrev", -1, fnInstrrev, true},
    {"jet_strreverse", 1, fnStrreverse, true}, {"jet_strconv", 2, fnStrconv, true},
    {"jet_cbyte", 1, fnCbyte, true},       {"jet_csng", 1, fnCsng, true},
    {"jet_cdec", 1, fnCdec, true},         {"jet_partition", 4, fnPartition, true},
    {"jet_formatnumber", -1, fnFormatnumber, true}, {"jet_formatcurrency", -1, fnFormatcurrency, true},
    {"jet_formatpercent", -1, fnFormatpercent, true}, {"jet_formatdatetime", -1, fnFormatdatetime, true},
    {"jet_hex", 1, fnHex, true},           {"jet_oct", 1, fnOct, true},
    {"jet_str", 1, fnStr, true},           {"jet_cvar", 1, fnCvar, true},
    {"jet_isempty", 1, fnIsempty, true},   {"jet_log", 1, fnLog, true},
    {"jet_atn", 1, mathematical<atnOf>, true}, {"jet_cos", 1, mathematical<cosOf>, true},
    {"jet_sin", 1, mathematical<sinOf>, true}, {"jet_tan", 1, mathematical<tanOf>, true},
    {"jet_exp", 1, mathematical<expOf>, true}, {"jet_rnd", -1, fnRnd, false},
};

}  // namespace

void accessLike(sqlite3_context* context, int argc, sqlite3_value** argv) { fnLike(context, argc, argv); }

void registerFunctions(sqlite3* db, const jet::TextSortOrder& text_order) {
    // A double-quoted name that names no column is an error, never a text.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_create_collation(db, kTextCollation, SQLITE_UTF8, const_cast<jet::TextSortOrder*>(&text_order), compareText);
    for (const Scalar& s : kScalars)
        sqlite3_create_function(db, s.name, s.args, SQLITE_UTF8 | SQLITE_INNOCUOUS | (s.deterministic ? SQLITE_DETERMINISTIC : 0),
                                nullptr, s.fn, nullptr, nullptr);
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    sqlite3_create_function(db, "jet_first", 1, flags, nullptr, nullptr, pickFirstStep, pickFinal);
    sqlite3_create_function(db, "jet_last", 1, flags, nullptr, nullptr, pickLastStep, pickFinal);
    sqlite3_create_function(db, "jet_sum_currency", 1, flags, nullptr, nullptr, currencySumStep, currencySumFinal);
    sqlite3_create_function(db, "jet_stdev", 1, flags, nullptr, nullptr, spreadStep, spreadFinal<true, true>);
    sqlite3_create_function(db, "jet_stdevp", 1, flags, nullptr, nullptr, spreadStep, spreadFinal<false, true>);
    sqlite3_create_function(db, "jet_var", 1, flags, nullptr, nullptr, spreadStep, spreadFinal<true, false>);
    sqlite3_create_function(db, "jet_varp", 1, flags, nullptr, nullptr, spreadStep, spreadFinal<false, false>);
}

bool functionError(const std::string& message, long& number, std::string& description) {
    if (message.size() < 4 || message[0] != '[') return false;
    size_t close = message.find("] ");
    if (close == std::string::npos || close < 2) return false;
    for (size_t i = 1; i < close; ++i)
        if (!std::isdigit(static_cast<unsigned char>(message[i]))) return false;
    number = std::stol(message.substr(1, close - 1));
    description = message.substr(close + 2);
    return true;
}

}  // namespace ado::sql
