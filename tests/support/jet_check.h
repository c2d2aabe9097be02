// The index-aware reader (jet-check, beside the corpus) as a test oracle:
// a write test takes its problems with a file before a change and asserts
// the change added none.
#pragma once

#include <optional>
#include <set>
#include <string>
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

// The problems of a file before a change; expectNoneAdded() fails the
// test for any problem the changed file (or a changed copy) has that the
// original did not.
class JetCheckBaseline {
public:
    explicit JetCheckBaseline(const std::string& path);
    void expectNoneAdded(const std::string& changed) const;
    void expectNoneAdded(const std::vector<std::string>& changed) const;

private:
    std::set<std::string> before_;
};

}  // namespace testdata

#define SKIP_WITHOUT_JET_CHECK()                                                     \
    do {                                                                             \
        std::string why = testdata::jetCheckMissing();                               \
        if (!why.empty()) GTEST_SKIP() << "jet-check cannot run: " << why;           \
    } while (0)
