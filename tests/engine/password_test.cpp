// SPDX-License-Identifier: Apache-2.0
// Database passwords and encoded pages: the stored password is checked on
// open; Jet's RC4-encoded pages and Office-encrypted ones are read and
// written; a damaged or unknown encryption header is a clear error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "jet/database.h"
#include "jet/dirty_pages.h"
#include "jet/rc4.h"
#include "jet/table_writer.h"
#include "support/stored_rows.h"
#include "support/testdata.h"

namespace {

long openError(const std::string& path, const std::string& password) {
    try {
        jet::Database db(path, password);
        return 0;
    } catch (const jet::Error& e) {
        return e.number();
    }
}

TEST(Password, Jet4FileOpensOnlyWithItsPassword) {
    SKIP_WITHOUT_CORPUS();
    std::string path = testdata::file("V2000_with-password.mdb");
    EXPECT_EQ(openError(path, "password"), 0);
    EXPECT_EQ(openError(path, ""), jet::kErrBadPassword);
    EXPECT_EQ(openError(path, "Password"), jet::kErrBadPassword);  // case counts
    EXPECT_EQ(openError(path, "passwor"), jet::kErrBadPassword);
    EXPECT_EQ(openError(path, "password "), jet::kErrBadPassword);

    jet::Database db(path, "password");
    EXPECT_EQ(db.userTables(), std::vector<std::string>{"Table1"});
}

TEST(Password, FileWithoutPasswordOpensWhateverIsGiven) {
    SKIP_WITHOUT_CORPUS();
    EXPECT_EQ(openError(testdata::file("testV2000.mdb"), "anything"), 0);
    EXPECT_EQ(openError(testdata::file("testV1997.mdb"), ""), 0);
}

// Jet 3 keeps the password in the masked part of page 0, in the code page.
TEST(Password, Jet3PasswordIsReadFromTheMaskedHeader) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV1997.mdb");
    std::vector<unsigned char> stream(126, 0);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    jet::rc4(key, 4, stream.data(), stream.size());
    const std::string password = "Geheim\xE9";  // é in Windows-1252
    std::vector<unsigned char> stored(20, 0);
    for (size_t i = 0; i < password.size(); ++i) stored[i] = uint8_t(password[i]);
    std::vector<unsigned char> bytes = copy.read();
    for (size_t i = 0; i < stored.size(); ++i) bytes[0x42 + i] = stored[i] ^ stream[0x42 - 0x18 + i];
    copy.write(bytes);

    EXPECT_EQ(openError(copy.path(), "Geheim\xC3\xA9"), 0);  // given as UTF-8
    EXPECT_EQ(openError(copy.path(), "Geheim"), jet::kErrBadPassword);
    EXPECT_EQ(openError(copy.path(), ""), jet::kErrBadPassword);
}

struct EncodedFile {
    const char* name;
    const char* table;
    size_t rows;
    bool office;
};

const EncodedFile kEncoded[] = {
    {"db-enc.mdb", "Table1", 2, false},               // Jet 4 RC4, no password
    {"db97-enc.mdb", "Table1", 2, false},             // Jet 3 RC4
    {"db2007-oldenc.accdb", "Table1", 1, true},       // RC4 CryptoAPI
    {"db2013-enc.accdb", "Customers", 7, true},       // agile: AES-256, SHA-512
    {"db-nonstandard.accdb", "Table_One", 1, true},   // standard AES, no hash rounds
};

TEST(Password, EncodedPagesAreRead) {
    SKIP_WITHOUT_CORPUS();
    for (const EncodedFile& f : kEncoded) {
        jet::Database db(testdata::file(f.name), testdata::passwordOf(f.name));
        ASSERT_EQ(db.userTables(), std::vector<std::string>{f.table}) << f.name;
        EXPECT_EQ(testdata::storedRows(testdata::file(f.name), f.table).rows.size(), f.rows) << f.name;
    }
}

