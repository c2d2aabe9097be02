// SPDX-License-Identifier: Apache-2.0
// The PostgreSQL server that stands in for SQL Server in the tests
// (scripts/test-server starts it): reached through the same SQL Server
// connection strings, with PostgreSQL's ODBC driver in place of FreeTDS.
// Also whether FreeTDS itself is there, for the tests of what it reports.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testserver {

// What the selector's boxes take: "Data Source" with its port, the login
// (its password holds ";", "}" and "=", which must all arrive whole), and
// the database, which is also the login's default one.
inline const std::string kServer = "127.0.0.1,5432";
inline const std::string kUser = "pellinor_test";
inline const std::string kPassword = "pell;in}=or";
inline const std::string kDatabase = "pellinor_test";
// A port on this machine where no server listens.
inline const std::string kNoServer = "127.0.0.1,1";

// The SQL Server connection string, as the main window builds it.
std::string ConnectionString(const std::string& password = kPassword, const std::string& server = kServer);

// Points server sources at PostgreSQL's driver and tells whether the
// server answers; `why` says what failed when it does not. When it answers,
// the current test holds the server until it ends: every test process on
// this machine (ctest runs several side by side, other clones too) shares
// the one database and its table names, so their server tests take turns.
bool Available(std::string& why);

// Runs `sql` on the test database; fails the test when it fails.
void Run(const std::string& sql);

// Points server sources at FreeTDS and tells whether the driver manager
// finds it (scripts/setup registers it); `why` says what is missing.
bool FreeTdsRegistered(std::string& why);

}  // namespace testserver

#define SKIP_WITHOUT_SERVER()                                                                     \
    do {                                                                                          \
        std::string why_;                                                                         \
        if (!testserver::Available(why_))                                                         \
            GTEST_SKIP() << "the PostgreSQL test server is not reachable (scripts/test-server "    \
                            "starts it): "                                                        \
                         << why_;                                                                 \
    } while (0)

#define SKIP_WITHOUT_FREETDS()                                                                    \
    do {                                                                                          \
        std::string why_;                                                                         \
        if (!testserver::FreeTdsRegistered(why_))                                                 \
            GTEST_SKIP() << "the FreeTDS ODBC driver is not registered (scripts/setup does it): " \
                         << why_;                                                                 \
    } while (0)
