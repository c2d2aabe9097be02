// SPDX-License-Identifier: Apache-2.0
#include "sql/lookup.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "jet/index_key.h"
#include "jet/index_search.h"
#include "jet/text_key.h"
#include "sql/text.h"

namespace ado::sql {

namespace {

using jet::Value;

// A stored Currency reaches SQLite as ten_thousandths / 10000.0; below this
// size the division is exact enough that a neighbour either side covers
// every stored value a real can equal.
constexpr double kCurrencyExact = 4e11;

int columnPosition(const jet::TableDef& t, uint16_t number) {
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].number == number) return int(i);
    return -1;
}

bool isLower(unsigned char op) { return op == SQLITE_INDEX_CONSTRAINT_GT || op == SQLITE_INDEX_CONSTRAINT_GE; }
bool isUpper(unsigned char op) { return op == SQLITE_INDEX_CONSTRAINT_LT || op == SQLITE_INDEX_CONSTRAINT_LE; }

int findOffered(const std::vector<Offered>& offered, int column, bool (*accepts)(unsigned char)) {
    for (size_t i = 0; i < offered.size(); ++i)
        if (offered[i].usable && offered[i].column == column && accepts(offered[i].op)) return int(i);
    return -1;
}

bool isEqual(unsigned char op) { return op == SQLITE_INDEX_CONSTRAINT_EQ; }
bool isLike(unsigned char op) { return op == kLikeConstraint; }

// Text keys ignore case (and Access 97's, characters beyond Windows-1252),
// so that every text the collation holds equal to a value keys as it does;
// their order is the collation's where the column is keyed in its order.
bool rangeKind(const jet::Column& c, jet::TextSortOrder collation) {
    return c.type != jet::kText || jet::textSortOrder(c) == collation;
}


// The plan for one index: as many leading equalities as are offered, then
// the bounds on the next key column. Rows are guessed as SQLite does
// without statistics: each equality keeps a tenth, a bound a quarter.
std::optional<LookupPlan> planFor(const jet::TableDef& t, size_t number, const std::vector<Offered>& offered,
                                  jet::TextSortOrder collation) {
    const jet::RealIndex& index = t.real_indexes[number];
    LookupPlan plan;
    plan.real_index = number;
    int low = -1, high = -1;
    for (const jet::IndexColumn& ic : index.columns) {
        int column = columnPosition(t, ic.column_number);
        if (column < 0 || !lookupKind(t.columns[size_t(column)])) break;
        int eq = findOffered(offered, column, isEqual);
        if (eq >= 0) {
            plan.constraints.push_back(eq);
            ++plan.equal_columns;
            continue;
        }
        if (int like = findOffered(offered, column, isLike); like >= 0 && t.columns[size_t(column)].type == jet::kText) {
            plan.like = true;
            plan.constraints.push_back(like);
            break;
        }
        if (!rangeKind(t.columns[size_t(column)], collation)) break;
        low = findOffered(offered, column, isLower);
        high = findOffered(offered, column, isUpper);
        break;
    }
    plan.low = low >= 0;
    plan.high = high >= 0;
    if (plan.low) plan.constraints.push_back(low);
    if (plan.high) plan.constraints.push_back(high);
    if (plan.constraints.empty()) return std::nullopt;

    double rows = double(t.row_count) + 1;
    if (index.unique() && plan.equal_columns == index.columns.size()) {
        rows = 1;
    } else {
        rows /= std::pow(10.0, double(plan.equal_columns));
        if (plan.low) rows /= 4;
        if (plan.high) rows /= 4;
        if (plan.like) rows /= 16;
    }
    plan.rows = std::max(rows, 1.0);
    // The descent, then a row read (from wherever it lies) per row found.
    plan.cost = std::log2(double(t.row_count) + 2) + 2 * plan.rows;
    return plan;
}

// ---- SQLite values as keys of a column's kind ---------------------------

// A text column compares with a number as with its text (the column's
// affinity); nothing for Null, and for binary, which no text equals.
std::optional<std::string> textOf(sqlite3_value* v) {
    int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL || type == SQLITE_BLOB) return std::nullopt;
    const unsigned char* text = sqlite3_value_text(v);
    return std::string(text ? reinterpret_cast<const char*>(text) : "", size_t(sqlite3_value_bytes(v)));
}

