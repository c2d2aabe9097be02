// SPDX-License-Identifier: Apache-2.0
#include "sql/saved_query.h"

#include <cctype>
#include <memory>

namespace ado::sql {

namespace {

enum Attribute : uint8_t {
    kKind = 1, kParameter = 2, kFlags = 3, kTable = 5, kColumn = 6, kJoin = 7,
    kWhere = 8, kGroupBy = 9, kHaving = 10, kOrderBy = 11
};
constexpr int kSelectStar = 0x01, kDistinct = 0x02, kDistinctRow = 0x08, kTop = 0x10, kPercent = 0x20;
constexpr int kUnionDistinct = 0x02;  // in a UNION's flags: without ALL
constexpr int kPivot = 0x01, kRowHeading = 0x02;  // a crosstab's fields

struct Part {
    uint8_t attribute = 0;
    std::string name1, name2, expression;
    int flag = 0;
};

// Access ends some of these texts with a NUL character.
std::string text(const jet::Value& v) {
    std::string s = v.is<std::string>() ? v.as<std::string>() : std::string();
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

std::vector<Part> partsOf(const jet::Database& db, int32_t id) {
    const jet::TableDef& def = db.table("MSysQueries");
    int object = def.findColumn("ObjectId"), attribute = def.findColumn("Attribute"), name1 = def.findColumn("Name1"),
        name2 = def.findColumn("Name2"), expression = def.findColumn("Expression"), flag = def.findColumn("Flag");
    if (object < 0 || attribute < 0 || name1 < 0 || name2 < 0 || expression < 0 || flag < 0)
        jet::corrupt("the saved queries' table lacks one of its columns");
    std::vector<Part> parts;
    std::vector<jet::Value> row;
    for (jet::TableScan scan(db, def); scan.next();) {
        scan.read(row);
        if (row[object] != jet::Value(id) || !row[attribute].is<uint8_t>()) continue;
        Part& p = parts.emplace_back();
        p.attribute = row[attribute].as<uint8_t>();
        p.name1 = text(row[name1]);
        p.name2 = text(row[name2]);
        p.expression = text(row[expression]);
        p.flag = row[flag].is<int16_t>() ? row[flag].as<int16_t>() : 0;
    }
    return parts;
}

// A name in brackets where it needs them, as Access writes it: one of
// letters, digits and "_" stands alone.
std::string bracketed(const std::string& name) {
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
    for (char c : name) plain &= std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80);
    return plain ? name : "[" + name + "]";
}

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : separator) + s;
    return out;
}

// One piece of a FROM clause: a table, or a join of two pieces.
struct Source {
    std::string table;                    // a table: its text, alias included
    std::vector<std::string> names;       // the names joins know it by
    std::shared_ptr<Source> left, right;  // a join
    int type = 0;
    std::vector<std::string> on;

    bool holds(const std::string& name) const {
        for (const std::string& n : names)
            if (jet::sameName(n, name)) return true;
        return false;
    }
    std::string sql(bool nested) const {
        if (!left) return table;
        static const char* const kinds[] = {" INNER JOIN ", " INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
        std::string condition = on.size() > 1 ? "(" + joined(on, ") AND (") + ")" : joined(on, "");
        std::string s = left->sql(true) + kinds[type >= 1 && type <= 3 ? type : 0] + right->sql(true) + " ON " +
                        condition;
        return nested ? "(" + s + ")" : s;
    }
};

std::shared_ptr<Source> tableSource(const std::string& name, const std::string& alias) {
    auto s = std::make_shared<Source>();
    s->table = bracketed(name) + (alias.empty() ? "" : " AS " + bracketed(alias));
    s->names = {alias.empty() ? name : alias};
    return s;
}

class Builder {
public:
    explicit Builder(std::vector<Part> parts) : parts_(std::move(parts)) {}

