// SPDX-License-Identifier: Apache-2.0
#include "migrate_views.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "ado/error.h"
#include "sql/saved_query.h"

namespace {

struct Token {
    enum Kind { Word, Name, Text, Date, Number, Symbol } kind;
    std::string text;
};

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80);
}

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Access SQL as tokens; throws the reason for what it cannot split.
std::vector<Token> tokens(const std::string& sql) {
    std::vector<Token> out;
    for (size_t i = 0; i < sql.size();) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '[' || c == '#') {
            size_t end = sql.find(c == '[' ? ']' : '#', i + 1);
            if (end == std::string::npos) throw std::string("its SQL has an unclosed ") + c;
            out.push_back({c == '[' ? Token::Name : Token::Date, sql.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (c == '"' || c == '\'') {
            std::string text;
            for (++i;; ++i) {
                if (i >= sql.size()) throw std::string("its SQL has an unclosed text");
                if (sql[i] == c && (i + 1 >= sql.size() || sql[i + 1] != c)) break;
                if (sql[i] == c) ++i;
                text += sql[i];
            }
            out.push_back({Token::Text, text});
            ++i;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t end = i;
            while (end < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[end])) || sql[end] == '.')) ++end;
            out.push_back({Token::Number, sql.substr(i, end - i)});
            i = end;
        } else if (isWordChar(c)) {
            size_t end = i;
            while (end < sql.size() && isWordChar(sql[end])) ++end;
            out.push_back({Token::Word, sql.substr(i, end - i)});
            i = end;
        } else {
            std::string two = sql.substr(i, 2);
            bool pair = two == "<>" || two == "<=" || two == ">=";
            out.push_back({Token::Symbol, pair ? two : std::string(1, c)});
            i += pair ? 2 : 1;
        }
    }
    return out;
}

// #m/d/y# as the ISO text the targets compare dates with; two-digit years
// as Access reads them (30 to 99 in the 1900s).
std::string isoDate(const std::string& access) {
    int month = 0, day = 0, year = 0;
    char rest = 0;
    if (std::sscanf(access.c_str(), "%d/%d/%d%c", &month, &day, &year, &rest) != 3 || month < 1 || month > 12 ||
        day < 1 || day > 31)
        throw "the date #" + access + "# has no translation";
    if (access.substr(access.rfind('/') + 1).size() <= 2) year += year < 30 ? 2000 : 1900;
    char iso[32];
    std::snprintf(iso, sizeof iso, "'%04d-%02d-%02d 00:00:00'", year, month, day);
    return iso;
}

const std::set<std::string> kKeywords = {"SELECT", "DISTINCT", "FROM", "WHERE", "INNER", "LEFT", "RIGHT", "OUTER",
                                         "JOIN", "ON", "GROUP", "BY", "HAVING", "ORDER", "ASC", "DESC", "AS", "AND",
                                         "OR", "NOT", "IN", "BETWEEN", "IS", "NULL", "UNION", "ALL"};
const std::set<std::string> kAggregates = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
const std::set<std::string> kComparisons = {"=", "<>", "<", ">", "<=", ">="};

class Translation {
public:
    Translation(const jet::Database& db, Target target, const std::vector<std::string>& tables,
                const std::vector<std::string>& queries)
        : db_(db), target_(target), tables_(tables), queries_(queries) {}

