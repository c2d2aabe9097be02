// A large table for benchmarks, made by the engine: the empty, index-free
// table jobDB1 of a copy of testPromotionV2000.mdb gets `rows` rows in one
// transaction (ID 1, 2, ...; a number, a fraction, a name, a department).
#pragma once

#include <string>

void FillJobTable(const std::string& path, long rows);
