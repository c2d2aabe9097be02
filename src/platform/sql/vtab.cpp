// SPDX-License-Identifier: Apache-2.0
#include "sql/vtab.h"

#include <sqlite3.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "ado/value_text.h"
#include "jet/data_page.h"
#include "jet/value_parse.h"
#include "sql/data_writer.h"
#include "sql/datetime.h"
#include "sql/dialect.h"
#include "sql/lookup.h"

namespace ado::sql {

namespace {

using jet::Value;

struct Kind {
    uint8_t type;
    const char* declared;
};

// Declared names are chosen for their SQLite affinity as well: text kinds
// must not get numeric affinity, or '123' = a memo holding "123" fails.
constexpr Kind kKinds[] = {
    {jet::kBoolean, "YESNO"},   {jet::kByte, "BYTE"},          {jet::kInteger, "SHORT"},
    {jet::kLong, "LONG"},       {jet::kCurrency, "CURRENCY"},  {jet::kSingle, "SINGLE"},
    {jet::kDouble, "DOUBLE"},   {jet::kDateTime, "DATETIME"},  {jet::kBinary, "BINARY"},
    {jet::kText, "TEXT"},       {jet::kOle, "OLEOBJECT"},      {jet::kMemo, "LONGTEXT"},
    {jet::kGuid, "GUID"},       {jet::kNumeric, "DECIMAL"},    {jet::kBigInt, "BIGINT"},
};

uint64_t keyOf(jet::RowId id) { return uint64_t(id.page) << 8 | id.row; }
jet::RowId rowIdOf(uint64_t key) { return {uint32_t(key >> 8), uint16_t(key & 0xFF)}; }

std::string quotedName(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

[[noreturn]] void conversionError(const jet::Column& column) {
    throw jet::Error(jet::kErrConversion, "Data type conversion error: the value does not suit the field '" +
                                              column.name + "'.");
}

[[noreturn]] void overflow(const jet::Column& column) {
    throw jet::Error(jet::kErrOverflow, "Numeric field overflow in the field '" + column.name + "'.");
}

std::string sqliteText(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_value_bytes(v))) : std::string();
}

// A whole number for an integer kind: reals round half to even, as Access's
// conversions do.
int64_t wholeNumber(const jet::Column& column, sqlite3_value* v, int64_t low, int64_t high) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        int64_t n = sqlite3_value_int64(v);
        if (n < low || n > high) overflow(column);
        return n;
    }
    double r = std::nearbyint(sqlite3_value_double(v));
    if (!(r >= double(low) && r <= double(high))) overflow(column);
    return int64_t(r);
}

struct Table : sqlite3_vtab {
    VtabContext* context = nullptr;
    std::string name;
    const jet::TableDef* def = nullptr;
    std::unique_ptr<jet::RowReader> reader;
    std::unique_ptr<jet::TableWriter> writer;  // while a transaction is open
    bool in_transaction = false;

    jet::Database& db() { return *context->db; }

    int fail(const jet::Error& e) {
        context->error = e;
        sqlite3_free(zErrMsg);
        zErrMsg = sqlite3_mprintf("%s", e.what());
        return SQLITE_ERROR;
    }

    // The data of the row with `key`, if it is a live row of this table;
    // a key SQL was handed need not even name a data page, nor fit one.
    std::optional<jet::Bytes> row(int64_t key) {
        if (key < 0 || uint64_t(key) >> 40) return std::nullopt;
        jet::RowId id = rowIdOf(uint64_t(key));
        const jet::Pager& pager = db().pager();
        if (id.page == 0 || id.page >= pager.pageCount() || pager.page(id.page).data()[0] != jet::kDataPage)
            return std::nullopt;
        jet::DataPage page(pager.page(id.page), db().format());
        if (page.owner() != def->page || id.row >= page.rowCount()) return std::nullopt;
        return jet::readRow(pager, db().format(), id);
    }
};

