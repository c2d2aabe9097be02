// SPDX-License-Identifier: Apache-2.0
// One fuzz input: bytes taken as a database file and read end to end, the
// way the program reads it. Damage must surface as jet::Error, nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Returns false when the file refused `password`.
bool readAsDatabase(const uint8_t* data, size_t size, const std::string& password);
