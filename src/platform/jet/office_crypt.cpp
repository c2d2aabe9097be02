// SPDX-License-Identifier: Apache-2.0
#include "office_crypt.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "rc4.h"
#include "text.h"

namespace jet {

namespace {

using Blob = std::vector<uint8_t>;

constexpr size_t kStructure = 0x299;
constexpr uint32_t kFlagCryptoApi = 0x04, kFlagAes = 0x20;
constexpr uint32_t kAlgRc4 = 0x6801, kAlgAes128 = 0x660E, kAlgAes192 = 0x660F, kAlgAes256 = 0x6610;
constexpr uint32_t kHashSha1 = 0x8004;
constexpr uint32_t kStandardRounds = 50000;
constexpr uint32_t kMaxSpinCount = 10000000;  // the largest the format allows
constexpr size_t kAesBlock = 16;
constexpr size_t kSaltSize = 16;

[[noreturn]] void damaged(const std::string& what) { corrupt("its encryption header " + what); }

[[noreturn]] void notAllowed(const std::string& what) {
    throw Error(kErrUnsupported, "The database is encrypted with " + what + ", which this program cannot read.");
}

[[noreturn]] void badPassword() { throw Error(kErrBadPassword, "Not a valid password."); }

[[noreturn]] void libraryFailed() { throw Error(kErrIo, "The cipher library failed."); }

Blob le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Blob copyOf(Bytes b) { return Blob(b.data(), b.data() + b.size()); }

Blob fit(Blob b, size_t length, uint8_t pad) {
    b.resize(length, pad);
    return b;
}

// The password as the format hashes it: UTF-16LE, at most 255 units.
Blob passwordBytes(const std::string& password) {
    std::u16string units = toUtf16(password);
    if (units.size() > 255) units.resize(255);
    Blob out;
    for (char16_t u : units) out.insert(out.end(), {uint8_t(u), uint8_t(u >> 8)});
    return out;
}

// Hashes and ciphers are fetched once and each thread keeps one context of
// each kind: fetching on every use (as EVP_sha1() and the like do) takes a
// lock, and a page is hashed and ciphered on every read.
const EVP_MD* hashNamed(const char* name) {
    struct Fetched {
        EVP_MD *sha1, *sha256, *sha384, *sha512;
    };
    static const Fetched all{EVP_MD_fetch(nullptr, "SHA1", nullptr), EVP_MD_fetch(nullptr, "SHA256", nullptr),
                             EVP_MD_fetch(nullptr, "SHA384", nullptr), EVP_MD_fetch(nullptr, "SHA512", nullptr)};
    std::string n = name;
    const EVP_MD* md = n == "SHA1" ? all.sha1 : n == "SHA256" ? all.sha256 : n == "SHA384" ? all.sha384 : all.sha512;
    if (!md) libraryFailed();
    return md;
}

const EVP_MD* sha1() { return hashNamed("SHA1"); }

Blob digest(const EVP_MD* md, const Blob& a, const Blob& b = {}) {
    thread_local std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    Blob out(size_t(EVP_MD_get_size(md)));
    if (!ctx || EVP_DigestInit_ex2(ctx.get(), md, nullptr) != 1 || EVP_DigestUpdate(ctx.get(), a.data(), a.size()) != 1 ||
        EVP_DigestUpdate(ctx.get(), b.data(), b.size()) != 1 || EVP_DigestFinal_ex(ctx.get(), out.data(), nullptr) != 1)
        libraryFailed();
    return out;
}

// H(salt + password), then `rounds` times H(round number + previous).
Blob spunHash(const EVP_MD* md, const Blob& salt, const Blob& password, uint32_t rounds) {
    Blob h = digest(md, salt, password);
    for (uint32_t i = 0; i < rounds; ++i) h = digest(md, le32(i), h);
    return h;
}

const EVP_CIPHER* aesCipher(size_t key_bytes, bool cbc) {
    static EVP_CIPHER* const all[2][3] = {
        {EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr), EVP_CIPHER_fetch(nullptr, "AES-192-ECB", nullptr),
         EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr)},
        {EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr), EVP_CIPHER_fetch(nullptr, "AES-192-CBC", nullptr),
         EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr)}};
    if (key_bytes != 16 && key_bytes != 24 && key_bytes != 32)
        notAllowed("an AES key of " + std::to_string(key_bytes * 8) + " bits");
    const EVP_CIPHER* cipher = all[cbc][(key_bytes - 16) / 8];
    if (!cipher) libraryFailed();
    return cipher;
}

