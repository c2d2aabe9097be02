// Text as the file stores it, turned into UTF-8.
//
// Jet 3 stores text in the database's code page (one byte a character).
// Jet 4 stores UCS-2, little-endian; a value that begins with FF FE is in
// the "compressed" form: runs of characters whose high byte is zero are kept
// as single bytes, and each 00 byte switches between one-byte and two-byte
// runs, starting with one-byte.
#pragma once

#include <cstdint>
#include <string>

#include "bytes.h"

namespace jet {

void appendUtf8(std::string& out, uint32_t code_point);

// UTF-16LE (surrogate pairs joined; a lone surrogate becomes U+FFFD).
std::string decodeUtf16(Bytes bytes);

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

private:
    void decodeCodePage(Bytes stored, std::string& out) const;

    bool jet3_;
    uint16_t code_page_;
    void* iconv_ = nullptr;  // iconv_t for code pages other than 1252
};

}  // namespace jet