// Plans xBestIndex hands xFilter (idxNum).
enum Plan { kScan = 0, kRowKey = 1, kIndex = 2, kOrdered = 3 };

// Either a scan of the table, or the rows a lookup found, each read when
// the cursor reaches it (one that is no longer a live row is passed over).
struct Cursor : sqlite3_vtab_cursor {
    std::optional<jet::TableScan> scan;
    std::vector<jet::RowId> found;
    size_t next_found = 0;
    jet::Bytes data;  // the current found row's
    jet::RowId current;
    bool eof = true;
    // Columns are decoded one by one as SQLite asks for them: most
    // statements read a few columns of many rows. values[i] holds the
    // current row's value where decoded_at[i] is its number.
    uint64_t row_number = 0;
    std::vector<Value> values;
    std::vector<uint64_t> decoded_at;

    Table& table() { return *static_cast<Table*>(pVtab); }
};

int connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
    auto* context = static_cast<VtabContext*>(aux);
    if (argc < 3) return SQLITE_ERROR;
    auto t = std::make_unique<Table>();
    t->context = context;
    try {
        t->def = &context->db->table(argv[2]);
        t->name = argv[2];
        t->reader = std::make_unique<jet::RowReader>(*context->db, *t->def);
    } catch (const jet::Error& e) {
        context->error = e;
        *err = sqlite3_mprintf("%s", e.what());
        return SQLITE_ERROR;
    }
    std::string decl = "CREATE TABLE x(";
    for (size_t i = 0; i < t->def->columns.size(); ++i) {
        const jet::Column& c = t->def->columns[i];
        const char* declared = declaredType(c.type);
        decl += (i ? ", " : "") + quotedName(c.name) + " " + (declared ? declared : "BLOB");
        if (c.type == jet::kText || c.type == jet::kMemo) decl += std::string(" COLLATE ") + kTextCollation;
    }
    decl += ")";
    int rc = sqlite3_declare_vtab(db, decl.c_str());
    if (rc != SQLITE_OK) {
        *err = sqlite3_mprintf("%s", sqlite3_errmsg(db));
        return rc;
    }
    *out = t.release();
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* vt) {
    auto* t = static_cast<Table*>(vt);
    if (t->in_transaction) {
        t->writer.reset();
        t->db().rollback();
    }
    delete t;
    return SQLITE_OK;
}

// Equality on the rowid reads the one row; constraints on the leading key
// columns of an index go through the cheapest such index, where it costs
// less than the scan; anything else scans the table. Index lookups leave
// every constraint for SQLite to check again on the rows they find.
int bestIndex(sqlite3_vtab* vt, sqlite3_index_info* info) {
    auto* t = static_cast<Table*>(vt);
    std::vector<Offered> offered(size_t(info->nConstraint));
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.usable && c.iColumn == -1 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->idxNum = kRowKey;
            info->estimatedCost = 1;
            info->estimatedRows = 1;
            info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
            return SQLITE_OK;
        }
        // Text keys follow the text collation, no other; LIKE has its own rule.
        bool keyed = c.iColumn >= 0 && (t->def->columns[size_t(c.iColumn)].type != jet::kText ||
                                         c.op == kLikeConstraint ||
                                         std::strcmp(sqlite3_vtab_collation(info, i), kTextCollation) == 0);
        offered[size_t(i)] = {c.iColumn, c.op, c.usable && keyed};
    }
    double scan = double(t->def->row_count) + 10;
    if (std::optional<LookupPlan> plan = planLookup(*t->def, offered, t->context->text_order); plan && plan->cost < scan) {
        for (size_t a = 0; a < plan->constraints.size(); ++a)
            info->aConstraintUsage[plan->constraints[a]].argvIndex = int(a + 1);
        // An IN list comes whole, so its rows come in storage order too.
        for (size_t a = 0; a < plan->equal_columns; ++a) sqlite3_vtab_in(info, plan->constraints[a], 1);
        info->idxNum = kIndex;
        info->idxStr = sqlite3_mprintf("%s", planText(*plan).c_str());
        info->needToFreeIdxStr = 1;
        info->estimatedCost = plan->cost;
        info->estimatedRows = sqlite3_int64(plan->rows);
        return SQLITE_OK;
    }
    info->idxNum = kScan;
    info->estimatedCost = scan;
    info->estimatedRows = t->def->row_count + 1;
    // An ORDER BY an index keeps costs a read of the rows out of storage
    // order, which is less than a sort of them.
    std::vector<std::pair<int, bool>> order_by;
    for (int i = 0; i < info->nOrderBy; ++i) order_by.emplace_back(info->aOrderBy[i].iColumn, info->aOrderBy[i].desc);
    if (std::optional<OrderPlan> plan = planOrder(*t->def, order_by, t->context->text_order)) {
        info->idxNum = kOrdered;
        info->idxStr = sqlite3_mprintf("%s", planText(*plan).c_str());
        info->needToFreeIdxStr = 1;
        info->orderByConsumed = 1;
        info->estimatedCost = 2 * scan;
    }
    return SQLITE_OK;
}

