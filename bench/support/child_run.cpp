// SPDX-License-Identifier: Apache-2.0
#include "child_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>

namespace {

ChildRun runOnce(const std::vector<std::string>& argv) {
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "benchmark: %s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

}  // namespace

ChildRun medianRun(const std::vector<std::string>& argv, int times) {
    std::vector<ChildRun> runs;
    for (int i = 0; i < times; ++i) runs.push_back(runOnce(argv));
    std::sort(runs.begin(), runs.end(), [](const ChildRun& a, const ChildRun& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}
