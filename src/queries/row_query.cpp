// SPDX-License-Identifier: Apache-2.0
#include "row_query.h"

#include <cctype>

namespace queries {

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string upper(std::string word) {
    for (char& c : word) c = char(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

}  // namespace

bool IsRowQuery(const std::string& s) {
    bool first = true;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\'' || c == '"' || c == '[' || c == '#') {
            // A quote written twice stands for itself inside its text.
            const char close = c == '[' ? ']' : c;
            size_t end = i + 1;
            for (;; ++end) {
                if (end >= s.size()) return false;  // unterminated
                if (s[end] != close) continue;
                if (close != ']' && end + 1 < s.size() && s[end + 1] == close) {
                    ++end;
                    continue;
                }
                break;
            }
            if (first) return false;  // a statement starts with its keyword
            i = end + 1;
        } else if (isWordChar(c)) {
            size_t end = i;
            while (end < s.size() && isWordChar(s[end])) ++end;
            std::string word = upper(s.substr(i, end - i));
            if (first && word != "SELECT" && word != "TRANSFORM") return false;
            if (word == "INTO") return false;
            first = false;
            i = end;
        } else if (c == ';') {
            for (size_t j = i + 1; j < s.size(); ++j)
                if (!std::isspace(static_cast<unsigned char>(s[j]))) return false;
            break;
        } else {
            // Blanks, operators and the "(" of a parenthesised SELECT.
            if (first && c != '(' && !std::isspace(static_cast<unsigned char>(c))) return false;
            ++i;
        }
    }
    return !first;
}

}  // namespace queries
