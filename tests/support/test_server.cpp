// SPDX-License-Identifier: Apache-2.0
#include "test_server.h"

#include "ado/connection.h"
#include "ado/connection_string.h"
#include "ado/error.h"
#include "odbc/server_connection_string.h"

#include <memory>

namespace testserver {

namespace {

// The turn is a session lock of the server's, so it also ends with a
// process that dies holding it.
std::unique_ptr<ado::Connection> g_turn;

class TurnEnds : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { g_turn.reset(); }
};

void takeTurn() {
    if (g_turn) return;
    static bool listening = false;
    if (!listening) {
        ::testing::UnitTest::GetInstance()->listeners().Append(new TurnEnds);
        listening = true;
    }
    auto turn = std::make_unique<ado::Connection>();
    turn->Open(ConnectionString());
    turn->Execute("SELECT pg_advisory_lock(7011)");  // waits while another test holds it
    g_turn = std::move(turn);
}

}  // namespace

std::string ConnectionString(const std::string& password, const std::string& server) {
    return "Provider=SQLOLEDB.1;User ID=" + kUser + ";password=" + ado::QuoteConnectionValue(password) +
           ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Initial Catalog=" + kDatabase +
           ";Data Source=" + server;
}

bool Available(std::string& why) {
    ado::SetServerDriver("PostgreSQL Unicode");
    try {
        takeTurn();
        return true;
    } catch (const ado::Error& e) {
        why = std::to_string(e.number()) + " " + e.description();
        return false;
    }
}

void Run(const std::string& sql) {
    ado::Connection cn;
    cn.Open(ConnectionString());
    cn.Execute(sql);
}

bool FreeTdsRegistered(std::string& why) {
    ado::SetServerDriver("");
    try {
        ado::Connection cn;
        cn.Open(ConnectionString(kPassword, kNoServer));
    } catch (const ado::Error& e) {
        // Only the driver itself names itself; without it the driver
        // manager answers that it has no such driver or cannot load it.
        if (e.description().find("[FreeTDS]") == std::string::npos) {
            why = e.description();
            return false;
        }
    }
    return true;
}

}  // namespace testserver
