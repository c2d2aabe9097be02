// SPDX-License-Identifier: Apache-2.0
#include "bench_table.h"

#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_ddl.h"
#include "jet/table_writer.h"
#include "support/job_table.h"

namespace {

const char* const kRegions[] = {"North", "South", "East", "West", "Yard"};

std::vector<jet::NewColumn> orderColumns(const std::string& key) {
    std::vector<jet::NewColumn> c = {
        {"ID", jet::kLong},         {"Customer", jet::kText, 40}, {"Quantity", jet::kLong},
        {"Price", jet::kDouble},    {"Amount", jet::kCurrency},   {"Ordered", jet::kDateTime},
        {"Shipped", jet::kBoolean}, {"Region", jet::kText, 10},   {"Code", jet::kInteger},
        {"Note", jet::kMemo},
    };
    for (jet::NewColumn& column : c) column.primary_key = column.name == key;
    return c;
}

// Creates the table in its own transaction; the engine's refusal when it will not.
std::string tryCreate(jet::Database& db, const std::string& name, const std::string& key) {
    db.begin();
    try {
        jet::createTable(db, name, orderColumns(key));
        db.commit();
        return "";
    } catch (const jet::Error& e) {
        db.rollback();
        return e.what();
    }
}

void fillOrders(jet::Database& db, const std::string& name, long rows) {
    db.begin();
    {
        jet::TableWriter w(db, name);
        // Every fiftieth note is long enough to be stored on pages of its own.
        const std::string long_note(600, 'n');
        for (long i = 1; i <= rows; ++i) {
            std::vector<jet::Value> v(10);
            v[0] = int32_t(i);
            v[1] = "customer " + std::to_string(i);
            v[2] = int32_t(i % 1000);
            v[3] = double(i) / 4;
            v[4] = jet::Currency{int64_t(i) * 125};
            v[5] = jet::DateTime{45000.0 + double(i % 3650) + 0.25};
            v[6] = i % 3 == 0;
            v[7] = std::string(kRegions[i % 5]);
            v[8] = int16_t(i % 30000);
            v[9] = i % 50 == 0 ? long_note : "note on order " + std::to_string(i);
            w.insert(std::move(v));
        }
    }
    db.commit();
}

}  // namespace

void MakeOrders(const std::string& path, const std::string& name, const std::string& key, long rows) {
    jet::Database db(path, "");
    std::string refused = tryCreate(db, name, key);
    if (!refused.empty()) throw jet::Error(jet::kErrUnsupported, refused);
    fillOrders(db, name, rows);
}

BenchTable MakeBenchTable(const std::string& path, long rows) {
    std::string refused_key, refused_table;
    {
        jet::Database db(path, "");
        refused_key = tryCreate(db, "Orders", "ID");
        if (!refused_key.empty()) refused_table = tryCreate(db, "Orders", "");
        if (refused_table.empty()) {
            fillOrders(db, "Orders", rows);
            BenchTable t;
            t.name = "Orders", t.primary_key = refused_key.empty();
            t.how = refused_key.empty() ? "table Orders made by the engine, primary key ID"
                                        : "table Orders made by the engine WITHOUT a primary key (refused: " +
                                              refused_key + ")";
            t.number = "Quantity", t.number_column = 2;
            t.text = "Customer", t.text_column = 1;
            t.group = "Region", t.real = "Price";
            return t;
        }
    }
    FillJobTable(path, rows);
    BenchTable t;
    t.name = "jobDB1";
    t.how = "table jobDB1 of the corpus file, no primary key, no date or memo (creating a table was refused: " +
            refused_table + ")";
    t.number = "MainNumber", t.number_column = 1;
    t.text = "JobName", t.text_column = 3;
    t.group = "Department", t.real = "PhaseNumber";
    return t;
}
