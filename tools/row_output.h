// SPDX-License-Identifier: Apache-2.0
// Where pellinordb-sql writes: rows in one of its three forms, buffered, to
// standard output or to a file that appears only once it is complete.
//
//   CSV   RFC 4180: a comma between fields, CRLF after each row, a field
//         quoted (inner quotes doubled) when it holds a comma, quote or line
//         break
//   TSV   a tab between fields, LF after each row; inside a field a tab,
//         line break or backslash is written as \t, \n, \r or \\ (so a
//         row is always one line)
//   JSON  an array of objects, one a row, keyed by the heading; Null as
//         null, Yes/No as true/false, numbers as numbers, dates always in
//         the ISO form, everything else as its text form
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ado/types.h"

enum class RowForm { Csv, Tsv, Json };

class RowOutput {
public:
    // `path` empty: standard output. Otherwise the rows go to a file beside
    // `path` that replaces it on finish(); raises 3051 when it cannot be made.
    RowOutput(const std::string& path, RowForm form, bool iso_dates);
    ~RowOutput();
    RowOutput(const RowOutput&) = delete;
    RowOutput& operator=(const RowOutput&) = delete;

    void heading(const std::vector<std::string>& names);
    void row(const std::vector<ado::Value>& values);
    // A line as it is, for the outputs that are not rows.
    void line(const std::string& text);
    // Ends the output; raises 3051 when it could not all be written. Without
    // it (on an error) a file named by the caller is left as it was.
    void finish();

private:
    void text(const std::string& s);
    void field(const std::string& s);
    void jsonString(const std::string& s);
    void flush();

    RowForm form_;
    bool iso_dates_;
    char decimal_separator_;
    std::string path_, partial_path_;
    FILE* file_ = stdout;
    std::string buf_;
    std::vector<std::string> names_;
    long rows_ = 0;
};
