// SPDX-License-Identifier: Apache-2.0
#include "crash.h"

#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "jet/pager.h"

namespace testdata {

bool finishesBeforeStep(int k, const std::function<void()>& change) {
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot fork");
    if (child == 0) {
        int points = 0;
        jet::Pager::setIoHook([&](int) {
            if (points++ == k) _exit(9);
        });
        change();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testdata
