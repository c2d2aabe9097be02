// SPDX-License-Identifier: Apache-2.0
// The SQL side of one open Jet database: an in-memory SQLite connection
// whose tables are the database's, made known on demand from the names a
// statement reads, with the engine's catalog the only source of names. A
// saved select or union query is made known as a view of that name.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <map>
#include <set>
#include <string>

#include "jet/database.h"
#include "sql/dialect.h"
#include "sql/vtab.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ado::sql {

struct Finalizer {
    void operator()(sqlite3_stmt* stmt) const;
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, Finalizer>;

class Session {
public:
    explicit Session(jet::Database& db);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // `text`, compiled over the tables in `tables`. Raises 3078 for a table
    // the catalog does not hold, and an error for anything SQLite refuses,
    // or for text left after the one statement.
    StatementHandle prepare(const std::string& text, const std::vector<std::string>& tables);
    // One step: true while there is a row. Raises the engine's error where
    // the engine failed, else SQLite's.
    bool step(sqlite3_stmt* stmt);
    long changes() const;
    // Writes the SQLite text of a crosstab, its headings read from the rows
    // where no IN list gave them; other statements are left as they are.
    void pivot(Statement& st);
    // Drops what the session knows of `table` (its virtual table, declared
    // from the definition the engine had), before a statement changes or
    // removes that table; the next statement naming it declares it afresh.
    void forget(const std::string& table);
    // Makes the statement running now end with 3712, wherever it stands in
    // its run (see Run); from any thread or a signal handler.
    void interrupt();
    // Called now and then on the thread that runs a statement, with the
    // rows it has read from the tables so far; empty for none.
    void setProgress(std::function<void(uint64_t rows_read)> progress) { progress_ = std::move(progress); }

    // One statement of the provider, from its translation to its last step:
    // an interrupt while it lives stops it at its next SQLite step, also
    // one that came while no SQLite statement ran; an interrupt from before
    // it began is forgotten. Runs do not nest.
    class Run {
    public:
        explicit Run(Session& session);
        ~Run() { session_.running_ = false; }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

    private:
        Session& session_;
    };
    // The values of parameters, for statements and the saved queries they
    // read; saved queries read before are read afresh.
    void setParameters(ParameterValues values);
    const ParameterValues& parameters() const { return parameters_; }

private:
    void require(const std::string& table);
    void requireQuery(const jet::CatalogEntry& query);
    void declare(const std::string& statement, const std::string& name);
    [[noreturn]] void raise(int rc);
    // SQLite's progress handler: nonzero stops the statement.
    static int onProgress(void* session);

    jet::Database& db_;
    VtabContext context_;
    sqlite3* sqlite_ = nullptr;
    std::map<std::string, std::string> known_;  // folded name -> name declared
    std::set<std::string> opening_;             // saved queries being declared, folded
    std::set<std::string> views_;               // saved queries declared, folded
    ParameterValues parameters_;
    // Set by interrupt() from any thread; the rest is the running thread's.
    std::atomic<bool> stop_{false};
    bool running_ = false;
    std::function<void(uint64_t)> progress_;
};

}  // namespace ado::sql