int findFunction(sqlite3_vtab*, int args, const char* name, void (**function)(sqlite3_context*, int, sqlite3_value**),
                 void** user) {
    if (args != 2 || sqlite3_stricmp(name, "jet_like") != 0) return 0;
    *function = accessLike;
    *user = nullptr;
    return kLikeConstraint;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    *out = new Cursor();
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cur) {
    delete static_cast<Cursor*>(cur);
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* cur) {
    auto* c = static_cast<Cursor*>(cur);
    Table& t = c->table();
    try {
        ++c->row_number;
        if (c->scan) {
            c->eof = !c->scan->next();
            if (!c->eof) {
                c->current = c->scan->rowId();
                ++t.context->rows_read;
            }
            return SQLITE_OK;
        }
        while (c->next_found < c->found.size()) {
            jet::RowId id = c->found[c->next_found++];
            if (std::optional<jet::Bytes> data = t.row(int64_t(keyOf(id)))) {
                c->current = id;
                c->data = *data;
                c->eof = false;
                ++t.context->rows_read;
                return SQLITE_OK;
            }
        }
        c->eof = true;
        return SQLITE_OK;
    } catch (const jet::Error& e) {
        return t.fail(e);
    }
}

// The row key a value names, where it names one: SQLite's rowid = 5.0 and
// rowid = '5' hold for row 5.
std::optional<int64_t> rowKeyOf(sqlite3_value* v) {
    sqlite3_value* copy = sqlite3_value_dup(v);
    int type = copy ? sqlite3_value_numeric_type(copy) : SQLITE_NULL;
    int64_t n = copy ? sqlite3_value_int64(copy) : 0;
    double r = copy ? sqlite3_value_double(copy) : 0;
    sqlite3_value_free(copy);
    if (type == SQLITE_INTEGER || (type == SQLITE_FLOAT && double(n) == r)) return n;
    return std::nullopt;
}

int filter(sqlite3_vtab_cursor* cur, int idx, const char* idx_text, int argc, sqlite3_value** argv) {
    auto* c = static_cast<Cursor*>(cur);
    Table& t = c->table();
    try {
        c->scan.reset();
        c->found.clear();
        c->next_found = 0;
        if (idx == kRowKey && argc == 1) {
            std::optional<int64_t> key = rowKeyOf(argv[0]);
            if (key && t.row(*key)) c->found.push_back(rowIdOf(uint64_t(*key)));
            return next(cur);
        }
        if (idx == kIndex && idx_text) {
            if (std::optional<std::vector<jet::RowId>> rows = lookupRows(t.db(), *t.def, planOf(idx_text), argv)) {
                c->found = std::move(*rows);
                return next(cur);
            }
        }
        if (idx == kOrdered && idx_text) {
            c->found = orderedRows(t.db(), *t.def, orderPlanOf(idx_text));
            return next(cur);
        }
        c->scan.emplace(t.db(), *t.def);
        return next(cur);
    } catch (const jet::Error& e) {
        return t.fail(e);
    }
}

