// SPDX-License-Identifier: Apache-2.0
// The database definition page (page 0): which layout the file uses, its
// code page and sort order, the page-encoding key and the stored database
// password. Part of the page is masked with a fixed RC4 key; Jet 4 masks the
// password once more with the bytes of the file's creation date. An ACE file
// with a page key is Office-encrypted: its password is checked by the
// encryption structure (office_crypt.h), not the stored one.
#pragma once

#include <cstdint>
#include <string>

#include "bytes.h"
#include "format.h"

namespace jet {

struct Header {
    Version version;
    const Format* format;
    uint16_t code_page;
    uint16_t sort_order;
    uint32_t page_key;     // non-zero: every page but page 0 is encoded
    std::string password;  // UTF-8; empty when the file has none

    // Reads page 0 from the start of the file; throws kErrNotDatabase when
    // the bytes are not a Jet or ACE header, kErrCorrupt when the password
    // area or the creation date masking it fails the header's own checks.
    static Header read(Bytes file_start);

    bool officeEncrypted() const { return page_key != 0 && version >= Version::Ace12; }

    // Throws kErrBadPassword unless `given` matches the stored password
    // (Office-encrypted files are checked by their codec instead).
    void checkPassword(const std::string& given) const;
};

}  // namespace jet
