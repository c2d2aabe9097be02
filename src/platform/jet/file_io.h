// SPDX-License-Identifier: Apache-2.0
// Whole reads and writes at an offset of a file: the calls go on after an
// interruption or a short transfer until every byte is moved.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace jet {

// False where a call fails, with errno saying why.
bool writeFully(int fd, const uint8_t* data, size_t length, off_t at);

// False where a call fails (errno says why) or the file ends first (errno 0).
bool readFully(int fd, uint8_t* into, size_t length, off_t at);

}  // namespace jet
