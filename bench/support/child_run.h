// SPDX-License-Identifier: Apache-2.0
// Running a peer program (or ours) as a child for a benchmark: wall time
// and peak resident memory, output thrown away.
#pragma once

#include <string>
#include <vector>

struct ChildRun {
    double seconds;
    long peak_kb;
};

// The run of median wall time of `times` runs; exits when the command fails.
ChildRun medianRun(const std::vector<std::string>& argv, int times);
