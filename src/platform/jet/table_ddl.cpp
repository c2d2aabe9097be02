// SPDX-License-Identifier: Apache-2.0
// Table creation, dropping, copying and column adding (see table_ddl.h).
//
// A new table's pages, as Access lays them out: the definition page, then
// a data page owned by no table that holds the table's usage maps as rows
// (pages owned, pages with room, a pair per long-value column, the primary
// key's), each an empty inline map, with further such pages when they do
// not fit on one; then the primary key's root, an empty leaf. The maps
// grow on their own as rows arrive.
#include "table_ddl.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>

#include "data_page.h"
#include "data_page_writer.h"
#include "error.h"
#include "index_page.h"
#include "index_writer.h"
#include "table_writer.h"
#include "relationships.h"
#include "usage_map.h"
#include "usage_map_writer.h"

namespace jet {

namespace {

constexpr size_t kMaxName = 64;
constexpr size_t kMaxColumns = 255;
constexpr uint8_t kTdefPage = 0x02;
constexpr uint8_t kUserTable = 0x4E;
constexpr uint32_t kAccessConstant = 0x0659;  // written by Access in a definition's unknown words
constexpr uint16_t kGeneralSortOrder = 0x0409;
constexpr uint8_t kColumnFixed = 0x01, kColumnUpdatable = 0x02, kColumnAutoNumber = 0x04;
constexpr size_t kTdefChainHeader = 8;
constexpr size_t kTdefTrailer = 8;      // Access leaves 8 bytes after a definition's end
constexpr uint32_t kRealIndexConstant = 0x0783;  // heads every real index entry Access writes
constexpr uint8_t kAccessIndexFlag = 0x80;       // set on every index Access 2000 and later write
constexpr uint8_t kCascadeUnset = 0x04;          // both cascade bytes of an index that is no foreign key
constexpr uint8_t kPrimaryKeyKind = 1;
constexpr size_t kMaxKeyColumns = 10;
constexpr char kPrimaryKeyName[] = "PrimaryKey";
constexpr size_t kDataPageHeader = 14;  // Jet 4: type, 01, free space, owner, 4 unknown, row count
constexpr size_t kMapRowSize = 69;      // inline map: kind, first page, 64-byte bitmap
constexpr size_t kMaxMapRowsPerPage = 255;
constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeContainer = 3;
constexpr int16_t kTypeQuery = 5;

struct DdlType {
    const char* name;
    uint8_t type;
    bool autonumber;
};

// Jet's DDL type names and the synonyms it accepts.
constexpr DdlType kDdlTypes[] = {
    {"TEXT", kText, false},        {"VARCHAR", kText, false},     {"CHAR", kText, false},
    {"CHARACTER", kText, false},   {"STRING", kText, false},      {"ALPHANUMERIC", kText, false},
    {"NCHAR", kText, false},       {"NVARCHAR", kText, false},    {"MEMO", kMemo, false},
    {"LONGTEXT", kMemo, false},    {"LONGCHAR", kMemo, false},    {"NOTE", kMemo, false},
    {"NTEXT", kMemo, false},       {"BYTE", kByte, false},        {"TINYINT", kByte, false},
    {"INTEGER1", kByte, false},    {"SHORT", kInteger, false},    {"SMALLINT", kInteger, false},
    {"INTEGER2", kInteger, false}, {"LONG", kLong, false},        {"INTEGER", kLong, false},
    {"INT", kLong, false},         {"INTEGER4", kLong, false},    {"SINGLE", kSingle, false},
    {"REAL", kSingle, false},      {"FLOAT4", kSingle, false},    {"IEEESINGLE", kSingle, false},
    {"DOUBLE", kDouble, false},    {"FLOAT", kDouble, false},     {"FLOAT8", kDouble, false},
    {"IEEEDOUBLE", kDouble, false}, {"NUMBER", kDouble, false},   {"CURRENCY", kCurrency, false},
    {"MONEY", kCurrency, false},   {"DATETIME", kDateTime, false}, {"DATE", kDateTime, false},
    {"TIME", kDateTime, false},    {"TIMESTAMP", kDateTime, false}, {"YESNO", kBoolean, false},
    {"BIT", kBoolean, false},      {"LOGICAL", kBoolean, false},  {"LOGICAL1", kBoolean, false},
    {"BOOLEAN", kBoolean, false},  {"OLEOBJECT", kOle, false},    {"LONGBINARY", kOle, false},
    {"GENERAL", kOle, false},      {"IMAGE", kOle, false},        {"BINARY", kBinary, false},
    {"VARBINARY", kBinary, false}, {"GUID", kGuid, false},        {"UNIQUEIDENTIFIER", kGuid, false},
    {"COUNTER", kLong, true},      {"AUTOINCREMENT", kLong, true}, {"AUTONUMBER", kLong, true},
};

bool variableLength(uint8_t type) {
    return type == kText || type == kBinary || type == kMemo || type == kOle;
}

bool longValue(uint8_t type) { return type == kMemo || type == kOle; }

void append16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void append32(std::vector<uint8_t>& b, uint32_t v) {
    append16(b, uint16_t(v));
    append16(b, uint16_t(v >> 16));
}

void put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

void appendName(std::vector<uint8_t>& b, const std::string& name) {
    std::u16string units = toUtf16(name);
    append16(b, uint16_t(units.size() * 2));
    for (char16_t u : units) append16(b, uint16_t(u));
}

void refuseJet3(const Database& db) {
    if (db.format().jet3)
        throw Error(kErrUnsupported, "Tables cannot be created, dropped or changed in Jet 3 (Access 97) files.");
}

// The stored length of a column: bytes for text (two per character), the
// natural size of the fixed kinds, 0 for long values.
uint16_t storedLength(const NewColumn& c) {
    switch (c.type) {
    case kText: return uint16_t(c.size * 2);
    case kBinary: return c.size;
    case kBoolean: return 1;
    case kMemo: case kOle: return 0;
    default: return uint16_t(naturalSize(c.type));
    }
}

// The rules for one column on its own: a known type, a size in range.
void checkColumn(const NewColumn& c) {
    checkName(c.name);
    bool known = std::any_of(std::begin(kDdlTypes), std::end(kDdlTypes),
                             [&](const DdlType& t) { return t.type == c.type; });
    if (!known) throw Error(kErrBadFieldType, "Invalid field data type for field '" + c.name + "'.");
    if ((c.type == kText || c.type == kBinary) && (c.size < 1 || c.size > 255))
        throw Error(kErrBadFieldType, "The size of field '" + c.name + "' must be from 1 to 255.");
    if (c.autonumber && c.type != kLong)
        throw Error(kErrBadFieldType, "Only a Long Integer field can be an AutoNumber ('" + c.name + "').");
    if (c.primary_key && longValue(c.type))
        throw Error(kErrBadFieldType, "The Memo or OLE Object field '" + c.name + "' cannot be part of a primary key.");
    // Required lives in the field's properties, which the engine does not
    // write yet.
    if (c.required)
        throw Error(kErrUnsupported, "NOT NULL is not supported yet: create the table without it.");
}

void checkColumns(const std::vector<NewColumn>& columns) {
    if (columns.empty()) throw Error(kErrNoFields, "A table needs at least one field.");
    if (columns.size() > kMaxColumns) throw Error(kErrTooManyFields, "Too many fields defined.");
    for (size_t i = 0; i < columns.size(); ++i) {
        const NewColumn& c = columns[i];
        checkColumn(c);
        for (size_t k = 0; k < i; ++k)
            if (sameName(columns[k].name, c.name))
                throw Error(kErrDuplicateField, "Cannot define field '" + c.name + "' more than once.");
        if (c.autonumber && std::any_of(columns.begin(), columns.begin() + long(i),
                                        [](const NewColumn& k) { return k.autonumber; }))
            throw Error(kErrBadFieldType, "A table can have only one AutoNumber field ('" + c.name + "').");
    }
    if (std::count_if(columns.begin(), columns.end(), [](const NewColumn& c) { return c.primary_key; }) >
        long(kMaxKeyColumns))
        throw Error(kErrUnsupported, "A primary key can have at most 10 fields.");
}

// The table or query named `name`, if any: they share one name space.
const CatalogEntry* findObject(const Database& db, const std::string& name) {
    for (const CatalogEntry& e : db.catalog())
        if (sameName(e.name, name) && (e.isTable() || e.type == kTypeQuery)) return &e;
    return nullptr;
}

const CatalogEntry& tablesContainer(const Database& db) {
    for (const CatalogEntry& e : db.catalog())
        if (e.type == kTypeContainer && e.name == "Tables") return e;
    corrupt("the catalog has no Tables container");
}

double now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    // Days since 30 December 1899, the local time as the fraction.
    std::tm epoch{};
    epoch.tm_year = -1, epoch.tm_mon = 11, epoch.tm_mday = 30;
    int64_t seconds = int64_t(timegm(&local)) - int64_t(timegm(&epoch));
    return double(seconds) / 86400.0;
}

// The descriptor of column `c`, stored as column `number` in slot
// `var_index` (variable kinds) or at `fixed_offset` (fixed kinds).
std::vector<uint8_t> columnEntry(const Format& f, const NewColumn& c, uint16_t number, uint16_t var_index,
                                 uint16_t fixed_offset) {
    std::vector<uint8_t> d(f.column_entry, 0);
    d[0] = c.type;
    put32(&d[1], kAccessConstant);
    put16(&d[f.col_number], number);
    put16(&d[f.col_number + 4], number);  // column index
    put16(&d[f.col_precision], kGeneralSortOrder);
    put16(&d[f.col_var_index], var_index);
    uint8_t flags = kColumnUpdatable;
    if (!variableLength(c.type)) {
        flags |= kColumnFixed;
        if (c.type != kBoolean) put16(&d[f.col_fixed_offset], fixed_offset);  // Yes/No lives in the null mask
    }
    if (c.autonumber) flags |= kColumnAutoNumber;
    d[f.col_flags] = flags;
    put16(&d[f.col_length], storedLength(c));
    return d;
}

// The bytes a fixed-length column takes in a row's fixed part.
uint16_t fixedSpan(const NewColumn& c) {
    return variableLength(c.type) || c.type == kBoolean ? 0 : storedLength(c);
}

// The usage maps of a new table, as row pointers in this order: pages
// owned, pages with room, a pair per long-value column, then the primary
// key's when it has one.
struct NewMaps {
    std::vector<uint32_t> rows;
    bool keyed = false;

