// SPDX-License-Identifier: Apache-2.0
// Decoding one column of a row alone, as SQL reads the few columns a
// statement names, against decoding the whole row, on every corpus row.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "jet/database.h"
#include "jet/row_reader.h"
#include "support/testdata.h"

namespace {

// Equal, NaNs of the same bits included.
bool same(const jet::Value& a, const jet::Value& b) {
    if (a.is<double>() && b.is<double>()) return std::memcmp(&a.as<double>(), &b.as<double>(), 8) == 0;
    if (a.is<float>() && b.is<float>()) return std::memcmp(&a.as<float>(), &b.as<float>(), 4) == 0;
    if (a.is<jet::DateTime>() && b.is<jet::DateTime>())
        return std::memcmp(&a.as<jet::DateTime>().days, &b.as<jet::DateTime>().days, 8) == 0;
    return a == b;
}

TEST(RowReaderColumn, EachColumnAloneReadsAsInTheWholeRow) {
    SKIP_WITHOUT_CORPUS();
    size_t rows = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testdata::root() + "/mdb")) {
        std::unique_ptr<jet::Database> db;
        try {
            db = std::make_unique<jet::Database>(entry.path().string(), "");
        } catch (const jet::Error&) {
            continue;  // passwords and damage are other tests' business
        }
        for (const jet::CatalogEntry& e : db->catalog()) {
            if (!e.isTable()) continue;
            const jet::TableDef* table;
            try {
                table = &db->table(e.name);
            } catch (const jet::Error&) {
                continue;  // linked tables have no definition here
            }
            jet::RowReader reader(*db, *table);
            jet::TableScan scan(*db, *table);
            std::vector<jet::Value> whole;
            try {
                while (scan.next()) {
                    scan.read(whole);
                    // Last column first: nothing of one call may carry into the next.
                    for (size_t i = whole.size(); i-- > 0;)
                        EXPECT_TRUE(same(reader.decodeColumn(scan.data(), i), whole[i]))
                            << entry.path().filename() << " " << e.name << " column " << table->columns[i].name;
                    ++rows;
                }
            } catch (const jet::Error&) {
                // a damaged table: the whole-row reader refused it first
            }
        }
    }
    EXPECT_GT(rows, 1000u);
}

}  // namespace
