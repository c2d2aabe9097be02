// SPDX-License-Identifier: Apache-2.0
#include "migrate_link.h"

#include <libpq-fe.h>

#include <vector>

#include "ado/error.h"
#include "odbc/server_connection_string.h"
#include "odbc/statement.h"

void ServerLink::copy(const std::string&, const std::string&) {
    throw ado::Error(ado::kErrNotSupported, "This server takes no COPY.");
}

namespace {

class PostgresLink : public ServerLink {
public:
    explicit PostgresLink(const ado::ConnectionString& source) {
        ado::ServerAddress address = ado::AddressOf(source);
        std::string timeout = std::to_string(ado::LoginTimeout(source));
        std::string password = source.has("password") ? source.get("password") : source.get("PWD");
        std::string user = source.get("User ID"), database = source.get("Initial Catalog");
        std::vector<const char*> keys{"host", "user", "password", "connect_timeout", "client_encoding"};
        std::vector<const char*> values{address.host.c_str(), user.c_str(), password.c_str(), timeout.c_str(), "UTF8"};
        if (!address.port.empty()) keys.push_back("port"), values.push_back(address.port.c_str());
        if (!database.empty()) keys.push_back("dbname"), values.push_back(database.c_str());
        keys.push_back(nullptr);
        values.push_back(nullptr);
        connection_ = PQconnectdbParams(keys.data(), values.data(), 0);
        if (PQstatus(connection_) != CONNECTION_OK) {
            std::string why = PQerrorMessage(connection_);
            PQfinish(connection_);
            throw ado::Error(ado::kErrProviderFailed, "PostgreSQL refused the connection: " + trimmed(why));
        }
        // The notices of DROP ... IF EXISTS are no news to the user.
        PQsetNoticeProcessor(connection_, [](void*, const char*) {}, nullptr);
    }
    ~PostgresLink() override { PQfinish(connection_); }

    void run(const std::string& sql) override { finish(PQexec(connection_, sql.c_str()), PGRES_COMMAND_OK); }
    void begin() override { run("BEGIN"); }
    void commit() override { run("COMMIT"); }
    void rollback() override { run("ROLLBACK"); }
    bool copies() const override { return true; }

    void copy(const std::string& head, const std::string& data) override {
        failed_line_ = 0;
        finish(PQexec(connection_, head.c_str()), PGRES_COPY_IN);
        if (PQputCopyData(connection_, data.data(), int(data.size())) != 1 || PQputCopyEnd(connection_, nullptr) != 1)
            throw ado::Error(ado::kErrProviderFailed, trimmed(PQerrorMessage(connection_)));
        finish(PQgetResult(connection_), PGRES_COMMAND_OK);
    }

    long failedLine() const override { return failed_line_; }

private:
    static std::string trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        return s;
    }

    static std::string field(const PGresult* result, int code) {
        const char* text = PQresultErrorField(result, code);
        return text ? text : "";
    }

    // Takes the result, and every one after it; raises the first that is
    // not `expected`, as SQLSTATE, message, detail and where it arose (a
    // COPY's context names the line and the column).
    void finish(PGresult* result, ExecStatusType expected) {
        bool ok = result && PQresultStatus(result) == expected;
        std::string state, text;
        if (!ok && result) {
            state = field(result, PG_DIAG_SQLSTATE);
            text = "[" + state + "] " + field(result, PG_DIAG_MESSAGE_PRIMARY);
            if (std::string detail = field(result, PG_DIAG_MESSAGE_DETAIL); !detail.empty()) text += ". " + detail;
            if (std::string context = field(result, PG_DIAG_CONTEXT); !context.empty()) {
                text += " (" + context + ")";
                if (size_t line = context.find(", line "); context.starts_with("COPY ") && line != std::string::npos)
                    failed_line_ = std::atol(context.c_str() + line + 7);
            }
        } else if (!ok) {
            text = trimmed(PQerrorMessage(connection_));
        }
        PQclear(result);
        if (expected != PGRES_COPY_IN)
            while (PGresult* more = PQgetResult(connection_)) PQclear(more);
        if (!ok) throw ado::Error(state.empty() ? ado::kErrProviderFailed : ado::odbc::ErrorNumberFor(state), text);
    }

    PGconn* connection_ = nullptr;
    long failed_line_ = 0;
};

class OdbcLink : public ServerLink {
public:
    OdbcLink(const ado::ConnectionString& source, const std::string& driver)
        : link_(ado::DriverConnectionString(source, driver), ado::LoginTimeout(source)) {}
    void run(const std::string& sql) override {
        ado::odbc::Statement statement(link_);
        statement.Run(sql);
    }
    void begin() override { link_.Begin(); }
    void commit() override { link_.Commit(); }
    void rollback() override { link_.Rollback(); }

private:
    ado::odbc::Link link_;
};

}  // namespace

std::unique_ptr<ServerLink> postgresLink(const ado::ConnectionString& source) {
    return std::make_unique<PostgresLink>(source);
}

std::unique_ptr<ServerLink> odbcLink(const ado::ConnectionString& source, const std::string& driver) {
    return std::make_unique<OdbcLink>(source, driver);
}