    uint32_t owned() const { return rows[0]; }
    uint32_t free() const { return rows[1]; }
    uint32_t longValue(size_t k, bool free_pages) const { return rows[2 + 2 * k + (free_pages ? 1 : 0)]; }
    uint32_t key() const { return rows.back(); }
};

bool keyed(const std::vector<NewColumn>& columns) {
    return std::any_of(columns.begin(), columns.end(), [](const NewColumn& c) { return c.primary_key; });
}

// The real index entry of a primary key on `key` (column numbers), its
// B-tree rooted at `root`, its usage map at `map`.
std::vector<uint8_t> primaryKeyEntry(const Format& f, const std::vector<uint16_t>& key, uint32_t map, uint32_t root) {
    std::vector<uint8_t> e(f.real_index_entry, 0);
    put32(&e[0], kRealIndexConstant);
    uint8_t* columns = &e[f.real_index_skip];
    for (size_t k = 0; k < kMaxKeyColumns; ++k) {
        uint8_t* slot = columns + 3 * k;
        put16(slot, k < key.size() ? key[k] : 0xFFFF);
        slot[2] = k < key.size() ? 0x01 : 0x00;  // ascending; unused slots are FFFF 00
    }
    put32(columns + 30, map);
    put32(columns + 34, root);
    e[f.real_index_flags] = kAccessIndexFlag | kIndexRequired | kIndexUnique;
    return e;
}

// The logical entry naming real index 0 as the table's primary key.
std::vector<uint8_t> primaryKeyLogicalEntry(const Format& f) {
    std::vector<uint8_t> e(f.logical_index_entry, 0);
    uint8_t* d = &e[f.logical_index_skip];
    // Index number and real index (d + 0, d + 4) are both 0.
    put32(&e[0], kAccessConstant);
    put32(d + 9, 0xFFFFFFFF);  // no related index
    d[17] = kCascadeUnset;
    d[18] = kCascadeUnset;
    d[19] = kPrimaryKeyKind;
    return e;
}

// The definition of a new, empty table with the maps `maps`, whose
// primary key, if any, has its root at `key_root`.
std::vector<uint8_t> definition(const Format& f, const std::vector<NewColumn>& columns, const NewMaps& maps,
                                uint32_t key_root) {
    uint32_t real_count = maps.keyed ? 1 : 0;
    std::vector<uint8_t> b(f.tdef_index_block + real_count * f.real_index_count_entry, 0);
    b[0] = kTdefPage;
    b[1] = 0x01;
    put32(&b[12], kAccessConstant);
    put32(&b[24], 1);  // Access writes 1 here in every table
    b[f.tdef_table_type] = kUserTable;
    uint16_t var_count = uint16_t(std::count_if(columns.begin(), columns.end(),
                                                [](const NewColumn& c) { return variableLength(c.type); }));
    put16(&b[f.tdef_max_cols], uint16_t(columns.size()));
    put16(&b[f.tdef_var_cols], var_count);
    put16(&b[f.tdef_col_count], uint16_t(columns.size()));
    put32(&b[f.tdef_logical_index_count], real_count);
    put32(&b[f.tdef_real_index_count], real_count);
    put32(&b[f.tdef_owned_pages], maps.owned());
    put32(&b[f.tdef_free_pages], maps.free());

    uint16_t fixed_offset = 0, var_index = 0;
    std::vector<uint16_t> key;
    for (size_t i = 0; i < columns.size(); ++i) {
        const NewColumn& c = columns[i];
        std::vector<uint8_t> d = columnEntry(f, c, uint16_t(i), var_index, fixed_offset);
        b.insert(b.end(), d.begin(), d.end());
        if (variableLength(c.type)) ++var_index;
        fixed_offset = uint16_t(fixed_offset + fixedSpan(c));
        if (c.primary_key) key.push_back(uint16_t(i));
    }
    for (const NewColumn& c : columns) appendName(b, c.name);
    if (maps.keyed) {
        std::vector<uint8_t> real = primaryKeyEntry(f, key, maps.key(), key_root);
        std::vector<uint8_t> logical = primaryKeyLogicalEntry(f);
        b.insert(b.end(), real.begin(), real.end());
        b.insert(b.end(), logical.begin(), logical.end());
        appendName(b, kPrimaryKeyName);
    }
    for (size_t i = 0, k = 0; i < columns.size(); ++i) {
        if (!longValue(columns[i].type)) continue;
        append16(b, uint16_t(i));
        append32(b, maps.longValue(k, false));
        append32(b, maps.longValue(k++, true));
    }
    append16(b, 0xFFFF);
    put32(&b[8], uint32_t(b.size()));
    return b;
}

// Writes a definition from page `first` on, taking continuation pages as
// needed; every page but the last points at the next.
void writeDefinition(Pager& pager, const Format& f, uint32_t first, const std::vector<uint8_t>& def) {
    size_t size = f.page_size;
    uint32_t page = first;
    size_t pos = 0;
    while (true) {
        size_t header = pos == 0 ? 0 : kTdefChainHeader;
        size_t chunk = std::min(def.size() - pos, size - header);
        bool last = pos + chunk == def.size();
        uint32_t next = last ? 0 : allocatePage(pager, f);
        uint8_t* p = pager.modify(page);
        std::memcpy(p + header, def.data() + pos, chunk);
        p[0] = kTdefPage;
        p[1] = 0x01;
        size_t used = header + chunk + (last ? kTdefTrailer : 0);
        put16(p + 2, uint16_t(used >= size ? 0 : size - used));
        put32(p + 4, next);
        pos += chunk;
        if (last) return;
        page = next;
    }
}

// The stored bytes of a one-page definition, up to the length it gives.
std::vector<uint8_t> definitionBytes(const Pager& pager, uint32_t page) {
    Bytes p = pager.page(page);
    size_t length = p.u32(8);
    if (length > p.size()) corrupt("a table definition is longer than its page");
    return std::vector<uint8_t>(p.data(), p.data() + length);
}

// Where the parts a new column adds to end, in a definition's bytes.
struct DefinitionLayout {
    size_t columns_end = 0;  // after the last column descriptor
    size_t names_end = 0;    // after the last column name
    size_t maps_end = 0;     // at the FFFF that closes the long-value maps
};

DefinitionLayout layoutOf(const Format& f, const std::vector<uint8_t>& def) {
    Bytes b(def.data(), def.size());
    DefinitionLayout at;
    size_t columns = b.u16(f.tdef_col_count), logical = b.u32(f.tdef_logical_index_count);
    size_t real = b.u32(f.tdef_real_index_count);
    at.columns_end = f.tdef_index_block + real * f.real_index_count_entry + columns * f.column_entry;
    size_t pos = at.columns_end;
    auto skipNames = [&](size_t n) {
        for (size_t i = 0; i < n; ++i) pos += 2 + b.u16(pos);
    };
    skipNames(columns);
    at.names_end = pos;
    pos += real * f.real_index_entry + logical * f.logical_index_entry;
    skipNames(logical);
    while (b.u16(pos) != 0xFFFF) pos += 10;  // Bytes throws past the end
    at.maps_end = pos;
    return at;
}

// `count` empty inline maps as rows of pages owned by no table, as many
// to a page as fit; returns their row pointers.
std::vector<uint32_t> writeMapRows(Pager& pager, const Format& f, size_t count) {
    const size_t per_page = std::min<size_t>(kMaxMapRowsPerPage, (f.page_size - kDataPageHeader) / (kMapRowSize + 2));
    std::vector<uint32_t> rows;
    while (rows.size() < count) {
        size_t n = std::min(per_page, count - rows.size());
        uint32_t page = allocatePage(pager, f);
        uint8_t* p = pager.modify(page);
        p[0] = kDataPage;
        p[1] = 0x01;
        put16(p + f.data_row_count_offset, uint16_t(n));
        size_t bottom = f.page_size;
        for (size_t k = 0; k < n; ++k) {
            bottom -= kMapRowSize;
            put16(p + f.data_row_count_offset + 2 + 2 * k, uint16_t(bottom));
            rows.push_back(page << 8 | uint32_t(k));
        }
        put16(p + 2, uint16_t(bottom - kDataPageHeader - 2 * n));
    }
    return rows;
}

// The catalog row of a new table, by the catalog's own column names.
std::vector<Value> catalogRow(const TableDef& catalog, const CatalogEntry& container, const Binary& owner,
                              int32_t id, const std::string& name) {
    std::vector<Value> row(catalog.columns.size());
    auto set = [&](const char* column, Value v) {
        int i = catalog.findColumn(column);
        if (i >= 0) row[size_t(i)] = std::move(v);
    };
    double stamp = now();
    set("Id", id);
    set("ParentId", container.id);
    set("Name", name);
    set("Type", kTypeTable);
    set("DateCreate", DateTime{stamp});
    set("DateUpdate", DateTime{stamp});
    set("Flags", int32_t(0));
    if (!owner.empty()) set("Owner", owner);
    return row;
}

template <typename Visit>
void scanRows(Database& db, const std::string& table, Visit visit) {
    const TableDef& def = db.table(table);
    TableScan scan(db, def);
    std::vector<Value> row;
    while (scan.next()) {
        scan.read(row);
        visit(def, scan.rowId(), row);
    }
}

Value column(const TableDef& def, const std::vector<Value>& row, const char* name) {
    int i = def.findColumn(name);
    return i < 0 ? Value() : row[size_t(i)];
}

// A new object inherits the access rights its container passes on.
std::vector<std::vector<Value>> inheritedAces(Database& db, int32_t container, int32_t id) {
    std::vector<std::vector<Value>> rows;
    scanRows(db, "MSysACEs", [&](const TableDef& def, RowId, const std::vector<Value>& row) {
        Value object = column(def, row, "ObjectId"), inheritable = column(def, row, "FInheritable");
        if (!(object == Value(container)) || !inheritable.is<bool>() || !inheritable.as<bool>()) return;
        std::vector<Value> ace = row;
        ace[size_t(def.findColumn("ObjectId"))] = id;
        ace[size_t(def.findColumn("FInheritable"))] = false;
        rows.push_back(std::move(ace));
    });
    return rows;
}

// Every page of the B-tree under `root`, found by walking it: the index's
// usage map need not list the pages its splits added.
void addIndexPages(const Pager& pager, const Format& f, uint32_t root, std::set<uint32_t>& pages) {
    std::vector<uint32_t> pending{root};
    while (!pending.empty()) {
        uint32_t number = pending.back();
        pending.pop_back();
        if (number == 0 || number >= pager.pageCount() || !pages.insert(number).second) continue;
        IndexPage page = IndexPage::read(pager, f, number);
        if (page.type != kIndexNodePage) continue;
        for (const IndexEntry& e : page.entries) pending.push_back(e.child);
        pending.push_back(page.tail);
    }
}

// Every page a table holds: definition chain, data and long-value pages,
// index pages, reference-map pages, and map-row pages holding only its maps.
std::set<uint32_t> pagesOf(const Database& db, const TableDef& t) {
    const Pager& pager = db.pager();
    const Format& f = db.format();
    std::set<uint32_t> pages;
    for (uint32_t p = t.page; p != 0 && !pages.count(p); p = pager.page(p).u32(4)) pages.insert(p);

    std::vector<uint32_t> maps = {t.owned_pages, t.free_pages};
    for (const ColumnMaps& m : t.column_maps) maps.insert(maps.end(), {m.owned_pages, m.free_pages});
    for (const RealIndex& r : t.real_indexes) {
        maps.push_back(r.usage_map);
        if (r.root_page) addIndexPages(pager, f, r.root_page, pages);
    }
    std::map<uint32_t, std::set<uint16_t>> map_rows;
    for (uint32_t m : maps) {
        if (m == 0) continue;
        for (uint32_t p : readUsageMap(pager, f, m))
            if (p < pager.pageCount()) pages.insert(p);
        RowId at = RowId::fromPointer(m);
        map_rows[at.page].insert(at.row);
        std::optional<Bytes> row = readRow(pager, f, at);
        if (row && row->size() >= 1 && row->u8(0) == 1)
            for (size_t k = 1; k + 4 <= row->size(); k += 4)
                if (uint32_t p = row->u32(k); p != 0) pages.insert(p);
    }
    for (const auto& [page, rows] : map_rows) {
        DataPage data(pager.page(page), f);
        if (data.owner() != 0 && data.owner() != t.page) continue;
        if (rows.size() == data.rowCount()) pages.insert(page);
    }
    // Only pages that are this table's own (or free-standing structure
    // pages it points at) go back; a map bit for a page since reused by
    // another table must not free that table's page.
    std::set<uint32_t> own;
    for (uint32_t p : pages) {
        Bytes page = pager.page(p);
        uint8_t type = page.u8(0);
        bool data = type == kDataPage;
        if (data && page.u32(4) != t.page && page.u32(4) != kLvalOwner && page.u32(4) != 0) continue;
        own.insert(p);
    }
    return own;
}

void checkNotRelated(Database& db, const std::string& name) {
    for (const Relationship& r : readRelationships(db))
        if (sameName(r.table, name) || sameName(r.referenced_table, name))
            throw Error(kErrInRelationship, "The table '" + name +
                                                "' cannot be deleted: it takes part in one or more relationships.");
}

}  // namespace

