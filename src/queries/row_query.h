// SPDX-License-Identifier: Apache-2.0
// Whether a statement only reads: the test "Display Result" applies before
// it hands a statement to the grid loader, since opening a row source must
// never change data.
#pragma once

#include <string>

namespace queries {

// True for one SELECT (or TRANSFORM) statement without INTO, a ";" at its
// end allowed. Text inside quotes, brackets and #dates# is not looked at.
// Anything else (action statements, SELECT ... INTO, a second statement)
// is false, as is text this test cannot read.
bool IsRowQuery(const std::string& statement);

}  // namespace queries
