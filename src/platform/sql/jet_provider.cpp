// SPDX-License-Identifier: Apache-2.0
#include "sql/jet_provider.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

#include <sqlite3.h>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/value_text.h"
#include "jet/value_parse.h"
#include "sql/data_writer.h"
#include "sql/jet_schema.h"
#include "sql/saved_query.h"
#include "sql/vtab.h"

namespace ado {

namespace {

jet::RowId rowIdOf(uint64_t key) { return jet::RowId{uint32_t(key >> 8), uint16_t(key & 0xFF)}; }
uint64_t keyOf(jet::RowId id) { return uint64_t(id.page) << 8 | id.row; }

// A Jet table's rows; a key packs the row's first page and slot, which a
// row keeps when it moves. Each change is one engine transaction. While it
// lives its table counts as in use, so the table's definition, which it
// holds, is not dropped or changed under it.
class JetRows : public RowSource {
public:
    JetRows(jet::Database& db, const std::string& name, std::map<uint32_t, int>& in_use)
        : db_(db), name_(name), table_(db.table(name)), scan_(db, table_),
          reader_(db, table_), in_use_(in_use) {
        for (const jet::Column& c : table_.columns) fields_.push_back({c.name, JetProvider::fieldType(c.type)});
        ++in_use_[table_.page];
    }
    ~JetRows() override {
        if (--in_use_[table_.page] == 0) in_use_.erase(table_.page);
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }

    void beginRead() override { db_.beginRead(); }
    void endRead() override { db_.endRead(); }

    // Each row is read whole, between other processes' commits.
    bool next(uint64_t& key, std::vector<Value>* values) override {
        jet::Reading reading(db_);
        if (!scan_.next()) return false;
        key = keyOf(scan_.rowId());
        if (values) scan_.read(*values);
        return true;
    }

    void read(uint64_t key, std::vector<Value>& values) override {
        jet::Reading reading(db_);
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
        jet::inTransaction(db_, [&] {
            change(*dataWriter(db_, name_));
        });
    }

    jet::Database& db_;
    std::string name_;
    const jet::TableDef& table_;
    jet::TableScan scan_;
    jet::RowReader reader_;
    std::map<uint32_t, int>& in_use_;  // open sources by definition page
    std::vector<FieldInfo> fields_;
};

std::string folded(const std::string& s);

// The rows of a SELECT over one stored table, each taken by its row key:
// a row's values are read from the table when it is read, and a change
// goes to that row, so the result stays the table's own rows.
class KeyedRows : public RowSource {
public:
    KeyedRows(std::unique_ptr<RowSource> table, std::vector<FieldInfo> fields, std::vector<size_t> columns,
              std::vector<uint64_t> keys)
        : table_(std::move(table)), fields_(std::move(fields)), columns_(std::move(columns)), keys_(std::move(keys)) {}

    const std::vector<FieldInfo>& fields() const override { return fields_; }

    bool next(uint64_t& key, std::vector<Value>* values) override {
        if (next_ >= keys_.size()) return false;
        key = keys_[next_++];
        if (values) read(key, *values);
        return true;
    }

    void read(uint64_t key, std::vector<Value>& values) override {
        table_->read(key, row_);
        values.resize(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i) values[i] = row_[columns_[i]];
    }

    void beginRead() override { table_->beginRead(); }
    void endRead() override { table_->endRead(); }

    bool updatable() const override { return true; }
    Value convert(size_t field, const Value& value) override { return table_->convert(columns_.at(field), value); }
    void update(uint64_t key, const Changes& changes) override { table_->update(key, mapped(changes)); }
    uint64_t insert(const Changes& values) override { return table_->insert(mapped(values)); }

private:
    Changes mapped(const Changes& changes) const {
        Changes out;
        for (const auto& [field, value] : changes) out.emplace_back(columns_.at(field), value);
        return out;
    }

