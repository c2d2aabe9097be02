#include "jet_provider.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "error.h"

namespace ado {

namespace {

// A Jet table's rows; a key packs the row's page and slot.
class JetRows : public RowSource {
public:
    JetRows(const jet::Database& db, const jet::TableDef& table)
        : db_(db), table_(table), scan_(db, table), reader_(db.pager(), db.format(), db.codec(), table) {
        for (const jet::Column& c : table.columns) fields_.push_back({c.name, JetProvider::fieldType(c.type)});
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }

    bool next(uint64_t& key, std::vector<Value>* values) override {
        if (!scan_.next()) return false;
        jet::RowId id = scan_.rowId();
        key = uint64_t(id.page) << 8 | id.row;
        if (values) scan_.read(*values);
        return true;
    }

    void read(uint64_t key, std::vector<Value>& values) override {
        jet::RowId id{uint32_t(key >> 8), uint16_t(key & 0xFF)};
        std::optional<jet::Bytes> row = jet::readRow(db_.pager(), db_.format(), id);
        if (!row) throw Error(kErrNoCurrentRecord, "The current row has been deleted.");
        reader_.decode(*row, values);
    }

private:
    const jet::Database& db_;
    const jet::TableDef& table_;
    jet::TableScan scan_;
    jet::RowReader reader_;
    std::vector<FieldInfo> fields_;
};

std::string folded(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

JetProvider::JetProvider(const std::string& path, const std::string& password)
    : db_(std::make_unique<jet::Database>(path, password)) {}

std::vector<TableInfo> JetProvider::tables() {
    std::vector<TableInfo> out;
    for (const jet::CatalogEntry& e : db_->catalog()) {
        if (e.isTable()) out.push_back({e.name, e.isSystem() ? "SYSTEM TABLE" : "TABLE"});
        else if (e.type == 4 || e.type == 6) out.push_back({e.name, "LINK"});
    }
    // The schema rowset comes sorted by type, then name.
    std::stable_sort(out.begin(), out.end(), [](const TableInfo& a, const TableInfo& b) {
        if (a.type != b.type) return a.type < b.type;
        return folded(a.name) < folded(b.name);
    });
    return out;
}

std::unique_ptr<RowSource> JetProvider::openTable(const std::string& name) {
    return std::make_unique<JetRows>(*db_, db_->table(name));
}

DataType JetProvider::fieldType(uint8_t t) {
    switch (t) {
    case jet::kBoolean: return adBoolean;
    case jet::kByte: return adUnsignedTinyInt;
    case jet::kInteger: return adSmallInt;
    case jet::kLong: return adInteger;
    case jet::kCurrency: return adCurrency;
    case jet::kSingle: return adSingle;
    case jet::kDouble: return adDouble;
    case jet::kDateTime: return adDate;
    case jet::kBinary: return adVarBinary;
    case jet::kText: return adVarWChar;
    case jet::kOle: return adLongVarBinary;
    case jet::kMemo: return adLongVarWChar;
    case jet::kGuid: return adGUID;
    case jet::kNumeric: return adNumeric;
    case jet::kBigInt: return adBigInt;
    default: return adVariant;
    }
}

}  // namespace ado
