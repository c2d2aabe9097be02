// SPDX-License-Identifier: Apache-2.0
#include "header.h"

#include <cstring>
#include <vector>

#include "error.h"
#include "rc4.h"
#include "text.h"

namespace jet {

namespace {

constexpr size_t kMaskStart = 0x18;
constexpr size_t kCodePage = 0x3C;
constexpr size_t kPageKey = 0x3E;
constexpr size_t kPassword = 0x42;
constexpr size_t kVersion = 0x14;
constexpr double kDateAfter9999 = 2958466;  // day number of 10000-01-01

[[noreturn]] void notDatabase() {
    throw Error(kErrNotDatabase, "Unrecognized database format: the file is not a Microsoft Access database.");
}

// The stored password is text then zeros: a character no keyboard gives,
// or anything after the end, means the area (or the creation date that
// masks it) is damaged, and no password could open the file.
void checkPasswordArea(const std::vector<uint8_t>& stored, size_t unit) {
    bool ended = false;
    for (size_t i = 0; i + unit <= stored.size(); i += unit) {
        uint16_t c = unit == 2 ? uint16_t(stored[i] | stored[i + 1] << 8) : stored[i];
        if (ended ? c != 0 : c != 0 && c < 0x20) corrupt("the password area of the header fails its own checks");
        ended = ended || c == 0;
    }
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
        if (!(created >= 0 && created < kDateAfter9999))
            corrupt("the creation date in the header is not a date Access can hold");
        uint32_t mask = uint32_t(int32_t(created));
        for (size_t i = 0; i < stored.size(); ++i) stored[i] ^= uint8_t(mask >> (8 * (i % 4)));
    }
    checkPasswordArea(stored, h.format->jet3 ? 1 : 2);
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
