// SPDX-License-Identifier: Apache-2.0
#include "text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace jet {

namespace {

// Windows-1252 0x80..0x9F; the rest of the code page equals Latin-1. The
// five bytes the code page leaves undefined map to the C1 controls of the
// same number, as Windows maps them, so that they survive a round trip.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf16Unit(std::string& out, uint16_t unit, uint16_t& pending_high) {
    if (unit >= 0xD800 && unit < 0xDC00) {
        if (pending_high) appendUtf8(out, 0xFFFD);
        pending_high = unit;
        return;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (pending_high) {
            appendUtf8(out, 0x10000 + ((uint32_t(pending_high) - 0xD800) << 10) + (unit - 0xDC00));
            pending_high = 0;
        } else {
            appendUtf8(out, 0xFFFD);
        }
        return;
    }
    if (pending_high) {
        appendUtf8(out, 0xFFFD);
        pending_high = 0;
    }
    appendUtf8(out, unit);
}

[[noreturn]] void bad() {
    throw Error(kErrConversion, "Data type conversion error: the text is not valid UTF-8.");
}

}  // namespace

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | c >> 6));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | c >> 12));
        out.push_back(char(0x80 | (c >> 6 & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | c >> 18));
        out.push_back(char(0x80 | (c >> 12 & 0x3F)));
        out.push_back(char(0x80 | (c >> 6 & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

std::string decodeUtf16(Bytes b) {
    std::string out;
    out.reserve(b.size() / 2);
    uint16_t pending = 0;
    for (size_t i = 0; i + 1 < b.size(); i += 2) appendUtf16Unit(out, b.u16(i), pending);
    if (pending) appendUtf8(out, 0xFFFD);
    return out;
}

std::u16string toUtf16(const std::string& utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        uint8_t b = p[i];
        uint32_t c;
        size_t extra;
        if (b < 0x80) c = b, extra = 0;
        else if (b >= 0xC2 && b < 0xE0) c = b & 0x1F, extra = 1;
        else if (b >= 0xE0 && b < 0xF0) c = b & 0x0F, extra = 2;
        else if (b >= 0xF0 && b < 0xF5) c = b & 0x07, extra = 3;
        else bad();
        if (i + extra >= n && extra > 0) bad();
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) bad();
            c = c << 6 | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not
        // characters; storing them would make text no reader agrees on.
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[extra] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) bad();
        if (c >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
        i += extra + 1;
    }
    return out;
}

TextCodec::TextCodec(bool jet3, uint16_t code_page) : jet3_(jet3), code_page_(code_page) {
    if (jet3 && code_page != 1252 && code_page != 0) {
        std::string name = "CP" + std::to_string(code_page);
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        if (cd != iconv_t(-1)) iconv_ = cd;
        iconv_t back = iconv_open(name.c_str(), "UTF-8");
        if (back != iconv_t(-1)) encoder_ = back;
    }
}

TextCodec::~TextCodec() {
    if (iconv_) iconv_close(iconv_t(iconv_));
    if (encoder_) iconv_close(iconv_t(encoder_));
}

void TextCodec::decodeCodePage(Bytes b, std::string& out) const {
    if (iconv_) {
        std::string buf(b.size() * 4 + 4, '\0');
        char* in = const_cast<char*>(reinterpret_cast<const char*>(b.data()));
        size_t in_left = b.size();
        char* o = buf.data();
        size_t o_left = buf.size();
        iconv(iconv_t(iconv_), nullptr, nullptr, nullptr, nullptr);
        while (in_left > 0) {
            if (iconv(iconv_t(iconv_), &in, &in_left, &o, &o_left) == size_t(-1)) {
                if (o_left < 3) break;
                // A byte the code page does not define: show it as U+FFFD.
                *o++ = char(0xEF), *o++ = char(0xBF), *o++ = char(0xBD);
                o_left -= 3;
                ++in;
                --in_left;
            }
        }
        out.append(buf.data(), size_t(o - buf.data()));
        return;
    }
    for (size_t i = 0; i < b.size(); ++i) {
        uint8_t c = b.data()[i];
        if (c < 0x80) out.push_back(char(c));
        else appendUtf8(out, c < 0xA0 ? kCp1252High[c - 0x80] : c);
    }
}

void TextCodec::decode(Bytes b, std::string& out) const {
    if (jet3_) return decodeCodePage(b, out);
    const uint8_t* p = b.data();
    size_t n = b.size();
    uint16_t pending = 0;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                // Runs of ASCII go over whole; only other bytes need encoding.
                size_t j = i;
                while (j < n && p[j] != 0 && p[j] < 0x80) ++j;
                if (j > i && !pending) {
                    out.append(reinterpret_cast<const char*>(p + i), j - i);
                    i = j;
                } else {
                    appendUtf16Unit(out, p[i], pending);
                    ++i;
                }
            } else {
                if (i + 1 >= n) break;
                appendUtf16Unit(out, uint16_t(p[i] | p[i + 1] << 8), pending);
                i += 2;
            }
        }
    } else {
        bool ascii = true;
        for (size_t i = 1; i < n; i += 2) ascii &= p[i] == 0 && p[i - 1] < 0x80;
        if (ascii) {
            // The common case, kept fast: plain ASCII needs no conversion.
            size_t at = out.size();
            out.resize(at + n / 2);
            for (size_t i = 0; i + 1 < n; i += 2) out[at + i / 2] = char(p[i]);
            return;
        }
        for (size_t i = 0; i + 1 < n; i += 2) appendUtf16Unit(out, uint16_t(p[i] | p[i + 1] << 8), pending);
    }
    if (pending) appendUtf8(out, 0xFFFD);
}