void aes(const EVP_CIPHER* cipher, const Blob& key, const uint8_t* iv, bool encrypt, uint8_t* data, size_t length) {
    if (length % kAesBlock != 0) corrupt("an encrypted page is not a whole number of cipher blocks");
    thread_local std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                                    EVP_CIPHER_CTX_free);
    int out = 0;
    if (!ctx || EVP_CipherInit_ex2(ctx.get(), cipher, key.data(), iv, encrypt ? 1 : 0, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 || EVP_CipherUpdate(ctx.get(), data, &out, data, int(length)) != 1 ||
        size_t(out) != length)
        libraryFailed();
}

Blob aesDecrypted(const EVP_CIPHER* cipher, const Blob& key, const uint8_t* iv, Blob data) {
    if (data.size() % kAesBlock != 0) damaged("holds a wrapped value that is not a whole number of cipher blocks");
    aes(cipher, key, iv, false, data.data(), data.size());
    return data;
}

// ---- agile (4.4) ----

class AgileCodec : public PageCodec {
public:
    AgileCodec(const EVP_MD* md, Blob key, Blob salt, uint32_t page_key)
        : md_(md), cipher_(aesCipher(key.size(), true)), key_(std::move(key)), salt_(std::move(salt)), page_key_(page_key) {}
    void decode(uint32_t n, uint8_t* page, size_t length) const override { crypt(n, false, page, length); }
    void encode(uint32_t n, uint8_t* page, size_t length) const override { crypt(n, true, page, length); }

private:
    void crypt(uint32_t n, bool encrypt, uint8_t* page, size_t length) const {
        Blob iv = fit(digest(md_, salt_, le32(page_key_ ^ n)), kAesBlock, 0x36);
        aes(cipher_, key_, iv.data(), encrypt, page, length);
    }

    const EVP_MD* md_;
    const EVP_CIPHER* cipher_;
    Blob key_, salt_;
    uint32_t page_key_;
};

// The attributes of one element of the descriptor; the descriptor is
// Microsoft's fixed XML, so a search for the element and its quoted
// attributes is enough.
class XmlElement {
public:
    XmlElement(const std::string& xml, size_t from, const std::string& name) {
        size_t at = from;
        while ((at = xml.find(name, at)) != std::string::npos) {
            bool starts = at > 0 && (xml[at - 1] == '<' || xml[at - 1] == ':');
            bool ends = at + name.size() < xml.size() && std::isspace(uint8_t(xml[at + name.size()]));
            if (starts && ends) break;
            at += name.size();
        }
        if (at == std::string::npos) damaged("lacks its " + name + " element");
        size_t close = xml.find('>', at);
        if (close == std::string::npos) damaged("ends inside its " + name + " element");
        text_ = xml.substr(at, close - at);
        end_ = close;
    }
    size_t end() const { return end_; }

