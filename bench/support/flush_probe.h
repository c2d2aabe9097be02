// SPDX-License-Identifier: Apache-2.0
// What one flush of file data costs on the disk a benchmark writes to, at
// the moment it runs: the peer of a commit, which flushes three times
// (journal, file, journal again).
#pragma once

#include <string>

// Median milliseconds of rewriting one page of a scratch file in `dir` and
// flushing its data (fdatasync), of `times` tries; 0 where it failed.
double flushMs(const std::string& dir, int times);
