// SPDX-License-Identifier: Apache-2.0
// Connection strings: "Key=Value;Key=Value", as the OLE DB providers read
// them. Keys are compared without regard to case or surrounding blanks. A
// value is taken as it stands up to the next ";", or is put in double or
// single quotes, the quote doubled inside, so that it can hold ";". Every
// key, the provider's name too, is read by these rules, so no typed value
// can end early or add a key.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ado {

class ConnectionString {
public:
    explicit ConnectionString(const std::string& text);

    bool has(const std::string& key) const;
    // The value of `key`, or "" when absent; the last one wins when repeated.
    std::string get(const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;  // keys lower-cased
};

// `value` as a connection string carries it: unchanged where it needs no
// quotes, else in double quotes (a value holding ";", "=", a quote or a
// brace, or with blanks at either end).
std::string QuoteConnectionValue(const std::string& value);

// The Jet provider's string for the database at `path`, as the main window
// and the command-line tool open one.
std::string JetConnectionString(const std::string& path, const std::string& password, const std::string& user = "");

// The SQL Server provider's string, as the windows open one; `database`
// "" for the server's default.
std::string ServerConnectionString(const std::string& server, const std::string& user, const std::string& password,
                                   const std::string& database);

}  // namespace ado
