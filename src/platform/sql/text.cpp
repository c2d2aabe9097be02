// SPDX-License-Identifier: Apache-2.0
// Characters, case and case-insensitive matching of Access SQL text.
#include "sql/text.h"

#include <cctype>
#include <vector>

#include "jet/error.h"
#include "jet/text.h"
#include "jet/text_key.h"

namespace ado::sql {

std::u32string characters(const char* s, size_t n) {
    std::u32string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int more = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0xF8 || (c >= 0x80 && c < 0xC0) || i + size_t(more) >= n) {
            out += char32_t(c);
            ++i;
            continue;
        }
        char32_t cp = more == 0 ? c : more == 1 ? c & 0x1F : more == 2 ? c & 0x0F : c & 0x07;
        bool ok = true;
        for (int k = 1; k <= more; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + size_t(k)]);
            if ((t & 0xC0) != 0x80) ok = false;
            cp = cp << 6 | (t & 0x3F);
        }
        if (!ok) {
            out += char32_t(c);
            ++i;
            continue;
        }
        out += cp;
        i += size_t(more) + 1;
    }
    return out;
}

std::string utf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) jet::appendUtf8(out, uint32_t(c));
    return out;
}

char32_t upperCase(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~char32_t(1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 == 0 ? c - 1 : c;
    if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

char32_t lowerCase(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 == 1 ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::string upperCase(const std::string& text) {
    std::u32string s = characters(text);
    for (char32_t& c : s) c = upperCase(c);
    return utf8(s);
}

std::string lowerCase(const std::string& text) {
    std::u32string s = characters(text);
    for (char32_t& c : s) c = lowerCase(c);
    return utf8(s);
}

int compareFolded(const char* a, size_t an, const char* b, size_t bn) {
    // Plain ASCII, the common case, compares without decoding.
    size_t i = 0;
    for (; i < an && i < bn; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) break;
        char32_t fx = lowerCase(x), fy = lowerCase(y);
        if (fx != fy) return fx < fy ? -1 : 1;
    }
    if (i == an || i == bn) return an == bn ? 0 : i == an ? -1 : 1;
    std::u32string x = characters(a + i, an - i), y = characters(b + i, bn - i);
    for (size_t k = 0; k < x.size() && k < y.size(); ++k) {
        char32_t fx = lowerCase(x[k]), fy = lowerCase(y[k]);
        if (fx != fy) return fx < fy ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : x.size() < y.size() ? -1 : 1;
}

namespace {

// Letters, digits and blanks of ASCII sort in the General order as they do
// folded, so such texts need no keys.
bool plainAscii(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (!std::isalnum(c) && c != ' ') return false;
    }
    return true;
}

}  // namespace

int compareAccessText(jet::TextSortOrder order, const char* a, size_t an, const char* b, size_t bn) {
    if (plainAscii(a, an) && plainAscii(b, bn)) return compareFolded(a, an, b, bn);
    thread_local std::vector<uint8_t> ka, kb;
    ka.clear();
    kb.clear();
    try {
        jet::appendTextKey(ka, order, std::string(a, an), true);
        jet::appendTextKey(kb, order, std::string(b, bn), true);
    } catch (const jet::Error&) {
        return compareFolded(a, an, b, bn);
    }
    if (ka != kb) return ka < kb ? -1 : 1;
    return compareFolded(a, an, b, bn);
}

jet::TextSortOrder textOrderOf(const jet::Database& db) {
    if (db.format().jet3) return jet::TextSortOrder::General97;
    try {
        for (const jet::Column& c : db.table("MSysObjects").columns)
            if (c.type == jet::kText && jet::sameName(c.name, "Name"))
                return jet::textSortOrder(c).value_or(jet::TextSortOrder::General);
    } catch (const jet::Error&) {
    }
    return jet::TextSortOrder::General;
}

size_t findText(const std::u32string& hay, const std::u32string& needle, size_t from, bool exact) {
    if (needle.size() > hay.size()) return std::u32string::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() &&
               (exact ? hay[i + k] == needle[k] : lowerCase(hay[i + k]) == lowerCase(needle[k])))
            ++k;
        if (k == needle.size()) return i;
    }
    return std::u32string::npos;
}

namespace {

// Whether `c` is in the set that starts after "[" at `p`; `end` is left
// after the closing "]". False with end = npos when the set is not closed.
bool inSet(const std::u32string& p, size_t at, char32_t c, size_t& end) {
    size_t i = at;
    bool negate = i < p.size() && (p[i] == '!' || p[i] == '^');
    if (negate) ++i;
    bool found = false;
    char32_t fc = lowerCase(c);
    for (bool first = true; i < p.size() && (first || p[i] != ']'); first = false) {
        char32_t low = p[i];
        if (i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
            char32_t high = p[i + 2];
            if ((c >= low && c <= high) || (fc >= lowerCase(low) && fc <= lowerCase(high))) found = true;
            i += 3;
        } else {
            if (lowerCase(low) == fc) found = true;
            ++i;
        }
    }
    if (i >= p.size()) {
        end = std::u32string::npos;
        return false;
    }
    end = i + 1;
    return found != negate;
}

}  // namespace

bool likeMatch(const std::u32string& t, const std::u32string& p) {
    size_t ti = 0, pi = 0;
    size_t star_p = std::u32string::npos, star_t = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == '%') {
            star_p = ++pi;
            star_t = ti;
            continue;
        }
        if (pi < p.size()) {
            bool step = false;
            size_t next = pi + 1;
            if (p[pi] == '_') {
                step = true;
            } else if (p[pi] == '[') {
                size_t end = 0;
                bool in = inSet(p, pi + 1, t[ti], end);
                if (end == std::u32string::npos) step = t[ti] == '[';  // an unclosed "[" is itself
                else step = in, next = end;
            } else {
                step = lowerCase(p[pi]) == lowerCase(t[ti]);
            }
            if (step) {
                ++ti;
                pi = next;
                continue;
            }
        }
        if (star_p == std::u32string::npos) return false;
        pi = star_p;
        ti = ++star_t;
    }
    while (pi < p.size() && p[pi] == '%') ++pi;
    return pi == p.size();
}

}  // namespace ado::sql