    std::unique_ptr<RowSource> table_;
    std::vector<FieldInfo> fields_;
    std::vector<size_t> columns_;  // table column of each field
    std::vector<uint64_t> keys_;
    size_t next_ = 0;
    std::vector<Value> row_;
};

// The words and commas of SQLite text outside literals, quoted names and
// parentheses, lower-cased, with where each begins.
struct Token {
    std::string text;
    size_t at;
};

std::vector<Token> topLevelTokens(const std::string& s) {
    std::vector<Token> out;
    int depth = 0;
    for (size_t i = 0; i < s.size();) {
        char c = s[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t end = s.find(close, i + 1);
            i = end == std::string::npos ? s.size() : end + 1;
        } else if (c == '(') {
            ++depth, ++i;
        } else if (c == ')') {
            --depth, ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t end = i;
            while (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_')) ++end;
            if (depth == 0) out.push_back({folded(s.substr(i, end - i)), i});
            i = end;
        } else {
            if (depth == 0 && c == ',') out.push_back({",", i});
            ++i;
        }
    }
    return out;
}

// Whether each row of the SELECT is one row of the one table it reads: no
// grouping, distinct rows, compound, join or list of tables.
bool rowPerTableRow(const std::vector<Token>& tokens) {
    if (tokens.empty() || tokens[0].text != "select") return false;
    bool in_from = false;
    for (const Token& t : tokens) {
        for (const char* w : {"distinct", "all", "group", "having", "union", "intersect", "except", "join", "window", "values"})
            if (t.text == w) return false;
        if (t.text == "from") in_from = true;
        else if (t.text == "where" || t.text == "order" || t.text == "limit") in_from = false;
        else if (in_from && t.text == ",") return false;
    }
    return true;
}

// The natural type of a computed column, its values narrowed to it: whole
// numbers as Long where all fit, any real makes all Double.
DataType naturalType(std::vector<std::vector<Value>>& rows, size_t field) {
    bool real = false, text = false, binary = false, wide = false, any = false;
    for (const auto& row : rows) {
        const Value& v = row[field];
        if (v.isNull()) continue;
        any = true;
        if (v.is<double>()) real = true;
        else if (v.is<std::string>()) text = true;
        else if (v.is<jet::Binary>()) binary = true;
        else if (v.is<int64_t>() && (v.as<int64_t>() < INT32_MIN || v.as<int64_t>() > INT32_MAX)) wide = true;
    }
    if (!any || text) return adVarWChar;
    if (binary) return adLongVarBinary;
    for (auto& row : rows) {
        Value& v = row[field];
        if (!v.is<int64_t>()) continue;
        if (real) v = double(v.as<int64_t>());
        else if (!wide) v = int32_t(v.as<int64_t>());
    }
    return real ? adDouble : wide ? adBigInt : adInteger;
}

[[noreturn]] void returnsNoRows() {
    throw Error(kErrObjectClosed, "The statement returns no rows, so it cannot be opened as a recordset.");
}

std::string folded(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

// The session is made at once and never replaced, so cancel() can reach it
// from another thread without a lock.
JetProvider::JetProvider(const std::string& path, const std::string& password)
    : db_(std::make_unique<jet::Database>(path, password)), session_(std::make_unique<sql::Session>(*db_)) {}

std::vector<TableInfo> JetProvider::tables() {
    jet::Reading reading(*db_);
    std::vector<TableInfo> out;
    for (const jet::CatalogEntry& e : db_->catalog()) {
        if (e.isTable()) out.push_back({e.name, e.isSystem() ? "SYSTEM TABLE" : "TABLE"});
        else if (e.type == 4 || e.type == 6) out.push_back({e.name, "LINK"});
        // Saved select and union queries are views (their catalog flags name the kind).
        else if (e.isQuery() && ((e.flags & 0xF0) == 0 || (e.flags & 0xF0) == 0x80) && e.name.rfind("~", 0) != 0)
            out.push_back({e.name, "VIEW"});
    }
    // The schema rowset comes sorted by type, then name.
    std::stable_sort(out.begin(), out.end(), [](const TableInfo& a, const TableInfo& b) {
        if (a.type != b.type) return a.type < b.type;
        return folded(a.name) < folded(b.name);
    });
    return out;
}

std::unique_ptr<RowSource> JetProvider::openTable(const std::string& name) {
    jet::Reading reading(*db_);
    return std::make_unique<JetRows>(*db_, name, in_use_);
}

void JetProvider::cancel() { session_->interrupt(); }

void JetProvider::setProgress(Progress progress) { session_->setProgress(std::move(progress)); }

// Translated twice for a SELECT: the second time, with the tables known,
// results computed from date and Currency columns are typed as they are. A qualifier that
// is not a table's name is an alias: then any of the tables may hold the
// field.
sql::Statement JetProvider::translated(const std::string& text) {
    sql::Statement st = sql::translate(text, {}, session().parameters());
    if (st.kind != sql::StatementKind::Select && st.kind != sql::StatementKind::SelectInto) return st;
    const std::vector<std::string> tables = st.tables;
    st = sql::translate(text, [&](const std::string& qualifier, const std::string& field) {
        bool aliased = std::none_of(tables.begin(), tables.end(),
                                    [&](const std::string& t) { return jet::sameName(t, qualifier); });
        for (const std::string& t : tables) {
            if (!aliased && !jet::sameName(t, qualifier)) continue;
            const jet::TableDef* def = nullptr;
            try {
                def = &db_->table(t);
            } catch (const jet::Error&) {
                continue;  // an unknown table: running the statement says so
            }
            for (const jet::Column& c : def->columns)
                if (jet::sameName(c.name, field)) return c.type;
        }
        return uint8_t(0);
    }, session().parameters());
    session().pivot(st);
    return st;
}

// A statement is one read: it sees each commit of another process whole
// or not at all.
std::unique_ptr<RowSource> JetProvider::query(const std::string& text) {
    sql::Session::Run run(*session_);
    jet::Reading reading(*db_);
    sql::Statement st = translated(text);
    if (st.kind != sql::StatementKind::Select) returnsNoRows();
    sql::StatementHandle plain = session().prepare(st.sqlite, st.tables);
    // The whole table, as the grid loads it: scanned by the engine itself.
    // A saved query's rows are SQLite's.
    bool stored = st.tables.size() == 1 && !sql::findSavedQuery(*db_, st.tables[0]);
    if (stored && sql::readsWholeTable(st)) return openTable(st.tables[0]);
    if (std::unique_ptr<RowSource> keyed = stored ? keyedRows(st, plain.get()) : nullptr) return keyed;

    sqlite3_stmt* stmt = plain.get();
    size_t count = size_t(sqlite3_column_count(stmt));
    std::vector<uint8_t> kinds(count);
    for (size_t i = 0; i < count; ++i) {
        kinds[i] = sql::kindOfDeclared(sqlite3_column_decltype(stmt, int(i)));
        if (!kinds[i] && i < st.result_types.size()) kinds[i] = st.result_types[i];
    }
    std::vector<std::vector<Value>> rows;
    while (session().step(stmt)) {
        std::vector<Value>& row = rows.emplace_back();
        row.reserve(count);
        for (size_t i = 0; i < count; ++i) row.push_back(sql::fromSqlite(sqlite3_column_value(stmt, int(i)), kinds[i]));
    }
    std::vector<FieldInfo> fields;
    for (size_t i = 0; i < count; ++i)
        fields.push_back({outputName(stmt, i), kinds[i] ? fieldType(kinds[i]) : naturalType(rows, i)});
    return std::make_unique<MemoryRows>(std::move(fields), std::move(rows));
}

// A field is named by its own name, qualified by its table only where
// another output field has the same name (the columns of "*" over a join).
std::string JetProvider::outputName(sqlite3_stmt* stmt, size_t i) {
    std::string name = sqlite3_column_name(stmt, int(i));
    const char* table = sqlite3_column_table_name(stmt, int(i));
    if (!table || !sqlite3_column_origin_name(stmt, int(i))) return name;
    for (int k = 0; k < sqlite3_column_count(stmt); ++k)
        if (size_t(k) != i && jet::sameName(sqlite3_column_name(stmt, k), name)) return table + ("." + name);
    return name;
}

// Nothing when the SELECT's rows are not each a row of its one table with
// every field a column of it; else the rows by key, in the SELECT's order.
std::unique_ptr<RowSource> JetProvider::keyedRows(const sql::Statement& st, sqlite3_stmt* plain) {
    std::vector<Token> tokens = topLevelTokens(st.sqlite);
    if (st.tables.size() != 1 || !rowPerTableRow(tokens)) return nullptr;
    const jet::TableDef& table = db_->table(st.tables[0]);
    std::vector<FieldInfo> fields;
    std::vector<size_t> columns;
    for (int i = 0; i < sqlite3_column_count(plain); ++i) {
        const char* origin_table = sqlite3_column_table_name(plain, i);
        const char* origin = sqlite3_column_origin_name(plain, i);
        if (!origin_table || !origin || !jet::sameName(origin_table, st.tables[0])) return nullptr;
        int column = table.findColumn(origin);
        if (column < 0) return nullptr;
        columns.push_back(size_t(column));
        fields.push_back({sqlite3_column_name(plain, i), fieldType(table.columns[size_t(column)].type)});
    }
    // Without ORDER BY (whose terms may name the list's aliases or places)
    // the list is left out, so SQLite reads only the columns the WHERE
    // needs; where the WHERE names an alias that fails and the list stays.
    sql::StatementHandle keyed;
    auto from = std::find_if(tokens.begin(), tokens.end(), [](const Token& t) { return t.text == "from"; });
    bool ordered = std::any_of(tokens.begin(), tokens.end(), [](const Token& t) { return t.text == "order"; });
    if (from != tokens.end() && !ordered) {
        try {
            keyed = session().prepare("SELECT rowid " + st.sqlite.substr(from->at), st.tables);
        } catch (const Error&) {
        }
    }
    try {
        if (!keyed) keyed = session().prepare("SELECT rowid, " + st.sqlite.substr(tokens[0].at + 6), st.tables);
    } catch (const Error&) {
        return nullptr;  // a form the key cannot be added to; the rows are then taken as values
    }
    std::vector<uint64_t> keys;
    while (session().step(keyed.get())) keys.push_back(uint64_t(sqlite3_column_int64(keyed.get(), 0)));
    return std::make_unique<KeyedRows>(openTable(st.tables[0]), std::move(fields), std::move(columns), std::move(keys));
}

long JetProvider::execute(const std::string& text) {
    sql::Session::Run run(*session_);
    jet::Reading reading(*db_);
    sql::Statement st = translated(text);
    switch (st.kind) {
    case sql::StatementKind::Select: {
        // Run for its errors; the rows are not wanted.
        sql::StatementHandle stmt = session().prepare(st.sqlite, st.tables);
        session().step(stmt.get());
        return 0;
    }
    case sql::StatementKind::Insert:
    case sql::StatementKind::Update:
    case sql::StatementKind::Delete: {
        sql::StatementHandle stmt = session().prepare(st.sqlite, st.tables);
        while (session().step(stmt.get())) {
        }
        return session().changes();
    }
    case sql::StatementKind::DropTable:
    case sql::StatementKind::AddColumn:
        refuseInUse(st.target);
        return executeSchema(*db_, session(), st);
    case sql::StatementKind::CreateTable:
    case sql::StatementKind::SelectInto:
        return executeSchema(*db_, session(), st);
    }
    throw Error(kErrNotSupported, "This kind of statement is not supported.");
}

// Access refuses to drop or change a table a recordset has open; here it
// also keeps the definition the recordset reads from going away under it.
void JetProvider::refuseInUse(const std::string& table) {
    for (const jet::CatalogEntry& e : db_->catalog())
        if (e.isTable() && jet::sameName(e.name, table) && in_use_.count(e.definitionPage()))
            throw Error(kErrTableInUse, "The table '" + e.name +
                                            "' cannot be locked: it is open in a recordset. Close the recordset first.");
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
    case jet::kComplex: return adVarWChar;  // shown as the text of its values
    default: return adVariant;
    }
}

void RegisterJetProvider() {
    auto serves = [](const std::string& value) {
        std::string name;
        for (char c : value)
            if (!std::isspace(static_cast<unsigned char>(c))) name += char(std::tolower(static_cast<unsigned char>(c)));
        return name == "microsoft.jet.oledb.4.0" || name == "microsoft.ace.oledb.12.0";
    };
    auto open = [](const ConnectionString& cs) -> std::unique_ptr<Provider> {
        std::string path = cs.get("Data Source");
        if (path.empty()) throw Error(jet::kErrFileNotFound, "No database file is named in the connection string.");
        return std::make_unique<JetProvider>(path, cs.get("Jet OLEDB:Database Password"));
    };
    RegisterProvider("Jet", {serves, open});
}

}  // namespace ado
