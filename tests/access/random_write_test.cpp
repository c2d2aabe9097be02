// SPDX-License-Identifier: Apache-2.0
// Random inserts, updates and deletes through SQL against a model of the
// rows and of what Access refuses: on the indexTest files, whose Table1
// refers to Table2 (cascading deletes) and Table3 (cascading updates), and
// on a table with a unique text index. After each batch mdb-export must
// read the model's rows, and at the end jet-check must find nothing the
// original file did not have. The seed is fixed; PELLINORDB_RANDOM_SEED and
// PELLINORDB_RANDOM_BATCHES make a longer run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include "jet/error.h"
#include "support/jet_check.h"
#include "support/sql_fixture.h"
#include "support/testdata.h"

namespace {

struct Row1 {
    std::string fk1, fk2, data, fk3;  // as mdb-export shows them
};

struct Model {
    std::map<int, Row1> table1;
    std::map<int, std::string> table2, table3;  // id: data

    static std::string lines(const std::map<int, std::string>& rows) {
        std::string out;
        for (const auto& [id, data] : rows) out += std::to_string(id) + ",\"" + data + "\"\n";
        return out;
    }
    std::string table1Lines() const {
        std::string out;
        for (const auto& [id, r] : table1)
            out += std::to_string(id) + "," + r.fk1 + "," + r.fk2 + ",\"" + r.data + "\"," + r.fk3 + "\n";
        return out;
    }
    bool refersTo(std::string Row1::*fk, int id) const {
        return std::any_of(table1.begin(), table1.end(), [&](const auto& r) { return r.second.*fk == std::to_string(id); });
    }
};

// mdb-export's rows, without the heading, ordered by their first column.
std::string sortedRows(const std::string& path, const std::string& table) {
    std::stringstream in(testdata::exported(path, table));
    std::string line;
    std::getline(in, line);
    std::map<long, std::string> rows;
    while (std::getline(in, line)) rows[std::atol(line.c_str())] = line + "\n";
    std::string out;
    for (const auto& [id, l] : rows) out += l;
    return out;
}

class RandomWrites : public testdata::SqlTest {
protected:
    RandomWrites() {
        if (const char* seed = std::getenv("PELLINORDB_RANDOM_SEED")) random.seed(unsigned(std::atol(seed)));
        if (const char* n = std::getenv("PELLINORDB_RANDOM_BATCHES")) batches = std::atoi(n);
    }

    std::mt19937 random{17};
    int batches = 3;
    std::map<long, int> outcomes;  // by error number, 0 for success

    int pick(int n) { return int(random() % unsigned(n)); }
    // Runs `sql`; expects `error` (0: success) and applies `change` on success.
    void expect(const std::string& sql, long error, const std::function<void()>& change = [] {}) {
        SCOPED_TRACE(sql);
        long got = testdata::failureOf([&] { execute(sql); }).number;
        EXPECT_EQ(got, error);
        ++outcomes[got];
        if (got == 0 && error == 0) change();
    }
    // The run is worth something only if it took each way.
    void expectEach(std::initializer_list<long> wanted) {
        for (long outcome : wanted) EXPECT_GT(outcomes[outcome], 3) << "outcome " << outcome;
    }
};

class RandomRelatedWrites : public RandomWrites {
protected:
    Model model;

