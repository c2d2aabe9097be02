// SPDX-License-Identifier: Apache-2.0
// Every table of every corpus file, read by our engine and compared value by
// value with what mdbtools (an independent reader) exported from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <unordered_map>
#include <sstream>

#include "ado/value_text.h"
#include "jet/database.h"
#include "support/testdata.h"

namespace {

struct ExpectedTable {
    std::string file, table, csv;
    long rows;
};

void PrintTo(const ExpectedTable& t, std::ostream* os) { *os << t.file << " " << t.table; }

std::vector<ExpectedTable> expectedTables() {
    std::vector<ExpectedTable> out;
    std::ifstream in(testdata::root() + "/expected/index.tsv");
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
        std::istringstream s(line);
        ExpectedTable t;
        std::string rows;
        std::getline(s, t.file, '\t');
        std::getline(s, t.table, '\t');
        std::getline(s, rows, '\t');
        std::getline(s, t.csv, '\t');
        t.rows = rows == "ERROR" ? -1 : std::stol(rows);
        out.push_back(t);
    }
    return out;
}

struct CsvField {
    std::string text;
    bool quoted = false;
};
using CsvRow = std::vector<CsvField>;

// mdb-export's CSV: "," between fields, text in quotes with "" inside. The
// heading is written unquoted, so a name holding a comma or a quote cannot be
// split back out of it: it is row 0, whole, in one field.
std::vector<CsvRow> readCsv(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string heading;
    std::getline(in, heading);
    if (!heading.empty() && heading.back() == '\r') heading.pop_back();
    std::vector<CsvRow> rows{{CsvField{heading}}};
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CsvRow row;
    CsvField field;
    bool in_quotes = false;
    for (size_t i = 0; i < data.size(); ++i) {
        char c = data[i];
        if (in_quotes) {
            if (c == '"' && i + 1 < data.size() && data[i + 1] == '"') field.text += '"', ++i;
            else if (c == '"') in_quotes = false;
            else field.text += c;
        } else if (c == '"') {
            in_quotes = field.quoted = true;
        } else if (c == ',') {
            row.push_back(field), field = CsvField();
        } else if (c == '\n') {
            row.push_back(field), field = CsvField();
            rows.push_back(row), row.clear();
        } else if (c != '\r') {
            field.text += c;
        }
    }
    if (!row.empty() || !field.text.empty()) row.push_back(field), rows.push_back(row);
    return rows;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Why our value and mdbtools' differ, where the format says mdbtools is wrong.
// Keyed by file, table and column; the reason is printed with the failure
// should one of these start to agree (or differ in another way).
struct KnownDifference {
    const char *file, *table, *column, *reason;
};
const KnownDifference kKnownDifferences[] = {
#include "corpus_known_differences.inc"
};

const char* knownReason(const std::string& file, const std::string& table, const std::string& column) {
    for (const auto& k : kKnownDifferences)
        if (file == k.file && table == k.table && column == k.column) return k.reason;
    return nullptr;
}

// Our value in mdbtools' export form: numbers compare by value, the rest as text.
bool sameAsExport(const jet::Value& v, const CsvField& e, std::string& ours) {
    ours = ado::toText(v, '.');
    if (v.isNull()) return e.text.empty() && !e.quoted;
    if (v.is<bool>()) return e.text == (v.as<bool>() ? "1" : "0");
    if (v.is<std::string>()) return e.text == v.as<std::string>();
    if (v.is<jet::Binary>()) return lower(e.text) == lower(ours);
    if (v.is<jet::DateTime>()) {
        ours = ado::toIsoText(v.as<jet::DateTime>());
        return e.text == ours;
    }
    if (v.is<jet::Guid>()) return lower(e.text) == lower(ours);
    char* end = nullptr;
    double expected = std::strtod(e.text.c_str(), &end);
    if (e.text.empty() || *end != '\0') return false;
    if (v.is<float>()) return std::fabs(expected - v.as<float>()) <= 1e-6 * std::fabs(expected) + 1e-30;
    double actual = std::strtod(ours.c_str(), nullptr);
    return std::fabs(expected - actual) <= 1e-12 * std::fabs(expected);
}

class CorpusTable : public testing::TestWithParam<ExpectedTable> {};

// Compares a table with mdbtools' export of it. Rows are matched without
// regard to order: mdbtools and we may visit a table's pages and moved rows
// in different orders.
void compareWithExport(const std::string& file, const std::string& table, const std::string& csv, long rows_expected) {
    jet::Database db(testdata::file(file), testdata::passwordOf(file));
    const jet::TableDef& def = db.table(table);
    std::vector<CsvRow> expected = readCsv(csv);
    ASSERT_FALSE(expected.empty());

    // Columns: the same names in the same order, by column number.
    std::string names;
    for (const jet::Column& c : def.columns) names += (names.empty() ? "" : ",") + c.name;
    ASSERT_EQ(names, expected[0][0].text) << "column names and order";
    const size_t width = def.columns.size();

    std::vector<std::vector<jet::Value>> rows;
    jet::TableScan scan(db, def);
    std::vector<jet::Value> values;
    while (scan.next()) {
        scan.read(values);
        rows.push_back(values);
    }
    ASSERT_EQ(long(rows.size()), rows_expected);
    ASSERT_EQ(rows.size(), expected.size() - 1);

    // Expected rows by the text of their first field, to find a moved row fast.
    std::unordered_multimap<std::string, size_t> by_first;
    for (size_t e = 1; e < expected.size(); ++e) by_first.emplace(expected[e][0].text, e);

    std::set<std::string> known_seen;
    std::vector<bool> used(expected.size(), false);
    auto matches = [&](size_t r, size_t e, std::string& mismatch) {
        std::set<std::string> known_here;
        if (expected[e].size() != width) {
            mismatch = std::to_string(expected[e].size()) + " fields in mdbtools' row";
            return false;
        }
        for (size_t c = 0; c < width; ++c) {
            std::string ours;
            const std::string& column = def.columns[c].name;
            if (sameAsExport(rows[r][c], expected[e][c], ours)) continue;
            if (knownReason(file, table, column)) {
                known_here.insert(column);
                continue;
            }
            mismatch = "column " + column + ": ours \"" + ours + "\", mdbtools \"" + expected[e][c].text + "\"";
            return false;
        }
        known_seen.insert(known_here.begin(), known_here.end());
        return bool(used[e] = true);
    };
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string mismatch, ignored;
        // The row at the same place, else one with the same first field, else any.
        bool matched = !used[r + 1] && matches(r, r + 1, mismatch);
        auto [b, e] = by_first.equal_range(ado::toText(rows[r][0], '.'));
        for (auto it = b; it != e && !matched; ++it) matched = !used[it->second] && matches(r, it->second, ignored);
        for (size_t x = 1; x < expected.size() && !matched && b == e; ++x) matched = !used[x] && matches(r, x, ignored);
        ASSERT_TRUE(matched) << "row " << r + 1 << " matches no row mdbtools read; at its own place, " << mismatch;
    }
    for (const auto& k : kKnownDifferences) {
        if (file != k.file || table != k.table) continue;
        EXPECT_TRUE(known_seen.count(k.column)) << "listed difference no longer seen: " << k.column << ": " << k.reason;
    }
}

