// SPDX-License-Identifier: Apache-2.0
#include "complex_values.h"

#include <zlib.h>

#include <charconv>

#include "database.h"
#include "error.h"

namespace jet {

namespace {

const CatalogEntry* entryWithId(const Database& db, int32_t id) {
    for (const CatalogEntry& e : db.catalog())
        if (e.id == id) return &e;
    return nullptr;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// A multi-value field holds text or numbers; other kinds give no text.
std::optional<std::string> plainText(const Value& v) {
    if (v.is<std::string>()) return v.as<std::string>();
    if (v.is<uint8_t>()) return std::to_string(v.as<uint8_t>());
    if (v.is<int16_t>()) return std::to_string(v.as<int16_t>());
    if (v.is<int32_t>()) return std::to_string(v.as<int32_t>());
    char buf[32];
    if (v.is<float>()) return std::string(buf, std::to_chars(buf, buf + sizeof buf, v.as<float>()).ptr);
    if (v.is<double>()) return std::string(buf, std::to_chars(buf, buf + sizeof buf, v.as<double>()).ptr);
    return std::nullopt;
}

bool shownColumn(ComplexKind kind, const Column& c) {
    switch (kind) {
    case ComplexKind::Attachment: return sameName(c.name, "FileName");
    case ComplexKind::MultiValue: return sameName(c.name, "Value");
    case ComplexKind::History: return c.type == kMemo || c.type == kText;
    }
    return false;
}

}  // namespace

Value ComplexValues::value(const Column& column, int32_t key) const {
    auto it = by_complex_id_.find(column.complex_id);
    if (it == by_complex_id_.end()) it = by_complex_id_.emplace(column.complex_id, load(column)).first;
    auto text = it->second.find(key);
    return text == it->second.end() ? Value() : Value(text->second);
}

std::optional<ComplexTable> complexTableOf(const Database& db, const Column& column) {
    const TableDef& registry = db.table("MSysComplexColumns");
    int complex_id = registry.findColumn("ComplexID"), flat_id = registry.findColumn("FlatTableID"),
        type_id = registry.findColumn("ComplexTypeObjectID");
    if (complex_id < 0 || flat_id < 0 || type_id < 0) return std::nullopt;
    const CatalogEntry *flat = nullptr, *type = nullptr;
    std::vector<Value> row;
    for (TableScan scan(db, registry); scan.next() && !flat;) {
        scan.read(row);
        if (row[complex_id] != Value(int32_t(column.complex_id)) || !row[flat_id].is<int32_t>() ||
            !row[type_id].is<int32_t>())
            continue;
        flat = entryWithId(db, row[flat_id].as<int32_t>());
        type = entryWithId(db, row[type_id].as<int32_t>());
    }
    if (!flat || !type) return std::nullopt;
    ComplexKind kind = startsWith(type->name, "MSysComplexType_Attachment") ? ComplexKind::Attachment
                       : startsWith(type->name, "MSysComplexTypeVH_")       ? ComplexKind::History
                                                                            : ComplexKind::MultiValue;
    // The owner's key is the Long column that is neither the AutoNumber nor
    // one of the template's.
    const TableDef& def = db.table(flat->name);
    const TableDef& templ = db.table(type->name);
    for (size_t i = 0; i < def.columns.size(); ++i) {
        const Column& c = def.columns[i];
        if (c.type == kLong && !c.autoNumber() && templ.findColumn(c.name) < 0) return ComplexTable{kind, &def, i};
    }
    return std::nullopt;
}

Binary attachmentFileData(Bytes stored) {
    auto corrupt = [] { return Error(kErrCorrupt, "An attachment's stored data is damaged."); };
    if (stored.size() < 8) throw corrupt();
    uint32_t kind = stored.u32(0), length = stored.u32(4);
    Binary content;
    if (kind == 0) {
        if (stored.size() - 8 < length) throw corrupt();
        content.assign(stored.data() + 8, stored.data() + 8 + length);
    } else if (kind == 1) {
        content.resize(length);
        uLongf got = length;
        if (uncompress(content.data(), &got, stored.data() + 8, uLong(stored.size() - 8)) != Z_OK || got != length)
            throw corrupt();
    } else {
        throw corrupt();
    }
    uint32_t header = content.size() < 12 ? 0 : Bytes(content.data(), content.size()).u32(0);
    if (header < 12 || header > content.size()) throw corrupt();
    content.erase(content.begin(), content.begin() + header);
    return content;
}

ComplexValues::Texts ComplexValues::load(const Column& column) const {
    Texts texts;
    std::optional<ComplexTable> hidden = complexTableOf(db_, column);
    if (!hidden) return texts;
    ComplexKind kind = hidden->kind;
    const TableDef& def = *hidden->flat;
    // The value is the file name, the history's text, or the template's Value.
    int owner = int(hidden->owner), shown = -1, when = -1;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        const Column& c = def.columns[i];
        if (shownColumn(kind, c)) shown = int(i);
        else if (c.type == kDateTime) when = int(i);
    }
    if (shown < 0) return texts;

    std::vector<Value> row;
    std::unordered_map<int32_t, double> newest;  // history: the time of the text kept
    for (TableScan scan(db_, def); scan.next();) {
        scan.read(row);
        if (!row[owner].is<int32_t>()) continue;
        std::optional<std::string> text = plainText(row[shown]);
        if (!text) continue;
        int32_t key = row[owner].as<int32_t>();
        if (kind == ComplexKind::History) {
            double at = when >= 0 && row[when].is<DateTime>() ? row[when].as<DateTime>().days : 0;
            auto [it, fresh] = newest.emplace(key, at);
            if (!fresh && at < it->second) continue;
            it->second = at;
            texts[key] = *text;
            continue;
        }
        auto [it, fresh] = texts.emplace(key, *text);
        if (!fresh) it->second += "; " + *text;
    }
    return texts;
}

}  // namespace jet
