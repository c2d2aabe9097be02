#include "text.h"

#include <iconv.h>

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

TextCodec::TextCodec(bool jet3, uint16_t code_page) : jet3_(jet3), code_page_(code_page) {
    if (jet3 && code_page != 1252 && code_page != 0) {
        std::string name = "CP" + std::to_string(code_page);
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        if (cd != iconv_t(-1)) iconv_ = cd;
    }
}

TextCodec::~TextCodec() {
    if (iconv_) iconv_close(iconv_t(iconv_));
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
                appendUtf16Unit(out, p[i], pending);
                ++i;
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
            out.reserve(out.size() + n / 2);
            for (size_t i = 0; i + 1 < n; i += 2) out.push_back(char(p[i]));
            return;
        }
        for (size_t i = 0; i + 1 < n; i += 2) appendUtf16Unit(out, uint16_t(p[i] | p[i + 1] << 8), pending);
    }
    if (pending) appendUtf8(out, 0xFFFD);
}

}  // namespace jet
