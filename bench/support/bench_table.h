// SPDX-License-Identifier: Apache-2.0
// The benchmarks' large table, made by the engine in a copy of a corpus
// file: ten columns (a Long primary key ID, texts, numbers, a date, a Yes/No
// and a memo), row n with ID n, loaded in one transaction.
//
// Where the engine refuses to create a table with a primary key the table
// is made without one, and where it cannot create tables at all the rows go
// into the corpus's own jobDB1 (see job_table.h); `how` says which, and why.
#pragma once

#include <cstddef>
#include <string>

struct BenchTable {
    std::string name;
    bool primary_key = false;  // ID has a primary-key index
    std::string how;           // one line for the benchmark's output
    // The columns the benchmarks ask about, by name and by position.
    std::string key = "ID";    // row n holds n
    std::string number;        // a Long, n % 1000
    size_t number_column = 0;
    std::string text;          // a Text naming the row
    size_t text_column = 0;
    std::string group;         // one of five words
    std::string real;          // a Double, to sum
    // A WHERE on two columns without an index that about one row in five
    // thousand meets.
    std::string condition() const { return group + " = 'Yard' AND " + number + " < 10"; }
};

// Creates table `name` of the ten columns in the database at `path`, with
// the primary key on the column `key` names ("" for none), and loads
// `rows` rows into it in one transaction. Throws the engine's refusal.
void MakeOrders(const std::string& path, const std::string& name, const std::string& key, long rows);

// Adds the table with `rows` rows to the database at `path`.
BenchTable MakeBenchTable(const std::string& path, long rows);
