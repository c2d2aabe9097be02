// SPDX-License-Identifier: Apache-2.0
#include "number_text.h"

#include <cctype>
#include <charconv>

std::string GeneralNumber(double value, char decimal_separator) {
    char buf[40];
    // to_chars, unlike printf, is not swayed by the C locale.
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string text(buf, ec == std::errc() ? end : buf);
    for (char& c : text) {
        if (c == '.') c = decimal_separator;
        else c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}
