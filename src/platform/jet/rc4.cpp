// SPDX-License-Identifier: Apache-2.0
#include "rc4.h"

#include <utility>

namespace jet {

void rc4(const uint8_t* key, size_t key_length, uint8_t* data, size_t length) {
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = uint8_t(j + s[i] + key[i % key_length]);
        std::swap(s[i], s[j]);
    }
    uint8_t a = 0, b = 0;
    for (size_t n = 0; n < length; ++n) {
        a = uint8_t(a + 1);
        b = uint8_t(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] ^= s[uint8_t(s[a] + s[b])];
    }
}

void rc4(uint32_t key, uint8_t* data, size_t length) {
    const uint8_t k[4] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), uint8_t(key >> 24)};
    rc4(k, 4, data, length);
}

}  // namespace jet
