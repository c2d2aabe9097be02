// SPDX-License-Identifier: Apache-2.0
// Text index keys (see text_key.h).
#include "text_key.h"

#include <algorithm>
#include <cstdio>

#include "error.h"
#include "sort_codes.h"
#include "text.h"

namespace jet {

namespace {

constexpr uint16_t kGeneralLcid = 0x0409;
constexpr uint8_t kLegacyVersion = 0, kGeneralVersion = 1;
constexpr size_t kMaxKeyUnits = 255;
constexpr uint8_t kEndText = 0x01, kEndValue = 0x00, kNoExtra = 0x02, kUnprintableMark = 0x06;
constexpr uint8_t kKanaByte = 0x80, kKanaTrimmed = 3;
constexpr uint8_t kKanaTrailer[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kKanaThenUnprintable = 0xFF;

const SortCodeRun* findRun(TextSortOrder order, char16_t unit) {
    const SortCodeRun* runs = order == TextSortOrder::General     ? kGeneralRuns
                              : order == TextSortOrder::General97 ? kGeneral97Runs
                                                                  : kLegacyGeneralRuns;
    size_t count = order == TextSortOrder::General     ? kGeneralRunsCount
                   : order == TextSortOrder::General97 ? kGeneral97RunsCount
                                                       : kLegacyGeneralRunsCount;
    const SortCodeRun* end = runs + count;
    const SortCodeRun* r = std::upper_bound(runs, end, unit, [](char16_t u, const SortCodeRun& x) { return u < x.first; });
    if (r == runs) return nullptr;
    --r;
    return unit < uint32_t(r->first) + r->count ? r : nullptr;
}

std::string unitName(char16_t u) {
    char name[8];
    std::snprintf(name, sizeof name, "U+%04X", unsigned(u));
    return name;
}

void appendBigEndian(std::vector<uint8_t>& out, uint64_t v, size_t bytes) {
    for (size_t i = bytes; i-- > 0;) out.push_back(uint8_t(v >> (8 * i)));
}

void dropTrailing(std::vector<uint8_t>& b, uint8_t low, uint8_t high) {
    while (!b.empty() && b.back() >= low && b.back() <= high) b.pop_back();
}

// How many letters a unit's inline codes stand for. Access counts places
// (for the extra codes and the unprintable units) by letters, so an
// expanding character (ß as "ss", æ as "ae", the ligatures) takes one place
// for each. General codes a letter in two bytes, but for the four-byte
// FD FF codes of ideographs; Legacy General in one byte where every byte is
// a one-letter code, and in two otherwise.
size_t lettersOf(TextSortOrder order, const SortCodeRun& r, uint64_t code) {
    if (r.length <= 1) return r.length;
    if (order == TextSortOrder::General) return r.length == 4 && code >> 16 == 0xFDFF ? 1 : (r.length + 1) / 2u;
    static const std::vector<bool> one_letter = [] {
        std::vector<bool> codes(256);
        for (size_t i = 0; i < kLegacyGeneralRunsCount; ++i) {
            const SortCodeRun& run = kLegacyGeneralRuns[i];
            if (run.length == 1)
                for (uint64_t c = run.start; c < run.start + run.count && c < 256; ++c) codes[c] = true;
        }
        return codes;
    }();
    bool bytewise = true;
    for (size_t i = 0; i < r.length; ++i) bytewise = bytewise && one_letter[(code >> (8 * i)) & 0xFF];
    return bytewise ? r.length : (r.length + 1) / 2u;
}

// The sections of one value while its units are read.
struct Sections {
    std::vector<uint8_t> inline_codes;
    std::vector<uint8_t> extra;
    size_t extra_units = 0;     // units with inline codes that section 2 accounts for
    size_t extra_opening = 0;   // a modifier that opened section 2 (takes no place)
    bool extra_started = false;
    std::vector<uint8_t> unprintable;
    std::vector<uint8_t> kana;

    // A unit of several letters has an extra code per letter, up to the
    // last that has one.
    void addExtra(size_t place, size_t letters, const SortCodeRun& r) {
        extra_started = true;
        if (extra_units < place) {
            extra.insert(extra.end(), place - extra_units, kNoExtra);
            extra_units = place;
        }
        if (r.kind != kCodeModifier) {
            appendBigEndian(extra, r.side, r.side_length);
            extra_units += letters > 1 ? std::min<size_t>(letters, r.side_length) : 1;
        } else if (!extra.empty()) {
            extra.back() = uint8_t(extra.back() + r.side);
        } else {
            extra.push_back(uint8_t(r.side));
            extra_opening = 1;
        }
    }

    void addUnprintable(size_t place, const SortCodeRun& r) {
        // Its place counts bytes of section 2 as it stands, plus the units
        // section 2 has not reached yet.
        size_t at = extra_started ? extra.size() + (place - extra_units) - extra_opening : place;
        appendBigEndian(unprintable, 0x8000 | (7 + 4 * at), 2);
        unprintable.push_back(kUnprintableMark);
        appendBigEndian(unprintable, r.side, r.side_length);
    }
};

void appendKana(std::vector<uint8_t>& out, std::vector<uint8_t> flags) {
    dropTrailing(flags, kKanaTrimmed, kKanaTrimmed);
    for (size_t i = 0; i < flags.size(); i += 3) {
        uint8_t b = kKanaByte;
        for (size_t k = 0; k < 3 && i + k < flags.size(); ++k) b |= uint8_t(flags[i + k] << (4 - 2 * k));
        out.push_back(b);
    }
    out.insert(out.end(), std::begin(kKanaTrailer), std::end(kKanaTrailer));
}

// The Windows-1252 code of a unit, which Access 97's order goes by.
std::optional<uint8_t> windows1252(char16_t u) {
    if (u <= 0xFF) return uint8_t(u);
    static const TextCodec codec(true, 1252);
    std::string one;
    appendUtf8(one, u);
    try {
        std::vector<uint8_t> b = codec.encode(one, false);
        if (b.size() == 1) return b[0];
    } catch (const Error&) {
    }
    return std::nullopt;
}

// With `inline_only`, the inline codes alone, ascending.
void appendGeneral97Key(std::vector<uint8_t>& out, const std::u16string& units, bool ascending, bool inline_only = false) {
    size_t from = out.size();
    std::vector<uint8_t> nibbles;
    size_t significant = 0;  // since the last character with an extra code
    for (char16_t u : units) {
        // Access 97 keys U+0000 as the other control characters (nwind.mdb's
        // MSysModules2), though the published table leaves it out.
        std::optional<uint8_t> code = windows1252(u == 0 ? 1 : u);
        const SortCodeRun* r = code ? findRun(TextSortOrder::General97, *code) : nullptr;
        if (!r || r->kind == kCodeIgnored) continue;
        appendBigEndian(out, r->start + (*code - r->first), r->length);
        if (r->kind == kCodeSignificant) ++significant;
        // A letter keyed as two ("ß" as "ss", "æ" as "ae") counts as two.
        else if (r->kind == kCodeSimple && r->length > 1) significant += r->length;
        if (r->kind != kCodeAccented) continue;
        if (nibbles.empty()) nibbles.push_back(0);
        nibbles.insert(nibbles.end(), significant, 2);
        significant = 0;
        nibbles.push_back(uint8_t(r->side & 0x0F));
    }
    if (inline_only) return;
    if (nibbles.empty()) {
        out.push_back(kEndValue);
    } else {
        nibbles.push_back(0);
        for (size_t i = 0; i < nibbles.size(); i += 2)
            out.push_back(uint8_t(nibbles[i] << 4 | (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    }
    if (!ascending)
        for (size_t i = from; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
}

// The sections of the key of `units`.
Sections sectionsOf(TextSortOrder order, const std::u16string& units) {
    Sections s;
    size_t place = 0;  // letters so far
    for (char16_t u : units) {
        const SortCodeRun* r = findRun(order, u);
        if (!r)
            throw Error(kErrUnsupported, "A text key holds a character (" + unitName(u) +
                                             ") whose place in the sort order this version does not know.");
        size_t here = place;
        uint64_t code = r->start + (u - r->first);
        size_t letters = lettersOf(order, *r, code);
        if (r->length > 0) {
            appendBigEndian(s.inline_codes, code, r->length);
            place += letters;
        }
        switch (r->kind) {
        case kCodeAccented: case kCodeModifier: s.addExtra(here, letters, *r); break;
        case kCodeUnprintable: s.addUnprintable(here, *r); break;
        case kCodeKanaFlagged: case kCodeKanaUnflagged:
            if (r->side_length > 0) s.addExtra(here, letters, *r);
            s.kana.push_back(r->kind == kCodeKanaFlagged ? 2 : 3);
            break;
        default: break;
        }
    }
    return s;
}

// The units a key counts: the first 255, trailing spaces dropped.
std::u16string keyUnits(const std::string& text) {
    std::u16string units = toUtf16(text);
    if (units.size() > kMaxKeyUnits) units.resize(kMaxKeyUnits);
    while (!units.empty() && units.back() == u' ') units.pop_back();
    return units;
}

}  // namespace

std::optional<TextSortOrder> textSortOrder(const Column& c) {
    if (c.sort_order != kGeneralLcid) return std::nullopt;
    if (c.sort_version == kSortVersionJet3) return TextSortOrder::General97;
    if (c.sort_version == kGeneralVersion) return TextSortOrder::General;
    if (c.sort_version == kLegacyVersion) return TextSortOrder::LegacyGeneral;
    return std::nullopt;
}

std::vector<uint8_t> textKeyPrefix(TextSortOrder order, const std::string& prefix, bool ascending) {
    std::vector<uint8_t> out;
    if (order == TextSortOrder::General97) {
        appendGeneral97Key(out, keyUnits(prefix), true, true);
    } else {
        out = sectionsOf(order, keyUnits(prefix)).inline_codes;
    }
    if (!ascending)
        for (uint8_t& b : out) b = uint8_t(~b);
    return out;
}

void appendTextKey(std::vector<uint8_t>& out, TextSortOrder order, const std::string& text, bool ascending) {
    std::u16string units = keyUnits(text);
    if (order == TextSortOrder::General97) return appendGeneral97Key(out, units, ascending);

    Sections s = sectionsOf(order, units);
    size_t from = out.size();
    out.insert(out.end(), s.inline_codes.begin(), s.inline_codes.end());
    out.push_back(kEndText);
    dropTrailing(s.extra, 0x00, kNoExtra);
    out.insert(out.end(), s.extra.begin(), s.extra.end());
    if (!s.kana.empty() || !s.unprintable.empty()) {
        out.insert(out.end(), {kEndText, kEndText});
        if (!s.kana.empty()) {
            appendKana(out, s.kana);
            if (!s.unprintable.empty()) out.push_back(kKanaThenUnprintable);
        }
        if (!s.unprintable.empty()) {
            out.push_back(kEndText);
            out.insert(out.end(), s.unprintable.begin(), s.unprintable.end());
        }
    }
    if (!ascending) {
        out.push_back(kEndValue);
        for (size_t i = from; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
    }
    out.push_back(kEndValue);
}

}  // namespace jet
