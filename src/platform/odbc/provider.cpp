// SPDX-License-Identifier: Apache-2.0
#include "odbc/provider.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/value_text.h"
#include "jet/table_def.h"
#include "jet/value_parse.h"
#include "odbc/server_connection_string.h"

namespace ado {

// A server row has no lasting identity of its own but its primary key
// values; a table's book gives each key seen a row key, the same in every
// source over that table for as long as the connection lives.
class KeyBook {
public:
    // The row key of the row with these primary key values.
    uint64_t keyFor(const std::vector<Value>& key_values) {
        auto [at, added] = by_text_.try_emplace(textOf(key_values), values_.size());
        if (added) values_.push_back(key_values);
        return at->second;
    }
    // A row key tied to no values, for a row whose key the server chose.
    uint64_t unknown() {
        values_.emplace_back();
        return values_.size() - 1;
    }
    // The row with `key` now has these key values.
    void rekey(uint64_t key, const std::vector<Value>& key_values) {
        auto old = by_text_.find(textOf(values_.at(key)));
        if (old != by_text_.end() && old->second == key) by_text_.erase(old);
        by_text_[textOf(key_values)] = key;
        values_[key] = key_values;
    }

private:
    static std::string textOf(const std::vector<Value>& key_values) {
        std::string out;
        for (const Value& v : key_values) out += std::to_string(v.storage().index()) + ":" + toText(v, '.') + '\x1f';
        return out;
    }
    std::map<std::string, uint64_t> by_text_;
    std::vector<std::vector<Value>> values_;  // by row key
};

namespace {

using odbc::Column;
using odbc::Parameter;

// The engine's kind that parses what a user types for a field of `type`.
uint8_t parsingKind(DataType type) {
    switch (type) {
    case adBoolean: return jet::kBoolean;
    case adUnsignedTinyInt: return jet::kByte;
    case adSmallInt: return jet::kInteger;
    case adInteger: return jet::kLong;
    case adBigInt: return jet::kBigInt;
    case adSingle: return jet::kSingle;
    case adDouble: return jet::kDouble;
    case adCurrency: return jet::kCurrency;
    case adNumeric: return jet::kNumeric;
    case adDate: return jet::kDateTime;
    case adGUID: return jet::kGuid;
    case adVarBinary: return jet::kBinary;
    case adLongVarBinary: return jet::kOle;
    default: return jet::kMemo;
    }
}

class ServerRows : public RowSource {
public:
    // The rows of `sql`. `table` is the quoted name of the stored table they
    // come from, "" for rows that cannot be written; `key_names` its
    // primary key's columns and `book` that table's, where it has one.
    // Without a book, row keys are positions and last only for this source.
    // `progress`, where set, hears of every thousandth row read.
    ServerRows(odbc::Link& link, const std::string& sql, std::string table, const std::vector<std::string>& key_names,
               std::shared_ptr<KeyBook> book, const Provider::Progress& progress)
        : link_(link), table_(std::move(table)) {
        odbc::Statement s(link_);
        s.Run(sql);
        columns_ = s.Columns();
        for (const Column& c : columns_) fields_.push_back({c.name, odbc::FieldType(c.sql_type)});
        for (const std::string& name : key_names) {
            auto f = std::find_if(columns_.begin(), columns_.end(), [&](const Column& c) { return c.name == name; });
            if (f == columns_.end()) {
                key_fields_.clear();
                break;
            }
            key_fields_.push_back(size_t(f - columns_.begin()));
        }
        if (!key_fields_.empty()) book_ = std::move(book);
        std::vector<Value> row;
        while (s.Fetch(columns_, row)) {
            add(row, book_ ? book_->keyFor(keyValues(row)) : rows_.size(), true);
            if (progress && rows_.size() % 1000 == 0) progress(rows_.size());
        }
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }

    bool next(uint64_t& key, std::vector<Value>* values) override {
        if (next_ >= rows_.size()) return false;
        key = keys_[next_];
        if (values) *values = rows_[next_];
        ++next_;
        return true;
    }

    void read(uint64_t key, std::vector<Value>& values) override { values = rows_[at(key)]; }

    bool updatable() const override { return !table_.empty(); }