// The verifier refuses a wrong password before any page is decoded, and
// the file is not touched.
TEST(Password, OfficeEncryptedFilesOpenOnlyWithTheirPassword) {
    SKIP_WITHOUT_CORPUS();
    for (const EncodedFile& f : kEncoded) {
        if (!f.office) continue;
        testdata::Copy copy(f.name);
        std::vector<unsigned char> before = copy.read();
        std::string password = testdata::passwordOf(f.name);
        for (const std::string& wrong : {std::string(), password + " ", password.substr(1), std::string("TEST123")})
            EXPECT_EQ(openError(copy.path(), wrong), jet::kErrBadPassword) << f.name << " '" << wrong << "'";
        EXPECT_EQ(copy.read(), before) << f.name;
    }
}

// Page 0 with the page key and the stored password cleared: the pages,
// written plain, then make a file any reader opens.
void writePlainCopy(const jet::Database& db, const std::string& path) {
    std::vector<unsigned char> bytes;
    for (uint32_t n = 0; n < db.pager().pageCount(); ++n) {
        jet::Bytes page = db.pager().page(n);
        bytes.insert(bytes.end(), page.data(), page.data() + page.size());
    }
    std::vector<unsigned char> stream(0x7A - 0x18, 0);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    jet::rc4(key, 4, stream.data(), stream.size());
    unsigned char date[8];
    for (size_t i = 0; i < 8; ++i) date[i] = bytes[0x72 + i] ^ stream[0x72 - 0x18 + i];
    double created;
    std::memcpy(&created, date, 8);
    uint32_t mask = uint32_t(int32_t(created));
    for (size_t i = 0; i < 4; ++i) bytes[0x3E + i] = stream[0x3E - 0x18 + i];
    for (size_t i = 0; i < 40; ++i) bytes[0x42 + i] = stream[0x42 - 0x18 + i] ^ uint8_t(mask >> (8 * (i % 4)));
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(out);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

bool holds(const std::vector<unsigned char>& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

std::vector<unsigned char> pageOf(const std::vector<unsigned char>& file, size_t n) {
    return std::vector<unsigned char>(file.begin() + n * 4096, file.begin() + (n + 1) * 4096);
}

// What the files without a name this process holds open in `folder` hold:
// the temporary file of a change, read through its descriptor.
std::vector<unsigned char> unnamedFilesIn(const std::string& folder) {
    std::vector<unsigned char> bytes;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (error || target.rfind(folder + "/", 0) != 0 || target.find(" (deleted)") == std::string::npos) continue;
        std::ifstream in(fd.path(), std::ios::binary);
        bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return bytes;
}

// An edit goes through the codec both ways: the file stays encoded (the new
// text is nowhere in it as plain bytes), the journal holds the changed
// pages as they were stored, never decoded, and so does the temporary file
// the changed pages wait in (one kept in memory, the others there); our
// reader reads the change back, and mdbtools reads it from a plain copy.
TEST(Password, EncodedFilesTakeAnEditAndReadItBack) {
    SKIP_WITHOUT_CORPUS();
    for (const EncodedFile& f : kEncoded) {
        if (std::string(f.name) == "db97-enc.mdb") continue;  // Access 97 tables with indexes are not written
        SCOPED_TRACE(f.name);
        testdata::Copy copy(f.name);
        testdata::StoredRows before = testdata::storedRows(copy.path(), f.table);
        std::vector<unsigned char> stored_before = copy.read(), decoded_before;
        {
            jet::Database db(copy.path(), testdata::passwordOf(f.name));
            for (uint32_t n = 0; n < db.pager().pageCount(); ++n)
                decoded_before.insert(decoded_before.end(), db.pager().page(n).data(), db.pager().page(n).data() + 4096);
        }
        std::vector<unsigned char> journal, waiting;
        jet::Pager::setIoHook([&](int) {
            std::ifstream in(copy.path() + "-journal", std::ios::binary);
            std::vector<unsigned char> now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (now.size() > journal.size()) journal = now;
            if (waiting.empty()) waiting = unnamedFilesIn(std::filesystem::path(copy.path()).parent_path());
        });
        jet::DirtyPages::setInMemoryLimit(1);
        std::vector<jet::Value> changed = before.rows[0], added = before.rows[0];
        changed[1] = std::string("changedtext");
        added[0] = jet::Value();  // the next autonumber
        added[1] = std::string("insertedtext");
        {
            jet::Database db(copy.path(), testdata::passwordOf(f.name));
            db.begin();
            jet::TableWriter w(db, f.table);
            w.update(before.ids[0], changed);
            w.insert(added);
            db.commit();
        }
        jet::Pager::setIoHook(nullptr);
        jet::DirtyPages::setInMemoryLimit(jet::DirtyPages::kInMemory);
        std::vector<unsigned char> bytes = copy.read();
        EXPECT_FALSE(holds(bytes, "changedtext") || holds(bytes, "insertedtext"));
        EXPECT_GE(waiting.size(), 2u * 4096);
        EXPECT_FALSE(holds(waiting, "changedtext") || holds(waiting, "insertedtext"));
        size_t changed_pages = 0;
        for (size_t n = 1; n < stored_before.size() / 4096; ++n) {
            if (pageOf(bytes, n) == pageOf(stored_before, n)) continue;
            ++changed_pages;
            std::vector<unsigned char> as_stored = pageOf(stored_before, n), as_decoded = pageOf(decoded_before, n);
            EXPECT_TRUE(std::search(journal.begin(), journal.end(), as_stored.begin(), as_stored.end()) != journal.end()) << n;
            EXPECT_FALSE(std::search(journal.begin(), journal.end(), as_decoded.begin(), as_decoded.end()) != journal.end()) << n;
        }
        EXPECT_GT(changed_pages, 0u);
        if (f.office) {
            EXPECT_EQ(openError(copy.path(), ""), jet::kErrBadPassword);
        }

        testdata::StoredRows after = testdata::storedRows(copy.path(), f.table);
        ASSERT_EQ(after.rows.size(), before.rows.size() + 1);
        EXPECT_EQ(after.rows[0], changed);
        for (size_t i = 1; i < before.rows.size(); ++i) EXPECT_EQ(after.rows[i], before.rows[i]);
        EXPECT_EQ(after.rows.back()[1], jet::Value(std::string("insertedtext")));

        std::string plain = copy.path() + ".plain.mdb";
        writePlainCopy(jet::Database(copy.path(), testdata::passwordOf(f.name)), plain);
        EXPECT_EQ(testdata::storedRows(plain, f.table).rows, after.rows);
        std::string exported = testdata::exported(plain, f.table);
        EXPECT_NE(exported.find("\"changedtext\""), std::string::npos) << exported;
        EXPECT_NE(exported.find("\"insertedtext\""), std::string::npos) << exported;
        EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), long(after.rows.size()) + 1) << exported;
    }
}

