// SPDX-License-Identifier: Apache-2.0
// Access's Format function: numbers, dates and texts under the named
// formats ("Currency", "Short Date" ...) and the custom ones ("0.00",
// "#,##0;(#,##0)", "yyyy-mm-dd hh:nn", ">@"), in the English (United
// States) conventions: "." before decimals, "," between thousands, the
// month before the day.
#pragma once

#include <string>

namespace ado::sql {

// True when `format` formats dates: a named date or time format, or a
// custom one with a date or time part (d, m, y, h, n, s, w, q, c, ttttt,
// AM/PM) outside quotes.
bool isDateFormat(const std::string& format);

// `value` under a number format: General Number, Currency, Fixed, Standard,
// Percent, Scientific, Yes/No, True/False, On/Off, or custom sections
// "positive;negative;zero" of 0 # . , % E+ E- and literal text. An empty
// format gives the general form. `value` is finite: Access has no others.
std::string formatNumber(double value, const std::string& format);

// A Jet date (days since 30 December 1899) under a date format; an empty
// format gives General Date.
std::string formatDate(double jet_date, const std::string& format);

// A text under a text format: @ (a character or a blank), & (a character
// or nothing), < (all lower case), > (all upper case), literals.
std::string formatText(const std::string& text, const std::string& format);

}  // namespace ado::sql
