// SPDX-License-Identifier: Apache-2.0
#include "migrate_script.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unordered_map>

#include "jet/complex_values.h"
#include "jet/error.h"
#include "jet/field_properties.h"
#include "jet/relationships.h"
#include "jet/row_reader.h"
#include "migrate_views.h"
#include "schema_listing.h"

namespace {

// Rows an INSERT carries at most (SQL Server takes 1000), and a COPY; and
// about the bytes where a batch of long values ends early.
constexpr long kBatchRows = 500;
constexpr long kCopyRows = 20000;
constexpr size_t kBatchBytes = 1 << 20;

// An attachment or multi-value field, moved as a table of its own.
struct ChildPlan {
    std::string name;            // table_field
    const jet::Column* field;    // in the parent
    jet::ComplexTable hidden;
    std::vector<const jet::Column*> values;  // of the hidden table, that move
};

struct TablePlan {
    std::string name;
    const jet::TableDef* def = nullptr;
    // Those that move, in the file's order; a complex one only where the
    // table has no primary key, as the key of its values.
    std::vector<const jet::Column*> columns;
    const jet::Column* autonumber = nullptr;
    std::vector<const jet::Column*> key;  // the primary key's, where it moves whole
    std::vector<ChildPlan> children;
};

class Migration {
public:
    Migration(const jet::Database& db, const MigrationOptions& o, MigrationSink& sink)
        : db_(db), o_(o), sink_(sink), t_(o.target) {}

    void run() {
        planTables();
        planRelationships();
        if (o_.schema && o_.drop_existing) dropTables();
        if (o_.schema) {
            for (const TablePlan& t : tables_) sink_.statement(createTable(t));
            for (const TablePlan& t : tables_)
                for (const ChildPlan& child : t.children) sink_.statement(createChildTable(t, child));
        }
        for (const TablePlan& t : tables_) moveRows(t);
        if (!o_.schema) return;
        for (const TablePlan& t : tables_) createIndexes(t);
        if (t_ != Target::Sqlite) {
            for (const jet::Relationship& r : relationships_)
                sink_.statement("ALTER TABLE " + name(r.table) + " ADD " + foreignKey(r));
            for (const TablePlan& t : tables_)
                for (const ChildPlan& child : t.children)
                    sink_.statement("ALTER TABLE " + name(child.name) + " ADD " + childForeignKey(t, child));
        }
        createViews();
    }

private:
    // `n` quoted, with a note when the target cannot take it whole.
    std::string name(const std::string& n) {
        if (targetName(t_, n) != n && std::find(renamed_.begin(), renamed_.end(), n) == renamed_.end()) {
            renamed_.push_back(n);
            sink_.note("the name '" + n + "' is too long for the target: it becomes '" + targetName(t_, n) + "'");
        }
        return quotedName(t_, n);
    }

    void planTables() {
        std::vector<std::string> names = db_.userTables();
        for (const std::string& wanted : o_.tables)
            if (std::none_of(names.begin(), names.end(),
                             [&](const std::string& n) { return jet::sameName(n, wanted); }))
                db_.table(wanted);  // raises 3078
        for (const std::string& n : names) {
            if (!o_.tables.empty() && std::none_of(o_.tables.begin(), o_.tables.end(),
                                                   [&](const std::string& w) { return jet::sameName(n, w); }))
                continue;
            TablePlan plan{n, &db_.table(n), {}, nullptr, primaryKey(db_.table(n)), {}};
            for (const jet::Column& c : plan.def->columns) {
                if (c.type == jet::kComplex) {
                    if (planChild(plan, c, names) && plan.key.empty()) plan.columns.push_back(&c);
                    continue;
                }
                if (columnType(t_, c, db_.format()).empty()) {
                    sink_.note("field " + n + "." + c.name + " is of a type unknown here (" + std::to_string(c.type) +
                               "): left out");
                    continue;
                }
                plan.columns.push_back(&c);
                if (c.type == jet::kLong && c.autoNumber()) plan.autonumber = &c;
            }
            tables_.push_back(plan);
        }
    }