    // The target's SELECT; throws the reason it has none. `reads` gets the
    // saved queries it reads.
    std::string select(const std::string& access, std::set<std::string>& reads) {
        std::vector<Token> ts = tokens(access);
        while (!ts.empty() && ts.back().kind == Token::Symbol && ts.back().text == ";") ts.pop_back();
        bool joins = false, from = false;
        for (const Token& t : ts) {
            std::string word = t.kind == Token::Word ? upper(t.text) : "";
            if (word == "FROM") from = true;
            if (word == "WHERE" || word == "GROUP" || word == "HAVING" || word == "ORDER" || word == "UNION")
                from = false;
            joins = joins || word == "JOIN" || (from && t.kind == Token::Symbol && t.text == ",");
        }
        std::string out, previous;
        int in_list = 0, depth = 0;
        for (size_t i = 0; i < ts.size(); ++i) {
            const Token& t = ts[i];
            std::string piece, word = upper(t.text);
            bool call = i + 1 < ts.size() && ts[i + 1].kind == Token::Symbol && ts[i + 1].text == "(";
            switch (t.kind) {
                case Token::Word:
                    if (word == "DISTINCTROW") {
                        if (joins && !outputFromEverySource(ts)) throw std::string("DISTINCTROW over a join has no translation");
                        continue;  // it changes nothing then
                    }
                    if (word == "ORDER" && target_ == Target::SqlServer) throw std::string("SQL Server takes no ORDER BY in a view");
                    if (word == "TRUE" || word == "YES") piece = literal(target_, true);
                    else if (word == "FALSE" || word == "NO") piece = literal(target_, false);
                    else if (isReserved(word)) throw "the word " + t.text + " has no translation";
                    else if (kKeywords.count(word)) piece = word;
                    else if (call && kAggregates.count(word)) piece = word;
                    else if (call) throw "the function " + t.text + " has no translation";
                    else piece = name(t.text, reads);
                    if (word == "IN" && call) in_list = depth + 1;
                    break;
                case Token::Name: piece = name(t.text, reads); break;
                case Token::Text:
                    if (kComparisons.count(previous) || in_list || previous == "BETWEEN" || previous == "AND" ||
                        (i + 1 < ts.size() && ts[i + 1].kind == Token::Symbol && kComparisons.count(ts[i + 1].text)))
                        throw std::string("text compared with a literal has no translation");
                    piece = literal(target_, t.text);
                    break;
                case Token::Date: piece = isoDate(t.text); break;
                case Token::Number: piece = t.text; break;
                case Token::Symbol:
                    if (t.text == "(") ++depth;
                    if (t.text == ")" && depth-- == in_list) in_list = 0;
                    if (t.text == "&" || t.text == "/" || t.text == "!" || t.text == "?" || t.text == ";")
                        throw "the operator " + t.text + " has no translation";
                    piece = t.text;
                    break;
            }
            bool glue = (t.kind == Token::Symbol && (t.text == "." || t.text == "," || t.text == ")")) ||
                        previous == "." || previous == "(";
            out += (out.empty() || glue ? "" : " ") + piece;
            previous = t.kind == Token::Word ? word : t.kind == Token::Symbol ? t.text : "";
        }
        return out;
    }

private:
    // Whether the first SELECT's fields come from each table of its FROM,
    // where DISTINCTROW is the same as none.
    static bool outputFromEverySource(const std::vector<Token>& ts) {
        auto isWord = [&](size_t i, const char* w) {
            return i < ts.size() && ts[i].kind == Token::Word && upper(ts[i].text) == w;
        };
        auto isSymbol = [&](size_t i, const char* s) {
            return i < ts.size() && ts[i].kind == Token::Symbol && ts[i].text == s;
        };
        auto isName = [&](size_t i) {
            return i < ts.size() && (ts[i].kind == Token::Name || ts[i].kind == Token::Word);
        };
        std::vector<std::string> qualifiers, sources;
        size_t i = 0;
        for (; i < ts.size() && !isWord(i, "FROM"); ++i)
            if (isName(i) && isSymbol(i + 1, ".")) qualifiers.push_back(upper(ts[i].text));
        for (size_t from = i; i < ts.size(); ++i) {
            if (isWord(i, "WHERE") || isWord(i, "GROUP") || isWord(i, "HAVING") || isWord(i, "ORDER") ||
                isWord(i, "UNION"))
                break;
            bool after = i == from + 1 || isWord(i - 1, "JOIN") || isSymbol(i - 1, ",") || isSymbol(i - 1, "(");
            if (i > from && after && isName(i) && !isSymbol(i + 1, ".") && !isWord(i, "SELECT"))
                sources.push_back(upper(isWord(i + 1, "AS") && isName(i + 2) ? ts[i + 2].text : ts[i].text));
        }
        return !sources.empty() && std::all_of(sources.begin(), sources.end(), [&](const std::string& source) {
            return std::find(qualifiers.begin(), qualifiers.end(), source) != qualifiers.end();
        });
    }

