// SPDX-License-Identifier: Apache-2.0
#include "field_properties.h"

#include <algorithm>
#include <vector>

#include "bytes.h"
#include "database.h"
#include "error.h"

namespace jet {

namespace {

std::map<std::string, FieldProperties> parse(const Database& db, const Binary& blob) {
    std::map<std::string, FieldProperties> fields;
    Bytes b(blob.data(), blob.size());
    std::string signature(blob.begin(), blob.begin() + long(std::min<size_t>(blob.size(), 4)));
    if (signature != std::string("KKD\0", 4) && signature != std::string("MR2\0", 4))
        corrupt("a property blob has no signature");
    std::vector<std::string> names;
    for (size_t pos = 4; pos + 6 <= b.size();) {
        uint32_t length = b.u32(pos);
        if (length < 6) corrupt("a property chunk is shorter than its header");
        uint16_t kind = b.u16(pos + 4);
        Bytes body = b.slice(pos + 6, length - 6);
        pos += length;
        if (kind == 0x80) {
            for (size_t p = 0; p + 2 <= body.size(); p += 2 + body.u16(p))
                names.push_back(db.codec().decode(body.slice(p + 2, body.u16(p))));
            continue;
        }
        if (kind != 0x01) continue;
        uint32_t header = body.u32(0);
        FieldProperties& field = fields[db.codec().decode(body.slice(6, body.u16(4)))];
        for (size_t p = header; p + 8 <= body.size();) {
            uint16_t record = body.u16(p), name = body.u16(p + 4);
            if (record < 8) corrupt("a property record is shorter than its header");
            Bytes value = body.slice(p + 8, body.u16(p + 6));
            uint8_t type = body.u8(p + 3);
            p += record;
            if (name >= names.size()) corrupt("a property names no name");
            if (names[name] == "Required" && type == kBoolean) field.required = value.size() && value.u8(0);
            if (names[name] == "DefaultValue" && (type == kText || type == kMemo))
                field.default_value = db.codec().decode(value);
            if (names[name] == "ResultType" && type == kByte && value.size()) field.result_type = value.u8(0);
        }
    }
    return fields;
}

}  // namespace

std::map<std::string, FieldProperties> readFieldProperties(const Database& db, const std::string& table) {
    int32_t id = 0;
    for (const CatalogEntry& e : db.catalog())
        if (e.isTable() && sameName(e.name, table)) id = e.id;
    const TableDef& objects = db.table("MSysObjects");
    int id_column = objects.findColumn("Id"), blob_column = objects.findColumn("LvProp");
    if (id_column < 0 || blob_column < 0) return {};
    TableScan scan(db, objects);
    std::vector<Value> row;
    while (scan.next()) {
        scan.read(row);
        const Value& key = row[size_t(id_column)];
        if (!key.is<int32_t>() || key.as<int32_t>() != id) continue;
        const Value& blob = row[size_t(blob_column)];
        return blob.is<Binary>() ? parse(db, blob.as<Binary>()) : std::map<std::string, FieldProperties>();
    }
    return {};
}

}  // namespace jet
