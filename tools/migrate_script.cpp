// SPDX-License-Identifier: Apache-2.0
#include "migrate_script.h"

#include <algorithm>
#include <cstdio>

#include "jet/error.h"
#include "jet/field_properties.h"
#include "jet/relationships.h"
#include "migrate_views.h"
#include "schema_listing.h"

namespace {

// Rows an INSERT carries at most (SQL Server takes 1000), and a COPY; and
// about the bytes where a batch of long values ends early.
constexpr long kBatchRows = 500;
constexpr long kCopyRows = 20000;
constexpr size_t kBatchBytes = 1 << 20;

struct TablePlan {
    std::string name;
    const jet::TableDef* def = nullptr;
    std::vector<const jet::Column*> columns;  // those that move, in the file's order
    const jet::Column* autonumber = nullptr;
};

class Migration {
public:
    Migration(const jet::Database& db, const MigrationOptions& o, MigrationSink& sink)
        : db_(db), o_(o), sink_(sink), t_(o.target) {}

    void run() {
        planTables();
        planRelationships();
        if (o_.schema && o_.drop_existing) dropTables();
        if (o_.schema)
            for (const TablePlan& t : tables_) sink_.statement(createTable(t));
        for (const TablePlan& t : tables_) moveRows(t);
        if (!o_.schema) return;
        for (const TablePlan& t : tables_) createIndexes(t);
        if (t_ != Target::Sqlite)
            for (const jet::Relationship& r : relationships_)
                sink_.statement("ALTER TABLE " + name(r.table) + " ADD " + foreignKey(r));
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
            TablePlan plan{n, &db_.table(n), {}, nullptr};
            for (const jet::Column& c : plan.def->columns) {
                if (columnType(t_, c, db_.format()).empty()) {
                    sink_.note("field " + n + "." + c.name +
                               (c.type == jet::kComplex
                                    ? " is an attachment or multi-valued field"
                                    : " is of a type unknown here (" + std::to_string(c.type) + ")") +
                               ": left out");
                    continue;
                }
                plan.columns.push_back(&c);
                if (c.type == jet::kLong && c.autoNumber()) plan.autonumber = &c;
            }
            tables_.push_back(plan);
        }
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
        for (const TablePlan& t : tables_)
            sink_.statement("DROP TABLE IF EXISTS " + name(t.name) + (t_ == Target::PostgreSql ? " CASCADE" : ""));
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

    void createIndexes(const TablePlan& t) {
        for (const jet::Index& index : t.def->indexes) {
            if (index.primaryKey() || index.foreignKey()) continue;
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

    void moveRows(const TablePlan& t) {
        std::vector<std::string> names;
        for (const jet::Column* c : t.columns) names.push_back(c->name);
        bool copy = sink_.copies();
        std::string head = (copy ? "COPY " : "INSERT INTO ") + name(t.name) + " (" + columnList(names) +
                           (copy ? ") FROM STDIN" : ") VALUES");
        bool explicit_identity = t.autonumber && t_ == Target::SqlServer;
        int64_t last = t.def->next_autonumber;
        long total = 0;
        if (o_.data) {
            if (explicit_identity) sink_.statement("SET IDENTITY_INSERT " + name(t.name) + " ON");
            sink_.beginRows(t.name);
            jet::TableScan scan(db_, *t.def);
            std::vector<ado::Value> row;
            std::string batch;
            long in_batch = 0;
            auto flush = [&] {
                if (copy) sink_.copyRows(head, batch, in_batch);
                else sink_.rows(batch, in_batch);
                batch.clear();
                in_batch = 0;
            };
            while (scan.next()) {
                scan.read(row);
                if (!copy) batch += in_batch ? ",\n  (" : head + "\n  (";
                for (size_t i = 0; i < t.columns.size(); ++i) {
                    const ado::Value& v = row[size_t(t.columns[i] - t.def->columns.data())];
                    if (t.columns[i] == t.autonumber && v.is<int32_t>())
                        last = std::max<int64_t>(last, v.as<int32_t>());
                    if (v.is<std::string>() && v.as<std::string>().find('\0') != std::string::npos)
                        throw jet::Error(jet::kErrConversion, "Row " + std::to_string(total + 1) + " of " + t.name +
                                                                  ", field " + t.columns[i]->name +
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
            sink_.endRows(t.name, total);
            if (explicit_identity) sink_.statement("SET IDENTITY_INSERT " + name(t.name) + " OFF");
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
