#include "page_codec.h"

#include "header.h"
#include "office_crypt.h"
#include "rc4.h"

namespace jet {

std::unique_ptr<PageCodec> PageCodec::forFile(const Header& header, Bytes header_page, const std::string& password) {
    if (header.page_key == 0) return nullptr;
    if (header.officeEncrypted()) return openOfficeEncryption(header_page, header.page_key, password);
    return std::make_unique<JetRc4Codec>(header.page_key);
}

void JetRc4Codec::decode(uint32_t n, uint8_t* page, size_t length) const { rc4(key_ ^ n, page, length); }

}  // namespace jet
