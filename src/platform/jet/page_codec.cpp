// SPDX-License-Identifier: Apache-2.0
#include "page_codec.h"

#include "format.h"
#include "header.h"
#include "office_crypt.h"
#include "rc4.h"

namespace jet {

std::unique_ptr<PageCodec> PageCodec::forFile(const Header& header, Bytes file_start, const std::string& password) {
    if (header.page_key == 0) return nullptr;
    if (header.officeEncrypted())
        return openOfficeEncryption(file_start.slice(0, header.format->page_size), header.page_key, password);
    return std::make_unique<JetRc4Codec>(header.page_key);
}

void JetRc4Codec::decode(uint32_t n, uint8_t* page, size_t length) const { rc4(key_ ^ n, page, length); }

}  // namespace jet
