#include "connection_string.h"

#include <cctype>

namespace ado {

namespace {

std::string normalKey(const std::string& key) {
    size_t b = 0, e = key.size();
    while (b < e && std::isspace(static_cast<unsigned char>(key[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(key[e - 1]))) --e;
    std::string out;
    for (size_t i = b; i < e; ++i) out += char(std::tolower(static_cast<unsigned char>(key[i])));
    return out;
}

}  // namespace

ConnectionString::ConnectionString(const std::string& text) {
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(';', pos);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(pos, end - pos);
        size_t eq = part.find('=');
        if (eq != std::string::npos) pairs_.emplace_back(normalKey(part.substr(0, eq)), part.substr(eq + 1));
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

}  // namespace ado
