// SPDX-License-Identifier: Apache-2.0
// A large table for benchmarks, made by the engine: the empty, index-free
// table jobDB1 of a copy of testPromotionV2000.mdb gets `rows` rows in one
// transaction (ID 1, 2, ...; a number, a fraction, a name, a department).
#pragma once

#include <string>

void FillJobTable(const std::string& path, long rows);

// A fresh copy of the corpus's testPromotionV2000.mdb in a temporary folder
// `dir` of its own (named after `program`), for FillJobTable; the copy's
// path, or "" after saying on stderr that the corpus file is missing.
std::string CopyJobSource(const std::string& corpus, const std::string& program, std::string& dir);
