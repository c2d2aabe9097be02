// Database passwords: the stored password is checked on open; pages that
// are RC4-encoded are read; encryption the engine cannot read is refused.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/rc4.h"
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

TEST(Password, RC4EncodedPagesAreRead) {
    SKIP_WITHOUT_CORPUS();
    for (const char* name : {"db-enc.mdb", "db97-enc.mdb"}) {
        jet::Database db(testdata::file(name), "");
        ASSERT_EQ(db.userTables(), std::vector<std::string>{"Table1"}) << name;
        jet::TableScan scan(db, db.table("Table1"));
        int rows = 0;
        while (scan.next()) ++rows;
        EXPECT_EQ(rows, 2) << name;
    }
}

}  // namespace
