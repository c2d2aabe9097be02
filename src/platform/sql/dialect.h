// SPDX-License-Identifier: Apache-2.0
// Access SQL as users type it, turned into what the SQL layer runs.
//
// Row statements (SELECT, INSERT, UPDATE, DELETE, and the SELECT of a
// SELECT ... INTO) become SQLite text over virtual tables named as the Jet
// tables are, quoted with double quotes. Statements that change the schema
// are parsed into their parts, since the engine, not SQLite, carries them out.
//
// Values meet SQLite as: Null; whole numbers and Boolean (True = -1) as
// integers; Single, Double and Currency as reals; Date/Time as a real in
// Jet's days since 30 December 1899; text as text; binary as blobs. A
// #date# literal becomes such a real, so it compares with date columns.
//
// Exactly one statement per text: a second statement after ";" is an error.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/text_key.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace ado::sql {

enum class StatementKind { Select, Insert, Update, Delete, SelectInto, CreateTable, DropTable, AddColumn };

// A column of CREATE TABLE or ALTER TABLE ... ADD COLUMN, its type as Jet's
// DDL names it, upper-cased (TEXT, MEMO, BYTE, SHORT, LONG, SINGLE, DOUBLE,
// CURRENCY, DATETIME, YESNO, OLEOBJECT, GUID, COUNTER; synonyms folded onto
// these), `size` the n of TEXT(n), 0 where none was given.
struct ColumnDecl {
    std::string name;
    std::string type;
    int size = 0;
    bool not_null = false;
    bool primary_key = false;
};

// A crosstab (TRANSFORM ... PIVOT) has a column per pivot value, known
// only from the rows unless PIVOT ... IN lists them: its parts wait for the
// headings, and pivotColumns() writes the SQLite text once they are known.
struct Crosstab {
    std::string head;  // "SELECT" and the row headings
    std::string rest;  // FROM to ORDER BY
    std::string cell;  // the TRANSFORM value, each aggregate filtered on kPivotCondition
    std::string pivot;  // the PIVOT expression
    std::string key;   // a row's heading as text, Null for a Null pivot value
    // The headings in Access's order, one text (or Null) a row, where no IN
    // list gave them; else the IN list's headings and the values they match.
    std::string headings;
    std::vector<std::pair<std::string, std::string>> listed;
    bool cell_date = false;
};
inline constexpr const char* kPivotCondition = "\x01";

struct Statement {
    StatementKind kind = StatementKind::Select;
    // The SQLite text: the whole statement for row statements, the SELECT
    // for SelectInto, empty for the schema statements.
    std::string sqlite;
    // The table created, dropped, altered or written into (INSERT, UPDATE,
    // DELETE, SelectInto); empty for a plain SELECT.
    std::string target;
    std::vector<ColumnDecl> columns;  // CreateTable, AddColumn
    // Every stored table the statement reads or writes, as typed (brackets
    // removed), so the caller can make each known to SQLite first.
    std::vector<std::string> tables;
    // Per result column of a SELECT, the Jet type of an expression SQLite
    // hands back as a real: kDateTime for a date (a #date# literal, Now(),
    // DateSerial, Max of a date ...), kCurrency for a Currency (CCur, Sum
    // of a Currency ...), else 0.
    std::vector<uint8_t> result_types;
    std::optional<Crosstab> crosstab;  // set for a crosstab, whose `sqlite` pivotColumns() writes
};

// Raises ado::Error: 3000-range Jet numbers as Access gives them where one
// fits (3075 syntax error in expression, 3085 undefined function, 3131
// syntax error in FROM, 3134 INSERT INTO, 3144 UPDATE, 3290 CREATE TABLE,
// 3295 DROP, 3293 ALTER TABLE, 3319 syntax in union...), else -2147217900.
// `column_type`, where given, gives the Jet type of a field (with the table
// or alias that qualifies it, else ""), 0 where unknown, so that results
// computed from a Date/Time or Currency column (Max, a date plus days, a
// Sum, IIf ...) are typed as it is.
//
// A statement may open with "PARAMETERS [name] Type, ...;". A name that is a
// declared parameter, or one that `parameters` gives a value for, is that
// value, read as its declared type (text, a number, a date, Yes/No) or,
// undeclared, as a number, else a date, else text. A parameter declared and
// used without a value raises -2147217904.
using ColumnType = std::function<uint8_t(const std::string& qualifier, const std::string& field)>;
using ParameterValues = std::vector<std::pair<std::string, std::string>>;  // name, value as typed
Statement translate(const std::string& access_sql, const ColumnType& column_type = {},
                    const ParameterValues& parameters = {});

// Writes the SQLite text of the crosstab `st` with a column per heading
// (Null for the rows whose pivot value is Null, named "<>" as Access does),
// or with the IN list's columns where `found` is not given.
void pivotColumns(Statement& st, const std::vector<std::optional<std::string>>* found);

// Whether the SQLite text of `st` (a Select or SelectInto) is the whole of
// its one table, "SELECT * FROM t" with nothing more, which the engine
// itself can scan or copy.
bool readsWholeTable(const Statement& st);

// The functions Access SQL offers (Len, Left, Mid, IIf, Nz, Format ...) and
// the text collation Access compares with (case-insensitive, in the sort
// order `text_order` names, which outlives the connection), made known to
// one SQLite connection.
void registerFunctions(sqlite3* db, const jet::TextSortOrder& text_order);

// LIKE as Access reads a pattern, the function "jet_like(text, pattern)"
// stands for: the virtual tables overload it with itself, which offers the
// pattern to their indexes.
void accessLike(sqlite3_context* context, int argc, sqlite3_value** argv);

// A failed function call leaves "[number] description" as SQLite's
// message: true, with the two parts, when `message` is such a one.
bool functionError(const std::string& message, long& number, std::string& description);

// The collation name text columns of the virtual tables declare.
inline constexpr const char* kTextCollation = "ACCESSTEXT";

}  // namespace ado::sql
