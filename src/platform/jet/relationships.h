// SPDX-License-Identifier: Apache-2.0
// The relationships between tables, as MSysRelationships stores them: one
// row per pair of columns, szObject.szColumn the referencing ("many") side,
// szReferencedObject.szReferencedColumn the referenced one, icolumn the
// pair's place among the relationship's ccolumn pairs, grbit its flags,
// szRelationship its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

class Database;

// grbit. Without kRelationNotEnforced Access keeps referential integrity:
// every referencing row whose columns are all set has its referenced row.
constexpr uint32_t kRelationOneToOne = 0x00000001, kRelationNotEnforced = 0x00000002,
                   kRelationCascadeUpdates = 0x00000100, kRelationCascadeDeletes = 0x00001000,
                   kRelationCascadeNull = 0x00002000;

struct Relationship {
    std::string name;
    uint32_t flags = 0;
    std::string table;  // referencing
    std::vector<std::string> columns;
    std::string referenced_table;
    std::vector<std::string> referenced_columns;  // pair by pair with `columns`

    bool enforced() const { return !(flags & kRelationNotEnforced); }
};

// Every relationship of the database, in the order of their first rows;
// none when the file has no MSysRelationships.
std::vector<Relationship> readRelationships(const Database& db);

}  // namespace jet
