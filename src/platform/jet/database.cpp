// SPDX-License-Identifier: Apache-2.0
#include "database.h"

#include "usage_map.h"

namespace jet {

namespace {

constexpr uint32_t kCatalogPage = 2;
// How many data pages a scan reads before it lets their memory go (1 MB of
// 4 KB pages): the memory of a scan stays small whatever the table's size,
// and the cost of reading pages again stays small too.
constexpr size_t kPagesBetweenReleases = 256;

}  // namespace

Database::Database(const std::string& path, const std::string& password)
    : pager_(path), header_(Header::read(pager_.raw())), codec_(header_.format->jet3, header_.code_page) {
    header_.checkPassword(password);
    pager_.configure(header_.format->page_size, PageCodec::forFile(header_, pager_.raw(), password));
    Reading reading(*this);  // reads the catalog
}

void Database::readCatalog() {
    if (pager_.pageCount() <= kCatalogPage) corrupt("the file ends before its catalog");
    TableDef def = TableDef::read(pager_, format(), codec_, kCatalogPage);
    int id = def.findColumn("Id"), parent = def.findColumn("ParentId"), name = def.findColumn("Name"),
        type = def.findColumn("Type"), flags = def.findColumn("Flags");
    if (id < 0 || parent < 0 || name < 0 || type < 0 || flags < 0) corrupt("the catalog lacks one of its columns");
    auto& slot = tables_[kCatalogPage];
    if (slot) *slot = std::move(def);
    else slot = std::make_unique<TableDef>(std::move(def));

    std::vector<Value> row;
    TableScan scan(*this, *slot);
    while (scan.next()) {
        scan.read(row);
        CatalogEntry e;
        if (row[name].is<std::string>()) e.name = row[name].as<std::string>();
        if (row[id].is<int32_t>()) e.id = row[id].as<int32_t>();
        if (row[parent].is<int32_t>()) e.parent_id = row[parent].as<int32_t>();
        if (row[type].is<int16_t>()) e.type = row[type].as<int16_t>();
        if (row[flags].is<int32_t>()) e.flags = uint32_t(row[flags].as<int32_t>());
        catalog_.push_back(std::move(e));
    }
}

void Database::beginRead() {
    pager_.beginRead();
    try {
        if (pager_.outsideChanges() != seen_changes_) rereadDefinitions();
    } catch (...) {
        pager_.endRead();
        throw;
    }
}

void Database::endRead() { pager_.endRead(); }

void Database::begin() {
    bool first = !pager_.locked();
    pager_.begin();
    if (first || pager_.outsideChanges() != seen_changes_) {
        try {
            rereadDefinitions();
        } catch (...) {
            pager_.rollback();
            throw;
        }
    }
}

void Database::commit() { pager_.commit(); }

void Database::rollback() {
    pager_.rollback();
    rereadDefinitions();
}

void Database::schemaChanged(uint32_t dropped_page) {
    tables_.erase(dropped_page);
    catalog_.clear();
    readCatalog();
}

// In place, so that references to cached definitions stay valid; a table
// created by a rolled-back transaction or dropped by another process is
// forgotten, its page gone.
void Database::rereadDefinitions() {
    seen_changes_ = pager_.outsideChanges();
    for (auto it = tables_.begin(); it != tables_.end();) {
        if (it->first >= pager_.pageCount() || pager_.page(it->first).u8(0) != 0x02) {
            retired_.push_back(std::move(it->second));
            it = tables_.erase(it);
            continue;
        }
        *it->second = TableDef::read(pager_, format(), codec_, it->first);
        ++it;
    }
    catalog_.clear();
    readCatalog();
}

TableDef& Database::tableForWriting(const std::string& name) { return const_cast<TableDef&>(table(name)); }

std::vector<std::string> Database::userTables() const {
    std::vector<std::string> names;
    for (const CatalogEntry& e : catalog_)
        if (e.isTable() && !e.isSystem()) names.push_back(e.name);
    return names;
}

const TableDef& Database::table(const std::string& name) const {
    for (const CatalogEntry& e : catalog_) {
        if (!e.isTable() || !sameName(e.name, name)) continue;
        auto& slot = tables_[e.definitionPage()];
        if (!slot) slot = std::make_unique<TableDef>(TableDef::read(pager_, format(), codec_, e.definitionPage()));
        return *slot;
    }
    throw Error(kErrNoSuchTable, "The table '" + name + "' does not exist.");
}

TableScan::TableScan(const Database& db, const TableDef& table)
    : db_(db),
      table_(table),
      reader_(db, table),
      pages_(readUsageMap(db.pager(), db.format(), table.owned_pages)) {}

bool TableScan::next() {
    const Format& f = db_.format();
    while (page_index_ < pages_.size()) {
        uint32_t page_number = pages_[page_index_];
        Bytes page = db_.pager().page(page_number);
        // A map may list pages since reused for something else: only data
        // pages that name this table as their owner hold its rows.
        if (page.u8(0) == kDataPage && page.u32(4) == table_.page) {
            DataPage data(page, f);
            for (int row = next_row_ + 1; row < data.rowCount(); ++row) {
                next_row_ = row;
                if (data.flags(uint16_t(row)) & kRowDeleted) continue;
                RowId id{page_number, uint16_t(row)};
                std::optional<Bytes> bytes = readRow(db_.pager(), f, id);
                if (!bytes) continue;
                current_ = id;
                current_data_ = *bytes;
                return true;
            }
        }
        ++page_index_;
        next_row_ = -1;
        if (page_index_ % kPagesBetweenReleases == 0) db_.pager().releaseMemory();
    }
    return false;
}

void TableScan::read(std::vector<Value>& values) const {
    reader_.decode(current_data_, values);
}

}  // namespace jet
