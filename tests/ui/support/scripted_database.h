// SPDX-License-Identifier: Apache-2.0
// A database whose answers the test scripts: its tables held in memory,
// every statement a window sends recorded, each answered as the test says.
// While a ScriptedServer lives, every connection opened by a connection
// string opens onto its database.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "memory_tables.h"

namespace uitest {

struct ScriptedDatabase {
    // A list, so rows read from a table stay valid when tables come and go.
    std::list<MemoryTable> tables;
    std::vector<std::string> executed;  // Connection.Execute, in order
    std::vector<std::string> queried;   // Recordset.Open of anything but a whole table
    int opens = 0;                      // connections opened
    // Answers an executed statement: may change `tables` or raise. Unset,
    // every statement is accepted and changes nothing.
    std::function<void(const std::string& statement)> execute;
    // The rows of a queried statement; unset, the provider's default.
    std::function<std::unique_ptr<ado::RowSource>(const std::string& statement)> query;

    std::vector<std::string> tableNames() const;
};

class ScriptedServer {
public:
    explicit ScriptedServer(ScriptedDatabase& database);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
};

}  // namespace uitest
