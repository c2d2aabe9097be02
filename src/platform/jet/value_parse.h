// SPDX-License-Identifier: Apache-2.0
// What a user typed, turned into a value of a column's kind as Access
// converts it, and the checks every value passes before it is stored.
//
// Accepted text, per kind (spaces around the text are ignored, except for
// Text and Memo, which are taken as they are):
//   numbers      an optional sign, digits with the given decimal separator
//                (or none), an optional exponent ("1,5E-05" where the
//                separator is ','). A fraction into a whole-number kind, or
//                more decimals than Currency (4) or a Decimal's scale hold,
//                is rounded half to even, as Access's own conversions do.
//                Single and Double take the nearest value, and also "NaN",
//                "Infinity" and "-Infinity", which the reader prints.
//   Date/Time    "1/15/2020 3:04:05 PM", "1/15/2020", "3:04:05 PM",
//                "15:04", "15:04:05" (month/day/year; 12-hour time with
//                AM/PM, 24-hour without); "2020-01-15", "2020-01-15 15:04:05",
//                "2020-01-15T15:04:05". Years 100 to 9999; a two-digit year
//                is 2000-2029 for 00-29, 1930-1999 for 30-99.
//   Boolean      True/False, Yes/No, On/Off, -1/0/1, any letter case.
//   binary, OLE  hexadecimal, two digits a byte, optional "0x".
//   GUID         "{6F9619FF-8B86-D011-B42D-00C04FC964FF}", braces optional.
// The empty text is Null, except for Text and Memo, where it is "".
//
// Errors (jet::Error): kErrConversion for text that is not a value of the
// kind, kErrOverflow for a number outside the kind's range (or a Decimal's
// precision), kErrUnsupported for kinds the engine does not write
// (attachments, extended dates, calculated columns).
#pragma once

#include <string>

#include "format.h"
#include "table_def.h"
#include "value.h"

namespace jet {

Value parseValue(const Column& column, const std::string& text, char decimal_separator);

// Throws unless `value` may be stored in `column`: kErrConversion when it is
// not of the column's kind, kErrRequired for Null in a required column (a
// Boolean is never Null: it is stored as False), kErrFieldTooSmall for text
// of more characters (UTF-16 units) than the column's size or binary of more
// bytes. The size of Text is in bytes in Jet 4 (two a character), in
// characters in Jet 3; hence the format.
void checkValue(const Format& format, const Column& column, const Value& value, bool required);

// Whether `value` is Null or of the kind `column` stores.
bool isOfColumnKind(const Column& column, const Value& value);

}  // namespace jet