    // The primary key's columns; none where there is no key or one of its
    // columns cannot move.
    std::vector<const jet::Column*> primaryKey(const jet::TableDef& def) {
        std::vector<const jet::Column*> key;
        for (const jet::Index& index : def.indexes) {
            if (!index.primaryKey()) continue;
            for (const jet::IndexColumn& ic : def.real_indexes.at(index.real_index).columns) {
                auto c = std::find_if(def.columns.begin(), def.columns.end(),
                                      [&](const jet::Column& c) { return c.number == ic.column_number; });
                if (c == def.columns.end() || columnType(t_, *c, db_.format()).empty()) return {};
                key.push_back(&*c);
            }
        }
        return key;
    }

    // Plans the table of complex field `c`; false, with a note, where it
    // does not move.
    bool planChild(TablePlan& plan, const jet::Column& c, const std::vector<std::string>& tables) {
        std::string field = plan.name + "." + c.name;
        std::optional<jet::ComplexTable> hidden = jet::complexTableOf(db_, c);
        if (!hidden) {
            sink_.note("field " + field + " is a complex field whose values cannot be found: left out");
            return false;
        }
        if (hidden->kind == jet::ComplexKind::History) {
            sink_.note("field " + field + " is the version history of an append-only memo: left out (the memo "
                       "moves with its newest text)");
            return false;
        }
        ChildPlan child{plan.name + "_" + c.name, &c, *hidden, {}};
        std::vector<const char*> wanted{"Value"};
        if (hidden->kind == jet::ComplexKind::Attachment) wanted = {"FileName", "FileType", "FileData", "FileTimeStamp"};
        for (const char* n : wanted) {
            int v = hidden->flat->findColumn(n);
            if (v < 0) continue;  // older files keep no time stamp
            const jet::Column& value = hidden->flat->columns[size_t(v)];
            if (columnType(t_, value, db_.format()).empty()) {
                sink_.note("field " + field + " holds values of a type unknown here (" + std::to_string(value.type) +
                           "): left out");
                return false;
            }
            child.values.push_back(&value);
        }
        if (child.values.empty()) {
            sink_.note("field " + field + " is a complex field whose values cannot be found: left out");
            return false;
        }
        if (std::any_of(tables.begin(), tables.end(), [&](const std::string& t) { return jet::sameName(t, child.name); })) {
            sink_.note("field " + field + " would become table " + child.name + ", which the file has: left out");
            return false;
        }
        plan.children.push_back(child);
        return true;
    }

    const TablePlan* planOf(const std::string& table) const {
        for (const TablePlan& t : tables_)
            if (jet::sameName(t.name, table)) return &t;
        return nullptr;
    }

    const jet::Column* movedColumn(const TablePlan& t, const std::string& column) const {
        for (const jet::Column* c : t.columns)
            if (jet::sameName(c->name, column)) return c;
        return nullptr;
    }

    // The enforced relationships between moved tables, on moved columns.
    void planRelationships() {
        for (const jet::Relationship& r : jet::readRelationships(db_)) {
            const TablePlan *own = planOf(r.table), *referenced = planOf(r.referenced_table);
            if (!r.enforced() || !own || !referenced) continue;
            bool whole = true;
            for (size_t i = 0; i < r.columns.size() && i < r.referenced_columns.size(); ++i)
                whole &= movedColumn(*own, r.columns[i]) && movedColumn(*referenced, r.referenced_columns[i]);
            if (whole) relationships_.push_back(r);
            else sink_.note("relationship " + r.name + " is on a field left out: left out");
        }
    }

    void createViews() {
        std::vector<std::string> moved;
        for (const TablePlan& t : tables_) moved.push_back(t.name);
        for (const View& v : planViews(db_, t_, moved)) {
            if (v.create.empty()) sink_.note("query " + v.name + " is no view: " + v.skipped);
            else sink_.view(v.name, v.create);
        }
    }

