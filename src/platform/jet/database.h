// SPDX-License-Identifier: Apache-2.0
// An open Jet database: the file, its header, its catalog and its tables.
//
// The catalog is the system table MSysObjects, whose definition is always
// on page 2. Each of its rows names an object; tables are the rows of type
// 1, and the low 24 bits of a table's Id are the page of its definition.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "data_page.h"
#include "header.h"
#include "pager.h"
#include "row_reader.h"
#include "table_def.h"
#include "text.h"

namespace jet {

struct CatalogEntry {
    std::string name;
    int32_t id = 0;
    int32_t parent_id = 0;
    int16_t type = 0;
    uint32_t flags = 0;

    bool isTable() const { return type == 1; }
    bool isQuery() const { return type == 5; }  // its definition is in MSysQueries
    // Jet marks its own tables (MSys...) with either of these flags.
    bool isSystem() const { return flags & 0x80000002u; }
    uint32_t definitionPage() const { return uint32_t(id) & 0x00FFFFFF; }
};

class Database {
public:
    // Opens `path` read-only, checking `password` against the stored one.
    // Throws jet::Error: kErrFileNotFound, kErrNotDatabase, kErrBadPassword,
    // kErrUnsupported (encryption it cannot read), kErrCorrupt. Office-
    // encrypted files are checked against their verifier instead.
    Database(const std::string& path, const std::string& password);

    const Header& header() const { return header_; }
    const Format& format() const { return *header_.format; }
    const Pager& pager() const { return pager_; }
    // For the writer: the pager, to change pages within a transaction.
    Pager& writablePager() { return pager_; }
    const TextCodec& codec() const { return codec_; }

    const std::vector<CatalogEntry>& catalog() const { return catalog_; }
    // Names of the user tables, in catalog order.
    std::vector<std::string> userTables() const;

    // The table named `name` (case-insensitive); throws kErrNoSuchTable.
    const TableDef& table(const std::string& name) const;

    // A read (a statement, a fetch of rows) runs between beginRead() and
    // endRead() (see Pager::beginRead), or within a Reading; where another
    // process changed the file since the last read, the catalog and every
    // cached definition are read again first.
    void beginRead();
    void endRead();

    // A change: begin() starts it (taking the write lock the first time,
    // when every cached definition is read again, for another process may
    // have written before), commit() makes it durable, rollback() drops it
    // and restores the cached definitions.
    void begin();
    void commit();
    void rollback();
    // After a table was created or dropped within the transaction: reads
    // the catalog again and forgets the definition cached for `dropped_page`.
    void schemaChanged(uint32_t dropped_page = 0);
    // The cached definition, for the writer to keep its counters in step.
    TableDef& tableForWriting(const std::string& name);

private:
    void readCatalog();
    void rereadDefinitions();

    Pager pager_;
    Header header_;
    TextCodec codec_;
    std::vector<CatalogEntry> catalog_;
    mutable std::map<uint32_t, std::unique_ptr<TableDef>> tables_;  // by definition page
    // Definitions of tables another process dropped: kept, for a reader may
    // still hold a reference to one.
    std::vector<std::unique_ptr<TableDef>> retired_;
    uint64_t seen_changes_ = ~uint64_t(0);  // the pager's outsideChanges() when last read; none yet
};

// A read of `db` for as long as it lives.
class Reading {
public:
    explicit Reading(Database& db) : db_(db) { db_.beginRead(); }
    ~Reading() { db_.endRead(); }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

private:
    Database& db_;
};

// Runs `change` as one transaction of `db`: committed when it returns,
// rolled back when it throws. Returns what `change` returns.
template <typename Change>
auto inTransaction(Database& db, Change change) -> decltype(change()) {
    db.begin();
    try {
        if constexpr (std::is_void_v<decltype(change())>) {
            change();
            db.commit();
        } else {
            auto result = change();
            db.commit();
            return result;
        }
    } catch (...) {
        db.rollback();
        throw;
    }
}

// Reads the live rows of one table in storage order: the data pages its
// usage map lists, each row not deleted, moved rows followed to their data.
class TableScan {
public:
    TableScan(const Database& db, const TableDef& table);

    // Advances to the next live row; false past the last.
    bool next();
    // Where the current row starts (its first slot, before any move).
    RowId rowId() const { return current_; }
    // The values of the current row, one per column.
    void read(std::vector<Value>& values) const;
    // The current row's bytes, valid until next().
    Bytes data() const { return current_data_; }

private:
    const Database& db_;
    const TableDef& table_;
    RowReader reader_;
    std::vector<uint32_t> pages_;
    size_t page_index_ = 0;
    int next_row_ = -1;  // -1: the page at page_index_ is not entered yet
    RowId current_;
    Bytes current_data_;
};

}  // namespace jet