    template <typename Map>
    int anyId(const Map& rows) {  // one of the rows' ids, or a new one
        if (rows.empty() || pick(5) == 0) return 100 + pick(400);
        auto it = rows.begin();
        std::advance(it, pick(int(rows.size())));
        return it->first;
    }
    std::string text() {
        static const char* const parts[] = {"a", "z", "œ", "ß", "é", "日本", " ", "b", "Straße", "ŒUVRE", "x9"};
        std::string s;
        for (int n = 1 + pick(8); n > 0; --n) s += parts[pick(11)];
        return s;
    }
    void step() {
        switch (pick(9)) {
        case 0: case 1: {  // Table1 insert
            int id = anyId(model.table1);
            int to2 = anyId(model.table2), to3 = anyId(model.table3);
            bool null2 = pick(6) == 0;
            std::string fk1 = null2 ? "" : std::to_string(to2), fk2 = std::to_string(to3), data = text();
            long error = model.table1.count(id)                    ? long(jet::kErrDuplicateKey)
                         : !null2 && !model.table2.count(to2)      ? long(jet::kErrRelatedRequired)
                         : !model.table3.count(to3)                ? long(jet::kErrRelatedRequired)
                                                                   : 0;
            expect("INSERT INTO Table1 (id,otherfk1,otherfk2,data) VALUES (" + std::to_string(id) + "," +
                       (null2 ? "Null" : fk1) + "," + fk2 + ",'" + data + "')",
                   error, [&] { model.table1[id] = {fk1, fk2, data, ""}; });
            break;
        }
        case 2: {  // Table2 or Table3 insert
            bool two = pick(2);
            auto& rows = two ? model.table2 : model.table3;
            int id = anyId(rows);
            std::string data = text();
            expect(std::string("INSERT INTO ") + (two ? "Table2" : "Table3") + " (id,data) VALUES (" +
                       std::to_string(id) + ",'" + data + "')",
                   rows.count(id) ? long(jet::kErrDuplicateKey) : 0, [&] { rows[id] = data; });
            break;
        }
        case 3: {  // Table2 delete: cascades
            int id = anyId(model.table2);
            expect("DELETE FROM Table2 WHERE id=" + std::to_string(id), 0, [&] {
                model.table2.erase(id);
                std::erase_if(model.table1, [&](const auto& r) { return r.second.fk1 == std::to_string(id); });
            });
            break;
        }
        case 4: {  // Table3 delete: refused while referred to
            int id = anyId(model.table3);
            expect("DELETE FROM Table3 WHERE id=" + std::to_string(id),
                   model.refersTo(&Row1::fk2, id) ? long(jet::kErrHasRelated) : 0, [&] { model.table3.erase(id); });
            break;
        }
        case 5: {  // Table3 key update: cascades
            int id = anyId(model.table3), to = 100 + pick(400);
            if (!model.table3.count(id)) break;
            long error = to != id && model.table3.count(to) ? long(jet::kErrDuplicateKey) : 0;
            expect("UPDATE Table3 SET id=" + std::to_string(to) + " WHERE id=" + std::to_string(id), error, [&] {
                std::string data = model.table3[id];
                model.table3.erase(id);
                model.table3[to] = data;
                for (auto& [k, r] : model.table1)
                    if (r.fk2 == std::to_string(id)) r.fk2 = std::to_string(to);
            });
            break;
        }
        case 6: {  // Table2 key update: refused while referred to
            int id = anyId(model.table2), to = 100 + pick(400);
            if (!model.table2.count(id) || id == to) break;
            long error = model.table2.count(to)                ? long(jet::kErrDuplicateKey)
                         : model.refersTo(&Row1::fk1, id)      ? long(jet::kErrHasRelated)
                                                               : 0;
            if (error == long(jet::kErrDuplicateKey) && model.refersTo(&Row1::fk1, id)) break;  // either may come first
            expect("UPDATE Table2 SET id=" + std::to_string(to) + " WHERE id=" + std::to_string(id), error, [&] {
                model.table2[to] = model.table2[id];
                model.table2.erase(id);
            });
            break;
        }
        case 7: {  // Table1 change of its data and its reference to Table3
            int id = anyId(model.table1), to3 = anyId(model.table3);
            if (!model.table1.count(id)) break;
            std::string data = text();
            expect("UPDATE Table1 SET data='" + data + "', otherfk2=" + std::to_string(to3) +
                       " WHERE id=" + std::to_string(id),
                   model.table3.count(to3) ? 0 : long(jet::kErrRelatedRequired), [&] {
                       model.table1[id].data = data;
                       model.table1[id].fk2 = std::to_string(to3);
                   });
            break;
        }
        case 8: {  // Table1 delete
            int id = anyId(model.table1);
            expect("DELETE FROM Table1 WHERE id=" + std::to_string(id), 0, [&] { model.table1.erase(id); });
            break;
        }
        }
    }
};

TEST_F(RandomRelatedWrites, MatchAModelAndPassJetCheck) {
    SKIP_WITHOUT_CORPUS();
    std::vector<std::unique_ptr<testdata::Copy>> copies;
    std::vector<std::pair<std::string, std::string>> checked;
    for (const char* file : {"indexTestV2000.mdb", "indexTestV2007.accdb", "indexTestV2010.accdb"}) {
        SCOPED_TRACE(file);
        testdata::Copy& copy = *copies.emplace_back(std::make_unique<testdata::Copy>(file));
        checked.emplace_back(testdata::file(file), copy.path());
        model = Model{};
        model.table1 = {{0, {"0", "10", "baz0", "0"}}, {1, {"1", "11", "baz11", "0"}},
                        {2, {"1", "11", "baz11-2", "0"}}, {3, {"2", "13", "baz13", "0"}}};
        model.table2 = {{0, "foo0"}, {1, "foo1"}, {2, "foo2"}};
        model.table3 = {{10, "bar10"}, {11, "bar11"}, {12, "bar12"}, {13, "bar13"}};
        for (int batch = 0; batch < batches; ++batch) {
            open(copy.path());
            for (int i = 0; i < 40; ++i) step();
            cn.Close();
            ASSERT_EQ(sortedRows(copy.path(), "Table1"), model.table1Lines()) << "batch " << batch;
            ASSERT_EQ(sortedRows(copy.path(), "Table2"), Model::lines(model.table2)) << "batch " << batch;
            ASSERT_EQ(sortedRows(copy.path(), "Table3"), Model::lines(model.table3)) << "batch " << batch;
        }
    }
    expectEach({0, jet::kErrHasRelated, jet::kErrRelatedRequired, jet::kErrDuplicateKey});
    if (testdata::jetCheckMissing().empty()) testdata::expectNoNewJetCheckProblems(checked);
}

// TableUnique1_temp: a Text primary key (row) and a unique index on data
// that takes any number of Nulls. Keys compare without regard to case.
class RandomTextKeyWrites : public RandomWrites {
protected:
    std::map<std::string, std::optional<std::string>> rows;  // row: data