NewColumn newColumn(const std::string& name, const std::string& ddl_type, int size) {
    for (const DdlType& t : kDdlTypes) {
        if (ddl_type != t.name) continue;
        NewColumn c;
        c.name = name;
        c.type = t.type;
        c.autonumber = t.autonumber;
        if (t.type == kText || t.type == kBinary) {
            if (size < 0 || size > 255)
                throw Error(kErrBadFieldType, "The size of field '" + name + "' must be from 1 to 255.");
            c.size = uint16_t(size == 0 ? 255 : size);
        }
        return c;
    }
    throw Error(kErrBadFieldType, "Invalid field data type '" + ddl_type + "' for field '" + name + "'.");
}

std::vector<NewColumn> newColumnsLike(const TableDef& table) {
    std::vector<NewColumn> planned;
    for (const Column& c : table.columns) {
        NewColumn s;
        s.name = c.name;
        s.type = c.type;
        s.autonumber = c.autoNumber();
        if (c.type == kText) s.size = uint16_t(c.length / 2);
        if (c.type == kBinary) s.size = c.length;
        planned.push_back(s);
    }
    return planned;
}

void checkName(const std::string& name) {
    auto bad = [&] {
        throw Error(kErrBadName, "'" + name + "' is not a valid name. Make sure that it does not include invalid "
                                              "characters or punctuation and that it is not too long.");
    };
    std::u16string units;
    try {
        units = toUtf16(name);
    } catch (const Error&) {
        bad();
    }
    if (units.empty() || units.size() > kMaxName || units[0] == u' ') bad();
    for (char16_t u : units)
        if (u < 0x20 || u == 0x7F || u == u'.' || u == u'!' || u == u'`' || u == u'[' || u == u']') bad();
}

