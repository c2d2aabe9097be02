// SPDX-License-Identifier: Apache-2.0
// An array with fixed bounds Lo..Hi, like the program-wide tables it holds:
// an index outside them raises instead of reaching past the end.
#pragma once

#include <array>
#include <stdexcept>
#include <string>

template <typename T, long Lo, long Hi>
class FixedArray {
public:
    static constexpr long LBound = Lo;
    static constexpr long UBound = Hi;

    T& operator[](long i) { return items_[slot(i)]; }
    const T& operator[](long i) const { return items_[slot(i)]; }

private:
    static size_t slot(long i) {
        if (i < Lo || i > Hi)
            throw std::out_of_range("Subscript out of range: " + std::to_string(i) + " is outside " +
                                    std::to_string(Lo) + " to " + std::to_string(Hi));
        return size_t(i - Lo);
    }
    std::array<T, size_t(Hi - Lo + 1)> items_{};
};