    std::string text(const std::string& attribute) const {
        std::string key = " " + attribute + "=\"";
        size_t at = text_.find(key);
        if (at == std::string::npos) damaged("lacks the attribute " + attribute);
        at += key.size();
        size_t close = text_.find('"', at);
        if (close == std::string::npos) damaged("ends inside the attribute " + attribute);
        return text_.substr(at, close - at);
    }
    uint32_t number(const std::string& attribute) const {
        std::string t = text(attribute);
        if (t.empty() || t.size() > 9 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
            damaged("holds " + attribute + "=\"" + t + "\", not a number");
        return uint32_t(std::stoul(t));
    }
    Blob base64(const std::string& attribute) const {
        std::string t = text(attribute);
        if (t.empty() || t.size() % 4 != 0) damaged("holds a malformed " + attribute);
        Blob out(t.size() / 4 * 3);
        int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const uint8_t*>(t.data()), int(t.size()));
        if (n < 0) damaged("holds a malformed " + attribute);
        size_t padding = size_t(std::count(t.end() - 2, t.end(), '='));
        out.resize(size_t(n) - padding);
        return out;
    }

private:
    std::string text_;
    size_t end_ = 0;
};

const EVP_MD* agileHash(const std::string& name) {
    if (name != "SHA1" && name != "SHA256" && name != "SHA384" && name != "SHA512")
        notAllowed("the hash algorithm \"" + name + "\"");
    return hashNamed(name.c_str());
}

// What both the key data and the password key encryptor name: AES in CBC
// mode with 16-byte blocks, a known hash of the size it claims, a salt.
struct AgileCipher {
    const EVP_MD* md;
    size_t key_bytes;
    Blob salt;

    explicit AgileCipher(const XmlElement& e) : md(agileHash(e.text("hashAlgorithm"))) {
        if (e.text("cipherAlgorithm") != "AES") notAllowed("the cipher \"" + e.text("cipherAlgorithm") + "\"");
        if (e.text("cipherChaining") != "ChainingModeCBC")
            notAllowed("the cipher chaining \"" + e.text("cipherChaining") + "\"");
        if (e.number("blockSize") != kAesBlock) notAllowed("AES blocks of " + e.text("blockSize") + " bytes");
        uint32_t bits = e.number("keyBits");
        if (bits != 128 && bits != 192 && bits != 256) notAllowed("an AES key of " + e.text("keyBits") + " bits");
        key_bytes = bits / 8;
        if (e.number("hashSize") != uint32_t(EVP_MD_get_size(md))) damaged("gives a hash size its hash does not have");
        salt = e.base64("saltValue");
        if (salt.size() != e.number("saltSize") || salt.size() < kSaltSize) damaged("holds a salt of the wrong size");
    }
};