// The text and its upper and lower case: whichever way the key folds case,
// one of them keys as each text equal to it.
std::vector<Value> textValues(sqlite3_value* v) {
    std::optional<std::string> text = textOf(v);
    if (!text) return {};
    std::vector<Value> out{*text};
    for (std::string folded : {upperCase(*text), lowerCase(*text)})
        if (folded != *text && (out.size() < 2 || folded != out[1].as<std::string>())) out.push_back(folded);
    return out;
}

// A constraint's value after the numeric affinity every key kind's column
// has, applied to a copy (the caller's value stays as SQLite made it).
struct Argument {
    explicit Argument(sqlite3_value* v) : value(sqlite3_value_dup(v)) {
        type = value ? sqlite3_value_numeric_type(value.get()) : SQLITE_NULL;
    }
    bool number() const { return type == SQLITE_INTEGER || type == SQLITE_FLOAT; }
    double real() const { return sqlite3_value_double(value.get()); }
    int64_t whole() const { return sqlite3_value_int64(value.get()); }

    struct Free {
        void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
    };
    std::unique_ptr<sqlite3_value, Free> value;
    int type = SQLITE_NULL;
};

struct IntegerRange {
    int64_t low, high;
};

std::optional<IntegerRange> integerRange(uint8_t type) {
    switch (type) {
    case jet::kByte: return IntegerRange{0, 255};
    case jet::kInteger: return IntegerRange{INT16_MIN, INT16_MAX};
    case jet::kLong: return IntegerRange{INT32_MIN, INT32_MAX};
    case jet::kBigInt: return IntegerRange{INT64_MIN, INT64_MAX};
    default: return std::nullopt;
    }
}

Value integerValue(uint8_t type, int64_t n) {
    switch (type) {
    case jet::kByte: return uint8_t(n);
    case jet::kInteger: return int16_t(n);
    case jet::kLong: return int32_t(n);
    default: return n;
    }
}

Value floatValue(uint8_t type, double r) {
    if (type == jet::kSingle) return float(r);
    if (type == jet::kDateTime) return jet::DateTime{r};
    return r;
}

double currencyReal(int64_t ten_thousandths) { return double(ten_thousandths) / 10000.0; }

// Whole number r as an int64, where it is one within [low, high].
std::optional<int64_t> wholeIn(double r, IntegerRange range) {
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18) || r != std::floor(r)) return std::nullopt;
    int64_t n = int64_t(r);
    if (n < range.low || n > range.high) return std::nullopt;
    return n;
}

// The stored values an equality with `a` can match (SQLite checks each);
// nullopt when they cannot be told.
std::optional<std::vector<Value>> equalValues(const jet::Column& c, const Argument& a) {
    std::vector<Value> out;
    if (!a.number()) return out;  // Null, text or binary equals no number
    if (std::optional<IntegerRange> range = integerRange(c.type)) {
        std::optional<int64_t> n =
            a.type == SQLITE_INTEGER ? (a.whole() >= range->low && a.whole() <= range->high ? std::optional(a.whole())
                                                                                            : std::nullopt)
                                     : wholeIn(a.real(), *range);
        if (n) out.push_back(integerValue(c.type, *n));
        return out;
    }
    double r = a.real();
    switch (c.type) {
    case jet::kSingle:
    case jet::kDouble:
    case jet::kDateTime:
        // Zero equals both zeros, which key apart.
        if (r == 0) return std::vector<Value>{floatValue(c.type, 0.0), floatValue(c.type, -0.0)};
        if (c.type != jet::kSingle || double(float(r)) == r) out.push_back(floatValue(c.type, r));
        return out;
    case jet::kCurrency: {
        if (!(std::fabs(r) < kCurrencyExact)) return std::nullopt;
        int64_t near = std::llround(r * 10000.0);
        for (int64_t x = near - 1; x <= near + 1; ++x)
            if (currencyReal(x) == r) out.push_back(jet::Currency{x});
        return out;
    }
    default:
        return std::nullopt;
    }
}

