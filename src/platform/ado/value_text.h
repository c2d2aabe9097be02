// SPDX-License-Identifier: Apache-2.0
// The text form of a value: what every window and tool shows for it.
//
//   Null, empty text  ""
//   Boolean           "True" / "False"
//   whole numbers     decimal digits, "-" when negative
//   Single, Double    the shortest digits that read back to the same value
//                     (or, shown, as many as Access shows: see Digits),
//                     with the locale's decimal separator; exponent form
//                     ("1.5E+20", "1E-05") below 0.0001 and from 1E+15 up
//   Currency, Decimal the exact value without trailing zeros ("3.5", "42")
//   Date/Time         month/day/year and 12-hour time, "1/15/2020 3:04:05 PM";
//                     the date alone at midnight, the time alone on day zero
//                     (30 December 1899)
//   GUID              "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"
//   binary            hexadecimal, two upper-case digits a byte
//   text              as it is
#pragma once

#include <string>

#include "ado/types.h"

namespace ado {

// The decimal separator of the user's locale (LC_NUMERIC).
char localeDecimalSeparator();

// How many digits a Single or Double is written with: exactly, for tools
// whose text is read back; or shown as Access shows them and VB's CStr
// writes them, rounded to 7 significant digits for a Single and 15 for a
// Double, so that a computed 0.1 + 0.2 reads "0.3".
enum class Digits { Exact, Shown };

std::string toText(const Value& value, char decimal_separator = localeDecimalSeparator(),
                   Digits digits = Digits::Exact);

// Date/Time as "2020-01-15 15:04:05", for tools that want a stable form.
std::string toIsoText(jet::DateTime date);

}  // namespace ado
