// SPDX-License-Identifier: Apache-2.0
// Text as Access SQL handles it: characters (not bytes) of UTF-8 text,
// upper and lower case of the Latin, Greek and Cyrillic letters, and the
// case-insensitive comparison behind the text collation, LIKE, InStr,
// Replace and StrComp.
#pragma once

#include <string>

#include "jet/database.h"
#include "jet/text_key.h"

namespace ado::sql {

// Code points of UTF-8 text; a malformed byte stands for itself.
std::u32string characters(const char* text, size_t bytes);
inline std::u32string characters(const std::string& text) { return characters(text.data(), text.size()); }
std::string utf8(const std::u32string& text);

char32_t upperCase(char32_t c);
char32_t lowerCase(char32_t c);
std::string upperCase(const std::string& text);
std::string lowerCase(const std::string& text);

// <0, 0, >0 as `a` sorts before, with or after `b`, case ignored.
int compareFolded(const char* a, size_t a_bytes, const char* b, size_t b_bytes);

// The text collation: a General sort order, the file's (the order of its
// text indexes: accents count after the letters, case not at all), ties
// broken by compareFolded, so that texts are equal exactly when they are
// equal with case ignored. Text the sort order cannot place compares folded.
int compareAccessText(jet::TextSortOrder order, const char* a, size_t a_bytes, const char* b, size_t b_bytes);

// The order a database's text sorts in: the one its catalog is keyed in
// (Access 97's, or the General order of the version that made the file).
jet::TextSortOrder textOrderOf(const jet::Database& db);

// Where `needle` first occurs in `hay` at or after character `from`, case
// ignored unless `exact`; npos when nowhere.
size_t findText(const std::u32string& hay, const std::u32string& needle, size_t from, bool exact);

// LIKE as Access's ANSI mode reads a pattern, case ignored: % any run of
// characters, _ one character, [abc], [a-z] and [!abc] one of a set.
bool likeMatch(const std::u32string& text, const std::u32string& pattern);

}  // namespace ado::sql