// One side of a range on a column: no limit, nothing can match, or every
// value that can match lies at or beyond `value` (in value order).
struct Limit {
    enum { Open, Nothing, At } kind = Open;
    Value value;
};

Limit at(Value v) { return Limit{Limit::At, std::move(v)}; }
Limit nothing() { return Limit{Limit::Nothing, {}}; }

// Text sorts after numbers and before binary; Null compares with nothing.
Limit textLimit(sqlite3_value* v, bool upper) {
    int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL) return nothing();
    if (type == SQLITE_BLOB) return upper ? Limit{} : nothing();
    return at(*textOf(v));
}

// The limit of `column OP a` on the side `upper` names.
Limit rangeLimit(const jet::Column& c, const Argument& a, bool upper) {
    // Numbers sort before text and binary; Null compares with nothing.
    if (a.type == SQLITE_NULL) return nothing();
    if (!a.number()) return upper ? Limit{} : nothing();
    if (std::optional<IntegerRange> range = integerRange(c.type)) {
        if (a.type == SQLITE_INTEGER) {
            int64_t n = a.whole();
            if (upper) return n < range->low ? nothing() : n >= range->high ? Limit{} : at(integerValue(c.type, n));
            return n > range->high ? nothing() : n <= range->low ? Limit{} : at(integerValue(c.type, n));
        }
        double r = upper ? std::floor(a.real()) : std::ceil(a.real());
        if (std::isnan(r)) return Limit{};
        if (upper) return r < double(range->low) ? nothing() : r >= double(range->high) ? Limit{} : at(integerValue(c.type, int64_t(r)));
        return r > double(range->high) ? nothing() : r <= double(range->low) ? Limit{} : at(integerValue(c.type, int64_t(r)));
    }
    double r = a.real();
    double toward = upper ? INFINITY : -INFINITY;
    switch (c.type) {
    case jet::kSingle:
        // float(r) may round past r: one step further is on the safe side.
        return at(std::nextafter(float(r), float(toward)));
    case jet::kDouble:
    case jet::kDateTime:
        // One step out also takes in the other zero, and integers a double
        // cannot hold exactly.
        return at(floatValue(c.type, std::nextafter(r, toward)));
    case jet::kCurrency: {
        if (!(std::fabs(r) < kCurrencyExact)) return Limit{};
        double scaled = r * 10000.0;
        return at(jet::Currency{upper ? int64_t(std::ceil(scaled)) + 1 : int64_t(std::floor(scaled)) - 1});
    }
    default:
        return Limit{};
    }
}

// Each value of an IN list handed over all at once (SQLite reuses the one
// value object for the next), or the one value; false where `each` is.
template <typename Each>
bool eachValue(sqlite3_value* arg, Each each) {
    sqlite3_value* v = nullptr;
    int rc = sqlite3_vtab_in_first(arg, &v);
    if (rc != SQLITE_OK && rc != SQLITE_DONE) return each(arg);  // not a list
    for (; rc == SQLITE_OK && v; rc = sqlite3_vtab_in_next(arg, &v))
        if (!each(v)) return false;
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw jet::Error(jet::kErrConversion, "The values of an IN list could not be read.");
    return true;
}

// Every combination of one value per equality column.
std::vector<std::vector<Value>> prefixes(const std::vector<std::vector<Value>>& choices) {
    std::vector<std::vector<Value>> out(1);
    for (const std::vector<Value>& values : choices) {
        std::vector<std::vector<Value>> next;
        for (const std::vector<Value>& p : out)
            for (const Value& v : values) {
                next.push_back(p);
                next.back().push_back(v);
            }
        out = std::move(next);
    }
    return out;
}

std::optional<jet::KeyBound> keyBound(const std::vector<Value>& prefix, const Limit& limit) {
    if (limit.kind != Limit::At) {
        if (prefix.empty()) return std::nullopt;
        return jet::KeyBound{prefix, true};
    }
    jet::KeyBound b{prefix, true};
    b.values.push_back(limit.value);
    return b;
}

bool storageOrder(const jet::RowId& a, const jet::RowId& b) {
    return a.page != b.page ? a.page < b.page : a.row < b.row;
}

