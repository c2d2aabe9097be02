// SPDX-License-Identifier: Apache-2.0
// One value of one column: Null or a value of one of Jet's kinds. Text is
// held as UTF-8; Currency as a count of ten-thousandths; Date/Time as Jet
// stores it, days since 30 December 1899 with the time as the fraction;
// Decimal as a sign, a 96-bit magnitude and a scale.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Currency {
    int64_t ten_thousandths;
    bool operator==(const Currency&) const = default;
};

struct DateTime {
    double days;
    bool operator==(const DateTime&) const = default;
};

struct Guid {
    std::array<uint8_t, 16> bytes;  // as stored: Data1..3 little-endian
    bool operator==(const Guid&) const = default;
};

struct Decimal {
    bool negative = false;
    uint8_t scale = 0;
    unsigned __int128 magnitude = 0;  // at most 96 bits
    bool operator==(const Decimal&) const = default;
};

using Binary = std::vector<uint8_t>;

class Value {
public:
    using Storage = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, int64_t, Currency, float,
                                 double, DateTime, std::string, Binary, Guid, Decimal>;

    Value() = default;
    template <typename T>
    Value(T v) : v_(std::move(v)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    template <typename T>
    bool is() const { return std::holds_alternative<T>(v_); }
    template <typename T>
    const T& as() const { return std::get<T>(v_); }
    const Storage& storage() const { return v_; }

    bool operator==(const Value&) const = default;

private:
    Storage v_;
};

}  // namespace jet
