#include "jet_provider.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "error.h"
#include "jet/table_writer.h"
#include "jet/value_parse.h"
#include "value_text.h"

namespace ado {

namespace {

jet::RowId rowIdOf(uint64_t key) { return jet::RowId{uint32_t(key >> 8), uint16_t(key & 0xFF)}; }
uint64_t keyOf(jet::RowId id) { return uint64_t(id.page) << 8 | id.row; }

// A Jet table's rows; a key packs the row's first page and slot, which a
// row keeps when it moves. Each change is one engine transaction.
class JetRows : public RowSource {
public:
    JetRows(jet::Database& db, const std::string& name)
        : db_(db), name_(name), table_(db.table(name)), scan_(db, table_),
          reader_(db.pager(), db.format(), db.codec(), table_) {
        for (const jet::Column& c : table_.columns) fields_.push_back({c.name, JetProvider::fieldType(c.type)});
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }

    bool next(uint64_t& key, std::vector<Value>* values) override {
        if (!scan_.next()) return false;
        key = keyOf(scan_.rowId());
        if (values) scan_.read(*values);
        return true;
    }

    void read(uint64_t key, std::vector<Value>& values) override {
        std::optional<jet::Bytes> row = jet::readRow(db_.pager(), db_.format(), rowIdOf(key));
        if (!row) throw Error(kErrNoCurrentRecord, "The current row has been deleted.");
        reader_.decode(*row, values);
    }

    bool updatable() const override { return true; }

    Value convert(size_t field, const Value& value) override {
        const jet::Column& column = table_.columns.at(field);
        Value stored = value.is<std::string>() ? jet::parseValue(column, value.as<std::string>(), localeDecimalSeparator())
                                               : value;
        jet::checkValue(db_.format(), column, stored, false);
        return stored;
    }

    void update(uint64_t key, const Changes& changes) override {
        std::vector<Value> values;
        read(key, values);
        for (const auto& [field, value] : changes) values.at(field) = value;
        inTransaction([&](jet::TableWriter& writer) { writer.update(rowIdOf(key), values); });
    }

    uint64_t insert(const Changes& changes) override {
        std::vector<Value> values(table_.columns.size());
        for (const auto& [field, value] : changes) values.at(field) = value;
        uint64_t key = 0;
        inTransaction([&](jet::TableWriter& writer) { key = keyOf(writer.insert(values)); });
        return key;
    }

private:
    template <typename Change>
    void inTransaction(Change change) {
        db_.begin();
        try {
            jet::TableWriter writer(db_, name_);
            change(writer);
            db_.commit();
        } catch (...) {
            db_.rollback();
            throw;
        }
    }

    jet::Database& db_;
    std::string name_;
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
    return std::make_unique<JetRows>(*db_, name);
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
