// SPDX-License-Identifier: Apache-2.0
#include "jet_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

#include "testdata.h"

namespace testdata {

namespace {

std::string checker() { return root() + "/../oracle/jet-check"; }

std::string finish(FILE* pipe, int* status) {
    std::string out;
    if (!pipe) return out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string run(const std::string& command, int* status = nullptr) { return finish(popen(command.c_str(), "r"), status); }

FILE* startCheck(const std::string& path) {
    return popen(("'" + checker() + "' --quiet '" + path + "' 2>&1").c_str(), "r");
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// "TABLE name rows=3 ROWCOUNTFAIL(tdef=2) | ix:FAIL(...) | ...  => WARN"
void tableProblems(const std::string& line, std::set<std::string>& out) {
    size_t end = line.find(" rows=");
    if (end == std::string::npos) end = line.find(" OPENFAIL");
    std::string table = line.substr(6, end == std::string::npos ? std::string::npos : end - 6);
    std::stringstream parts(line.substr(end == std::string::npos ? line.size() : end));
    std::string part;
    bool first = true;
    while (std::getline(parts, part, '|')) {
        if (first) {
            for (const char* kind : {"OPENFAIL", "SCANFAIL", "ROWCOUNTFAIL", "PAGESFAIL"})
                if (part.find(kind) != std::string::npos) out.insert("table " + table + " " + kind);
        } else if (size_t at = part.rfind(":FAIL("); at != std::string::npos) {
            out.insert("table " + table + " index " + trimmed(part.substr(0, at)));
        }
        first = false;
    }
    if (line.size() >= 7 && line.compare(line.size() - 7, 7, "=> WARN") == 0) out.insert("table " + table + " WARN");
}

std::set<std::string> problemsIn(const std::string& out, int status) {
    std::set<std::string> problems;
    std::stringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("TABLE ", 0) == 0) {
            tableProblems(line, problems);
        } else if (line.rfind("REL ", 0) == 0 && line.find("=> FAIL") != std::string::npos) {
            problems.insert("relationship " + line.substr(4, line.find(' ', 4) - 4));
        } else if (line.rfind("OPENFAIL", 0) == 0 || line.rfind("CATALOGFAIL", 0) == 0 ||
                   line.rfind("FILEFAIL", 0) == 0) {
            problems.insert(line);
        }
    }
    if (status != 0 && status != 1) problems.insert("jet-check could not run (status " + std::to_string(status) + "): " + out);
    return problems;
}

}  // namespace

std::string jetCheckMissing() {
    if (!std::filesystem::exists(checker())) return "no checker at " + checker();
    int status = 0;
    run("java -version 2>/dev/null", &status);
    if (status != 0) return "Java is not installed (scripts/setup installs it)";
    return "";
}

std::set<std::string> jetCheckProblems(const std::string& path) { return jetCheckProblems(std::vector{path})[0]; }

std::vector<std::set<std::string>> jetCheckProblems(const std::vector<std::string>& paths) {
    std::vector<FILE*> running;
    for (const std::string& path : paths) running.push_back(startCheck(path));
    std::vector<std::set<std::string>> out;
    for (FILE* pipe : running) {
        int status = -1;
        std::string report = finish(pipe, &status);
        out.push_back(problemsIn(report, status));
    }
    return out;
}

void expectNoNewJetCheckProblems(const std::vector<std::pair<std::string, std::string>>& originals_and_copies) {
    std::vector<std::string> paths;
    for (const auto& [original, copy] : originals_and_copies) paths.insert(paths.end(), {original, copy});
    std::vector<std::set<std::string>> found = jetCheckProblems(paths);
    for (size_t i = 0; i < paths.size(); i += 2)
        for (const std::string& p : found[i + 1])
            if (!found[i].count(p)) ADD_FAILURE() << "jet-check finds a new problem in " << paths[i + 1] << ": " << p;
}

}  // namespace testdata
