// Connection strings: "Key=Value;Key=Value". Keys are compared without
// regard to case or surrounding blanks. Values are taken as they stand, up
// to the next ";" (no quoting, as the Jet provider reads them), or, for the
// server providers, may be put in double or single quotes, the quote
// doubled inside, so that a value can hold ";".
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ado {

class ConnectionString {
public:
    enum class Values { AsTheyStand, MayBeQuoted };
    explicit ConnectionString(const std::string& text, Values values = Values::AsTheyStand);

    bool has(const std::string& key) const;
    // The value of `key`, or "" when absent; the last one wins when repeated.
    std::string get(const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;  // keys lower-cased
};

// `value` as a quoted-values string carries it: unchanged where it needs
// no quotes, else in double quotes.
std::string QuoteConnectionValue(const std::string& value);

}  // namespace ado
