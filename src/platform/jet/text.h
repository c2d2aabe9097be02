// SPDX-License-Identifier: Apache-2.0
// Text as the file stores it, turned into UTF-8.
//
// Jet 3 stores text in the database's code page (one byte a character).
// Jet 4 stores UCS-2, little-endian; a value that begins with FF FE is in
// the "compressed" form: runs of characters whose high byte is zero are kept
// as single bytes, and each 00 byte switches between one-byte and two-byte
// runs, starting with one-byte.
//
// Encoding is the inverse. A zero byte is always a switch, wherever it is
// (some readers scan for them before looking at the modes), so a one-byte
// run holds U+0001..U+00FF, a two-byte run only characters with both bytes
// set (U+0101, not U+0062), and text with a character of neither kind
// (U+0000, U+0100, ...) is stored plain; and plain text
// that itself begins with U+FEFF (stored FF FE) must be stored compressed,
// or it would read as compressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace jet {

void appendUtf8(std::string& out, uint32_t code_point);

// UTF-16LE (surrogate pairs joined; a lone surrogate becomes U+FFFD).
std::string decodeUtf16(Bytes bytes);

// UTF-8 to UTF-16 code units; throws Error(kErrConversion) on malformed
// UTF-8, so no unreadable bytes ever reach a file.
std::u16string toUtf16(const std::string& utf8);

class TextCodec {
public:
    TextCodec(bool jet3, uint16_t code_page);
    ~TextCodec();
    TextCodec(const TextCodec&) = delete;
    TextCodec& operator=(const TextCodec&) = delete;

    // A stored text value or name, appended to `out` as UTF-8.
    void decode(Bytes stored, std::string& out) const;
    std::string decode(Bytes stored) const {
        std::string s;
        decode(stored, s);
        return s;
    }

    // UTF-8 text as the file stores it. Jet 3: the code page, and a
    // character it lacks throws Error(kErrConversion). Jet 4: UCS-2LE, or
    // the compressed form when `compress` is set and that form is shorter
    // (the one with the fewest bytes of all that decode to this text).
    std::vector<uint8_t> encode(const std::string& utf8, bool compress) const;

private:
    void decodeCodePage(Bytes stored, std::string& out) const;
    std::vector<uint8_t> encodeCodePage(const std::string& utf8) const;

    bool jet3_;
    uint16_t code_page_;
    void* iconv_ = nullptr;    // iconv_t for code pages other than 1252
    void* encoder_ = nullptr;  // iconv_t back to that code page
};

}  // namespace jet