int eof(sqlite3_vtab_cursor* cur) { return static_cast<Cursor*>(cur)->eof; }

void setResult(sqlite3_context* ctx, const Value& v) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) sqlite3_result_null(ctx);
            else if constexpr (std::is_same_v<T, bool>) sqlite3_result_int(ctx, x ? -1 : 0);
            else if constexpr (std::is_integral_v<T>) sqlite3_result_int64(ctx, int64_t(x));
            else if constexpr (std::is_same_v<T, jet::Currency>) sqlite3_result_double(ctx, double(x.ten_thousandths) / 10000.0);
            else if constexpr (std::is_floating_point_v<T>) sqlite3_result_double(ctx, double(x));
            else if constexpr (std::is_same_v<T, jet::DateTime>) sqlite3_result_double(ctx, x.days);
            else if constexpr (std::is_same_v<T, std::string>)
                sqlite3_result_text(ctx, x.data(), int(x.size()), SQLITE_TRANSIENT);
            else if constexpr (std::is_same_v<T, jet::Binary>)
                sqlite3_result_blob(ctx, x.data(), int(x.size()), SQLITE_TRANSIENT);
            else if constexpr (std::is_same_v<T, jet::Decimal>)
                sqlite3_result_double(ctx, std::stod(toText(Value(x), '.')));
            else {
                std::string text = toText(Value(x), '.');
                sqlite3_result_text(ctx, text.data(), int(text.size()), SQLITE_TRANSIENT);
            }
        },
        v.storage());
}

int column(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int n) {
    auto* c = static_cast<Cursor*>(cur);
    // An UPDATE asks for the columns it does not set this way; they keep
    // their stored values, unconverted.
    if (sqlite3_vtab_nochange(ctx)) return SQLITE_OK;
    try {
        size_t i = size_t(n);
        if (i >= c->values.size()) {
            c->values.resize(i + 1);
            c->decoded_at.resize(i + 1, 0);
        }
        if (c->decoded_at[i] != c->row_number) {
            c->values[i] = c->table().reader->decodeColumn(c->scan ? c->scan->data() : c->data, i);
            c->decoded_at[i] = c->row_number;
        }
        setResult(ctx, c->values[i]);
        return SQLITE_OK;
    } catch (const jet::Error& e) {
        c->table().fail(e);
        sqlite3_result_error(ctx, e.what(), -1);
        return SQLITE_ERROR;
    }
}

int rowid(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
    *out = sqlite3_int64(keyOf(static_cast<Cursor*>(cur)->current));
    return SQLITE_OK;
}

int update(sqlite3_vtab* vt, int argc, sqlite3_value** argv, sqlite3_int64* new_rowid) {
    auto* t = static_cast<Table*>(vt);
    try {
        if (!t->writer) throw jet::Error(jet::kErrReadOnly, "The table '" + t->name + "' is not open for writing.");
        if (argc == 1) {
            t->writer->remove(rowIdOf(uint64_t(sqlite3_value_int64(argv[0]))));
            return SQLITE_OK;
        }
        const std::vector<jet::Column>& columns = t->def->columns;
        // Another writer may have changed the definition since it was declared.
        if (columns.size() != size_t(argc - 2))
            throw jet::Error(jet::kErrReadOnly, "The definition of the table '" + t->name +
                                                    "' changed while it was in use; nothing was written.");
        std::vector<Value> values(columns.size());
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            if (sqlite3_value_type(argv[1]) != SQLITE_NULL)
                throw jet::Error(jet::kErrReadOnly, "A row's key is given by the engine and cannot be set.");
            for (size_t i = 0; i < columns.size(); ++i) values[i] = toColumnValue(columns[i], argv[2 + i]);
            *new_rowid = sqlite3_int64(keyOf(t->writer->insert(std::move(values))));
            return SQLITE_OK;
        }
        int64_t key = sqlite3_value_int64(argv[0]);
        if (sqlite3_value_type(argv[1]) != SQLITE_INTEGER || sqlite3_value_int64(argv[1]) != key)
            throw jet::Error(jet::kErrReadOnly, "A row's key is given by the engine and cannot be changed.");
        std::optional<jet::Bytes> data = t->row(key);
        if (!data) throw jet::Error(3167, "Record is deleted.");
        t->reader->decode(*data, values);
        for (size_t i = 0; i < columns.size(); ++i)
            if (!sqlite3_value_nochange(argv[2 + i])) values[i] = toColumnValue(columns[i], argv[2 + i]);
        t->writer->update(rowIdOf(uint64_t(key)), values);
        return SQLITE_OK;
    } catch (const jet::Error& e) {
        return t->fail(e);
    }
}

