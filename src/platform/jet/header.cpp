#include "header.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "rc4.h"
#include "text.h"

namespace jet {

namespace {

constexpr size_t kMaskStart = 0x18;
constexpr size_t kCodePage = 0x3C;
constexpr size_t kPageKey = 0x3E;
constexpr size_t kPassword = 0x42;
constexpr size_t kVersion = 0x14;

[[noreturn]] void notDatabase() {
    throw Error(kErrNotDatabase, "Unrecognized database format: the file is not a Microsoft Access database.");
}

}  // namespace

Header Header::read(Bytes raw) {
    if (raw.size() < 2048) notDatabase();
    static const uint8_t kMagic[4] = {0x00, 0x01, 0x00, 0x00};
    if (std::memcmp(raw.data(), kMagic, 4) != 0) notDatabase();
    if (std::memcmp(raw.data() + 4, "Standard Jet DB", 16) != 0 &&
        std::memcmp(raw.data() + 4, "Standard ACE DB", 16) != 0)
        notDatabase();
    uint8_t v = raw.u8(kVersion);
    if (v > uint8_t(Version::Ace17)) notDatabase();

    Header h;
    h.version = Version(v);
    h.format = &Format::forVersion(h.version);
    if (raw.size() < h.format->page_size) notDatabase();

    std::vector<uint8_t> page(raw.data(), raw.data() + h.format->page_size);
    static const uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(kHeaderKey, 4, page.data() + kMaskStart, h.format->header_masked_length);
    Bytes p(page.data(), page.size());

    h.code_page = p.u16(kCodePage);
    h.sort_order = p.u16(h.format->sort_order_offset);
    h.page_key = p.u32(kPageKey);

    std::vector<uint8_t> stored(page.begin() + kPassword, page.begin() + kPassword + h.format->password_length);
    if (h.format->creation_date_offset >= 0) {
        double created = p.f64(size_t(h.format->creation_date_offset));
        uint32_t mask = std::isfinite(created) && std::fabs(created) < 2147483647.0 ? uint32_t(int32_t(created)) : 0;
        for (size_t i = 0; i < stored.size(); ++i) stored[i] ^= uint8_t(mask >> (8 * (i % 4)));
    }
    if (h.format->jet3) {
        TextCodec codec(true, h.code_page);
        h.password = codec.decode(Bytes(stored.data(), stored.size()));
    } else {
        h.password = decodeUtf16(Bytes(stored.data(), stored.size()));
    }
    if (auto nul = h.password.find('\0'); nul != std::string::npos) h.password.resize(nul);
    return h;
}

void Header::checkPassword(const std::string& given) const {
    if (password.empty() || given == password || officeEncrypted()) return;
    throw Error(kErrBadPassword, "Not a valid password.");
}

}  // namespace jet
