// SPDX-License-Identifier: Apache-2.0
// Jet's dates as the SQL layer carries them: a real counting days since
// 30 December 1899, the time of day as the fraction. Before that day the
// fraction still counts forward within the day, so -1.25 is 29 December
// 1899, 6:00. Shared by the #date# literals and the date functions.
#pragma once

#include <string>

namespace ado::sql {

struct CivilTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

bool validDate(int year, int month, int day);
int daysInMonth(int year, int month);

// Days since 30 December 1899 of a valid proleptic Gregorian date.
long long dayNumber(int year, int month, int day);

// The Jet real of a day and a time of day in seconds (0 to 86399).
double jetDate(long long days, double seconds);

// True for a Jet real in the years Access's dates hold, 100 to 9999.
bool inDateRange(double jet_date);

// The civil date and time of a Jet real, to the nearest second.
CivilTime civilTime(double jet_date);

// Reads a date, a time or both as Access reads them: "1/15/2020" (month
// first), "2020-01-15", "15-Jan-2020", "January 15, 2020", each with an
// optional "3:04[:05] [AM|PM]"; a time alone lies on day zero. False when
// the text is no such date.
bool parseDateText(const std::string& text, double& jet_date);

}  // namespace ado::sql