    Value convert(size_t field, const Value& value) override {
        if (!value.is<std::string>()) return value;
        const Column& c = columns_.at(field);
        jet::Column kind;
        kind.name = c.name;
        kind.type = parsingKind(fields_[field].type);
        if (kind.type == jet::kNumeric) {
            kind.precision = uint8_t(c.size > 0 && c.size <= 38 ? c.size : 0);
            kind.scale = uint8_t(std::clamp<int>(c.digits, 0, 28));
        }
        return jet::parseValue(kind, value.as<std::string>(), localeDecimalSeparator());
    }

    void update(uint64_t key, const Changes& changes) override {
        size_t row = at(key);
        if (key_fields_.empty())
            throw Error(kErrNotSupported, "The table " + table_ +
                                              " has no primary key, so a row of it cannot be found again to be "
                                              "updated; nothing was stored.");
        if (!known_[row])
            throw Error(kErrNotSupported, "The server chose this new row's key, which is not known here; open the "
                                          "table again to change the row. Nothing was stored.");
        if (changes.empty()) return;
        std::string sql = "UPDATE " + table_ + " SET ";
        std::vector<Parameter> parameters;
        for (const auto& [field, value] : changes) {
            if (!parameters.empty()) sql += ", ";
            sql += link_.QuoteName(columns_.at(field).name) + " = ?";
            parameters.push_back({value, columns_[field]});
        }
        sql += whereKey();
        std::vector<Parameter> key_values = keyParameters(rows_[row]);
        parameters.insert(parameters.end(), key_values.begin(), key_values.end());
        changeOneRow(sql, parameters);

        std::vector<Value> values = rows_[row];
        for (const auto& [field, value] : changes) values.at(field) = value;
        rows_[row] = reread(values);
        // A changed key value goes on naming the same row.
        if (book_) book_->rekey(key, keyValues(rows_[row]));
    }

    uint64_t insert(const Changes& changes) override {
        std::string sql = "INSERT INTO " + table_;
        std::vector<Parameter> parameters;
        std::vector<Value> values(columns_.size());
        if (changes.empty()) {
            sql += " DEFAULT VALUES";
        } else {
            std::string names, markers;
            for (const auto& [field, value] : changes) {
                names += (names.empty() ? "" : ", ") + link_.QuoteName(columns_.at(field).name);
                markers += markers.empty() ? "?" : ", ?";
                parameters.push_back({value, columns_[field]});
                values[field] = value;
            }
            sql += " (" + names + ") VALUES (" + markers + ")";
        }
        changeOneRow(sql, parameters);

        // Where the key was given, the row as the server stored it.
        bool known = book_ && std::all_of(key_fields_.begin(), key_fields_.end(), [&](size_t f) {
            return std::any_of(changes.begin(), changes.end(), [&](const auto& c) { return c.first == f; });
        });
        if (known) values = reread(values);
        uint64_t key = !book_ ? rows_.size() : known ? book_->keyFor(keyValues(values)) : book_->unknown();
        add(values, key, known);
        return key;
    }

private:
    void add(const std::vector<Value>& values, uint64_t key, bool known) {
        index_[key] = rows_.size();
        rows_.push_back(values);
        keys_.push_back(key);
        known_.push_back(known);
    }

    // The position of the row with `key` in this source.
    size_t at(uint64_t key) const {
        auto found = index_.find(key);
        if (found == index_.end())
            throw Error(kErrNoCurrentRecord, "The row is no longer in the table as it was read: it was deleted, or "
                                             "its key was changed, since.");
        return found->second;
    }

    std::vector<Value> keyValues(const std::vector<Value>& row) const {
        std::vector<Value> out;
        for (size_t f : key_fields_) out.push_back(row[f]);
        return out;
    }

    std::string whereKey() const {
        std::string out;
        for (size_t f : key_fields_) out += (out.empty() ? " WHERE " : " AND ") + link_.QuoteName(columns_[f].name) + " = ?";
        return out;
    }

    std::vector<Parameter> keyParameters(const std::vector<Value>& row) const {
        std::vector<Parameter> out;
        for (size_t f : key_fields_) out.push_back({row[f], columns_[f]});
        return out;
    }

