// SPDX-License-Identifier: Apache-2.0
#include "memory_tables.h"

#include "ado/error.h"

namespace uitest {

namespace {

class GeneratedRows : public ado::RowSource {
public:
    explicit GeneratedRows(const MemoryTable& table) : table_(table) {}
    const std::vector<ado::FieldInfo>& fields() const override { return table_.fields; }
    bool next(uint64_t& key, std::vector<ado::Value>* values) override {
        if (next_ >= table_.rows) return false;
        key = uint64_t(next_++);
        if (values) read(key, *values);
        return true;
    }
    void read(uint64_t key, std::vector<ado::Value>& values) override {
        long row = long(key);
        if (row == table_.failing_row) throw ado::Error(jet::kErrCorrupt, "The database file is damaged: row " + std::to_string(row) + ".");
        values.resize(table_.fields.size());
        for (size_t f = 0; f < values.size(); ++f)
            values[f] = table_.value ? table_.value(row, f)
                                     : ado::Value("r" + std::to_string(row + 1) + "c" + std::to_string(f + 1));
        if (table_.updates && table_.updates->count(row))
            for (const auto& [f, value] : table_.updates->at(row)) values[f] = value;
    }
    bool updatable() const override { return table_.updates != nullptr; }
    ado::Value convert(size_t field, const ado::Value& value) override {
        return updatable() ? value : RowSource::convert(field, value);
    }
    void update(uint64_t key, const Changes& changes) override {
        if (!updatable()) RowSource::update(key, changes);
        for (const auto& [f, value] : changes) (*table_.updates)[long(key)][f] = value;
    }

private:
    const MemoryTable& table_;
    long next_ = 0;
};

}  // namespace

MemoryTable Table(std::string name, std::vector<ado::FieldInfo> fields, long rows,
                  std::function<ado::Value(long row, size_t field)> value) {
    MemoryTable t;
    t.name = std::move(name);
    t.fields = std::move(fields);
    t.rows = rows;
    t.value = std::move(value);
    return t;
}

std::unique_ptr<ado::RowSource> Rows(const MemoryTable& table) { return std::make_unique<GeneratedRows>(table); }

std::vector<ado::FieldInfo> TextFields(size_t count) {
    std::vector<ado::FieldInfo> fields;
    for (size_t i = 1; i <= count; ++i) fields.push_back({"F" + std::to_string(i), ado::adVarWChar});
    return fields;
}

std::vector<ado::TableInfo> MemoryProvider::tables() {
    std::vector<ado::TableInfo> out;
    for (const MemoryTable& t : tables_) out.push_back({t.name, "TABLE"});
    return out;
}

std::unique_ptr<ado::RowSource> MemoryProvider::openTable(const std::string& name) {
    for (const MemoryTable& t : tables_)
        if (t.name == name) return Rows(t);
    throw ado::Error(jet::kErrNoSuchTable, "The table '" + name + "' does not exist.");
}

}  // namespace uitest