int begin(sqlite3_vtab* vt) {
    auto* t = static_cast<Table*>(vt);
    try {
        t->db().begin();
        t->in_transaction = true;
        t->writer = dataWriter(t->db(), t->name);
        return SQLITE_OK;
    } catch (const jet::Error& e) {
        if (t->in_transaction) t->db().rollback();
        t->in_transaction = false;
        return t->fail(e);
    }
}

// The commit is here, not in xCommit, because SQLite ignores a failing
// xCommit; a failure here makes it roll the statement back.
int sync(sqlite3_vtab* vt) {
    auto* t = static_cast<Table*>(vt);
    if (!t->in_transaction) return SQLITE_OK;
    try {
        t->writer.reset();
        t->db().commit();
        t->in_transaction = false;
        return SQLITE_OK;
    } catch (const jet::Error& e) {
        return t->fail(e);
    }
}

int commit(sqlite3_vtab* vt) { return sync(vt); }

int rollback(sqlite3_vtab* vt) {
    auto* t = static_cast<Table*>(vt);
    if (!t->in_transaction) return SQLITE_OK;
    t->writer.reset();
    t->in_transaction = false;
    try {
        t->db().rollback();
        return SQLITE_OK;
    } catch (const jet::Error& e) {
        return t->fail(e);
    }
}

sqlite3_module makeModule() {
    sqlite3_module m{};
    m.iVersion = 1;
    m.xCreate = connect;
    m.xConnect = connect;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    m.xUpdate = update;
    m.xBegin = begin;
    m.xSync = sync;
    m.xCommit = commit;
    m.xRollback = rollback;
    m.xFindFunction = findFunction;
    return m;
}

const sqlite3_module kModule = makeModule();

jet::Value parsed(const jet::Column& column, sqlite3_value* v) { return jet::parseValue(column, sqliteText(v), '.'); }

}  // namespace

void registerModule(sqlite3* db, VtabContext& context) { sqlite3_create_module(db, "jet", &kModule, &context); }

const char* declaredType(uint8_t type) {
    for (const Kind& k : kKinds)
        if (k.type == type) return k.declared;
    return nullptr;
}

uint8_t kindOfDeclared(const char* declared) {
    if (!declared) return 0;
    for (const Kind& k : kKinds)
        if (sqlite3_stricmp(k.declared, declared) == 0) return k.type;
    return 0;
}

