// SPDX-License-Identifier: Apache-2.0
#include "ado/connection_string.h"

#include <cctype>

namespace ado {

namespace {

bool blank(char c) { return std::isspace(static_cast<unsigned char>(c)); }

std::string normalKey(const std::string& key) {
    size_t b = 0, e = key.size();
    while (b < e && blank(key[b])) ++b;
    while (e > b && blank(key[e - 1])) --e;
    std::string out;
    for (size_t i = b; i < e; ++i) out += char(std::tolower(static_cast<unsigned char>(key[i])));
    return out;
}

// A quoted value starting at `pos` (on the quote); `pos` ends after the
// closing quote. An unclosed quote runs to the end of the text.
std::string quotedValue(const std::string& text, size_t& pos) {
    char quote = text[pos++];
    std::string value;
    while (pos < text.size()) {
        if (text[pos] == quote) {
            if (pos + 1 < text.size() && text[pos + 1] == quote) {
                value += quote;
                pos += 2;
                continue;
            }
            ++pos;
            break;
        }
        value += text[pos++];
    }
    return value;
}

}  // namespace

ConnectionString::ConnectionString(const std::string& text) {
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t eq = text.find('=', pos), end = text.find(';', pos);
        if (eq == std::string::npos || (end != std::string::npos && end < eq)) {
            // A part without "=" names nothing.
            if (end == std::string::npos) break;
            pos = end + 1;
            continue;
        }
        std::string key = normalKey(text.substr(pos, eq - pos));
        size_t start = eq + 1;
        while (start < text.size() && blank(text[start])) ++start;
        if (start < text.size() && (text[start] == '"' || text[start] == '\'')) {
            std::string value = quotedValue(text, start);
            pairs_.emplace_back(key, value);
            end = text.find(';', start);
            pos = end == std::string::npos ? text.size() + 1 : end + 1;
            continue;
        }
        start = eq + 1;
        if (end == std::string::npos) end = text.size();
        pairs_.emplace_back(key, text.substr(start, end - start));
        pos = end + 1;
    }
}

bool ConnectionString::has(const std::string& key) const {
    std::string k = normalKey(key);
    for (const auto& p : pairs_)
        if (p.first == k) return true;
    return false;
}

std::string ConnectionString::get(const std::string& key) const {
    std::string k = normalKey(key);
    std::string value;
    for (const auto& p : pairs_)
        if (p.first == k) value = p.second;
    return value;
}

std::string QuoteConnectionValue(const std::string& value) {
    bool plain = value.find_first_of(";=\"'{}") == std::string::npos &&
                 (value.empty() || (!blank(value.front()) && !blank(value.back())));
    if (plain) return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string JetConnectionString(const std::string& path, const std::string& password, const std::string& user) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + QuoteConnectionValue(path) +
           ";Persist Security Info=False;Jet OLEDB:Database Password=" + QuoteConnectionValue(password) +
           ";User ID=" + QuoteConnectionValue(user);
}

std::string ServerConnectionString(const std::string& server, const std::string& user, const std::string& password,
                                   const std::string& database) {
    return "Provider=SQLOLEDB.1;User ID=" + QuoteConnectionValue(user) + ";password=" + QuoteConnectionValue(password) +
           ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Initial Catalog=" +
           QuoteConnectionValue(database) + ";Data Source=" + QuoteConnectionValue(server);
}

}  // namespace ado