    static std::string folded(std::string s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    bool taken(const std::string& data, const std::string& except = "") const {
        return std::any_of(rows.begin(), rows.end(), [&](const auto& r) {
            return r.first != except && r.second && folded(*r.second) == folded(data);
        });
    }
    std::string text() {
        static const char* const parts[] = {"a", "B", "c", "Dd", "\u00e9", "x9", "\u00f6", "-", "e", "Zz"};
        std::string s;
        for (int n = 1 + pick(4); n > 0; --n) s += parts[pick(10)];
        return s;
    }
    std::string anyRow() {
        if (rows.empty() || pick(6) == 0) return "row" + std::to_string(pick(60));
        auto it = rows.begin();
        std::advance(it, pick(int(rows.size())));
        return it->first;
    }
    // The rows as mdb-export shows them, in any order.
    std::set<std::string> lines() const {
        std::set<std::string> out;
        for (const auto& [row, data] : rows) out.insert("\"" + row + "\"," + (data ? "\"" + *data + "\"" : ""));
        return out;
    }

    void step() {
        std::string row = anyRow();
        bool null = pick(5) == 0;
        std::string data = text();
        switch (pick(3)) {
        case 0:
            expect("INSERT INTO TableUnique1_temp ([row], data) VALUES ('" + row + "', " +
                       (null ? "Null" : "'" + data + "'") + ")",
                   rows.count(row) || (!null && taken(data)) ? long(jet::kErrDuplicateKey) : 0,
                   [&] { rows[row] = null ? std::nullopt : std::optional(data); });
            break;
        case 1:
            if (!rows.count(row)) break;
            expect("UPDATE TableUnique1_temp SET data='" + data + "' WHERE [row]='" + row + "'",
                   taken(data, row) ? long(jet::kErrDuplicateKey) : 0, [&] { rows[row] = data; });
            break;
        case 2:
            expect("DELETE FROM TableUnique1_temp WHERE [row]='" + row + "'", 0, [&] { rows.erase(row); });
            break;
        }
    }
};

TEST_F(RandomTextKeyWrites, MatchAModelAndPassJetCheck) {
    SKIP_WITHOUT_CORPUS();
    const char* file = "testIndexPropertiesV2010.accdb";
    testdata::Copy copy(file);
    rows = {{"row0", "stuff"}, {"row1", std::nullopt}, {"row2", "more"}, {"row3", std::nullopt},
            {"row4", "some"}, {"row5", std::nullopt}, {"row6", "lots of stuff"}, {"row7", "another row"},
            {"row8", std::nullopt}, {"row9", "still more rows"}};
    for (int batch = 0; batch < batches; ++batch) {
        open(copy.path());
        for (int i = 0; i < 40; ++i) step();
        cn.Close();
        std::stringstream in(testdata::exported(copy.path(), "TableUnique1_temp"));
        std::string line;
        std::getline(in, line);
        std::set<std::string> exported_lines;
        while (std::getline(in, line)) exported_lines.insert(line);
        ASSERT_EQ(exported_lines, lines()) << "batch " << batch;
    }
    expectEach({0, jet::kErrDuplicateKey});
    if (testdata::jetCheckMissing().empty())
        testdata::expectNoNewJetCheckProblems({{testdata::file(file), copy.path()}});
}

}  // namespace
