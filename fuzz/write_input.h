// SPDX-License-Identifier: Apache-2.0
// One fuzz input for the writer: bytes taken as a database file, and a
// fixed insert, update and delete applied to the first rows of each table,
// each as its own transaction. Damage must surface as jet::Error, nothing
// else; a refused change must not crash what comes after it.
#pragma once

#include <cstddef>
#include <cstdint>

void writeAsDatabase(const uint8_t* data, size_t size);
