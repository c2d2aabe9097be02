// SPDX-License-Identifier: Apache-2.0
// Schema statements carried out by the engine (see jet_schema.h).
//
// SELECT ... INTO of a whole table is the engine's table copy. Any other
// SELECT ... INTO runs its SELECT through SQLite inside the transaction,
// holds the result, types each new field (a stored column keeps its type
// and size, an expression gets its values' natural type), then creates the
// table and writes the rows.
#include "sql/jet_schema.h"

#include <sqlite3.h>

#include <memory>
#include <vector>

#include "ado/error.h"
#include "jet/table_ddl.h"
#include "jet/table_writer.h"
#include "jet/text.h"
#include "sql/vtab.h"

namespace ado {

namespace {

constexpr long kErrNoTableToDrop = 3376;
constexpr long kErrOutOfMemory = 3035;
constexpr size_t kMaxText = 255;

struct ValueFree {
    void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using Cell = std::unique_ptr<sqlite3_value, ValueFree>;
using Row = std::vector<Cell>;

jet::NewColumn newColumnOf(const sql::ColumnDecl& c) {
    jet::NewColumn s = jet::newColumn(c.name, c.type, c.size);
    s.required = c.not_null;
    s.primary_key = c.primary_key;
    return s;
}

// The field an expression's values get, as Access types a computed field:
// any text makes Text (Memo where one is longer than Text holds), else any
// binary an OLE Object, else a date or Currency expression its type (see
// Statement::result_types), any real (or a whole number past the Long
// range) Double, whole numbers Long. A field of Nulls only is Text.
jet::NewColumn naturalColumn(const std::string& name, const std::vector<Row>& rows, size_t field, uint8_t typed) {
    bool text = false, longer = false, binary = false, real = false, wide = false, number = false;
    for (const Row& row : rows) {
        sqlite3_value* v = row[field].get();
        switch (sqlite3_value_type(v)) {
        case SQLITE_TEXT:
            text = true;
            if (!longer && size_t(sqlite3_value_bytes(v)) > kMaxText) {
                const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
                longer = jet::toUtf16(std::string(t, size_t(sqlite3_value_bytes(v)))).size() > kMaxText;
            }
            break;
        case SQLITE_BLOB: binary = true; break;
        case SQLITE_FLOAT: real = number = true; break;
        case SQLITE_INTEGER: {
            number = true;
            sqlite3_int64 n = sqlite3_value_int64(v);
            if (n < INT32_MIN || n > INT32_MAX) wide = true;
            break;
        }
        default: break;
        }
    }
    const char* type = "TEXT";
    if (text) type = longer ? "MEMO" : "TEXT";
    else if (binary) type = "OLEOBJECT";
    else if (typed == jet::kDateTime) type = "DATETIME";
    else if (typed == jet::kCurrency) type = "CURRENCY";
    else if (real || wide) type = "DOUBLE";
    else if (number) type = "LONG";
    return jet::newColumn(name, type, 0);
}

// The field a result column makes: the stored column it is, if it is one.
bool storedColumn(jet::Database& db, sqlite3_stmt* stmt, int i, jet::NewColumn& declared) {
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    if (!table || !origin) return false;
    const jet::TableDef& def = db.table(table);
    int column = def.findColumn(origin);
    if (column < 0) return false;
    declared = jet::newColumnsLike(def)[size_t(column)];
    return true;
}

long selectInto(jet::Database& db, sql::Session& session, const sql::Statement& st) {
    return jet::inTransaction(db, [&]() -> long {
        // Compiled even for the whole-table copy, so a missing table or
        // column is reported as for any SELECT.
        sql::StatementHandle stmt = session.prepare(st.sqlite, st.tables);
        if (sql::readsWholeTable(st)) {
            jet::copyTable(db, st.tables[0], st.target);
            return long(db.table(st.target).row_count);
        }
        size_t count = size_t(sqlite3_column_count(stmt.get()));
        std::vector<jet::NewColumn> planned(count);
        std::vector<bool> stored(count);
        bool numbered = false;  // a table has one AutoNumber at most
        for (size_t i = 0; i < count; ++i) {
            stored[i] = storedColumn(db, stmt.get(), int(i), planned[i]);
            planned[i].name = sqlite3_column_name(stmt.get(), int(i));
            if (planned[i].autonumber && numbered) planned[i].autonumber = false;
            numbered = numbered || planned[i].autonumber;
        }
        std::vector<Row> rows;
        while (session.step(stmt.get())) {
            Row& row = rows.emplace_back();
            for (size_t i = 0; i < count; ++i) {
                row.emplace_back(sqlite3_value_dup(sqlite3_column_value(stmt.get(), int(i))));
                if (!row.back()) throw Error(kErrOutOfMemory, "There is not enough memory to hold the rows to copy.");
            }
        }
        for (size_t i = 0; i < count; ++i)
            if (!stored[i])
                planned[i] = naturalColumn(planned[i].name, rows, i, i < st.result_types.size() ? st.result_types[i] : 0);

        jet::createTable(db, st.target, planned);
        jet::TableWriter writer(db, st.target);
        const std::vector<jet::Column>& columns = writer.table().columns;
        std::vector<jet::Value> values(count);
        for (Row& row : rows) {
            for (size_t i = 0; i < count; ++i) values[i] = sql::toColumnValue(columns[i], row[i].get());
            writer.insert(values);
            row.clear();
        }
        return long(rows.size());
    });
}

}  // namespace

long executeSchema(jet::Database& db, sql::Session& session, const sql::Statement& st) {
    // Before the change: the session's declaration of the table reads the
    // definition the change replaces or frees.
    session.forget(st.target);
    switch (st.kind) {
    case sql::StatementKind::CreateTable: {
        std::vector<jet::NewColumn> planned;
        for (const sql::ColumnDecl& c : st.columns) planned.push_back(newColumnOf(c));
        return jet::inTransaction(db, [&] {
            jet::createTable(db, st.target, planned);
            return 0L;
        });
    }
    case sql::StatementKind::DropTable:
        return jet::inTransaction(db, [&] {
            try {
                jet::dropTable(db, st.target);
            } catch (const jet::Error& e) {
                if (e.number() != jet::kErrNoSuchTable) throw;
                throw Error(kErrNoTableToDrop, "Table '" + st.target + "' does not exist.");
            }
            return 0L;
        });
    case sql::StatementKind::AddColumn: {
        jet::NewColumn declared = newColumnOf(st.columns.at(0));
        return jet::inTransaction(db, [&] {
            jet::addColumn(db, st.target, declared);
            return 0L;
        });
    }
    case sql::StatementKind::SelectInto:
        return selectInto(db, session, st);
    default:
        throw Error(kErrNotSupported, "The statement does not change the schema.");
    }
}

}  // namespace ado