std::vector<jet::RowId> inStorageOrder(std::vector<jet::RowId> rows) {
    std::sort(rows.begin(), rows.end(), storageOrder);
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// A pattern's rows: those whose key starts as the key of the text before
// its first wildcard does, in any case (every sort order keys a text as
// the codes of its characters first). A pattern that starts with a
// wildcard leaves the table to a scan.
std::optional<std::vector<jet::RowId>> likeRows(const jet::Database& db, const jet::TableDef& t,
                                                const jet::RealIndex& index,
                                                const std::vector<std::vector<Value>>& leading, sqlite3_value* arg) {
    std::optional<std::string> pattern = textOf(arg);
    if (!pattern) return std::vector<jet::RowId>();  // LIKE Null, or binary, matches nothing
    std::string start = pattern->substr(0, pattern->find_first_of("%_["));
    if (start.empty()) return std::nullopt;
    const jet::IndexColumn& ic = index.columns.at(leading.front().size());
    const jet::Column& c = t.columns.at(size_t(columnPosition(t, ic.column_number)));
    std::vector<jet::RowId> rows;
    try {
        for (const std::vector<Value>& values : leading)
            for (const std::string& form : {start, upperCase(start), lowerCase(start)}) {
                std::vector<Value> with = values;
                with.push_back(form);
                std::vector<uint8_t> key = jet::encodeKeyPrefix(t, index, values);
                uint8_t flag = jet::encodeKeyPrefix(t, index, with).at(key.size());
                key.push_back(flag);
                std::vector<uint8_t> codes = jet::textKeyPrefix(*jet::textSortOrder(c), form, ic.ascending);
                key.insert(key.end(), codes.begin(), codes.end());
                std::vector<jet::RowId> found = jet::scanKeyPrefix(db.pager(), db.format(), index, key);
                rows.insert(rows.end(), found.begin(), found.end());
            }
    } catch (const jet::Error& e) {
        if (e.number() != jet::kErrUnsupported) throw;
        return std::nullopt;  // a text the sort order cannot key
    }
    return inStorageOrder(std::move(rows));
}

}  // namespace

bool lookupKind(const jet::Column& column) {
    switch (column.type) {
    case jet::kByte: case jet::kInteger: case jet::kLong: case jet::kBigInt:
    case jet::kCurrency: case jet::kSingle: case jet::kDouble: case jet::kDateTime:
        return true;
    case jet::kText:
        return jet::textSortOrder(column).has_value();
    default:
        return false;
    }
}

std::optional<LookupPlan> planLookup(const jet::TableDef& t, const std::vector<Offered>& offered,
                                     jet::TextSortOrder collation) {
    std::optional<LookupPlan> best;
    for (size_t i = 0; i < t.real_indexes.size(); ++i) {
        std::optional<LookupPlan> plan = planFor(t, i, offered, collation);
        if (plan && (!best || plan->cost < best->cost)) best = plan;
    }
    return best;
}

std::string planText(const LookupPlan& p) {
    std::string s = std::to_string(p.real_index) + " " + std::to_string(p.equal_columns) + " " +
                    std::to_string(int(p.low)) + " " + std::to_string(int(p.high)) + " " + std::to_string(int(p.like));
    return s;
}

std::optional<OrderPlan> planOrder(const jet::TableDef& t, const std::vector<std::pair<int, bool>>& order_by,
                                   jet::TextSortOrder collation) {
    if (order_by.empty()) return std::nullopt;
    for (size_t number = 0; number < t.real_indexes.size(); ++number) {
        const jet::RealIndex& index = t.real_indexes[number];
        if (index.flags & jet::kIndexIgnoreNulls || index.columns.size() < order_by.size()) continue;
        bool fits = true, backwards = false;
        for (size_t i = 0; fits && i < order_by.size(); ++i) {
            int column = columnPosition(t, index.columns[i].column_number);
            const auto& [wanted, descending] = order_by[i];
            bool against = descending == index.columns[i].ascending;
            fits = column == wanted && lookupKind(t.columns[size_t(column)]) &&
                   rangeKind(t.columns[size_t(column)], collation) && (i == 0 || against == backwards);
            if (i == 0) backwards = against;
        }
        if (fits) return OrderPlan{number, backwards};
    }
    return std::nullopt;
}

