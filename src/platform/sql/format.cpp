// SPDX-License-Identifier: Apache-2.0
// The Format function's named and custom formats.
#include "sql/format.h"

#include <cmath>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ado/value_text.h"
#include "sql/datetime.h"
#include "sql/text.h"

namespace ado::sql {

namespace {

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct Named {
    const char* name;
    const char* custom;
};

// The named formats as the custom formats they stand for.
constexpr Named kNamedNumbers[] = {
    {"currency", "$#,##0.00;($#,##0.00)"}, {"fixed", "0.00"},     {"standard", "#,##0.00"},
    {"percent", "0.00%"},                  {"scientific", "0.00E+00"},
};
constexpr Named kNamedDates[] = {
    {"long date", "dddd, mmmm d, yyyy"}, {"medium date", "dd-mmm-yy"}, {"short date", "m/d/yyyy"},
    {"long time", "h:nn:ss AM/PM"},      {"medium time", "hh:nn AM/PM"}, {"short time", "hh:nn"},
};

std::string folded(const std::string& s) { return lowerCase(s); }

const char* named(const Named* table, size_t n, const std::string& format) {
    std::string f = folded(format);
    for (size_t i = 0; i < n; ++i)
        if (f == table[i].name) return table[i].custom;
    return nullptr;
}

// The format's sections, split at ";" outside quotes and escapes.
std::vector<std::string> sections(const std::string& f) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < f.size(); ++i) {
        char c = f[i];
        if (c == '"') {
            size_t e = f.find('"', i + 1);
            if (e == std::string::npos) e = f.size() - 1;
            out.back() += f.substr(i, e + 1 - i);
            i = e;
        } else if (c == '\\' && i + 1 < f.size()) {
            out.back() += f.substr(i, 2);
            ++i;
        } else if (c == ';') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// ---------------------------------------------------------------- numbers

// The decimal digits of |v| rounded half away from zero to `decimals`
// places, from its 15 significant digits (so 1.005 is 1.005, not
// 1.00499...).
void decimalDigits(double v, int decimals, std::string& whole, std::string& fraction) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    std::string mantissa = std::string(1, buf[0]) + std::string(buf + 2, 14);
    int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    // digits[k] has the place value 10^(exponent - k)
    int keep = exponent + 1 + decimals;  // digits up to the last decimal kept
    std::string digits = mantissa;
    if (keep < 0) {
        digits.clear();
        keep = 0;
    } else if (keep < int(digits.size())) {
        bool up = digits[size_t(keep)] >= '5';
        digits.resize(size_t(keep));
        for (int k = keep - 1; up && k >= 0; --k) {
            if (digits[size_t(k)] == '9') {
                digits[size_t(k)] = '0';
            } else {
                ++digits[size_t(k)];
                up = false;
            }
        }
        if (up) {
            digits.insert(digits.begin(), '1');
            ++exponent;
            ++keep;
        }
    }
    digits.resize(size_t(std::max(keep, 0)), '0');
    int whole_count = exponent + 1;
    if (whole_count <= 0) {
        whole.clear();
        fraction = std::string(size_t(-whole_count), '0') + digits;
    } else {
        whole = digits.substr(0, std::min(size_t(whole_count), digits.size()));
        whole.resize(size_t(whole_count), '0');
        fraction = digits.size() > size_t(whole_count) ? digits.substr(size_t(whole_count)) : "";
    }
    fraction.resize(size_t(decimals), '0');
    size_t nz = whole.find_first_not_of('0');
    whole = nz == std::string::npos ? "" : whole.substr(nz);
}

struct Pattern {
    std::string prefix, suffix;   // literal text around the number
    int min_whole = 0;            // 0 placeholders before the point
    int min_fraction = 0, max_fraction = 0;
    bool point = false, grouping = false, percent = false;
    int scale = 0;                // thousands dropped by "," before the point
    bool scientific = false, exponent_sign = false;
    int exponent_digits = 0;
    // The whole part's placeholders ('0', '#') and the literals between
    // them ("000-00-0000"), each a piece.
    std::vector<std::string> whole_pieces;
};

Pattern parse(const std::string& section) {
    Pattern p;
    bool in_number = false, after_number = false, in_fraction = false, in_exponent = false;
    int pending_commas = 0;
    auto literal = [&](const std::string& text) {
        if (!in_number) p.prefix += text;
        else if (after_number || in_exponent || in_fraction) p.suffix += text;
        else p.whole_pieces.push_back(text);
    };
    for (size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        if (c == '"') {
            size_t e = section.find('"', i + 1);
            if (e == std::string::npos) e = section.size();
            literal(section.substr(i + 1, e - i - 1));
            i = e;
        } else if (c == '\\' && i + 1 < section.size()) {
            literal(std::string(1, section[++i]));
        } else if ((c == '0' || c == '#') && !after_number && !in_exponent) {
            if (pending_commas && !in_fraction) p.grouping = true;
            pending_commas = 0;
            in_number = true;
            if (in_fraction) {
                ++p.max_fraction;
                if (c == '0') p.min_fraction = p.max_fraction;
            } else {
                if (c == '0' || p.min_whole) ++p.min_whole;
                p.whole_pieces.push_back(std::string(1, c));
            }
        } else if (c == '0' && in_exponent) {
            ++p.exponent_digits;
        } else if (c == '.' && !in_fraction && !after_number && !in_exponent) {
            p.scale += pending_commas;
            pending_commas = 0;
            p.point = in_fraction = in_number = true;
        } else if (c == ',' && in_number && !in_fraction && !after_number) {
            ++pending_commas;
        } else if ((c == 'E' || c == 'e') && in_number && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            p.scientific = in_exponent = true;
            p.exponent_sign = section[++i] == '+';
        } else if (c == '%') {
            p.percent = true;
            literal("%");
        } else {
            if (in_number && !in_exponent) {
                p.scale += pending_commas;
                pending_commas = 0;
            }
            if (in_number && !in_exponent && (c == ' ' || c == ')')) after_number = true;
            literal(std::string(1, c));
        }
    }
    p.scale += pending_commas;
    return p;
}

std::string grouped(const std::string& whole) {
    std::string out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    return out;
}

// The whole digits put into the placeholders from the right; digits left
// over go before the first placeholder.
std::string placed(const std::string& whole, const std::vector<std::string>& pieces) {
    std::string out;
    size_t left = whole.size();
    size_t first = 0;
    while (first < pieces.size() && pieces[first] != "0" && pieces[first] != "#") ++first;
    for (size_t i = pieces.size(); i-- > 0;) {
        const std::string& piece = pieces[i];
        if (piece != "0" && piece != "#") {
            // A literal among the placeholders shows only once digits reach it.
            if (left > 0 || i > first) out.insert(0, piece);
            continue;
        }
        if (i == first) {
            out.insert(0, whole.substr(0, left));
            left = 0;
        } else if (left > 0) {
            out.insert(out.begin(), whole[--left]);
        }
    }
    return out;
}

// |v| under one section; the caller adds the sign where the section has none.
std::string applyPattern(double v, const std::string& section) {
    Pattern p = parse(section);
    v = std::fabs(v);
    if (p.percent) v *= 100;
    v /= std::pow(1000.0, p.scale);
    std::string body;
    if (p.scientific) {
        int exponent = 0;
        int lead = std::max(p.min_whole, 1);
        if (v != 0) {
            exponent = int(std::floor(std::log10(v))) - (lead - 1);
            double m = v / std::pow(10.0, exponent);
            std::string w, f;
            decimalDigits(m, p.max_fraction, w, f);
            if (int(w.size()) > lead) ++exponent;  // rounding carried into a new digit
        }
        std::string w, f;
        decimalDigits(v / std::pow(10.0, exponent), p.max_fraction, w, f);
        while (int(w.size()) < p.min_whole) w = "0" + w;
        while (int(f.size()) > p.min_fraction && f.back() == '0') f.pop_back();
        body = w + (p.point ? "." + f : "");
        std::string e = std::to_string(std::abs(exponent));
        while (int(e.size()) < p.exponent_digits) e = "0" + e;
        body += "E";
        if (exponent < 0) body += "-";
        else if (p.exponent_sign) body += "+";
        body += e;
    } else {
        std::string w, f;
        decimalDigits(v, p.max_fraction, w, f);
        while (int(w.size()) < p.min_whole) w = "0" + w;
        while (int(f.size()) > p.min_fraction && f.back() == '0') f.pop_back();
        body = (p.grouping ? grouped(w) : placed(w, p.whole_pieces)) + (p.point ? "." + f : "");
    }
    return p.prefix + body + p.suffix;
}

// The general form: whole numbers as digits, others in the shortest
// digits that read back the same.
std::string general(double v) { return toText(Value(v), '.'); }

// ---------------------------------------------------------------- dates

bool dateLetter(char c) {
    switch (c) {
    case 'd': case 'D': case 'm': case 'M': case 'y': case 'Y': case 'h': case 'H': case 'n': case 'N':
    case 's': case 'S': case 'w': case 'W': case 'q': case 'Q': case 'c': case 'C': case 't': case 'T':
        return true;
    default:
        return false;
    }
}

std::string two(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

int weekday(double v) {  // 1 = Sunday
    long long days = (long long)std::floor(v);
    return int(((days % 7) + 7 + 6) % 7) + 1;  // day 0 (30 December 1899) was a Saturday
}

int dayOfYear(const CivilTime& t) { return int(dayNumber(t.year, t.month, t.day) - dayNumber(t.year, 1, 1)) + 1; }

std::string customDate(double v, const std::string& f) {
    CivilTime t = civilTime(v);
    // A 12-hour clock when the format shows AM/PM anywhere.
    std::string lower_f = folded(f);
    bool twelve = lower_f.find("am/pm") != std::string::npos || lower_f.find("a/p") != std::string::npos ||
                  lower_f.find("ampm") != std::string::npos;
    int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    std::string out;
    bool after_hour = false;  // "m" just after "h" is minutes
    for (size_t i = 0; i < f.size();) {
        char c = f[i];
        size_t run = 1;
        while (i + run < f.size() && std::tolower(static_cast<unsigned char>(f[i + run])) ==
                                         std::tolower(static_cast<unsigned char>(c)))
            ++run;
        char lc = char(std::tolower(static_cast<unsigned char>(c)));
        std::string rest = folded(f.substr(i));
        if (c == '"') {
            size_t e = f.find('"', i + 1);
            if (e == std::string::npos) e = f.size();
            out += f.substr(i + 1, e - i - 1);
            i = e + 1;
            continue;
        }
        if (c == '\\' && i + 1 < f.size()) {
            out += f[i + 1];
            i += 2;
            continue;
        }
        if (rest.compare(0, 5, "am/pm") == 0) {
            bool upper = f[i] == 'A' || f[i] == 'P';
            out += t.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 5;
            continue;
        }
        if (rest.compare(0, 3, "a/p") == 0) {
            bool upper = f[i] == 'A' || f[i] == 'P';
            out += t.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
            i += 3;
            continue;
        }
        if (rest.compare(0, 4, "ampm") == 0) {
            out += t.hour < 12 ? "AM" : "PM";
            i += 4;
            continue;
        }
        switch (lc) {
        case 'c':
            out += toText(Value(jet::DateTime{v}), '.');
            break;
        case 'd':
            if (run == 1) out += std::to_string(t.day);
            else if (run == 2) out += two(t.day);
            else if (run == 3) out += std::string(kDayNames[weekday(v) - 1]).substr(0, 3);
            else if (run == 4) out += kDayNames[weekday(v) - 1];
            else if (run == 5) out += customDate(v, "m/d/yyyy");
            else out += customDate(v, "dddd, mmmm d, yyyy");
            break;
        case 'w':
            if (run == 1) out += std::to_string(weekday(v));
            else out += std::to_string((dayOfYear(t) + weekday(dayNumber(t.year, 1, 1)) - 2) / 7 + 1);
            break;
        case 'm':
            if (after_hour && run <= 2) {
                out += run == 1 ? std::to_string(t.minute) : two(t.minute);
            } else if (run == 1) out += std::to_string(t.month);
            else if (run == 2) out += two(t.month);
            else if (run == 3) out += std::string(kMonthNames[t.month - 1]).substr(0, 3);
            else out += kMonthNames[t.month - 1];
            break;
        case 'q':
            out += std::to_string((t.month - 1) / 3 + 1);
            break;
        case 'y':
            if (run == 1) out += std::to_string(dayOfYear(t));
            else if (run < 4) out += two(t.year % 100);
            else out += std::to_string(t.year);
            break;
        case 'h': {
            int h = twelve ? hour12 : t.hour;
            out += run == 1 ? std::to_string(h) : two(h);
            break;
        }
        case 'n':
            out += run == 1 ? std::to_string(t.minute) : two(t.minute);
            break;
        case 's':
            out += run == 1 ? std::to_string(t.second) : two(t.second);
            break;
        case 't':
            if (run >= 5) {
                out += customDate(v, "h:nn:ss AM/PM");
                break;
            }
            out += f.substr(i, run);
            break;
        default:
            out += f.substr(i, run);
            break;
        }
        if (lc == 'h') after_hour = true;
        else if (dateLetter(c)) after_hour = false;
        i += run;
    }
    return out;
}

}  // namespace

bool isDateFormat(const std::string& format) {
    std::string f = folded(format);
    if (f == "general date") return true;
    if (named(kNamedDates, std::size(kNamedDates), format)) return true;
    if (named(kNamedNumbers, std::size(kNamedNumbers), format) || f == "general number" || f == "yes/no" ||
        f == "true/false" || f == "on/off")
        return false;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '"') {
            size_t e = format.find('"', i + 1);
            if (e == std::string::npos) return false;
            i = e;
        } else if (c == '\\') {
            ++i;
        } else if (dateLetter(c)) {
            return true;
        } else if ((c == 'a' || c == 'A') && folded(format.substr(i, 5)) == "am/pm") {
            return true;
        }
    }
    return false;
}