    // Words Access reads as something this translation does not carry:
    // LIKE, TOP, PARAMETERS and the like.
    static bool isReserved(const std::string& word) {
        static const std::set<std::string> reserved = {"LIKE", "TOP", "PERCENT", "PARAMETERS", "TRANSFORM", "PIVOT",
                                                       "INTO", "WITH", "OWNERACCESS", "EXISTS", "ANY", "SOME", "MOD",
                                                       "XOR", "EQV", "IMP"};
        return reserved.count(word);
    }

    std::string name(const std::string& n, std::set<std::string>& reads) {
        for (const std::string& q : queries_)
            if (jet::sameName(q, n)) {
                reads.insert(q);
                return quotedName(target_, q);
            }
        for (const std::string& table : db_.userTables())
            if (jet::sameName(table, n)) {
                if (std::none_of(tables_.begin(), tables_.end(),
                                 [&](const std::string& m) { return jet::sameName(m, n); }))
                    throw "it reads the table " + table + ", which does not move";
                return quotedName(target_, table);
            }
        for (const std::string& table : tables_)
            for (const jet::Column& c : db_.table(table).columns)
                if (jet::sameName(c.name, n)) return quotedName(target_, c.name);
        return quotedName(target_, n);  // an alias
    }

    const jet::Database& db_;
    Target target_;
    const std::vector<std::string>& tables_;
    const std::vector<std::string>& queries_;
};

}  // namespace

std::vector<View> planViews(const jet::Database& db, Target target, const std::vector<std::string>& moved_tables) {
    std::vector<ado::sql::SavedQuery> saved = ado::sql::savedQueries(db);
    std::vector<std::string> names;
    for (const auto& q : saved) names.push_back(q.name);
    struct Pending {
        View view;
        std::set<std::string> reads;
    };
    std::vector<Pending> pending;
    for (const auto& q : saved) {
        Pending p{{q.name, "", ""}, {}};
        if (q.kind != ado::sql::QueryKind::Select && q.kind != ado::sql::QueryKind::Union) {
            p.view.skipped = "not a select query";
        } else if (!q.parameters.empty()) {
            p.view.skipped = "it takes parameters";
        } else {
            try {
                p.view.create = "CREATE VIEW " + quotedName(target, q.name) + " AS " +
                                Translation(db, target, moved_tables, names).select(q.sql, p.reads);
            } catch (const std::string& reason) {
                p.view.skipped = reason;
            }
        }
        pending.push_back(p);
    }
    // Each view after those it reads; one that reads a skipped one is skipped.
    std::vector<View> ordered;
    std::map<std::string, bool> created;  // the views placed, and whether made
    for (bool progress = true; progress && ordered.size() < pending.size();) {
        progress = false;
        for (Pending& p : pending) {
            if (created.count(p.view.name)) continue;
            if (!p.view.create.empty()) {
                if (std::any_of(p.reads.begin(), p.reads.end(),
                                [&](const std::string& r) { return !created.count(r); }))
                    continue;
                for (const std::string& r : p.reads)
                    if (!created[r]) {
                        p.view.create.clear();
                        p.view.skipped = "it reads " + r + ", which is skipped";
                    }
            }
            created[p.view.name] = !p.view.create.empty();
            ordered.push_back(p.view);
            progress = true;
        }
    }
    for (Pending& p : pending)
        if (!created.count(p.view.name)) ordered.push_back({p.view.name, "", "it reads itself through other queries"});
    return ordered;
}
