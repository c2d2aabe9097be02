// SPDX-License-Identifier: Apache-2.0
// Crash tests: a change run in a child process that dies at a chosen step
// of its file I/O, as a writer killed mid-way would.
#pragma once

#include <functional>

namespace testdata {

// Runs `change` in a child that exits at once at its k-th write, flush or
// removal (counted from 0). True when the change finished before that.
bool finishesBeforeStep(int k, const std::function<void()>& change);

}  // namespace testdata
