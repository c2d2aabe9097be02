// SPDX-License-Identifier: Apache-2.0
// Creating, dropping, copying and widening tables of a Jet 4 file.
//
// Each operation works inside the caller's transaction, as TableWriter
// does: the caller calls Database::begin() before and commit() after, and
// rollback() when an operation throws. Every check (names, types, the
// table's existence and its relationships) is made before the first page
// changes, so a refused operation leaves the file as it was even if the
// caller went on to commit.
//
// A table is its definition (TDEF) page, its two usage maps (pages owned,
// pages with room), a pair of usage maps per long-value column, the
// B-tree and usage map of each index, its catalog row in MSysObjects and
// the catalog's access-control rows in MSysACEs. Catalog rows go through TableWriter, which keeps the catalog's
// own indexes.
//
// Jet 3 files are refused (kErrUnsupported).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database.h"
#include "table_def.h"

namespace jet {

// One column of a new table.
struct NewColumn {
    std::string name;
    uint8_t type = kText;     // a ColumnType
    uint16_t size = 0;        // kText: the most characters (1..255); else ignored
    bool required = false;     // NOT NULL: refused until field properties are written
    bool autonumber = false;   // kLong numbered by the engine (COUNTER); one per table
    bool primary_key = false;  // part of the table's primary key (not Memo or OLE)
};

// The column a DDL type names: `ddl_type` upper-cased as the SQL translator
// hands it (TEXT, MEMO, BYTE, SHORT, LONG, SINGLE, DOUBLE, CURRENCY,
// DATETIME, YESNO, OLEOBJECT, GUID, COUNTER and their synonyms: VARCHAR,
// CHAR, LONGTEXT, SMALLINT, INTEGER, INT, REAL, FLOAT, MONEY, DATE, TIME,
// BIT, LOGICAL, LONGBINARY, UNIQUEIDENTIFIER, AUTOINCREMENT ...), `size`
// the n of TEXT(n), 0 when none was given (TEXT then holds 255).
// Throws kErrBadFieldType for a type Jet does not know or a TEXT size
// outside 1..255.
NewColumn newColumn(const std::string& name, const std::string& ddl_type, int size);

// The columns of an existing table, as a NewColumn each, so that a new
// table can be made in its likeness (SELECT ... INTO).
std::vector<NewColumn> newColumnsLike(const TableDef& table);

// Checks an object or field name as Access does: 1..64 characters, no
// leading blank, none of . ! ` [ ] nor control characters. Throws
// kErrBadName.
void checkName(const std::string& name);

// Creates an empty table. Columns marked primary_key make up its primary
// key, in definition order (at most 10): a unique index named
// "PrimaryKey" whose columns may not be Null, kept by TableWriter.
// Throws kErrBadName, kErrTableExists (a table or other object of that
// name, compared case-insensitively), kErrDuplicateField,
// kErrTooManyFields (more than 255), kErrNoFields, kErrBadFieldType (also
// a Memo or OLE key column, a second AutoNumber), kErrUnsupported (NOT
// NULL; more than 10 key columns; Jet 3), kErrReadOnly.
void createTable(Database& db, const std::string& name, const std::vector<NewColumn>& columns);

// Removes a table: its catalog and access rows, and every page it owns
// (definition, data, long values, indexes) goes back to the free-space map.
// Throws kErrNoSuchTable, kErrInRelationship (the table takes part in a
// relationship), kErrUnsupported (a system table; Jet 3), kErrReadOnly.
void dropTable(Database& db, const std::string& name);

// A new table `target` with the columns of `source` (names, types, sizes,
// Required, autonumber) and a copy of every row; autonumbers keep their
// values. Indexes are not copied, as SELECT ... INTO does not copy them.
// Throws as createTable for `target`, kErrNoSuchTable for `source`.
void copyTable(Database& db, const std::string& source, const std::string& target);

// Adds a column after the table's last. Rows already stored are not
// rewritten: they read the new column as Null. The table's cached
// definition is read again; TableWriters made on it before are not to be
// used after. Throws kErrNoSuchTable,
// kErrBadName, kErrDuplicateField, kErrTooManyFields, kErrBadFieldType (as
// createTable), kErrUnsupported (a system table; a primary key column; an
// AutoNumber, or the table's first Text, Memo, OLE or Binary column, when
// the table has rows; a definition that would not fit on one page; Jet 3),
// kErrReadOnly.
void addColumn(Database& db, const std::string& table, const NewColumn& column);

// createTable's first half, on its own for checking the pages it writes:
// the definition and map pages of a table with `columns` (checked as
// createTable checks them), within a transaction. Returns the definition
// page, which is also the table's catalog Id.
uint32_t writeTablePages(Database& db, const std::vector<NewColumn>& columns);

}  // namespace jet