std::string planText(const OrderPlan& p) { return std::to_string(p.real_index) + " " + std::to_string(int(p.backwards)); }

OrderPlan orderPlanOf(const std::string& text) {
    OrderPlan p;
    char* at = const_cast<char*>(text.c_str());
    p.real_index = std::strtoul(at, &at, 10);
    p.backwards = std::strtol(at, &at, 10) != 0;
    return p;
}

std::vector<jet::RowId> orderedRows(const jet::Database& db, const jet::TableDef& t, const OrderPlan& plan) {
    std::vector<jet::RowId> rows =
        jet::scanRange(db.pager(), db.format(), t, t.real_indexes.at(plan.real_index), std::nullopt, std::nullopt);
    if (plan.backwards) std::reverse(rows.begin(), rows.end());
    return rows;
}

LookupPlan planOf(const std::string& text) {
    LookupPlan p;
    char* at = const_cast<char*>(text.c_str());
    p.real_index = std::strtoul(at, &at, 10);
    p.equal_columns = std::strtoul(at, &at, 10);
    p.low = std::strtol(at, &at, 10) != 0;
    p.high = std::strtol(at, &at, 10) != 0;
    p.like = std::strtol(at, &at, 10) != 0;
    return p;
}

std::optional<std::vector<jet::RowId>> lookupRows(const jet::Database& db, const jet::TableDef& t,
                                                  const LookupPlan& plan, sqlite3_value** args) {
    if (plan.real_index >= t.real_indexes.size()) return std::nullopt;
    const jet::RealIndex& index = t.real_indexes[plan.real_index];
    size_t arg = 0;
    std::vector<std::vector<Value>> choices;
    for (size_t i = 0; i < plan.equal_columns; ++i) {
        const jet::Column& c = t.columns.at(size_t(columnPosition(t, index.columns.at(i).column_number)));
        std::vector<Value> values;
        bool told = eachValue(args[arg++], [&](sqlite3_value* v) {
            if (c.type == jet::kText) {
                std::vector<Value> matching = textValues(v);
                values.insert(values.end(), matching.begin(), matching.end());
                return true;
            }
            std::optional<std::vector<Value>> matching = equalValues(c, Argument(v));
            if (matching) values.insert(values.end(), matching->begin(), matching->end());
            return matching.has_value();
        });
        if (!told) return std::nullopt;
        if (values.empty()) return std::vector<jet::RowId>();
        choices.push_back(std::move(values));
    }
    if (plan.like) return likeRows(db, t, index, prefixes(choices), args[arg]);
    Limit low, high;
    bool ascending = true;
    if (plan.low || plan.high) {
        const jet::IndexColumn& ic = index.columns.at(plan.equal_columns);
        const jet::Column& c = t.columns.at(size_t(columnPosition(t, ic.column_number)));
        ascending = ic.ascending;
        auto limit = [&](bool upper) {
            sqlite3_value* v = args[arg++];
            return c.type == jet::kText ? textLimit(v, upper) : rangeLimit(c, Argument(v), upper);
        };
        if (plan.low) low = limit(false);
        if (plan.high) high = limit(true);
        if (low.kind == Limit::Nothing || high.kind == Limit::Nothing) return std::vector<jet::RowId>();
    }
    // A descending column keys its larger values first.
    const Limit& first = ascending ? low : high;
    const Limit& last = ascending ? high : low;
    std::vector<jet::RowId> rows;
    try {
        for (const std::vector<Value>& prefix : prefixes(choices)) {
            std::vector<jet::RowId> found =
                jet::scanRange(db.pager(), db.format(), t, index, keyBound(prefix, first), keyBound(prefix, last));
            rows.insert(rows.end(), found.begin(), found.end());
        }
    } catch (const jet::Error& e) {
        if (e.number() != jet::kErrUnsupported) throw;
        return std::nullopt;  // a text the sort order cannot key
    }
    return inStorageOrder(std::move(rows));
}

}  // namespace ado::sql