    // Runs one change that must touch exactly one row, or nothing at all.
    void changeOneRow(const std::string& sql, const std::vector<Parameter>& parameters) {
        link_.Begin();
        try {
            odbc::Statement s(link_);
            s.Run(sql, parameters);
            long changed = s.RowCount();
            if (changed != 1)
                throw Error(kErrRowNotFound, changed == 0 ? "Row cannot be located for updating: it was changed or "
                                                            "deleted since it was read. Nothing was stored."
                                                          : "The change would have touched " +
                                                                std::to_string(changed) +
                                                                " rows instead of one, so nothing was stored.");
            link_.Commit();
        } catch (...) {
            link_.Rollback();
            throw;
        }
    }

    // The row with the key of `values` as the server has it now (defaults,
    // padding and rounding applied); `values` where it cannot be read back.
    std::vector<Value> reread(const std::vector<Value>& values) {
        if (key_fields_.empty()) return values;
        odbc::Statement s(link_);
        s.Run("SELECT * FROM " + table_ + whereKey(), keyParameters(values));
        std::vector<Value> row;
        return s.Fetch(columns_, row) && row.size() == values.size() ? row : values;
    }

    odbc::Link& link_;
    std::string table_;
    std::vector<Column> columns_;
    std::vector<FieldInfo> fields_;
    std::vector<size_t> key_fields_;
    std::shared_ptr<KeyBook> book_;
    // By position: the rows, their row keys, and whether each row's key
    // values are the stored ones.
    std::vector<std::vector<Value>> rows_;
    std::vector<uint64_t> keys_;
    std::vector<bool> known_;
    std::unordered_map<uint64_t, size_t> index_;  // row key to position
    size_t next_ = 0;
};

}  // namespace

OdbcProvider::OdbcProvider(const std::string& driver_connection_string, unsigned long login_timeout)
    : link_(driver_connection_string, login_timeout) {}

std::vector<TableInfo> OdbcProvider::tables() {
    odbc::Statement s(link_);
    s.Tables("TABLE");
    std::vector<Column> columns = s.Columns();
    std::vector<TableInfo> out;
    std::vector<Value> row;
    while (s.Fetch(columns, row))
        if (row.size() >= 4) out.push_back({toText(row[2]), toText(row[3])});
    return out;
}

std::unique_ptr<RowSource> OdbcProvider::openTable(const std::string& name) {
    std::vector<std::pair<int, std::string>> keys;  // KEY_SEQ, COLUMN_NAME
    {
        odbc::Statement s(link_);
        s.PrimaryKeys(name);
        std::vector<Column> columns = s.Columns();
        std::vector<Value> row;
        while (s.Fetch(columns, row))
            if (row.size() >= 5) keys.emplace_back(std::atoi(toText(row[4]).c_str()), toText(row[3]));
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::string> key_names;
    std::string order;
    for (const auto& [seq, column] : keys) {
        key_names.push_back(column);
        order += (order.empty() ? " ORDER BY " : ", ") + link_.QuoteName(column);
    }
    std::string table = link_.QuoteName(name);
    std::shared_ptr<KeyBook>& book = books_[table];
    if (!book) book = std::make_shared<KeyBook>();
    return std::make_unique<ServerRows>(link_, "SELECT * FROM " + table + order, table, key_names, book, progress_);
}

std::unique_ptr<RowSource> OdbcProvider::query(const std::string& statement) {
    // A dotted name (schema.table) is left to the server to resolve.
    std::optional<std::string> table = SelectedTable(statement);
    if (table && table->find('.') == std::string::npos) return openTable(*table);
    return std::make_unique<ServerRows>(link_, statement, "", std::vector<std::string>{}, nullptr, progress_);
}

long OdbcProvider::execute(const std::string& statement) {
    odbc::Statement s(link_);
    s.Run(statement);
    return s.RowCount();
}

void RegisterServerProvider() {
    RegisterProvider("SQLOLEDB", {IsServerProvider, [](const ConnectionString& cs) -> std::unique_ptr<Provider> {
                                      return std::make_unique<OdbcProvider>(DriverConnectionString(cs), LoginTimeout(cs));
                                  }});
}

}  // namespace ado