namespace {

[[noreturn]] void notInCodePage(uint32_t c, uint16_t code_page) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", unsigned(c));
    throw Error(kErrConversion, std::string("Data type conversion error: the character ") + buf +
                                    " has no place in the database's code page " + std::to_string(code_page) + ".");
}

// Byte of Windows-1252 for `c`, or -1.
int cp1252Byte(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
    const uint16_t* end = kCp1252High + 32;
    const uint16_t* hit = std::find(kCp1252High, end, uint16_t(c));
    return hit == end || c > 0xFFFF ? -1 : int(0x80 + (hit - kCp1252High));
}

}  // namespace

std::vector<uint8_t> TextCodec::encodeCodePage(const std::string& utf8) const {
    std::u16string units = toUtf16(utf8);  // validates before iconv sees it
    std::vector<uint8_t> out;
    if (code_page_ != 1252 && code_page_ != 0) {
        if (!encoder_)
            throw Error(kErrUnsupported, "The database's code page " + std::to_string(code_page_) +
                                             " cannot be written on this system.");
        out.resize(utf8.size() * 2 + 4);
        char* in = const_cast<char*>(utf8.data());
        size_t in_left = utf8.size();
        char* o = reinterpret_cast<char*>(out.data());
        size_t o_left = out.size();
        iconv(iconv_t(encoder_), nullptr, nullptr, nullptr, nullptr);
        if (iconv(iconv_t(encoder_), &in, &in_left, &o, &o_left) == size_t(-1) ||
            iconv(iconv_t(encoder_), nullptr, nullptr, &o, &o_left) == size_t(-1)) {
            std::u16string rest = toUtf16(std::string(in, in_left));
            notInCodePage(rest.empty() ? 0xFFFD : rest[0], code_page_);
        }
        out.resize(out.size() - o_left);
        return out;
    }
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
        int b = cp1252Byte(c);
        if (b < 0) notInCodePage(c, code_page_);
        out.push_back(uint8_t(b));
    }
    return out;
}

std::vector<uint8_t> TextCodec::encode(const std::string& utf8, bool compress) const {
    if (jet3_) return encodeCodePage(utf8);
    std::u16string u = toUtf16(utf8);
    size_t n = u.size();
    bool must_compress = n > 0 && u[0] == 0xFEFF;

    // Fewest bytes over every choice of mode per character: cost[m] is the
    // size so far when ending in mode m (0 one-byte, 1 two-byte); from[i][m]
    // is the mode character i - 1 was in on that cheapest path.
    constexpr size_t kNever = SIZE_MAX / 4;
    size_t best = kNever;
    std::vector<uint8_t> from;
    if (compress || must_compress) {
        size_t cost[2] = {0, 1};  // starts in one-byte mode; a switch is one byte
        from.resize(2 * n);
        for (size_t i = 0; i < n; ++i) {
            // Readers take every 00 byte for a switch, so neither mode may
            // store one: a two-byte character needs both bytes set.
            bool one = u[i] >= 1 && u[i] <= 0xFF;
            bool two = (u[i] & 0xFF) != 0 && (u[i] >> 8) != 0;
            size_t stay0 = cost[0], switch0 = cost[1] + 1;
            size_t stay1 = cost[1], switch1 = cost[0] + 1;
            size_t next0 = one ? std::min(stay0, switch0) + 1 : kNever;
            size_t next1 = two ? std::min(stay1, switch1) + 2 : kNever;
            from[2 * i] = stay0 <= switch0 ? 0 : 1;
            from[2 * i + 1] = stay1 <= switch1 ? 1 : 0;
            cost[0] = std::min(next0, kNever);
            cost[1] = std::min(next1, kNever);
        }
        best = std::min(cost[0], cost[1]);
        if (best < kNever && (must_compress || best + 2 < 2 * n)) {
            std::vector<uint8_t> modes(n);
            size_t m = cost[0] <= cost[1] ? 0 : 1;
            for (size_t i = n; i-- > 0;) {
                modes[i] = uint8_t(m);
                m = from[2 * i + m];
            }
            std::vector<uint8_t> out{0xFF, 0xFE};
            out.reserve(best + 2);
            size_t mode = 0;
            for (size_t i = 0; i < n; ++i) {
                if (modes[i] != mode) out.push_back(0), mode = modes[i];
                out.push_back(uint8_t(u[i]));
                if (mode == 1) out.push_back(uint8_t(u[i] >> 8));
            }
            return out;
        }
    }
    if (must_compress)
        throw Error(kErrConversion, "Data type conversion error: this text cannot be stored in a form that reads back "
                                    "the same (it begins with U+FEFF and holds a character ending in a zero byte).");
    std::vector<uint8_t> out;
    out.reserve(2 * n);
    for (char16_t c : u) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
    }
    return out;
}

}  // namespace jet
