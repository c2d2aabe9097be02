// SPDX-License-Identifier: Apache-2.0
#include "relationships.h"

#include <algorithm>
#include <map>

#include "database.h"

namespace jet {

std::vector<Relationship> readRelationships(const Database& db) {
    std::vector<Relationship> out;
    auto catalogued = std::find_if(db.catalog().begin(), db.catalog().end(), [](const CatalogEntry& e) {
        return e.isTable() && sameName(e.name, "MSysRelationships");
    });
    if (catalogued == db.catalog().end()) return out;
    const TableDef& def = db.table(catalogued->name);
    auto text = [&](const std::vector<Value>& row, const char* name) {
        int i = def.findColumn(name);
        return i >= 0 && row[size_t(i)].is<std::string>() ? row[size_t(i)].as<std::string>() : std::string();
    };
    auto number = [&](const std::vector<Value>& row, const char* name) {
        int i = def.findColumn(name);
        return i >= 0 && row[size_t(i)].is<int32_t>() ? row[size_t(i)].as<int32_t>() : 0;
    };
    // Pairs arrive in any order; icolumn places each in its relationship.
    std::map<std::string, std::map<int32_t, std::pair<std::string, std::string>>> pairs;
    TableScan scan(db, def);
    std::vector<Value> row;
    while (scan.next()) {
        scan.read(row);
        std::string name = text(row, "szRelationship");
        auto it = std::find_if(out.begin(), out.end(), [&](const Relationship& r) { return r.name == name; });
        if (it == out.end()) {
            Relationship& r = out.emplace_back();
            r.name = name;
            r.flags = uint32_t(number(row, "grbit"));
            r.table = text(row, "szObject");
            r.referenced_table = text(row, "szReferencedObject");
        }
        pairs[name][number(row, "icolumn")] = {text(row, "szColumn"), text(row, "szReferencedColumn")};
    }
    for (Relationship& r : out)
        for (const auto& [place, pair] : pairs[r.name]) {
            r.columns.push_back(pair.first);
            r.referenced_columns.push_back(pair.second);
        }
    return out;
}

}  // namespace jet
