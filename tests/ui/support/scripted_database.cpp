// SPDX-License-Identifier: Apache-2.0
#include "scripted_database.h"

#include "ado/connection.h"
#include "ado/error.h"

namespace uitest {

namespace {

class ScriptedProvider : public ado::Provider {
public:
    explicit ScriptedProvider(ScriptedDatabase& db) : db_(db) { ++db_.opens; }

    std::vector<ado::TableInfo> tables() override {
        std::vector<ado::TableInfo> out;
        for (const MemoryTable& t : db_.tables) out.push_back({t.name, "TABLE"});
        return out;
    }
    std::unique_ptr<ado::RowSource> openTable(const std::string& name) override {
        for (const MemoryTable& t : db_.tables)
            if (t.name == name) return Rows(t);
        throw ado::Error(jet::kErrNoSuchTable, "The table '" + name + "' does not exist.");
    }
    std::unique_ptr<ado::RowSource> query(const std::string& statement) override {
        if (statement.rfind("SELECT * FROM [", 0) == 0) return Provider::query(statement);
        db_.queried.push_back(statement);
        return db_.query ? db_.query(statement) : Provider::query(statement);
    }
    long execute(const std::string& statement) override {
        db_.executed.push_back(statement);
        if (db_.execute) db_.execute(statement);
        return 0;
    }

private:
    ScriptedDatabase& db_;
};

}  // namespace

std::vector<std::string> ScriptedDatabase::tableNames() const {
    std::vector<std::string> out;
    for (const MemoryTable& t : tables) out.push_back(t.name);
    return out;
}

ScriptedServer::ScriptedServer(ScriptedDatabase& database) {
    ado::SetProviderFactory([&database](const std::string&) { return std::make_unique<ScriptedProvider>(database); });
}

ScriptedServer::~ScriptedServer() { ado::SetProviderFactory({}); }

}  // namespace uitest
