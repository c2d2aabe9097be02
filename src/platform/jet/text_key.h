// SPDX-License-Identifier: Apache-2.0
// The index key bytes of a text value under Access's General sort orders
// (Jet 4 and later; a text column's descriptor names its sort order).
//
// The key of a value, after the column's flag byte, is up to four sections:
//   1. the inline codes of each code unit that has them, then 01;
//   2. the extra codes (accents, marks): one entry per letter, 02 for a
//      letter without extra codes, up to the last letter that has some; a
//      unit with inline codes is one letter, or several where it expands
//      (ß is "ss"); a combining mark adds its code to the last extra byte (or
//      opens the section with it). Trailing bytes 00..02 are dropped;
//   3. when there are kana flags or unprintable units: 01 01, then the
//      kana flags three to a byte under 0x80 (trailing flags 3 dropped) and
//      FF 02 80 FF 80, then FF if unprintable units follow;
//   4. the unprintable units: 01, then per unit its place (big-endian
//      0x8000 | 7 + 4 * place, the place counted in section-2 bytes, or
//      in letters before section 2 starts) 06
//      and its code.
// A final 00 ends the value. A descending column flips every byte of the
// sections and of one 00, and adds a 00 after them.
//
// Access 97's General order knows the characters of Windows-1252 alone
// (others leave no trace): the inline codes of each, then, where any
// character has an extra code, a list of nibbles packed two to a byte: 0,
// then per such character a 2 for each "significant" character since the
// one before and the low nibble of its extra code, then 0; where none has,
// a single 00. A descending column flips every byte.
//
// Only the first 255 code units count, trailing spaces do not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "table_def.h"

namespace jet {

enum class TextSortOrder { General, LegacyGeneral, General97 };

// The sort order of a text or Memo column's keys, or none when the
// descriptor names one this engine cannot encode.
std::optional<TextSortOrder> textSortOrder(const Column& column);

// Appends the key of `text` (UTF-8). Throws kErrUnsupported for a
// character the sort order's tables do not cover.
void appendTextKey(std::vector<uint8_t>& out, TextSortOrder order, const std::string& text, bool ascending);

// The bytes the key of every text that starts with `prefix` (or with it
// less its trailing spaces) starts with, after the flag byte: the inline
// codes of its characters, flipped for a descending column. Throws as
// appendTextKey does.
std::vector<uint8_t> textKeyPrefix(TextSortOrder order, const std::string& prefix, bool ascending);

}  // namespace jet