    void dropTables() {
        if (t_ == Target::SqlServer)
            for (const jet::Relationship& r : relationships_)
                sink_.statement("IF OBJECT_ID(N'" + name(r.name) + "', N'F') IS NOT NULL ALTER TABLE " + name(r.table) +
                                " DROP CONSTRAINT " + name(r.name));
        std::vector<std::string> drops;  // a child before its parent, which its key refers to
        for (const TablePlan& t : tables_)
            for (const ChildPlan& child : t.children) drops.push_back(child.name);
        for (const TablePlan& t : tables_) drops.push_back(t.name);
        for (const std::string& table : drops)
            sink_.statement("DROP TABLE IF EXISTS " + name(table) + (t_ == Target::PostgreSql ? " CASCADE" : ""));
    }

    std::string columnList(const std::vector<std::string>& names) {
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + name(n);
        return list;
    }

    std::string foreignKey(const jet::Relationship& r) {
        std::string fk = "CONSTRAINT " + name(r.name) + " FOREIGN KEY (" + columnList(r.columns) + ") REFERENCES " +
                         name(r.referenced_table) + " (" + columnList(r.referenced_columns) + ")";
        if (r.flags & jet::kRelationCascadeUpdates) fk += " ON UPDATE CASCADE";
        if (r.flags & jet::kRelationCascadeDeletes) fk += " ON DELETE CASCADE";
        else if (r.flags & jet::kRelationCascadeNull) fk += " ON DELETE SET NULL";
        return fk;
    }

    const jet::Column* columnNumbered(const TablePlan& t, uint16_t number) const {
        for (const jet::Column* c : t.columns)
            if (c->number == number) return c;
        return nullptr;
    }

    // The key's columns, with DESC where descending (PostgreSQL's keys
    // take none: its indexes run both ways); empty when one of them does
    // not move.
    std::string keyColumns(const TablePlan& t, const jet::Index& index) {
        bool directions = !(index.primaryKey() && t_ == Target::PostgreSql);
        std::string list;
        for (const jet::IndexColumn& ic : t.def->real_indexes.at(index.real_index).columns) {
            const jet::Column* c = columnNumbered(t, ic.column_number);
            if (!c) return "";
            list += (list.empty() ? "" : ", ") + name(c->name) + (ic.ascending || !directions ? "" : " DESC");
        }
        return list;
    }

    // Access's own index of a complex field's keys: its child table
    // stands for it.
    static bool onComplexField(const TablePlan& t, const jet::Index& index) {
        for (const jet::IndexColumn& ic : t.def->real_indexes.at(index.real_index).columns)
            for (const jet::Column& c : t.def->columns)
                if (c.number == ic.column_number && c.type == jet::kComplex) return true;
        return false;
    }

    // Required and DefaultValue of each field; none, with a note, where
    // the table's properties are damaged.
    std::map<std::string, jet::FieldProperties> properties(const TablePlan& t) {
        try {
            return jet::readFieldProperties(db_, t.name);
        } catch (const jet::Error& e) {
            sink_.note("the field properties of " + t.name + " cannot be read (" + e.what() +
                       "): no NOT NULL or default is set");
            return {};
        }
    }

    // The field's Required (as NOT NULL) and literal default.
    std::string constraints(const TablePlan& t, const jet::Column& c,
                            const std::map<std::string, jet::FieldProperties>& properties) {
        auto p = std::find_if(properties.begin(), properties.end(),
                              [&](const auto& field) { return jet::sameName(field.first, c.name); });
        // Yes/No is never Null in Access.
        std::string sql = c.type == jet::kBoolean || (p != properties.end() && p->second.required) ? " NOT NULL" : "";
        if (p == properties.end() || p->second.default_value.empty()) return sql;
        std::string value = defaultLiteral(t_, c, p->second.default_value);
        if (value.empty())
            sink_.note("the default of " + t.name + "." + c.name + " (" + p->second.default_value +
                       ") is no literal: left out");
        return value.empty() ? sql : sql + " DEFAULT " + value;
    }