uint32_t writeTablePages(Database& db, const std::vector<NewColumn>& columns) {
    refuseJet3(db);
    checkColumns(columns);
    Pager& pager = db.writablePager();
    const Format& f = db.format();
    uint32_t tdef = allocatePage(pager, f);
    NewMaps maps;
    maps.keyed = keyed(columns);
    size_t long_columns = size_t(std::count_if(columns.begin(), columns.end(),
                                               [](const NewColumn& c) { return longValue(c.type); }));
    maps.rows = writeMapRows(pager, f, 2 + 2 * long_columns + (maps.keyed ? 1 : 0));
    uint32_t key_root = 0;
    if (maps.keyed) {
        key_root = allocatePage(pager, f);
        writeEmptyIndex(pager, f, tdef, key_root);
        markPage(pager, f, maps.key(), key_root, true);
    }
    writeDefinition(pager, f, tdef, definition(f, columns, maps, key_root));
    return tdef;
}

void createTable(Database& db, const std::string& name, const std::vector<NewColumn>& columns) {
    refuseJet3(db);
    checkName(name);
    if (const CatalogEntry* e = findObject(db, name))
        throw Error(kErrTableExists, "Table '" + e->name + "' already exists.");
    checkColumns(columns);
    const CatalogEntry& container = tablesContainer(db);
    // Writers first: each refuses, before any page changes, what it cannot
    // keep whole (the catalog's indexes among them).
    TableWriter catalog(db, "MSysObjects");
    TableWriter aces(db, "MSysACEs");

    Binary owner;
    scanRows(db, "MSysObjects", [&](const TableDef& def, RowId, const std::vector<Value>& row) {
        Value id = column(def, row, "Id"), o = column(def, row, "Owner");
        if (id == Value(container.id) && o.is<Binary>()) owner = o.as<Binary>();
    });

    int32_t id = int32_t(writeTablePages(db, columns));
    std::vector<std::vector<Value>> ace_rows = inheritedAces(db, container.id, id);
    catalog.insert(catalogRow(catalog.table(), container, owner, id, name));
    for (std::vector<Value>& ace : ace_rows) aces.insert(std::move(ace));
    db.schemaChanged();
}

