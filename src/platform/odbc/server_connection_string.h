// SPDX-License-Identifier: Apache-2.0
// The SQL Server connection string (Provider=SQLOLEDB) turned into the
// connection string of the ODBC driver that reaches the server.
//
// Read: "Data Source" (host, "host,port", "host\instance", "tcp:" prefix,
// "(local)" or "." for this machine), "Initial Catalog", "User ID",
// "password" (also "Password", "PWD"). Other keys of the provider's string
// change nothing here, but for "Connect Timeout". Values the user typed that hold ";", "=", braces or
// the like are put in braces for the driver, "}" doubled, so that no value
// can end early or add keys.
#pragma once

#include <string>

#include "ado/connection_string.h"

namespace ado {

// The ODBC driver serving SQL Server sources: "FreeTDS", as installed with
// the program, unless set otherwise (the tests set PostgreSQL's driver, as
// no SQL Server runs beside them). "" restores FreeTDS.
void SetServerDriver(const std::string& driver_name);
const std::string& ServerDriver();

bool IsServerProvider(const std::string& provider);

// For the driver named: FreeTDS gets its TDS protocol version and port
// 1433 unless the source names another; other drivers take their defaults.
std::string DriverConnectionString(const ConnectionString& source, const std::string& driver_name = ServerDriver());

// The host and port ("" when not given) that "Data Source" names, as the
// driver connection string gets them.
struct ServerAddress {
    std::string host;
    std::string port;
};
ServerAddress AddressOf(const ConnectionString& source);

// The seconds a login may take, so that a server that never answers cannot
// hold the window: "Connect Timeout" of the source (0 waits as long as the
// way to the server does), else ADO's 15.
unsigned long LoginTimeout(const ConnectionString& source);

}  // namespace ado
