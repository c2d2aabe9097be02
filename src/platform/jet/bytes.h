// SPDX-License-Identifier: Apache-2.0
// Bounds-checked little-endian reads from a byte range. Every read of the
// file goes through these, so a length or offset taken from a damaged file
// can never reach outside the page or the mapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "error.h"

namespace jet {

class Bytes {
public:
    Bytes() = default;
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // The sub-range [offset, offset + length); throws if it does not fit.
    Bytes slice(size_t offset, size_t length) const {
        check(offset, length);
        return Bytes(data_ + offset, length);
    }
    Bytes from(size_t offset) const {
        check(offset, 0);
        return Bytes(data_ + offset, size_ - offset);
    }

    uint8_t u8(size_t offset) const {
        check(offset, 1);
        return data_[offset];
    }
    uint16_t u16(size_t offset) const {
        check(offset, 2);
        return uint16_t(data_[offset] | data_[offset + 1] << 8);
    }
    uint32_t u24(size_t offset) const {
        check(offset, 3);
        return uint32_t(data_[offset]) | uint32_t(data_[offset + 1]) << 8 |
               uint32_t(data_[offset + 2]) << 16;
    }
    uint32_t u32(size_t offset) const {
        check(offset, 4);
        uint32_t v;
        std::memcpy(&v, data_ + offset, 4);
        return v;
    }
    uint64_t u64(size_t offset) const {
        check(offset, 8);
        uint64_t v;
        std::memcpy(&v, data_ + offset, 8);
        return v;
    }
    double f64(size_t offset) const {
        uint64_t bits = u64(offset);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    float f32(size_t offset) const {
        uint32_t bits = u32(offset);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }

private:
    void check(size_t offset, size_t length) const {
        if (offset > size_ || length > size_ - offset)
            corrupt("a value lies outside its page");
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace jet