TEST_P(CorpusTable, ReadsAsTheIndependentReaderDoes) {
    SKIP_WITHOUT_CORPUS();
    const ExpectedTable& t = GetParam();
    ASSERT_GE(t.rows, 0) << "mdbtools could not export " << t.file << " " << t.table;
    compareWithExport(t.file, t.table, testdata::root() + "/expected/" + t.csv, t.rows);
}

// The large file is exported by mdbtools at test time.
TEST(Corpus, LargeTableReadsAsTheIndependentReaderDoes) {
    SKIP_WITHOUT_CORPUS();
    if (std::system("command -v mdb-export >/dev/null") != 0) GTEST_SKIP() << "mdb-export (mdbtools) not installed";
    std::string csv = testing::TempDir() + "/big100k.csv";
    std::string cmd = "mdb-export -D '%Y-%m-%d' -T '%Y-%m-%d %H:%M:%S' -b hex '" + testdata::root() +
                      "/large/big100k.mdb' BigTable > '" + csv + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    compareWithExport("../large/big100k.mdb", "BigTable", csv, 98969);
}

std::string testName(const testing::TestParamInfo<ExpectedTable>& info) {
    std::string n = info.param.file + "_" + info.param.table;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTable, testing::ValuesIn(expectedTables()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusTable);

// Each file lists exactly the user tables mdbtools lists.
TEST(Corpus, ListsTheUserTablesOfEveryFile) {
    SKIP_WITHOUT_CORPUS();
    std::map<std::string, std::set<std::string>> expected;
    std::ifstream versions(testdata::root() + "/versions.tsv");
    std::string line;
    std::getline(versions, line);
    while (std::getline(versions, line)) expected[line.substr(0, line.find('\t'))];
    for (const ExpectedTable& t : expectedTables()) expected[t.file].insert(t.table);
    // mdbtools cannot open Office-encrypted files, so nothing was exported
    // from them; what each holds comes from the corpus MANIFEST.
    expected["db-nonstandard.accdb"] = {"Table_One"};
    expected["db2007-oldenc.accdb"] = {"Table1"};
    expected["db2013-enc.accdb"] = {"Customers"};
    ASSERT_GT(expected.size(), 50u);
    for (const auto& [file, tables] : expected) {
        jet::Database db(testdata::file(file), testdata::passwordOf(file));
        std::vector<std::string> listed = db.userTables();
        EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), tables) << file;
    }
}

}  // namespace
