// SPDX-License-Identifier: Apache-2.0
// Jet day numbers and the civil calendar, and the date texts Access reads.
#include "sql/datetime.h"

#include <cctype>
#include <cmath>
#include <vector>

namespace ado::sql {

namespace {

// Days from 1 January 1970 of a proleptic Gregorian date.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

const long long kDayZero = daysFromCivil(1899, 12, 30);

const char* const kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                               "july",    "august",   "september", "october", "november", "december"};

int monthOfName(const std::string& word) {
    if (word.size() < 3) return 0;
    for (int i = 0; i < 12; ++i) {
        std::string full = kMonths[i];
        if (word == full || word == full.substr(0, 3) || (word.size() >= 3 && full.rfind(word, 0) == 0)) return i + 1;
    }
    return 0;
}

struct Piece {
    enum Kind { Number, Word, Sep } kind;
    std::string text;
};

int fullYear(const std::string& digits) {
    int y = std::stoi(digits);
    if (digits.size() <= 2) y += y < 30 ? 2000 : 1900;
    return y;
}

}  // namespace

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool validDate(int year, int month, int day) {
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

long long dayNumber(int year, int month, int day) {
    return daysFromCivil(year, unsigned(month), unsigned(day)) - kDayZero;
}

bool inDateRange(double jet_date) { return jet_date > -657435.0 - 1 && jet_date < 2958466.0; }

double jetDate(long long days, double seconds) {
    double fraction = seconds / 86400.0;
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

CivilTime civilTime(double v) {
    double whole = std::trunc(v);
    long long days = (long long)whole;
    long long seconds = std::llround(std::fabs(v - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += 1;
    }
    CivilTime t;
    civilFromDays(days + kDayZero, t.year, t.month, t.day);
    t.hour = int(seconds / 3600);
    t.minute = int(seconds / 60 % 60);
    t.second = int(seconds % 60);
    return t;
}

bool parseDateText(const std::string& text, double& out) {
    std::vector<Piece> pieces;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c) || c == ',') {
            ++i;
        } else if (std::isdigit(c)) {
            size_t j = i;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            if (j - i > 4) return false;
            pieces.push_back({Piece::Number, text.substr(i, j - i)});
            i = j;
        } else if (std::isalpha(c)) {
            size_t j = i;
            std::string w;
            while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j])))
                w += char(std::tolower(static_cast<unsigned char>(text[j++])));
            pieces.push_back({Piece::Word, w});
            i = j;
        } else if (c == '/' || c == '-' || c == '.' || c == ':') {
            pieces.push_back({Piece::Sep, std::string(1, char(c))});
            ++i;
        } else {
            return false;
        }
    }
    // The time: hours ":" minutes [":" seconds] [AM | PM], at the end.
    size_t n = pieces.size();
    bool has_time = false;
    int hour = 0, minute = 0, second = 0;
    size_t time_at = n;
    for (size_t i = 0; i + 2 < n; ++i) {
        if (pieces[i].kind == Piece::Number && pieces[i + 1].text == ":" && pieces[i + 2].kind == Piece::Number) {
            time_at = i;
            break;
        }
    }
    if (time_at < n) {
        size_t i = time_at;
        hour = std::stoi(pieces[i].text);
        minute = std::stoi(pieces[i + 2].text);
        i += 3;
        if (i + 1 < n && pieces[i].text == ":" && pieces[i + 1].kind == Piece::Number) {
            second = std::stoi(pieces[i + 1].text);
            i += 2;
        }
        if (i < n && pieces[i].kind == Piece::Word) {
            const std::string& w = pieces[i].text;
            if (hour < 1 || hour > 12) return false;
            if (w == "pm" || w == "p") hour = hour % 12 + 12;
            else if (w == "am" || w == "a") hour = hour % 12;
            else return false;
            ++i;
        }
        if (i != n || hour > 23 || minute > 59 || second > 59) return false;
        has_time = true;
        pieces.resize(time_at);
    } else if (n >= 2 && pieces[n - 2].kind == Piece::Number && pieces[n - 1].kind == Piece::Word &&
               (pieces[n - 1].text == "am" || pieces[n - 1].text == "pm")) {
        // "3 PM"
        hour = std::stoi(pieces[n - 2].text);
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (pieces[n - 1].text == "pm" ? 12 : 0);
        has_time = true;
        pieces.resize(n - 2);
    }
    // The date: numbers and at most one month name, with separators between.
    std::vector<Piece> parts;
    for (const Piece& p : pieces)
        if (p.kind != Piece::Sep) parts.push_back(p);
    if (parts.empty()) {
        if (!has_time || !pieces.empty()) return false;
        out = jetDate(0, hour * 3600.0 + minute * 60.0 + second);
        return true;
    }
    if (parts.size() != 3) return false;
    int year = 0, month = 0, day = 0;
    int word_at = -1;
    for (int i = 0; i < 3; ++i)
        if (parts[size_t(i)].kind == Piece::Word) {
            if (word_at >= 0) return false;
            word_at = i;
        }
    if (word_at < 0) {
        if (parts[0].text.size() == 4) {  // ISO year first
            year = std::stoi(parts[0].text);
            month = std::stoi(parts[1].text);
            day = std::stoi(parts[2].text);
        } else {  // the month first, as Access reads a literal
            month = std::stoi(parts[0].text);
            day = std::stoi(parts[1].text);
            year = fullYear(parts[2].text);
        }
    } else {
        month = monthOfName(parts[size_t(word_at)].text);
        if (!month) return false;
        if (word_at == 0) {  // January 15, 2020
            day = std::stoi(parts[1].text);
            year = fullYear(parts[2].text);
        } else if (word_at == 1) {  // 15-Jan-2020
            day = std::stoi(parts[0].text);
            year = fullYear(parts[2].text);
        } else {
            return false;
        }
    }
    if (!validDate(year, month, day)) return false;
    out = jetDate(dayNumber(year, month, day), hour * 3600.0 + minute * 60.0 + second);
    return true;
}

}  // namespace ado::sql