void dropTable(Database& db, const std::string& name) {
    refuseJet3(db);
    const CatalogEntry* entry = nullptr;
    for (const CatalogEntry& e : db.catalog())
        if (e.isTable() && sameName(e.name, name)) entry = &e;
    if (!entry) throw Error(kErrNoSuchTable, "The table '" + name + "' does not exist.");
    if (entry->isSystem()) throw Error(kErrUnsupported, "The system table '" + entry->name + "' cannot be deleted.");
    checkNotRelated(db, entry->name);
    int32_t id = entry->id;
    std::string stored_name = entry->name;
    TableWriter catalog(db, "MSysObjects");
    TableWriter aces(db, "MSysACEs");
    std::set<uint32_t> pages = pagesOf(db, db.table(stored_name));

    std::vector<RowId> catalog_rows, ace_rows;
    scanRows(db, "MSysObjects", [&](const TableDef& def, RowId at, const std::vector<Value>& row) {
        if (column(def, row, "Id") == Value(id)) catalog_rows.push_back(at);
    });
    scanRows(db, "MSysACEs", [&](const TableDef& def, RowId at, const std::vector<Value>& row) {
        if (column(def, row, "ObjectId") == Value(id)) ace_rows.push_back(at);
    });
    for (RowId at : catalog_rows) catalog.remove(at);
    for (RowId at : ace_rows) aces.remove(at);
    for (uint32_t p : pages) freePage(db.writablePager(), db.format(), p);
    db.schemaChanged(uint32_t(id) & 0x00FFFFFF);
}

