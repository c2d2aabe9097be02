// SPDX-License-Identifier: Apache-2.0
// The values of a table's complex columns (ACE attachments, multi-value
// fields, version histories), as the user sees them.
//
// A complex column stores only a key; its values are rows of a hidden
// "flat" table: the columns of a template table, an AutoNumber, and a Long
// that carries the key. MSysComplexColumns names the flat table of each column (by
// the column's complex id) and the template it follows, which says the
// kind: an attachment shows its file names, a multi-value field its values,
// both in stored order joined by "; "; a version history its newest text.
// The flat tables are read once, when a value is first asked for.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "table_def.h"
#include "value.h"

namespace jet {

class Database;

enum class ComplexKind { Attachment, MultiValue, History };

// The hidden table that holds a complex column's values.
struct ComplexTable {
    ComplexKind kind;
    const TableDef* flat;
    size_t owner;  // the flat table's column carrying the owning row's key
};

// Nothing where MSysComplexColumns does not name the column's tables.
std::optional<ComplexTable> complexTableOf(const Database& db, const Column& column);

// The original bytes of an attachment's stored FileData: a u32 kind (0
// raw, 1 deflate), a u32 length of what follows once inflated, and that
// content, which is a header (u32 its own length, u32 1, u32 the
// extension's length in characters, the extension in UCS-2 with its
// terminator) and the file. Throws kErrCorrupt where it is not so.
Binary attachmentFileData(Bytes stored);

class ComplexValues {
public:
    ComplexValues(const Database& db, const TableDef& table) : db_(db), table_(table) {}

    // The value of complex column `column` for the stored key; Null where
    // the key has no rows or the column's hidden table cannot be found.
    Value value(const Column& column, int32_t key) const;

private:
    using Texts = std::unordered_map<int32_t, std::string>;
    Texts load(const Column& column) const;

    const Database& db_;
    const TableDef& table_;
    mutable std::map<uint32_t, Texts> by_complex_id_;
};

}  // namespace jet
