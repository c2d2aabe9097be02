// Connection strings: "Key=Value;Key=Value". Keys are compared without
// regard to case or surrounding blanks; values are taken as they stand,
// up to the next ";" (no quoting, as the Jet provider reads them).
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

}  // namespace ado
