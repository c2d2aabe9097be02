// SPDX-License-Identifier: Apache-2.0
#include "migrate_server.h"

#include <unistd.h>
#include <chrono>
#include <cstdio>

#include "ado/error.h"
#include "migrate_link.h"
#include "odbc/server_connection_string.h"

namespace {

class ServerSink : public MigrationSink {
public:
    // `single`: the whole move is one transaction, begun here and committed
    // by finish(); else one a table's rows.
    ServerSink(ServerLink& link, bool single, Target target) : link_(link), single_(single), target_(target) {
        if (single_) begin();
    }

    void finish() {
        if (single_) commit();
    }

    void statement(const std::string& sql) override { run(sql); }

    void beginRows(const std::string& table) override {
        table_ = table;
        done_ = 0;
        start_ = std::chrono::steady_clock::now();
        if (!single_) begin();
    }

    bool copies() const override { return link_.copies(); }

    void rows(const std::string& insert, long count) override {
        send(count, [&] { run(insert); });
    }

    void copyRows(const std::string& head, const std::string& data, long count) override {
        send(count, [&] { link_.copy(head, data); });
    }

    void endRows(const std::string& table, long) override {
        if (!single_) commit();
        moved_ += (moved_.empty() ? "" : ", ") + table;
        progress("\n");
        table_.clear();
    }

    // A refused view ends nothing; inside the one transaction a savepoint
    // keeps the refusal from spoiling it.
    void view(const std::string& name, const std::string& create) override {
        bool sqlserver = target_ == Target::SqlServer;
        if (single_) run(sqlserver ? "SAVE TRANSACTION pellinordb_view" : "SAVEPOINT pellinordb_view");
        try {
            run(create);
        } catch (const ado::Error& e) {
            if (single_) run(sqlserver ? "ROLLBACK TRANSACTION pellinordb_view" : "ROLLBACK TO SAVEPOINT pellinordb_view");
            note("query " + name + " is no view: the server refuses it: " + e.description());
        }
    }

    void note(const std::string& text) override { std::fprintf(stderr, "pellinordb-sql: %s\n", text.c_str()); }

    // The error of a failed step, saying where it failed; the table's rows
    // so far are rolled back (by the server itself where the way to it broke).
    ado::Error failed(const ado::Error& e) {
        try {
            if (in_transaction_) link_.rollback();
        } catch (const ado::Error&) {
        }
        long line = link_.failedLine();
        std::string where = batch_ == 0 ? ""  // not the server's: the error says where
                            : line         ? "Table " + table_ + ", row " + std::to_string(done_ + line) + ": "
                                           : "Table " + table_ + ", rows " + std::to_string(done_ + 1) + " to " +
                                                 std::to_string(done_ + batch_) + ": ";
        std::string text = where + e.description();
        text += text.ends_with('.') ? " " : ". ";
        if (single_) return ado::Error(e.number(), text + "Nothing was moved.");
        return ado::Error(e.number(),
                          text + (moved_.empty() ? "No table was moved." : "Moved before: " + moved_ + "."));
    }

private:
    void begin() {
        link_.begin();
        in_transaction_ = true;
    }
    void commit() {
        link_.commit();
        in_transaction_ = false;
    }
    void run(const std::string& sql) { link_.run(sql); }

    // One batch of `count` rows, sent by `sending`.
    template <typename Sending>
    void send(long count, Sending sending) {
        batch_ = count;
        sending();
        batch_ = 0;
        done_ += count;
        if (isatty(STDERR_FILENO)) progress("\r");
    }

    void progress(const char* end) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        long rate = seconds > 0 ? long(double(done_) / seconds) : 0;
        std::fprintf(stderr, "%s: %ld rows, %ld rows/s%s", table_.c_str(), done_, rate, end);
    }

    ServerLink& link_;
    bool single_;
    Target target_;
    std::string table_, moved_;
    long done_ = 0, batch_ = 0;
    bool in_transaction_ = false;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

int migrateToServer(const std::string& file, const std::string& password, const MigrationOptions& options,
                    const std::string& connection) {
    jet::Database db(file, password);
    ado::ConnectionString source(connection);
    std::unique_ptr<ServerLink> link =
        options.target == Target::PostgreSql ? postgresLink(source) : odbcLink(source, ado::ServerDriver());
    ServerSink sink(*link, options.single_transaction, options.target);
    try {
        migrate(db, options, sink);
        sink.finish();
    } catch (const ado::Error& e) {
        throw sink.failed(e);
    }
    return 0;
}
