// SPDX-License-Identifier: Apache-2.0
#include "schema_listing.h"

#include <algorithm>
#include <cstdint>

#include "jet/complex_values.h"
#include "jet/relationships.h"

namespace {

using ado::Value;
using Row = std::vector<Value>;

const char* typeName(uint8_t type) {
    switch (type) {
        case jet::kBoolean: return "Yes/No";
        case jet::kByte: return "Byte";
        case jet::kInteger: return "Integer";
        case jet::kLong: return "Long Integer";
        case jet::kCurrency: return "Currency";
        case jet::kSingle: return "Single";
        case jet::kDouble: return "Double";
        case jet::kDateTime: return "Date/Time";
        case jet::kBinary: return "Binary";
        case jet::kText: return "Text";
        case jet::kOle: return "OLE Object";
        case jet::kMemo: return "Memo";
        case jet::kGuid: return "Replication ID";
        case jet::kNumeric: return "Decimal";
        case jet::kBigInt: return "Large Number";
        case jet::kExtDateTime: return "Date/Time Extended";
        default: return "Unknown";
    }
}

Value fieldSize(const jet::Column& c, const jet::Format& format) {
    if (c.type == jet::kText) return int32_t(format.jet3 ? c.length : c.length / 2);
    if (c.type == jet::kBinary) return int32_t(c.length);
    if (size_t size = jet::naturalSize(c.type)) return int32_t(size);
    return Value();
}

std::string joined(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts) s += (s.empty() ? "" : ", ") + p;
    return s;
}

// A complex column is named by what its hidden table holds.
std::string typeOf(const jet::Database& db, const jet::Column& c) {
    if (c.type != jet::kComplex) return typeName(c.type);
    std::optional<jet::ComplexTable> complex = jet::complexTableOf(db, c);
    if (!complex) return "Unknown";
    switch (complex->kind) {
        case jet::ComplexKind::Attachment: return "Attachment";
        case jet::ComplexKind::MultiValue: return "Multi-value";
        case jet::ComplexKind::History: return "Version history";
    }
    return "Unknown";
}

Row fieldRow(const std::string& table, const jet::Column& c, const jet::Database& db) {
    const jet::Format& format = db.format();
    std::vector<std::string> options;
    // Jet 3 sets 0x40 on other kinds too, and complex columns carry 0x04.
    if ((c.type == jet::kLong && c.autoNumber()) || (c.type == jet::kGuid && c.autoGuid()))
        options.push_back("AutoNumber");
    if (c.calculated()) options.push_back("calculated");
    if (c.type == jet::kNumeric)
        options.push_back("precision " + std::to_string(c.precision) + ", scale " + std::to_string(c.scale));
    return {table, std::string("field"), c.name, typeOf(db, c), fieldSize(c, format), Value(),
            Value(), joined(options)};
}

std::string columnName(const jet::TableDef& def, uint16_t number) {
    for (const jet::Column& c : def.columns)
        if (c.number == number) return c.name;
    std::string unknown = "#";
    return unknown += std::to_string(number);
}

Row indexRow(const std::string& table, const jet::TableDef& def, const jet::Index& index) {
    const jet::RealIndex& real = def.real_indexes.at(index.real_index);
    std::vector<std::string> columns, options;
    for (const jet::IndexColumn& ic : real.columns)
        columns.push_back(columnName(def, ic.column_number) + (ic.ascending ? "" : " DESC"));
    if (real.unique()) options.push_back("unique");
    if (real.flags & jet::kIndexIgnoreNulls) options.push_back("ignore nulls");
    if (real.flags & jet::kIndexRequired) options.push_back("required");
    return {table, std::string("index"), index.name, std::string(index.primaryKey() ? "primary key" : "index"),
            Value(), joined(columns), Value(), joined(options)};
}

Row relationshipRow(const jet::Relationship& r) {
    std::vector<std::string> options;
    options.push_back(r.enforced() ? "enforced" : "not enforced");
    if (r.flags & jet::kRelationCascadeUpdates) options.push_back("cascade updates");
    if (r.flags & jet::kRelationCascadeDeletes) options.push_back("cascade deletes");
    if (r.flags & jet::kRelationCascadeNull) options.push_back("cascade to Null");
    return {r.table, std::string("relationship"), r.name,
            std::string(r.flags & jet::kRelationOneToOne ? "one-to-one" : "one-to-many"), Value(), joined(r.columns),
            r.referenced_table + " (" + joined(r.referenced_columns) + ")", joined(options)};
}

}  // namespace

SchemaListing listSchema(const jet::Database& db, const std::string& only) {
    SchemaListing listing{{"Table", "Item", "Name", "Type", "Size", "Columns", "References", "Options"}, {}};
    std::vector<std::string> tables;
    if (only.empty()) tables = db.userTables();
    for (const jet::CatalogEntry& e : db.catalog())
        if (!only.empty() && e.isTable() && jet::sameName(e.name, only)) tables.push_back(e.name);
    if (!only.empty() && tables.empty()) db.table(only);  // raises 3078
    std::vector<jet::Relationship> related = jet::readRelationships(db);
    for (const std::string& name : tables) {
        const jet::TableDef& def = db.table(name);
        for (const jet::Column& c : def.columns) listing.rows.push_back(fieldRow(name, c, db));
        for (const jet::Index& index : def.indexes)
            if (!index.foreignKey()) listing.rows.push_back(indexRow(name, def, index));
        for (const jet::Relationship& r : related)
            if (jet::sameName(r.table, name) || (!only.empty() && jet::sameName(r.referenced_table, name)))
                listing.rows.push_back(relationshipRow(r));
    }
    return listing;
}
