// SPDX-License-Identifier: Apache-2.0
// SQL Server sources through the FreeTDS driver, where no SQL Server
// answers: a refused server and one that never answers must each end the
// open with an error that has a number and the driver's reason and leave
// the connection closed for the next try; the silent one ends at the login
// timeout the connection string sets.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ado/connection.h"
#include "ado/error.h"
#include "odbc/server_connection_string.h"
#include "support/test_server.h"

namespace {

class FreeTds : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_FREETDS(); }
    void TearDown() override { ado::SetServerDriver(""); }

    // Opens the SQL Server string the main window builds for `server`,
    // with a short login timeout; returns the error it raised.
    static ado::Error openFails(ado::Connection& cn, const std::string& server) {
        try {
            cn.Open(testserver::ConnectionString(testserver::kPassword, server) + ";Connect Timeout=2");
        } catch (const ado::Error& e) {
            EXPECT_EQ(cn.State(), ado::adStateClosed);
            return e;
        }
        ADD_FAILURE() << "opened " << server;
        return ado::Error(0, "");
    }
};

TEST_F(FreeTds, ARefusedServerIsReportedWithNumberAndReasonAndTheNextOpenIsTried) {
    for (const std::string& server : {testserver::kNoServer, std::string("localhost,1"), std::string("tcp:127.0.0.1,1")}) {
        ado::Connection cn;
        for (int attempt = 0; attempt < 2; ++attempt) {
            // The second open is tried afresh, not refused as already open.
            ado::Error e = openFails(cn, server);
            EXPECT_EQ(e.number(), ado::kErrProviderFailed) << server;
            EXPECT_EQ(e.description().rfind("[08S01] ", 0), 0u) << e.description();
            EXPECT_NE(e.description().find("Unable to connect"), std::string::npos) << e.description();
        }
    }
}

TEST_F(FreeTds, AServerThatNeverAnswersEndsTheOpenAtTheLoginTimeout) {
    // Takes the connection into its backlog and never says a word.
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);

    ado::Connection cn;
    ado::Error e = openFails(cn, "127.0.0.1," + std::to_string(ntohs(address.sin_port)));
    close(listener);
    EXPECT_EQ(e.number(), ado::kErrProviderFailed);
    EXPECT_EQ(e.description().rfind("[HYT00] ", 0), 0u) << e.description();
}

}  // namespace