void copyTable(Database& db, const std::string& source, const std::string& target) {
    refuseJet3(db);
    const TableDef& from = db.table(source);
    createTable(db, target, newColumnsLike(from));
    TableWriter writer(db, target);
    scanRows(db, source, [&](const TableDef&, RowId, const std::vector<Value>& row) { writer.insert(row); });
}

void addColumn(Database& db, const std::string& table, const NewColumn& column) {
    refuseJet3(db);
    const TableDef& t = db.table(table);
    const CatalogEntry* entry = nullptr;
    for (const CatalogEntry& e : db.catalog())
        if (e.isTable() && sameName(e.name, table)) entry = &e;
    if (entry && entry->isSystem())
        throw Error(kErrUnsupported, "The system table '" + entry->name + "' cannot be changed.");
    checkColumn(column);
    if (t.findColumn(column.name) >= 0)
        throw Error(kErrDuplicateField, "Cannot define field '" + column.name + "' more than once.");
    if (t.columns.size() >= kMaxColumns) throw Error(kErrTooManyFields, "Too many fields defined.");
    if (column.primary_key)
        throw Error(kErrUnsupported, "A primary key cannot be added with a new field; create the table with it.");
    if (column.autonumber && std::any_of(t.columns.begin(), t.columns.end(), [](const Column& c) { return c.autoNumber(); }))
        throw Error(kErrBadFieldType, "A table can have only one AutoNumber field ('" + column.name + "').");

    // Rows already stored are left as they are: each names how many columns
    // it holds, and readers take a column past that count as Null. Cases
    // that would not read back so are refused: an AutoNumber (Access
    // numbers the existing rows); the first variable-length column (rows of
    // a table without one have no variable-offset table); and a table with
    // deleted columns, whose rows count them, so that readers that match a
    // row's columns by count take the new column for one stored in the row.
    bool has_rows = t.row_count > 0 || TableScan(db, t).next();
    size_t var_columns = size_t(std::count_if(t.columns.begin(), t.columns.end(),
                                              [](const Column& c) { return !c.fixedLength(); }));
    if (has_rows && column.autonumber)
        throw Error(kErrUnsupported, "An AutoNumber field can only be added to an empty table.");
    if (has_rows && variableLength(column.type) && var_columns == 0)
        throw Error(kErrUnsupported, "A Text, Memo, OLE Object or Binary field can only be added to a table that "
                                     "already has one, or to an empty table.");
    if (has_rows && (t.max_columns != t.columns.size() || t.var_columns != var_columns))
        throw Error(kErrUnsupported, "Fields were deleted from table '" + table +
                                         "'; a field can be added to it only when it is empty.");

    Pager& pager = db.writablePager();
    const Format& f = db.format();
    if (pager.page(t.page).u32(4) != 0)
        throw Error(kErrUnsupported, "The definition of table '" + table + "' is too large to add a field to.");
    std::vector<uint8_t> def = definitionBytes(pager, t.page);
    DefinitionLayout at = layoutOf(f, def);

    uint16_t number = t.max_columns, var_index = t.var_columns, fixed_end = 0;
    for (const Column& c : t.columns) {
        number = std::max<uint16_t>(number, uint16_t(c.number + 1));
        if (!c.fixedLength()) var_index = std::max<uint16_t>(var_index, uint16_t(c.var_index + 1));
        else if (c.type != kBoolean) fixed_end = std::max<uint16_t>(fixed_end, uint16_t(c.fixed_offset + c.length));
    }
    std::vector<uint8_t> maps;
    std::vector<uint8_t> name;
    appendName(name, column.name);
    std::vector<uint8_t> entry_bytes = columnEntry(f, column, number, var_index, fixed_end);
    // Refused before any page changes: the definition must stay on one page.
    size_t grown = def.size() + entry_bytes.size() + name.size() + (longValue(column.type) ? 10 : 0);
    if (grown + kTdefTrailer > f.page_size)
        throw Error(kErrUnsupported, "The definition of table '" + table + "' is too large to add a field to.");

    if (longValue(column.type)) {
        std::vector<uint32_t> rows = writeMapRows(pager, f, 2);
        append16(maps, number);
        append32(maps, rows[0]);
        append32(maps, rows[1]);
    }
    // Back to front, so that the earlier positions stay where they were.
    def.insert(def.begin() + long(at.maps_end), maps.begin(), maps.end());
    def.insert(def.begin() + long(at.names_end), name.begin(), name.end());
    def.insert(def.begin() + long(at.columns_end), entry_bytes.begin(), entry_bytes.end());
    put16(&def[f.tdef_max_cols], uint16_t(number + 1));
    if (variableLength(column.type)) put16(&def[f.tdef_var_cols], uint16_t(var_index + 1));
    put16(&def[f.tdef_col_count], uint16_t(t.columns.size() + 1));
    put32(&def[8], uint32_t(def.size()));
    uint8_t* p = pager.modify(t.page);
    std::memcpy(p, def.data(), def.size());
    std::memset(p + def.size(), 0, f.page_size - def.size());
    put16(p + 2, uint16_t(f.page_size - def.size() - kTdefTrailer));

    TableDef& cached = db.tableForWriting(table);
    cached = TableDef::read(pager, f, db.codec(), cached.page);
}

}  // namespace jet