    std::string createTable(const TablePlan& t) {
        std::string sql = "CREATE TABLE " + name(t.name) + " (";
        const char* separator = "\n  ";
        std::map<std::string, jet::FieldProperties> fields = properties(t);
        for (const jet::Column* c : t.columns) {
            if (c->type == jet::kComplex) {  // the key of the field's values, in a table of their own
                sql += separator + name(c->name) + " " + keyType(*c) + " UNIQUE";
                separator = ",\n  ";
                continue;
            }
            sql += separator + name(c->name) + " " + columnType(t_, *c, db_.format()) + constraints(t, *c, fields);
            if (c->type == jet::kGuid && c->autoGuid() && t_ != Target::Sqlite)
                sql += t_ == Target::PostgreSql ? " DEFAULT gen_random_uuid()" : " DEFAULT NEWID()";
            separator = ",\n  ";
        }
        for (const jet::Index& index : t.def->indexes)
            if (index.primaryKey())
                if (std::string key = keyColumns(t, index); !key.empty())
                    sql += separator + std::string("CONSTRAINT ") + name(t.name + "_" + index.name) + " PRIMARY KEY (" +
                           key + ")";
        if (t_ == Target::Sqlite)
            for (const jet::Relationship& r : relationships_)
                if (jet::sameName(r.table, t.name)) sql += separator + foreignKey(r);
        return sql + "\n)";
    }

    // The columns in a child table that refer to its parent.
    static std::vector<const jet::Column*> parentKey(const TablePlan& t, const ChildPlan& child) {
        return t.key.empty() ? std::vector<const jet::Column*>{child.field} : t.key;
    }

    std::string keyType(const jet::Column& c) {
        if (c.type == jet::kLong || c.type == jet::kComplex) return t_ == Target::SqlServer ? "int" : "integer";
        return columnType(t_, c, db_.format());
    }

    std::string createChildTable(const TablePlan& t, const ChildPlan& child) {
        std::string sql = "CREATE TABLE " + name(child.name) + " (";
        const char* separator = "\n  ";
        for (const jet::Column* c : parentKey(t, child)) {
            sql += separator + name(c->name) + " " + keyType(*c) + " NOT NULL";
            separator = ",\n  ";
        }
        for (const jet::Column* c : child.values) sql += separator + name(c->name) + " " + columnType(t_, *c, db_.format());
        if (t_ == Target::Sqlite) sql += separator + childForeignKey(t, child);
        return sql + "\n)";
    }

    std::string childForeignKey(const TablePlan& t, const ChildPlan& child) {
        std::vector<std::string> key;
        for (const jet::Column* c : parentKey(t, child)) key.push_back(c->name);
        return "CONSTRAINT " + name(child.name + "_" + t.name) + " FOREIGN KEY (" + columnList(key) + ") REFERENCES " +
               name(t.name) + " (" + columnList(key) + ") ON DELETE CASCADE ON UPDATE CASCADE";
    }

    void createIndexes(const TablePlan& t) {
        for (const jet::Index& index : t.def->indexes) {
            if (index.primaryKey() || index.foreignKey() || onComplexField(t, index)) continue;
            std::string key = keyColumns(t, index);
            if (key.empty()) {
                sink_.note("index " + t.name + "." + index.name + " is on a field left out: left out");
                continue;
            }
            bool unique = t.def->real_indexes.at(index.real_index).unique();
            sink_.statement(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                            name(t.name + "_" + index.name) + " ON " + name(t.name) + " (" + key + ")");
        }
    }

