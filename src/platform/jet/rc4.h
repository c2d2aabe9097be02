// SPDX-License-Identifier: Apache-2.0
// RC4, as Jet uses it: to mask part of the header page, and to encode every
// page of an "encrypted" Jet 3 / Jet 4 file under a key derived from the
// database key and the page number.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

void rc4(const uint8_t* key, size_t key_length, uint8_t* data, size_t length);

// Applies the 4-byte little-endian key `key` to `data` in place.
void rc4(uint32_t key, uint8_t* data, size_t length);

}  // namespace jet