// The first `from` in page 0 replaced by `to`, of the same length.
void replaceFirst(std::vector<unsigned char>& bytes, const std::string& from, const std::string& to) {
    auto at = std::search(bytes.begin(), bytes.begin() + 4096, from.begin(), from.end());
    ASSERT_NE(at, bytes.begin() + 4096) << from;
    std::copy(to.begin(), to.end(), at);
}

void putU32(std::vector<unsigned char>& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(v >> (8 * i));
}

// Offsets in the encryption structure at 0x299: its length, then the
// version at 0x29B; in the standard layout the header size at 0x2A3 and the
// header from 0x2A7 (cipher at +8, key bits at +16), then the verifier.
constexpr size_t kInfoLength = 0x299, kVersion = 0x29B, kHeaderSize = 0x2A3, kCipher = 0x2AF, kKeyBits = 0x2B7;

TEST(Password, ADamagedOrUnknownEncryptionHeaderIsANumberedError) {
    SKIP_WITHOUT_CORPUS();
    using Damage = std::function<void(std::vector<unsigned char>&)>;
    struct Case {
        const char* file;
        const char* what;
        Damage damage;
        long error;
    };
    const Case cases[] = {
        {"db2013-enc.accdb", "length past the page", [](auto& b) { b[kInfoLength] = b[kInfoLength + 1] = 0xFF; }, jet::kErrCorrupt},
        {"db2013-enc.accdb", "unknown version", [](auto& b) { b[kVersion] = 9; }, jet::kErrUnsupported},
        {"db2013-enc.accdb", "no key data", [](auto& b) { replaceFirst(b, "<keyData", "<keyDatb"); }, jet::kErrCorrupt},
        {"db2013-enc.accdb", "DES", [](auto& b) { replaceFirst(b, "\"AES\"", "\"DES\""); }, jet::kErrUnsupported},
        {"db2013-enc.accdb", "257-bit key", [](auto& b) { replaceFirst(b, "keyBits=\"256\"", "keyBits=\"257\""); }, jet::kErrUnsupported},
        {"db2013-enc.accdb", "24-byte blocks", [](auto& b) { replaceFirst(b, "blockSize=\"16\"", "blockSize=\"24\""); }, jet::kErrUnsupported},
        {"db2013-enc.accdb", "unknown hash", [](auto& b) { replaceFirst(b, "SHA512", "SHA513"); }, jet::kErrUnsupported},
        {"db2013-enc.accdb", "malformed base64", [](auto& b) { replaceFirst(b, "Hrg/aA", "Hrg!aA"); }, jet::kErrCorrupt},
        {"db2013-enc.accdb", "other verifier", [](auto& b) { replaceFirst(b, "Cuwbj9", "Duwbj9"); }, jet::kErrBadPassword},
        {"db2013-enc.accdb", "spin count", [](auto& b) { replaceFirst(b, "spinCount=\"100000\"", "spinCount=\"999999999\""); }, jet::kErrCorrupt},
        {"db2013-enc.accdb", "a partial last page", [](auto& b) { b.resize(b.size() - 100); }, jet::kErrCorrupt},
        {"db2007-oldenc.accdb", "RC2", [](auto& b) { putU32(b, kCipher, 0x6602); }, jet::kErrUnsupported},
        {"db2007-oldenc.accdb", "33-bit RC4 key", [](auto& b) { putU32(b, kKeyBits, 33); }, jet::kErrUnsupported},
        {"db2007-oldenc.accdb", "other verifier", [](auto& b) { b[kHeaderSize + 4 + 0x76 + 20] ^= 1; }, jet::kErrBadPassword},
        {"db-nonstandard.accdb", "AES-256 with a 128-bit key", [](auto& b) { putU32(b, kKeyBits, 128); }, jet::kErrUnsupported},
        {"db-nonstandard.accdb", "header past the end", [](auto& b) { putU32(b, kHeaderSize, 5000); }, jet::kErrCorrupt},
        {"db-nonstandard.accdb", "salt size", [](auto& b) { putU32(b, kHeaderSize + 4 + 0x8C, 8); }, jet::kErrCorrupt},
        {"db-nonstandard.accdb", "not CryptoAPI", [](auto& b) { b[kVersion + 4] = 0; }, jet::kErrUnsupported},
    };
    for (const Case& c : cases) {
        testdata::Copy copy(c.file);
        std::vector<unsigned char> bytes = copy.read();
        c.damage(bytes);
        copy.write(bytes);
        EXPECT_EQ(openError(copy.path(), testdata::passwordOf(c.file)), c.error) << c.file << ": " << c.what;
        EXPECT_EQ(copy.read(), bytes) << c.file << ": " << c.what;
    }
}

}  // namespace
