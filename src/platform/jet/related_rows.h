// SPDX-License-Identifier: Apache-2.0
// Referential integrity for the changes to one table's rows: the checks
// Access makes before a change, and the cascades it carries out after.
// TableWriter calls it on every insert, update and delete, inside the
// caller's transaction, so a change and its cascades land together or not
// at all.
//
// Of the enforced relationships (relationships.h):
//   - where the table is the referencing side, a new row, or a row whose
//     referencing columns change, with those columns all set needs its
//     referenced row (kErrRelatedRequired);
//   - where it is the referenced side, deleting a row others refer to, or
//     changing its referenced columns, is refused (kErrHasRelated) unless
//     the relationship cascades: a delete deletes the referring rows
//     (kRelationCascadeDeletes) or sets their columns to Null
//     (kRelationCascadeNull), an update gives them the new values
//     (kRelationCascadeUpdates).
// Cascaded changes go through TableWriter in turn, so they are checked and
// cascade further the same way. Refusals are all made before the row
// changes; one deeper down a cascade throws mid-way, and the caller's
// rollback takes back everything.
//
// Rows are looked up through an index whose leading columns are the
// relationship's, else by a scan; either way values compare as index keys
// do (text without regard to case).
#pragma once

#include <string>
#include <vector>

#include "database.h"
#include "relationships.h"

namespace jet {

class RelatedRows {
public:
    // `table` is the definition of the table named `name`.
    RelatedRows(Database& db, const std::string& name, const TableDef& table);

    void checkInsert(const std::vector<Value>& values) const;
    void checkUpdate(const std::vector<Value>& old_values, const std::vector<Value>& values) const;
    void checkDelete(RowId row, const std::vector<Value>& old_values) const;

    // After the row changed or went.
    void cascadeUpdate(const std::vector<Value>& old_values, const std::vector<Value>& values) const;
    void cascadeDelete(const std::vector<Value>& old_values) const;

private:
    // One enforced relationship seen from this table.
    struct Link {
        Relationship relationship;
        std::string other;               // the table at the other end
        std::vector<size_t> columns;     // this table's columns in it
        std::vector<size_t> other_columns;
    };

    void checkReferenced(const Link& link, const std::vector<Value>& values) const;
    std::vector<RowId> referring(const Link& link, const std::vector<Value>& values) const;
    [[noreturn]] void refuse(const Link& link) const;

    Database& db_;
    const TableDef& table_;
    std::vector<Link> references_;     // this table refers to the other
    std::vector<Link> referenced_by_;  // the other refers to this table
};

}  // namespace jet