    // Sends the rows `next` gives (false past the last) as INSERTs or
    // COPYs of the sink, in batches; returns their number.
    long sendRows(const std::string& table, const std::vector<std::string>& columns,
                  const std::function<bool(std::vector<ado::Value>&)>& next) {
        bool copy = sink_.copies();
        std::string head = (copy ? "COPY " : "INSERT INTO ") + name(table) + " (" + columnList(columns) +
                           (copy ? ") FROM STDIN" : ") VALUES");
        sink_.beginRows(table);
        std::vector<ado::Value> row;
        std::string batch;
        long total = 0, in_batch = 0;
        auto flush = [&] {
            if (copy) sink_.copyRows(head, batch, in_batch);
            else sink_.rows(batch, in_batch);
            batch.clear();
            in_batch = 0;
        };
        while (next(row)) {
            if (!copy) batch += in_batch ? ",\n  (" : head + "\n  (";
            for (size_t i = 0; i < columns.size(); ++i) {
                const ado::Value& v = row[i];
                if (v.is<std::string>() && v.as<std::string>().find('\0') != std::string::npos)
                    throw jet::Error(jet::kErrConversion, "Row " + std::to_string(total + 1) + " of " + table +
                                                              ", field " + columns[i] +
                                                              ": the text holds a NUL character, which no "
                                                              "SQL text can carry.");
                if (copy) batch += (i ? "\t" : "") + copyField(v);
                else batch += (i ? ", " : "") + literal(t_, v);
            }
            batch += copy ? '\n' : ')';
            ++total;
            if (++in_batch == (copy ? kCopyRows : kBatchRows) || batch.size() >= kBatchBytes) flush();
        }
        if (in_batch) flush();
        sink_.endRows(table, total);
        return total;
    }

    static size_t at(const jet::TableDef& def, const jet::Column& c) { return size_t(&c - def.columns.data()); }

    // An attachment's file as it was before Access stored it.
    static jet::Binary fileData(const TablePlan& t, const ChildPlan& child, const jet::Binary& stored) {
        try {
            return jet::attachmentFileData(jet::Bytes(stored.data(), stored.size()));
        } catch (const jet::Error& e) {
            throw jet::Error(e.number(), "Table " + t.name + ", field " + child.field->name + ": " + e.what());
        }
    }

    // The rows of complex field `child`: the key of the row they belong to
    // (from `owners`, by the field's stored key), then their values, an
    // attachment's file as its original bytes.
    void moveChildRows(const TablePlan& t, const ChildPlan& child,
                       const std::unordered_map<int32_t, std::vector<ado::Value>>& owners) {
        std::vector<std::string> columns;
        for (const jet::Column* c : parentKey(t, child)) columns.push_back(c->name);
        for (const jet::Column* c : child.values) columns.push_back(c->name);
        jet::TableScan scan(db_, *child.hidden.flat);
        std::vector<ado::Value> flat;
        sendRows(child.name, columns, [&](std::vector<ado::Value>& row) {
            for (;;) {
                if (!scan.next()) return false;
                scan.read(flat);
                const ado::Value& key = flat[child.hidden.owner];
                auto owner = key.is<int32_t>() ? owners.find(key.as<int32_t>()) : owners.end();
                if (owner == owners.end()) continue;  // of a row no longer there
                row = owner->second;
                for (const jet::Column* c : child.values) {
                    ado::Value& v = flat[at(*child.hidden.flat, *c)];
                    if (c->type == jet::kOle && v.is<jet::Binary>()) v = fileData(t, child, v.as<jet::Binary>());
                    row.push_back(std::move(v));
                }
                return true;
            }
        });
    }

