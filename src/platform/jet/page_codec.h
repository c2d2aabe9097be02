// SPDX-License-Identifier: Apache-2.0
// How the pages of an encrypted file are turned into the bytes the engine
// reads and back: the one seam between the pager and a file's cipher. Page
// 0 is never encoded; every other page is encoded whole, under a key that
// depends on its number, so a page can be decoded and encoded on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bytes.h"

namespace jet {

struct Header;

class PageCodec {
public:
    virtual ~PageCodec() = default;
    // Turn page `n` (length bytes, a whole page) between its stored and
    // its plain form, in place.
    virtual void decode(uint32_t n, uint8_t* page, size_t length) const = 0;
    virtual void encode(uint32_t n, uint8_t* page, size_t length) const = 0;

    // The codec the file's header names, or none for a plain file;
    // `file_start` holds at least page 0 as stored. Office encryption
    // checks `password` against the file's verifier first: throws
    // kErrBadPassword; kErrCorrupt, kErrUnsupported for an encryption
    // header that is damaged or names what the format does not allow.
    static std::unique_ptr<PageCodec> forFile(const Header& header, Bytes file_start, const std::string& password);
};

// The RC4 of Jet 3 / Jet 4 files, keyed by the database key and the page
// number; the same operation both ways.
class JetRc4Codec : public PageCodec {
public:
    explicit JetRc4Codec(uint32_t key) : key_(key) {}
    void decode(uint32_t n, uint8_t* page, size_t length) const override;
    void encode(uint32_t n, uint8_t* page, size_t length) const override { decode(n, page, length); }

private:
    uint32_t key_;
};

}  // namespace jet
