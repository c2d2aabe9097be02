// SPDX-License-Identifier: Apache-2.0
// Damaged files: each kind of damage gives an error with a number and a
// description, never a crash, a hang or a read outside the file.
#include <gtest/gtest.h>

#include <cstring>

#include "jet/complex_values.h"
#include "jet/database.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"
#include "support/testdata.h"

namespace {

constexpr size_t kPage = 4096;

// Opens the file and reads every row of every table; the error, or 0.
long readAllError(const std::string& path) {
    try {
        jet::Database db(path, "");
        for (const std::string& name : db.userTables()) {
            jet::TableScan scan(db, db.table(name));
            std::vector<jet::Value> v;
            while (scan.next()) scan.read(v);
        }
    } catch (const jet::Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    return 0;
}

uint32_t firstDataPage(const std::string& path, const std::string& table) {
    jet::Database db(path, "");
    return jet::readUsageMap(db.pager(), db.format(), db.table(table).owned_pages).front();
}

uint32_t definitionPage(const std::string& path, const std::string& table) {
    return jet::Database(path, "").table(table).page;
}

void put16(testdata::Copy& c, size_t at, uint16_t v) { c.patch(at, {uint8_t(v), uint8_t(v >> 8)}); }
void put32(testdata::Copy& c, size_t at, uint32_t v) {
    c.patch(at, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

TEST(DamagedFile, TruncatedFiles) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy copy("testV2000.mdb");
    ASSERT_EQ(readAllError(copy.path()), 0);
    copy.truncate(1000);
    EXPECT_EQ(readAllError(copy.path()), jet::kErrNotDatabase);
    testdata::Copy three("testV2000.mdb");
    three.truncate(3 * kPage);  // the catalog's rows lie further on
    EXPECT_EQ(readAllError(three.path()), jet::kErrCorrupt);
    testdata::Copy odd("testV2000.mdb");
    odd.truncate(100 * kPage + 17);
    EXPECT_EQ(readAllError(odd.path()), jet::kErrCorrupt);
}

TEST(DamagedFile, PagesOfTheWrongKind) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy catalog("testV2000.mdb");
    catalog.patch(2 * kPage, {0x01});  // the catalog's definition
    EXPECT_EQ(readAllError(catalog.path()), jet::kErrCorrupt);

    testdata::Copy data("testV2000.mdb");
    uint32_t tdef = definitionPage(data.path(), "Table1");
    data.patch(size_t(tdef) * kPage, {0x04});
    EXPECT_EQ(readAllError(data.path()), jet::kErrCorrupt);
}

TEST(DamagedFile, OffsetsAndCountsOutsideThePage) {
    SKIP_WITHOUT_CORPUS();
    {
        testdata::Copy c("overflowTestV2000.mdb");
        uint32_t page = firstDataPage(c.path(), "Table1");
        put16(c, page * kPage + 14, 0x1FFF);  // row 0 starts past the page
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
    {
        testdata::Copy c("overflowTestV2000.mdb");
        uint32_t page = firstDataPage(c.path(), "Table1");
        put16(c, page * kPage + 12, 0xFFFF);  // row count
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
    {
        testdata::Copy c("overflowTestV2000.mdb");
        uint32_t tdef = definitionPage(c.path(), "Table1");
        put16(c, tdef * kPage + 45, 0xFFFF);  // column count
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
    {
        testdata::Copy c("overflowTestV2000.mdb");
        uint32_t tdef = definitionPage(c.path(), "Table1");
        put32(c, tdef * kPage + 55, 0x7FFFFF00);  // usage map on a page past the end
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
    {
        // A row's own column count larger than its bytes can hold.
        testdata::Copy c("overflowTestV2000.mdb");
        uint32_t page = firstDataPage(c.path(), "Table1");
        std::vector<unsigned char> b = c.read();
        uint16_t start;
        std::memcpy(&start, b.data() + page * kPage + 14, 2);
        put16(c, page * kPage + (start & 0x1FFF), 0xFFF0);
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
}

TEST(DamagedFile, LoopsInPageChains) {
    SKIP_WITHOUT_CORPUS();
    {
        testdata::Copy c("testV2000.mdb");
        uint32_t tdef = definitionPage(c.path(), "Table1");
        put32(c, tdef * kPage + 4, tdef);  // the definition continues on itself
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
    {
        // A memo chained over LVAL rows whose first row points back at itself.
        testdata::Copy c("fixedNumericTestV2000.mdb");
        jet::RowId id;
        {
            jet::Database db(c.path(), "");
            jet::TableScan scan(db, db.table("test"));
            std::vector<jet::Value> row;
            ASSERT_TRUE(scan.next());
            scan.read(row);
            for (size_t i = 0; i < row.size(); ++i)
                if (db.table("test").columns[i].type == jet::kMemo) row[i] = std::string(20000, 'z');
            db.begin();
            jet::TableWriter w(db, "test");
            id = w.insert(row);
            db.commit();
        }
        ASSERT_EQ(readAllError(c.path()), 0);
        jet::Database db(c.path(), "");
        jet::RowReader reader(db.pager(), db.format(), db.codec(), db.table("test"));
        std::optional<jet::Bytes> row = jet::readRow(db.pager(), db.format(), id);
        size_t memo = 0;
        while (db.table("test").columns[memo].type != jet::kMemo) ++memo;
        uint32_t first = reader.stored(*row, memo)->u32(4);
        jet::RowId lval = jet::RowId::fromPointer(first);
        size_t row_start = jet::DataPage(db.pager().page(lval.page), db.format()).rowStart(lval.row);
        put32(c, lval.page * kPage + row_start, first);
        EXPECT_EQ(readAllError(c.path()), jet::kErrCorrupt);
    }
}

// A damaged password area, or creation date (which masks the password), is
// damage, not a password nobody could type. Each case flips one stored bit.
TEST(DamagedFile, HeadersFailingTheirOwnChecks) {
    SKIP_WITHOUT_CORPUS();
    const struct {
        const char* file;
        size_t offset;
        uint8_t flip;
    } cases[] = {
        {"testV2000.mdb", 0x42, 0x01},           {"testV2000.mdb", 0x45, 0x10},
        {"testV2000.mdb", 0x69, 0x04},           {"testV2000.mdb", 0x79, 0x40},
        {"testV2000.mdb", 0x77, 0x10},           {"V2000_with-password.mdb", 0x52, 0x01},
        {"testV1997.mdb", 0x47, 0x01},
    };
    for (const auto& c : cases) {
        testdata::Copy copy(c.file);
        copy.patch(c.offset, {uint8_t(copy.read()[c.offset] ^ c.flip)});
        EXPECT_EQ(readAllError(copy.path()), jet::kErrCorrupt) << c.file << " at " << c.offset;
    }
}

TEST(DamagedFile, GarbageIsNotADatabase) {
    SKIP_WITHOUT_CORPUS();
    testdata::Copy c("testV2000.mdb");
    std::vector<unsigned char> bytes(64 * kPage);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 2654435761u >> 13);
    c.write(bytes);
    EXPECT_EQ(readAllError(c.path()), jet::kErrNotDatabase);
    c.patch(0, {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n', 'd', 'a', 'r', 'd', ' ', 'J', 'e', 't', ' ', 'D', 'B', 0, 1});
    EXPECT_NE(readAllError(c.path()), 0);
}

}  // namespace

// An attachment's stored file: raw, or damaged in each part of its wrapper
// (inflating Access's own deflate is checked on the corpus's attachments).
TEST(DamagedFile, AttachmentDataIsReadOrRefused) {
    const std::vector<uint8_t> file = {14, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 'a', 'b'};  // no extension
    auto stored = [&](uint32_t kind, uint32_t length, std::vector<uint8_t> content) {
        std::vector<uint8_t> b = {uint8_t(kind), 0, 0, 0, uint8_t(length), 0, 0, 0};
        b.insert(b.end(), content.begin(), content.end());
        return b;
    };
    auto read = [](const std::vector<uint8_t>& b) {
        jet::Binary data = jet::attachmentFileData(jet::Bytes(b.data(), b.size()));
        return std::string(data.begin(), data.end());
    };
    EXPECT_EQ(read(stored(0, 16, file)), "ab");
    std::vector<uint8_t> long_header = file;
    long_header[0] = 17;
    for (const std::vector<uint8_t>& damaged : {stored(0, 17, file), stored(2, 16, file), stored(1, 16, file),
                                                 stored(0, 16, long_header), std::vector<uint8_t>{0, 0, 0}})
        EXPECT_THROW(read(damaged), jet::Error);
}