jet::Value toColumnValue(const jet::Column& column, sqlite3_value* v) {
    int storage = sqlite3_value_type(v);
    if (storage == SQLITE_NULL) return Value();
    bool number = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    if (storage == SQLITE_TEXT && column.type != jet::kText && column.type != jet::kMemo) return parsed(column, v);
    switch (column.type) {
    case jet::kText:
    case jet::kMemo:
        if (storage == SQLITE_BLOB) conversionError(column);
        if (storage == SQLITE_FLOAT) return toText(Value(sqlite3_value_double(v)), '.');
        return sqliteText(v);
    case jet::kBoolean:
        if (!number) conversionError(column);
        return sqlite3_value_double(v) != 0;
    case jet::kByte:
        if (!number) conversionError(column);
        return uint8_t(wholeNumber(column, v, 0, 255));
    case jet::kInteger:
        if (!number) conversionError(column);
        return int16_t(wholeNumber(column, v, INT16_MIN, INT16_MAX));
    case jet::kLong:
        if (!number) conversionError(column);
        return int32_t(wholeNumber(column, v, INT32_MIN, INT32_MAX));
    case jet::kBigInt:
        if (!number) conversionError(column);
        return wholeNumber(column, v, INT64_MIN, INT64_MAX);
    case jet::kCurrency: {
        if (!number) conversionError(column);
        constexpr int64_t kMax = INT64_MAX / 10000;
        if (storage == SQLITE_INTEGER) {
            int64_t n = sqlite3_value_int64(v);
            if (n > kMax || n < -kMax) overflow(column);
            return jet::Currency{n * 10000};
        }
        double r = std::nearbyint(sqlite3_value_double(v) * 10000.0);
        if (!(std::fabs(r) < 9.2e18)) overflow(column);
        return jet::Currency{int64_t(r)};
    }
    case jet::kSingle: {
        if (!number) conversionError(column);
        double r = sqlite3_value_double(v);
        if (!(std::fabs(r) <= FLT_MAX)) overflow(column);  // NaN too
        return float(r);
    }
    case jet::kDouble: {
        if (!number) conversionError(column);
        double r = sqlite3_value_double(v);
        if (!std::isfinite(r)) overflow(column);
        return r;
    }
    case jet::kDateTime: {
        if (!number) conversionError(column);
        double r = sqlite3_value_double(v);
        if (!inDateRange(r)) overflow(column);
        return jet::DateTime{r};
    }
    case jet::kBinary:
    case jet::kOle: {
        if (storage != SQLITE_BLOB) conversionError(column);
        auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
        return jet::Binary(p, p + sqlite3_value_bytes(v));
    }
    case jet::kNumeric:
        if (!number) conversionError(column);
        return jet::parseValue(column, storage == SQLITE_INTEGER ? std::to_string(sqlite3_value_int64(v))
                                                                 : toText(Value(sqlite3_value_double(v)), '.'),
                               '.');
    default:
        throw jet::Error(jet::kErrUnsupported, "The field '" + column.name + "' is of a kind the engine does not write.");
    }
}

jet::Value fromSqlite(sqlite3_value* v, uint8_t type) {
    int storage = sqlite3_value_type(v);
    if (storage == SQLITE_NULL) return Value();
    bool number = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    if (number) {
        int64_t n = sqlite3_value_int64(v);
        double r = sqlite3_value_double(v);
        switch (type) {
        case jet::kBoolean: return r != 0;
        case jet::kByte: if (n >= 0 && n <= 255) return uint8_t(n); break;
        case jet::kInteger: if (n >= INT16_MIN && n <= INT16_MAX) return int16_t(n); break;
        case jet::kLong: if (n >= INT32_MIN && n <= INT32_MAX) return int32_t(n); break;
        case jet::kCurrency: return jet::Currency{int64_t(std::nearbyint(r * 10000.0))};
        case jet::kSingle: return float(r);
        case jet::kDouble: return r;
        case jet::kDateTime: return jet::DateTime{r};
        default: break;
        }
        return storage == SQLITE_INTEGER ? Value(n) : Value(r);
    }
    if (storage == SQLITE_BLOB) {
        auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
        return jet::Binary(p, p + sqlite3_value_bytes(v));
    }
    std::string text = sqliteText(v);
    if (type == jet::kGuid) {
        jet::Column guid;
        guid.type = jet::kGuid;
        try {
            return jet::parseValue(guid, text, '.');
        } catch (const jet::Error&) {
        }
    }
    return text;
}

}  // namespace ado::sql
