// SPDX-License-Identifier: Apache-2.0
#include "sql/session.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "ado/error.h"
#include "sql/saved_query.h"
#include "sql/text.h"

namespace ado::sql {

namespace {

// Virtual machine steps between two calls of the progress handler: well
// under a millisecond, so a cancel is felt at once; the calls cost nothing
// measurable.
constexpr int kProgressSteps = 1000;

std::string folded(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string quotedName(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

[[noreturn]] void noSuchTable(const std::string& name) {
    throw Error(jet::kErrNoSuchTable, "The Microsoft Jet database engine cannot find the input table or query '" + name +
                                          "'. Make sure it exists and that its name is spelled correctly.");
}

// The name SQLite's message ends with, after `prefix`.
bool messageNames(const std::string& message, const std::string& prefix, std::string& name) {
    if (message.compare(0, prefix.size(), prefix) != 0) return false;
    name = message.substr(prefix.size());
    return true;
}

}  // namespace

void Finalizer::operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }

Session::Session(jet::Database& db) : db_(db) {
    context_.db = &db;
    context_.text_order = textOrderOf(db);
    if (sqlite3_open_v2(":memory:", &sqlite_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(sqlite_);
        throw Error(kErrCommandText, "The SQL engine could not be started.");
    }
    // Sorts (GROUP BY, ORDER BY, DISTINCT) stay in 32 MB of memory and go
    // on in temporary files past that, so a sort of any size is bounded.
    sqlite3_exec(sqlite_, "PRAGMA temp_store = FILE; PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
    sqlite3_progress_handler(sqlite_, kProgressSteps, &Session::onProgress, this);
    registerFunctions(sqlite_, context_.text_order);
    registerModule(sqlite_, context_);
}

Session::~Session() { sqlite3_close_v2(sqlite_); }

void Session::require(const std::string& table) {
    for (const jet::CatalogEntry& e : db_.catalog()) {
        if (!e.isTable() || !jet::sameName(e.name, table)) continue;
        if (known_.count(folded(e.name))) return;
        declare("CREATE VIRTUAL TABLE temp." + quotedName(e.name) + " USING jet", e.name);
        return;
    }
    if (const jet::CatalogEntry* query = findSavedQuery(db_, table)) return requireQuery(*query);
    noSuchTable(table);
}

// A saved query is read as a view over what it reads, made known first;
// one that reads itself, through others or not, is refused.
void Session::requireQuery(const jet::CatalogEntry& entry) {
    if (known_.count(folded(entry.name))) return;
    if (!opening_.insert(folded(entry.name)).second)
        throw Error(3103, "Circular reference caused by the query '" + entry.name + "'.");
    struct Done {
        std::set<std::string>& opening;
        std::string name;
        ~Done() { opening.erase(name); }
    } done{opening_, folded(entry.name)};
    SavedQuery query = readSavedQuery(db_, entry);
    if (query.kind != QueryKind::Select && query.kind != QueryKind::Union && query.kind != QueryKind::Crosstab)
        throw Error(jet::kErrUnsupported, "The query '" + entry.name + "' changes data and cannot be read as a table.");
    Statement st = translate(query.parameters + query.sql, {}, parameters_);
    for (const std::string& t : st.tables) require(t);
    pivot(st);
    declare("CREATE TEMP VIEW " + quotedName(entry.name) + " AS " + st.sqlite, entry.name);
    views_.insert(folded(entry.name));
}

void Session::declare(const std::string& statement, const std::string& name) {
    context_.error.reset();
    int rc = sqlite3_exec(sqlite_, statement.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) raise(rc);
    known_[folded(name)] = name;
}

StatementHandle Session::prepare(const std::string& text, const std::vector<std::string>& tables) {
    for (const std::string& t : tables) require(t);
    context_.error.reset();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(sqlite_, text.c_str(), int(text.size()), 0, &raw, &tail);
    StatementHandle stmt(raw);
    if (rc != SQLITE_OK) raise(rc);
    if (!stmt) throw Error(3129, "The statement is empty.");
    for (; tail && *tail; ++tail)
        if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';')
            throw Error(3142, "Characters found after end of SQL statement.");
    return stmt;
}

bool Session::step(sqlite3_stmt* stmt) {
    context_.error.reset();
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    raise(rc);
}

// Both a flag, which holds for the whole run, between its SQLite statements
// too, and SQLite's own interrupt, for SQLite work outside a run. Each is
// one atomic store, safe in a signal handler.
void Session::interrupt() {
    stop_.store(true, std::memory_order_relaxed);
    sqlite3_interrupt(sqlite_);
}

Session::Run::Run(Session& session) : session_(session) {
    session.stop_.store(false, std::memory_order_relaxed);
    session.context_.rows_read = 0;
    session.running_ = true;
}

int Session::onProgress(void* p) {
    auto* s = static_cast<Session*>(p);
    if (!s->running_) return 0;
    if (s->stop_.load(std::memory_order_relaxed)) return 1;
    if (s->progress_) s->progress_(s->context_.rows_read);
    return 0;
}

void Session::pivot(Statement& st) {
    if (!st.crosstab) return;
    if (st.crosstab->headings.empty()) return pivotColumns(st, nullptr);
    std::vector<std::optional<std::string>> found;
    StatementHandle stmt = prepare(st.crosstab->headings, st.tables);
    while (step(stmt.get())) {
        const unsigned char* text = sqlite3_column_text(stmt.get(), 0);
        if (text) found.emplace_back(reinterpret_cast<const char*>(text));
        else found.emplace_back();
    }
    pivotColumns(st, &found);
}

long Session::changes() const { return long(sqlite3_changes64(sqlite_)); }

void Session::forget(const std::string& table) {
    auto it = std::find_if(known_.begin(), known_.end(), [&](const auto& k) { return jet::sameName(k.second, table); });
    if (it == known_.end()) return;
    context_.error.reset();
    std::string drop = "DROP TABLE temp." + quotedName(it->second);
    int rc = sqlite3_exec(sqlite_, drop.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) raise(rc);
    known_.erase(it);
}

void Session::setParameters(ParameterValues values) {
    parameters_ = std::move(values);
    for (const std::string& view : views_) {
        std::string drop = "DROP VIEW temp." + quotedName(known_[view]);
        int rc = sqlite3_exec(sqlite_, drop.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) raise(rc);
        known_.erase(view);
    }
    views_.clear();
}

void Session::raise(int rc) {
    if (context_.error) {
        jet::Error e = *context_.error;
        context_.error.reset();
        throw e;
    }
    std::string message = sqlite3_errmsg(sqlite_), name;
    long number = 0;
    if (functionError(message, number, name)) throw Error(number, name);
    if (messageNames(message, "no such table: ", name)) {
        if (name.compare(0, 5, "temp.") == 0) name = name.substr(5);
        noSuchTable(name);
    }
    if (messageNames(message, "no such column: ", name))
        throw Error(-2147217904, "No value given for one or more required parameters: the name '" + name +
                                     "' is not a field of the tables the statement reads.");
    if (rc == SQLITE_CONSTRAINT) throw Error(3022, "The changes were not successful: " + message + ".");
    if (rc == SQLITE_INTERRUPT) throw Error(kErrCancelled, "Operation has been cancelled by the user; nothing was changed.");
    // Nesting the translator lets through that SQLite's parser cannot hold.
    if (message == "parser stack overflow" || message.rfind("Expression tree is too large", 0) == 0)
        throw Error(3360, "Query is too complex: " + message + ".");
    throw Error(kErrCommandText, "Syntax error in the statement: " + message + ".");
}

}  // namespace ado::sql
