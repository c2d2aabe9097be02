// SPDX-License-Identifier: Apache-2.0
// A number joined into a message: up to 15 significant digits, no trailing
// zeros, no thousands separators, the given decimal separator; exponent
// form ("1.5E+20") for very large and very small magnitudes.
#pragma once

#include <string>

std::string GeneralNumber(double value, char decimal_separator);
