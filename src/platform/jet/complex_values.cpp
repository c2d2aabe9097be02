// SPDX-License-Identifier: Apache-2.0
#include "complex_values.h"

#include <charconv>
#include <optional>

#include "database.h"

namespace jet {

namespace {

enum class Kind { Attachment, MultiValue, History };

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

bool shownColumn(Kind kind, const Column& c) {
    switch (kind) {
    case Kind::Attachment: return sameName(c.name, "FileName");
    case Kind::MultiValue: return sameName(c.name, "Value");
    case Kind::History: return c.type == kMemo || c.type == kText;
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

ComplexValues::Texts ComplexValues::load(const Column& column) const {
    Texts texts;
    const TableDef& registry = db_.table("MSysComplexColumns");
    int complex_id = registry.findColumn("ComplexID"), flat_id = registry.findColumn("FlatTableID"),
        type_id = registry.findColumn("ComplexTypeObjectID");
    if (complex_id < 0 || flat_id < 0 || type_id < 0) return texts;
    const CatalogEntry *flat = nullptr, *type = nullptr;
    std::vector<Value> row;
    for (TableScan scan(db_, registry); scan.next() && !flat;) {
        scan.read(row);
        if (row[complex_id] != Value(int32_t(column.complex_id)) || !row[flat_id].is<int32_t>() ||
            !row[type_id].is<int32_t>())
            continue;
        flat = entryWithId(db_, row[flat_id].as<int32_t>());
        type = entryWithId(db_, row[type_id].as<int32_t>());
    }
    if (!flat || !type) return texts;
    Kind kind = startsWith(type->name, "MSysComplexType_Attachment") ? Kind::Attachment
                : startsWith(type->name, "MSysComplexTypeVH_")       ? Kind::History
                                                                      : Kind::MultiValue;

    // The owner's key is the Long column that is neither the AutoNumber nor
    // one of the template's; the value is the file name, the history's text,
    // or the template's Value.
    const TableDef& def = db_.table(flat->name);
    const TableDef& templ = db_.table(type->name);
    int owner = -1, shown = -1, when = -1;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        const Column& c = def.columns[i];
        if (shownColumn(kind, c)) shown = int(i);
        else if (c.type == kLong && !c.autoNumber() && templ.findColumn(c.name) < 0) owner = int(i);
        else if (c.type == kDateTime) when = int(i);
    }
    if (owner < 0 || shown < 0) return texts;

    std::unordered_map<int32_t, double> newest;  // history: the time of the text kept
    for (TableScan scan(db_, def); scan.next();) {
        scan.read(row);
        if (!row[owner].is<int32_t>()) continue;
        std::optional<std::string> text = plainText(row[shown]);
        if (!text) continue;
        int32_t key = row[owner].as<int32_t>();
        if (kind == Kind::History) {
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
