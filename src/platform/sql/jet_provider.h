// SPDX-License-Identifier: Apache-2.0
// The Jet engine as a backend of the access interface.
#pragma once

#include <map>
#include <memory>

#include "ado/provider.h"
#include "jet/database.h"
#include "sql/session.h"

namespace ado {

class JetProvider : public Provider {
public:
    JetProvider(const std::string& path, const std::string& password);
    std::vector<TableInfo> tables() override;
    std::unique_ptr<RowSource> openTable(const std::string& name) override;
    // Any SELECT, run by SQLite over the engine's tables. Its rows are taken
    // when it is opened, so the count is exact; where they are the rows of
    // one stored table, each taken by its key, they can be changed and added
    // to. A statement that returns no rows is refused before it runs.
    std::unique_ptr<RowSource> query(const std::string& statement) override;
    // One statement; a change is one engine transaction, all or nothing.
    // Schema statements (jet_schema.h) are refused with 3211 for a table a
    // row source of this provider still has open.
    long execute(const std::string& statement) override;
    void cancel() override;
    void setProgress(Progress progress) override;
    void setParameters(const std::vector<std::pair<std::string, std::string>>& values) override {
        session().setParameters(values);
    }

    // ADO's type code for a Jet column type.
    static DataType fieldType(uint8_t column_type);

private:
    sql::Session& session() { return *session_; }
    sql::Statement translated(const std::string& statement);
    std::unique_ptr<RowSource> keyedRows(const sql::Statement& st, sqlite3_stmt* plain);
    static std::string outputName(sqlite3_stmt* stmt, size_t column);
    // Raises 3211 when a row source of this provider has `table` open.
    void refuseInUse(const std::string& table);

    std::unique_ptr<jet::Database> db_;
    std::unique_ptr<sql::Session> session_;
    std::map<uint32_t, int> in_use_;  // open table row sources, by definition page
};

// Lets connection strings name the Jet provider ("Microsoft.Jet.OLEDB.4.0",
// "Microsoft.ACE.OLEDB.12.0"), which reads "Data Source" and "Jet
// OLEDB:Database Password"; "User ID" and "Persist Security Info" are
// accepted and change nothing, as Jet needs no user for a file without
// user-level security.
void RegisterJetProvider();

}  // namespace ado