    void moveRows(const TablePlan& t) {
        std::vector<std::string> names;
        for (const jet::Column* c : t.columns) names.push_back(c->name);
        bool explicit_identity = t.autonumber && t_ == Target::SqlServer;
        int64_t last = t.def->next_autonumber;
        long total = 0;
        if (o_.data) {
            if (explicit_identity) sink_.statement("SET IDENTITY_INSERT " + name(t.name) + " ON");
            jet::TableScan scan(db_, *t.def);
            jet::RowReader stored(db_.pager(), db_.format(), db_.codec(), *t.def);
            // Each child's stored keys, to the key of the row they belong to.
            std::vector<std::unordered_map<int32_t, std::vector<ado::Value>>> owners(t.children.size());
            std::vector<ado::Value> values;
            total = sendRows(t.name, names, [&](std::vector<ado::Value>& row) {
                if (!scan.next()) return false;
                scan.read(values);
                auto complexKey = [&](const jet::Column& c) {
                    std::optional<jet::Bytes> key = stored.stored(scan.data(), at(*t.def, c));
                    return key ? ado::Value(int32_t(key->u32(0))) : ado::Value();
                };
                if (t.autonumber && values[at(*t.def, *t.autonumber)].is<int32_t>())
                    last = std::max<int64_t>(last, values[at(*t.def, *t.autonumber)].as<int32_t>());
                for (size_t i = 0; i < t.children.size(); ++i) {
                    ado::Value key = complexKey(*t.children[i].field);
                    if (!key.is<int32_t>()) continue;
                    std::vector<ado::Value>& owner = owners[i][key.as<int32_t>()];
                    owner.clear();
                    for (const jet::Column* c : parentKey(t, t.children[i]))
                        owner.push_back(c->type == jet::kComplex ? key : values[at(*t.def, *c)]);
                }
                row.clear();
                for (const jet::Column* c : t.columns)
                    row.push_back(c->type == jet::kComplex ? complexKey(*c) : std::move(values[at(*t.def, *c)]));
                return true;
            });
            if (explicit_identity) sink_.statement("SET IDENTITY_INSERT " + name(t.name) + " OFF");
            for (size_t i = 0; i < t.children.size(); ++i) moveChildRows(t, t.children[i], owners[i]);
        }
        if (!t.autonumber || t_ == Target::Sqlite) return;
        if (t_ == Target::PostgreSql)
            sink_.statement("ALTER TABLE " + name(t.name) + " ALTER COLUMN " + name(t.autonumber->name) +
                            " RESTART WITH " + std::to_string(last + 1));
        else  // a table that never had a row starts at the seed itself, others after it
            sink_.statement("DBCC CHECKIDENT (N'" + name(t.name) + "', RESEED, " +
                            std::to_string(total ? last : last + 1) + ")");
    }

    const jet::Database& db_;
    const MigrationOptions& o_;
    MigrationSink& sink_;
    Target t_;
    std::vector<TablePlan> tables_;
    std::vector<jet::Relationship> relationships_;
    std::vector<std::string> renamed_;
};

}  // namespace

void migrate(const jet::Database& db, const MigrationOptions& options, MigrationSink& sink) {
    Migration(db, options, sink).run();
}

void ScriptSink::write(const std::string& sql) {
    std::fwrite(sql.data(), 1, sql.size(), stdout);
    std::fputs(target_ == Target::SqlServer ? ";\nGO\n" : ";\n", stdout);
}

void ScriptSink::statement(const std::string& sql) {
    write(sql);
}

void ScriptSink::beginRows(const std::string&) {
    write(target_ == Target::SqlServer ? "BEGIN TRANSACTION" : "BEGIN");
}

void ScriptSink::rows(const std::string& insert, long) {
    std::fwrite(insert.data(), 1, insert.size(), stdout);
    std::fputs(";\n", stdout);
}

void ScriptSink::endRows(const std::string&, long) {
    write("COMMIT");
}

void ScriptSink::view(const std::string&, const std::string& create) {
    write(create);
}

void ScriptSink::note(const std::string& text) {
    std::fprintf(stderr, "pellinordb-sql: %s\n", text.c_str());
}

void ScriptSink::finish() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw jet::Error(jet::kErrIo, "The script could not be written.");
}

int writeMigrationScript(const std::string& file, const std::string& password, const MigrationOptions& options) {
    jet::Database db(file, password);
    ScriptSink script(options.target);
    migrate(db, options, script);
    script.finish();
    return 0;
}
