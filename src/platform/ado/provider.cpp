// SPDX-License-Identifier: Apache-2.0
#include "ado/provider.h"

#include <cctype>

#include "ado/error.h"

namespace ado {

namespace {

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && (std::isspace(static_cast<unsigned char>(s[e - 1])) || s[e - 1] == ';')) --e;
    return s.substr(b, e - b);
}

// Consumes `word` (any case) and the blanks after it.
bool eat(const std::string& s, size_t& pos, const std::string& word) {
    if (s.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
    size_t end = pos + word.size();
    if (end < s.size() && std::isalnum(static_cast<unsigned char>(s[end])) && std::isalnum(static_cast<unsigned char>(word.back())))
        return false;
    pos = end;
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    return true;
}

// The table named by "SELECT * FROM [name]" or "SELECT * FROM name".
std::string tableOf(const std::string& source) {
    if (std::optional<std::string> table = SelectedTable(source)) return *table;
    std::string s = trim(source);
    throw Error(kErrCommandText, s.empty() ? "The statement is empty."
                                           : "Syntax error: only SELECT * FROM a table can be opened: " + s);
}

[[noreturn]] void cannotWrite() {
    throw Error(kErrNotSupported,
                "Current Recordset does not support updating. This may be a limitation of the provider, "
                "or of the selected locktype.");
}

}  // namespace

Value RowSource::convert(size_t, const Value&) { cannotWrite(); }
void RowSource::update(uint64_t, const Changes&) { cannotWrite(); }
uint64_t RowSource::insert(const Changes&) { cannotWrite(); }

std::optional<std::string> SelectedTable(const std::string& statement) {
    std::string s = trim(statement);
    size_t pos = 0;
    if (s.empty() || !eat(s, pos, "select") || !eat(s, pos, "*") || !eat(s, pos, "from") || pos >= s.size())
        return std::nullopt;
    std::string rest = s.substr(pos);
    if (rest.front() == '[') {
        // Inside the brackets a "]" of the name is written twice.
        std::string name;
        size_t i = 1;
        for (; i < rest.size(); ++i) {
            if (rest[i] != ']') name += rest[i];
            else if (i + 1 < rest.size() && rest[i + 1] == ']') name += rest[i++];
            else break;
        }
        if (name.empty() || i != rest.size() - 1) return std::nullopt;
        return name;
    }
    for (char c : rest)
        if (std::isspace(static_cast<unsigned char>(c))) return std::nullopt;
    return rest;
}

std::unique_ptr<RowSource> Provider::query(const std::string& statement) { return openTable(tableOf(statement)); }

long Provider::execute(const std::string&) {
    throw Error(kErrNotSupported, "This provider does not run statements.");
}

void Provider::setParameters(const std::vector<std::pair<std::string, std::string>>&) {
    throw Error(kErrNotSupported, "This provider takes no parameter values.");
}

bool MemoryRows::next(uint64_t& key, std::vector<Value>* values) {
    if (next_ >= rows_.size()) return false;
    key = next_;
    if (values) *values = rows_[next_];
    ++next_;
    return true;
}

}  // namespace ado
