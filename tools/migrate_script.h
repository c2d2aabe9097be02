// SPDX-License-Identifier: Apache-2.0
// Moving the user tables of an Access file to a SQL server, as the
// statements that build them there, in the order the target needs:
//
//   1. with drop_existing: the foreign keys, then the tables, dropped
//   2. each table, with its primary key (and in SQLite its foreign keys)
//   3. each table's rows: multi-row INSERTs (or a COPY, where the sink
//      takes one), in batches, between the sink's beginRows and endRows
//      (one transaction a table); after them
//      an AutoNumber's identity continues from the file's next number
//   4. the other indexes, then the enforced relationships as foreign keys
//   5. the saved select queries that translate, as views (migrate_views)
//
// Indexes and foreign keys come after the rows: that loads faster and in
// any table order. A sink writes the statements as a script or runs them.
//
// An attachment or multi-value field F of table T becomes table T_F, made
// after the tables and filled after T's rows: the columns of T's primary
// key (NOT NULL), then a multi-value field's Value in its own type, or an
// attachment's FileName, FileType, FileData (the file's original bytes)
// and FileTimeStamp where the file keeps one; a foreign key to T with ON
// DELETE and ON UPDATE CASCADE. Where T has no primary key, T keeps F as
// an integer column, UNIQUE, holding the field's key from the file, and
// T_F refers to that. While T's rows move, each row's key is kept by the
// field's stored key, to find the owner of each value. A version history
// (of an append-only memo) stays behind: the memo moves with its newest
// text.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"
#include "migrate_dialect.h"

struct MigrationOptions {
    Target target = Target::PostgreSql;
    std::vector<std::string> tables;  // empty: every user table
    bool schema = true;
    bool data = true;
    bool drop_existing = false;
    bool single_transaction = false;  // --migrate: the whole move one transaction
};

class MigrationSink {
public:
    virtual ~MigrationSink() = default;
    virtual void statement(const std::string& sql) = 0;
    virtual void beginRows(const std::string& table) = 0;
    // One INSERT of `count` rows of the table begun.
    virtual void rows(const std::string& insert, long count) = 0;
    // Where copies(): the rows as one COPY instead (migrate_link).
    virtual bool copies() const { return false; }
    virtual void copyRows(const std::string&, const std::string&, long) {}
    virtual void endRows(const std::string& table, long total) = 0;
    // A view; one the target refuses need not end the move.
    virtual void view(const std::string& name, const std::string& create) = 0;
    // What did not move as it is (a renamed object, a skipped field).
    virtual void note(const std::string& text) = 0;
};

// Raises 3078 for a table in options.tables that the file does not have.
void migrate(const jet::Database& db, const MigrationOptions& options, MigrationSink& sink);

// pellinordb-sql --migrate-sql: the script of `file` on standard output;
// returns the exit status.
int writeMigrationScript(const std::string& file, const std::string& password, const MigrationOptions& options);

// Writes the statements to standard output, each table's rows inside one
// transaction (SQL Server's with GO after each statement, as sqlcmd reads
// them); the notes go to standard error.
class ScriptSink : public MigrationSink {
public:
    explicit ScriptSink(Target target) : target_(target) {}
    void statement(const std::string& sql) override;
    void beginRows(const std::string& table) override;
    void rows(const std::string& insert, long count) override;
    void endRows(const std::string& table, long total) override;
    void view(const std::string& name, const std::string& create) override;
    void note(const std::string& text) override;
    // Raises 3051 when standard output could not take it all.
    void finish();

private:
    void write(const std::string& sql);
    Target target_;
};