std::unique_ptr<PageCodec> openAgile(Bytes info, uint32_t page_key, const Blob& password) {
    if (info.size() < 8 || info.u32(4) != 0x40) damaged("has an unknown agile layout");
    Bytes xml_bytes = info.from(8);
    std::string xml(reinterpret_cast<const char*>(xml_bytes.data()), xml_bytes.size());
    AgileCipher data(XmlElement(xml, 0, "keyData"));
    size_t password_encryptor = xml.find("uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"");
    if (password_encryptor == std::string::npos) notAllowed("a key that no password unlocks (a certificate)");
    XmlElement key_element(xml, password_encryptor, "encryptedKey");
    AgileCipher wrap(key_element);
    uint32_t spins = key_element.number("spinCount");
    if (spins > kMaxSpinCount) damaged("asks for more hash rounds than the format allows");

    // The three wrapping keys differ only in the block appended to the
    // spun hash; each unwraps with the salt as its IV.
    Blob spun = spunHash(wrap.md, wrap.salt, password, spins);
    const EVP_CIPHER* cipher = aesCipher(wrap.key_bytes, true);
    auto unwrap = [&](std::initializer_list<uint8_t> block, const char* attribute) {
        Blob key = fit(digest(wrap.md, spun, Blob(block)), wrap.key_bytes, 0x36);
        return aesDecrypted(cipher, key, wrap.salt.data(), key_element.base64(attribute));
    };
    Blob input = unwrap({0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79}, "encryptedVerifierHashInput");
    Blob expected = unwrap({0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e}, "encryptedVerifierHashValue");
    Blob actual = digest(wrap.md, input);
    if (expected.size() < actual.size() || !std::equal(actual.begin(), actual.end(), expected.begin())) badPassword();

    Blob key = unwrap({0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6}, "encryptedKeyValue");
    if (key.size() < data.key_bytes) damaged("holds a wrapped key shorter than its key size");
    key.resize(data.key_bytes);
    return std::make_unique<AgileCodec>(data.md, std::move(key), std::move(data.salt), page_key);
}

// ---- standard and CryptoAPI RC4 (x.2) ----

class StandardAesCodec : public PageCodec {
public:
    StandardAesCodec(Blob spun, size_t key_bytes, uint32_t page_key)
        : spun_(std::move(spun)), key_bytes_(key_bytes), cipher_(aesCipher(key_bytes, false)), page_key_(page_key) {}
    void decode(uint32_t n, uint8_t* page, size_t length) const override { crypt(n, false, page, length); }
    void encode(uint32_t n, uint8_t* page, size_t length) const override { crypt(n, true, page, length); }

    // The key of one block: two hashes of the block's hash under the HMAC
    // pads, cut to the key size.
    Blob key(const Blob& block) const {
        Blob h = digest(sha1(), spun_, block);
        Blob inner(64, 0x36), outer(64, 0x5C);
        for (size_t i = 0; i < h.size(); ++i) inner[i] ^= h[i], outer[i] ^= h[i];
        Blob k = digest(sha1(), inner);
        Blob second = digest(sha1(), outer);
        k.insert(k.end(), second.begin(), second.end());
        k.resize(key_bytes_);
        return k;
    }
    const EVP_CIPHER* cipher() const { return cipher_; }

private:
    void crypt(uint32_t n, bool encrypt, uint8_t* page, size_t length) const {
        aes(cipher_, key(le32(page_key_ ^ n)), nullptr, encrypt, page, length);
    }

    Blob spun_;
    size_t key_bytes_;
    const EVP_CIPHER* cipher_;
    uint32_t page_key_;
};

class CryptoApiRc4Codec : public PageCodec {
public:
    CryptoApiRc4Codec(Blob base, size_t key_bytes, uint32_t page_key)
        : base_(std::move(base)), key_bytes_(key_bytes), page_key_(page_key) {}
    void decode(uint32_t n, uint8_t* page, size_t length) const override {
        Blob k = key(le32(page_key_ ^ n));
        rc4(k.data(), k.size(), page, length);
    }
    void encode(uint32_t n, uint8_t* page, size_t length) const override { decode(n, page, length); }

    // A 40-bit key is used as 128 bits with the rest zero.
    Blob key(const Blob& block) const {
        Blob k = fit(digest(sha1(), base_, block), key_bytes_, 0);
        if (key_bytes_ == 5) k.resize(16, 0);
        return k;
    }

private:
    Blob base_;
    size_t key_bytes_;
    uint32_t page_key_;
};

std::unique_ptr<PageCodec> openStandard(Bytes info, uint32_t page_key, const Blob& password) {
    if (info.size() < 12) damaged("is cut short");
    uint32_t flags = info.u32(4);
    uint32_t header_size = info.u32(8);
    if (header_size < 32 || header_size > info.size() - 12) damaged("gives a header size past its end");
    Bytes header = info.slice(12, header_size);
    if (!(flags & kFlagCryptoApi)) notAllowed("an encryption provider other than CryptoAPI");

    uint32_t alg = header.u32(8), hash = header.u32(12), key_bits = header.u32(16);
    if (alg == 0) alg = (flags & kFlagAes) ? kAlgAes128 : kAlgRc4;
    if (hash != 0 && hash != kHashSha1) notAllowed("the hash algorithm " + std::to_string(hash));
    bool rc4_alg = alg == kAlgRc4;
    if (!rc4_alg && alg != kAlgAes128 && alg != kAlgAes192 && alg != kAlgAes256)
        notAllowed("the cipher algorithm " + std::to_string(alg));
    uint32_t aes_bits = alg == kAlgAes128 ? 128 : alg == kAlgAes192 ? 192 : 256;
    if (key_bits == 0 && !rc4_alg) key_bits = aes_bits;
    if (key_bits == 0) {
        // RC4 without a size: 40 bits from the base provider, else 128.
        std::string provider = decodeUtf16(header.from(32));
        provider.resize(std::min(provider.find('\0'), provider.size()));
        std::transform(provider.begin(), provider.end(), provider.begin(), [](char c) { return std::tolower(uint8_t(c)); });
        key_bits = provider.empty() || provider.find(" base ") != std::string::npos ? 40 : 128;
    }
    bool size_allowed = rc4_alg ? key_bits >= 40 && key_bits <= 512 : key_bits == aes_bits;
    if (!size_allowed || key_bits % 8 != 0)
        notAllowed(std::string(rc4_alg ? "an RC4" : "an AES") + " key of " + std::to_string(key_bits) + " bits");

    size_t v = 12 + size_t(header_size);
    size_t hash_stored = rc4_alg ? 20 : 32;
    if (info.size() < v + 40 + hash_stored) damaged("is cut short in its verifier");
    if (info.u32(v) != kSaltSize) damaged("holds a salt of the wrong size");
    Blob salt = copyOf(info.slice(v + 4, kSaltSize));
    Blob verifier = copyOf(info.slice(v + 20, 16));
    if (info.u32(v + 36) != 20) damaged("gives a verifier hash size SHA-1 does not have");
    Blob stored_hash = copyOf(info.slice(v + 40, hash_stored));

    Blob base = digest(sha1(), salt, password);
    Blob plain_verifier, plain_hash;
    std::unique_ptr<PageCodec> codec;
    if (rc4_alg) {
        auto rc4_codec = std::make_unique<CryptoApiRc4Codec>(base, key_bits / 8, page_key);
        // One key stream runs over the verifier and then its hash.
        Blob both = verifier;
        both.insert(both.end(), stored_hash.begin(), stored_hash.end());
        Blob k = rc4_codec->key(le32(0));
        rc4(k.data(), k.size(), both.data(), both.size());
        plain_verifier.assign(both.begin(), both.begin() + 16);
        plain_hash.assign(both.begin() + 16, both.end());
        codec = std::move(rc4_codec);
    } else {
        // Files whose flags name CryptoAPI but not AES skip the hash rounds.
        uint32_t rounds = (flags & kFlagAes) ? kStandardRounds : 0;
        auto aes_codec = std::make_unique<StandardAesCodec>(spunHash(sha1(), salt, password, rounds), key_bits / 8, page_key);
        Blob k = aes_codec->key(le32(0));
        plain_verifier = aesDecrypted(aes_codec->cipher(), k, nullptr, verifier);
        plain_hash = aesDecrypted(aes_codec->cipher(), k, nullptr, stored_hash);
        codec = std::move(aes_codec);
    }
    Blob actual = digest(sha1(), plain_verifier);
    if (!std::equal(actual.begin(), actual.end(), plain_hash.begin())) badPassword();
    return codec;
}

}  // namespace

std::unique_ptr<PageCodec> openOfficeEncryption(Bytes header_page, uint32_t page_key, const std::string& password) {
    if (header_page.size() < kStructure + 2) damaged("lies past the end of the first page");
    uint16_t length = header_page.u16(kStructure);
    if (length < 4 || length > header_page.size() - kStructure - 2) damaged("gives a length past the end of the first page");
    Bytes info = header_page.slice(kStructure + 2, length);
    uint16_t major = info.u16(0), minor = info.u16(2);
    Blob bytes = passwordBytes(password);
    if (major == 4 && minor == 4) return openAgile(info, page_key, bytes);
    if (minor == 2 && major >= 2 && major <= 4) return openStandard(info, page_key, bytes);
    notAllowed("Office encryption version " + std::to_string(major) + "." + std::to_string(minor));
}

}  // namespace jet
