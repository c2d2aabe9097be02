// SPDX-License-Identifier: Apache-2.0
// The row source that opens a whole table for writing: its name in square
// brackets, a "]" in it doubled, so names with blanks work too.
#pragma once

#include <string>

namespace basGlobal {

inline std::string TableSource(const std::string& table) {
    std::string quoted;
    for (char c : table) {
        quoted += c;
        if (c == ']') quoted += ']';
    }
    return "SELECT * FROM [" + quoted + "]";
}

}  // namespace editing
