// SPDX-License-Identifier: Apache-2.0
// The index-aware reader (jet-check, beside the corpus) as a test oracle:
// a write test asserts that its change added no problem to the file.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// Why jet-check cannot run here (no Java, no checker), or empty.
std::string jetCheckMissing();

// The checks jet-check fails or warns about on `path`, one name each
// ("table T index I", "table T ROWCOUNTFAIL", "relationship R", ...), so
// that the same fault before and after a change compares equal.
std::set<std::string> jetCheckProblems(const std::string& path);
// The same for several files, checked side by side (a check is mostly the
// Java start).
std::vector<std::set<std::string>> jetCheckProblems(const std::vector<std::string>& paths);

// Fails the test for each problem a changed copy has that its original
// has not; pairs are (original, changed copy), all checked side by side.
void expectNoNewJetCheckProblems(const std::vector<std::pair<std::string, std::string>>& originals_and_copies);

}  // namespace testdata

#define SKIP_WITHOUT_JET_CHECK()                                                     \
    do {                                                                             \
        std::string why = testdata::jetCheckMissing();                               \
        if (!why.empty()) GTEST_SKIP() << "jet-check cannot run: " << why;           \
    } while (0)