    const Part* first(uint8_t attribute) const {
        for (const Part& p : parts_)
            if (p.attribute == attribute) return &p;
        return nullptr;
    }
    std::vector<const Part*> all(uint8_t attribute) const {
        std::vector<const Part*> out;
        for (const Part& p : parts_)
            if (p.attribute == attribute) out.push_back(&p);
        return out;
    }
    int flags() const { return first(kFlags) ? first(kFlags)->flag : 0; }

    // Each join row joins the piece holding its left table with the piece
    // holding its right one; a second condition between the same pieces is
    // ANDed in front, as Access lists them last first.
    std::string from() const {
        std::vector<std::shared_ptr<Source>> sources;
        for (const Part* t : all(kTable)) sources.push_back(tableSource(t->name1, t->name2));
        for (const Part* j : all(kJoin)) {
            auto take = [&](const std::string& name) -> std::shared_ptr<Source> {
                for (auto it = sources.begin(); it != sources.end(); ++it)
                    if ((*it)->holds(name)) return *it;
                return nullptr;
            };
            std::shared_ptr<Source> left = take(j->name1), right = take(j->name2);
            if (left && left == right) {
                left->on.insert(left->on.begin(), j->expression);
                continue;
            }
            auto join = std::make_shared<Source>();
            join->left = left ? left : tableSource(j->name1, "");
            join->right = right ? right : tableSource(j->name2, "");
            join->names = join->left->names;
            join->names.insert(join->names.end(), join->right->names.begin(), join->right->names.end());
            join->type = j->flag;
            join->on = {j->expression};
            std::erase(sources, left);
            std::erase(sources, right);
            sources.push_back(join);
        }
        std::vector<std::string> pieces;
        for (const auto& s : sources) pieces.push_back(s->sql(false));
        return joined(pieces, ", ");
    }

    // The output fields whose crosstab role is `role` (0: any).
    std::string fields(int role) const {
        std::vector<std::string> out;
        for (const Part* c : all(kColumn)) {
            if (role && !(c->flag & role)) continue;
            out.push_back(c->expression + (c->name1.empty() ? "" : " AS " + bracketed(c->name1)));
        }
        if (flags() & kSelectStar) out.push_back("*");
        return joined(out, ", ");
    }

    std::string clauses(bool crosstab) const {
        std::string s;
        if (const Part* w = first(kWhere)) s += "\nWHERE " + w->expression;
        std::vector<std::string> groups;
        for (const Part* g : all(kGroupBy))
            if (!crosstab || (g->flag & kRowHeading)) groups.push_back(g->expression);
        if (!groups.empty()) s += "\nGROUP BY " + joined(groups, ", ");
        if (const Part* h = first(kHaving)) s += "\nHAVING " + h->expression;
        return s + orderBy();
    }

    std::string orderBy() const {
        std::vector<std::string> terms;
        for (const Part* o : all(kOrderBy)) terms.push_back(o->expression + (jet::sameName(o->name1, "D") ? " DESC" : ""));
        return terms.empty() ? "" : "\nORDER BY " + joined(terms, ", ");
    }

    std::string selectWords() const {
        int f = flags();
        std::string s = "SELECT ";
        if (f & kDistinct) s += "DISTINCT ";
        else if (f & kDistinctRow) s += "DISTINCTROW ";
        if ((f & kTop) && first(kFlags)) s += "TOP " + first(kFlags)->name1 + ((f & kPercent) ? " PERCENT " : " ");
        return s;
    }

    std::string parameters() const {
        static const std::pair<int, const char*> kTypes[] = {
            {1, "Bit"},       {2, "Byte"},     {3, "Short"},   {4, "Long"},       {5, "Currency"},
            {6, "IEEESingle"}, {7, "IEEEDouble"}, {8, "DateTime"}, {9, "Binary"}, {10, "Text"},
            {11, "LongBinary"}, {15, "Guid"}};
        std::vector<std::string> out;
        for (const Part* p : all(kParameter)) {
            const char* type = "Value";
            for (const auto& [code, name] : kTypes)
                if (code == p->flag) type = name;
            out.push_back(bracketed(p->name1) + " " + type);
        }
        return out.empty() ? "" : "PARAMETERS " + joined(out, ", ") + ";\n";
    }