std::string formatNumber(double v, const std::string& format) {
    std::string f = folded(format);
    if (f.empty() || f == "general number") return general(v);
    if (f == "yes/no") return v != 0 ? "Yes" : "No";
    if (f == "true/false") return v != 0 ? "True" : "False";
    if (f == "on/off") return v != 0 ? "On" : "Off";
    const char* custom = named(kNamedNumbers, std::size(kNamedNumbers), format);
    std::vector<std::string> parts = sections(custom ? custom : format);
    if (v == 0 && parts.size() >= 3 && !parts[2].empty()) return applyPattern(0, parts[2]);
    if (v < 0 && parts.size() >= 2 && !parts[1].empty()) return applyPattern(v, parts[1]);
    std::string body = applyPattern(v, parts[0]);
    // A negative number under the one section shows its minus sign, unless
    // it rounds to zero digits.
    if (v < 0 && body.find_first_of("123456789") != std::string::npos) body = "-" + body;
    return body;
}

std::string formatDate(double v, const std::string& format) {
    std::string f = folded(format);
    if (f.empty() || f == "general date") return toText(Value(jet::DateTime{v}), '.');
    const char* custom = named(kNamedDates, std::size(kNamedDates), format);
    return customDate(v, custom ? custom : format);
}

std::string formatText(const std::string& text, const std::string& format) {
    std::u32string t = characters(text);
    std::u32string f = characters(format);
    std::u32string out;
    bool upper = false, lower = false;
    size_t slots = 0;
    for (char32_t c : f) {
        if (c == '@' || c == '&') ++slots;
        if (c == '>') upper = true, lower = false;
        if (c == '<') lower = true, upper = false;
    }
    if (upper || lower)
        for (char32_t& c : t) c = upper ? upperCase(c) : lowerCase(c);
    if (slots == 0) {
        // No placeholders: the text, with the format's literals after it.
        out = t;
        for (char32_t c : f)
            if (c != '<' && c != '>' && c != '!') out += c;
        return utf8(out);
    }
    // Placeholders take the text's characters from the right; characters
    // beyond them go in front.
    size_t extra = t.size() > slots ? t.size() - slots : 0;
    size_t next = 0;
    size_t empty = slots > t.size() ? slots - t.size() : 0;  // placeholders with no character
    out = t.substr(0, extra);
    next = extra;
    size_t seen = 0;
    for (char32_t c : f) {
        if (c == '<' || c == '>' || c == '!') continue;
        if (c == '@' || c == '&') {
            if (seen++ < empty) {
                if (c == '@') out += U' ';
            } else {
                out += t[next++];
            }
        } else {
            out += c;
        }
    }
    return utf8(out);
}

}  // namespace ado::sql
