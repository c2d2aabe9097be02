// SPDX-License-Identifier: Apache-2.0
#include "odbc/server_connection_string.h"

#include <cctype>

#include "ado/error.h"

namespace ado {

namespace {

const std::string kFreeTds = "FreeTDS";
std::string g_driver = kFreeTds;

std::string lower(const std::string& s) {
    std::string out;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// In braces where the value holds a character the driver would read as
// syntax; some drivers take braces around a password only.
std::string braced(const std::string& value) {
    bool plain = value.find_first_of("[]{}(),;?*=!@") == std::string::npos &&
                 (value.empty() || (!std::isspace(static_cast<unsigned char>(value.front())) &&
                                    !std::isspace(static_cast<unsigned char>(value.back()))));
    if (plain) return value;
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

}  // namespace

ServerAddress AddressOf(const ConnectionString& source) {
    std::string data_source = source.get("Data Source");
    std::string s = trimmed(data_source);
    if (lower(s.substr(0, 4)) == "tcp:") s = trimmed(s.substr(4));
    ServerAddress a;
    size_t comma = s.rfind(',');
    if (comma != std::string::npos) {
        a.port = trimmed(s.substr(comma + 1));
        s = trimmed(s.substr(0, comma));
        for (char c : a.port)
            if (!std::isdigit(static_cast<unsigned char>(c)) || a.port.size() > 5)
                throw Error(kErrInvalidConnection, "The port in the server name is not a number: " + data_source);
    }
    // Shared memory and named pipes are Windows' own; here this machine is
    // reached over TCP.
    std::string l = lower(s);
    if (l == "." || l == "(local)" || l == "(localhost)") s = "localhost";
    else if (l.rfind(".\\", 0) == 0 || l.rfind("(local)\\", 0) == 0) s = "localhost" + s.substr(s.find('\\'));
    a.host = s;
    if (a.host.empty()) throw Error(kErrInvalidConnection, "No server is named in the connection string.");
    return a;
}

void SetServerDriver(const std::string& driver_name) { g_driver = driver_name.empty() ? kFreeTds : driver_name; }
const std::string& ServerDriver() { return g_driver; }

bool IsServerProvider(const std::string& provider) {
    std::string p = lower(provider);
    return p == "sqloledb" || p == "sqloledb.1";
}

std::string DriverConnectionString(const ConnectionString& source, const std::string& driver) {
    ServerAddress a = AddressOf(source);
    bool freetds = lower(driver) == lower(kFreeTds);
    // FreeTDS finds a named instance's port itself.
    if (a.port.empty() && freetds && a.host.find('\\') == std::string::npos) a.port = "1433";

    std::string out = "Driver={" + driver + "};Server=" + braced(a.host);
    if (!a.port.empty()) out += ";Port=" + a.port;
    std::string catalog = source.get("Initial Catalog");
    if (!catalog.empty()) out += ";Database=" + braced(catalog);
    out += ";UID=" + braced(source.get("User ID"));
    std::string password = source.has("password") ? source.get("password") : source.get("PWD");
    out += ";PWD=" + braced(password);
    if (freetds) out += ";TDS_Version=7.3;ClientCharset=UTF-8";
    return out;
}

unsigned long LoginTimeout(const ConnectionString& source) {
    if (!source.has("Connect Timeout")) return 15;
    std::string text = trimmed(source.get("Connect Timeout"));
    bool number = !text.empty() && text.size() <= 5;
    for (char c : text) number = number && std::isdigit(static_cast<unsigned char>(c));
    if (!number) throw Error(kErrInvalidConnection, "The connect timeout is not a number of seconds: " + text);
    return std::stoul(text);
}

}  // namespace ado