    std::string unionPart(const char* id) const {
        for (const Part* t : all(kTable))
            if (t->name2 == id) {
                size_t b = t->expression.find_first_not_of(" \r\n\t"), e = t->expression.find_last_not_of(" \r\n\t;");
                std::string part = b == std::string::npos ? "" : t->expression.substr(b, e - b + 1);
                std::erase(part, '\r');
                return part;
            }
        return "";
    }

    std::string sql(QueryKind kind) const {
        const Part* k = first(kKind);
        std::string target = k ? bracketed(k->name1) : "";
        switch (kind) {
        case QueryKind::Select: return selectWords() + fields(0) + "\nFROM " + from() + clauses(false);
        case QueryKind::MakeTable:
            return selectWords() + fields(0) + " INTO " + target + "\nFROM " + from() + clauses(false);
        case QueryKind::Union:
            return unionPart("X7YZ_____1") + "\nUNION " + ((flags() & kUnionDistinct) ? "" : "ALL ") +
                   unionPart("X7YZ_____2") + orderBy();
        case QueryKind::Crosstab: {
            std::string transform;
            for (const Part* c : all(kColumn))
                if (!(c->flag & (kPivot | kRowHeading)))
                    transform = c->expression + (c->name1.empty() ? "" : " AS " + bracketed(c->name1));
            std::string pivot;
            for (const Part* c : all(kColumn))
                if (c->flag & kPivot) pivot = c->expression;
            return "TRANSFORM " + transform + "\n" + selectWords() + fields(kRowHeading) + "\nFROM " + from() +
                   clauses(true) + "\nPIVOT " + pivot;
        }
        case QueryKind::Append: {
            std::vector<std::string> into, values;
            for (const Part* c : all(kColumn)) {
                into.push_back(c->name2);
                values.push_back(c->expression);
            }
            return "INSERT INTO " + target + " (" + joined(into, ", ") + ")\n" + selectWords() + joined(values, ", ") +
                   "\nFROM " + from() + clauses(false);
        }
        case QueryKind::Update: {
            std::vector<std::string> sets;
            for (const Part* c : all(kColumn)) sets.push_back(c->name2 + " = " + c->expression);
            std::string where = first(kWhere) ? "\nWHERE " + first(kWhere)->expression : "";
            return "UPDATE " + from() + "\nSET " + joined(sets, ", ") + where;
        }
        case QueryKind::Delete: return "DELETE " + fields(0) + "\nFROM " + from() + clauses(false);
        case QueryKind::DataDefinition:
        case QueryKind::PassThrough: return k ? k->expression : "";  // kept as typed
        }
        return "";
    }

private:
    std::vector<Part> parts_;
};

}  // namespace

const jet::CatalogEntry* findSavedQuery(const jet::Database& db, const std::string& name) {
    for (const jet::CatalogEntry& e : db.catalog())
        if (e.isQuery() && jet::sameName(e.name, name)) return &e;
    return nullptr;
}

SavedQuery readSavedQuery(const jet::Database& db, const jet::CatalogEntry& query) {
    Builder b(partsOf(db, query.id));
    SavedQuery q;
    q.name = query.name;
    const Part* kind = b.first(kKind);
    q.kind = kind && kind->flag >= 1 && kind->flag <= 9 ? QueryKind(kind->flag) : QueryKind::Select;
    q.parameters = b.parameters();
    q.sql = b.sql(q.kind);
    if (q.kind != QueryKind::DataDefinition && q.kind != QueryKind::PassThrough) q.sql += ";";
    return q;
}

std::vector<SavedQuery> savedQueries(const jet::Database& db) {
    std::vector<SavedQuery> out;
    for (const jet::CatalogEntry& e : db.catalog())
        if (e.isQuery() && e.name.rfind("~", 0) != 0) out.push_back(readSavedQuery(db, e));
    return out;
}

}  // namespace ado::sql
