// SPDX-License-Identifier: Apache-2.0
// What a target server makes of an Access table: the names, the column
// types and the literals of migrate_script, for PostgreSQL, SQL Server and
// SQLite.
//
//   Access            PostgreSQL          SQL Server        SQLite
//   Text(n)           varchar(n)          nvarchar(n)       text
//   Memo              text                nvarchar(max)     text
//   Byte              smallint            tinyint           integer
//   Integer           smallint            smallint          integer
//   Long              integer             int               integer
//   AutoNumber        integer identity    int IDENTITY      integer
//   Large Number      bigint              bigint            integer
//   Currency          numeric(19,4)       decimal(19,4)     text (exact)
//   Decimal(p,s)      numeric(p,s)        decimal(p,s)      text (exact)
//   Single            real                real              real
//   Double            double precision    float             real
//   Date/Time         timestamp(0)        datetime2(0)      text, ISO form
//   Yes/No            boolean             bit               integer 0/1
//   GUID              uuid                uniqueidentifier  text
//   Binary(n)         bytea               varbinary(n)      blob
//   OLE Object        bytea               varbinary(max)    blob
//
// Names keep their spelling inside the target's quotes. A name longer than
// the target takes (PostgreSQL: 63 bytes, SQL Server: 128 characters) is
// cut to that length at a character boundary. Index and constraint names
// are table_name, for PostgreSQL and SQLite keep them in one namespace.
#pragma once

#include <optional>
#include <string>

#include "ado/types.h"
#include "jet/format.h"
#include "jet/table_def.h"

enum class Target { PostgreSql, SqlServer, Sqlite };

// "postgresql", "sqlserver" or "sqlite".
std::optional<Target> targetNamed(const std::string& name);

// `name` as the target stores it: cut where it is too long.
std::string targetName(Target target, const std::string& name);
// `name` as one identifier of the target, quoted.
std::string quotedName(Target target, const std::string& name);

// The column type, with identity where the column is an AutoNumber; empty
// for the kinds that do not move (attachments, multi-valued fields).
std::string columnType(Target target, const jet::Column& column, const jet::Format& format);

// An Access default value as the target's literal for `column`: numbers,
// text in quotes, True/False/Yes/No; empty for any other expression (a
// function, a date, arithmetic), which has no translation here.
std::string defaultLiteral(Target target, const jet::Column& column, const std::string& expression);

// `value` as a literal of the target, exact: text in its Unicode, numbers
// with all their digits, dates to the second; NULL for Null.
std::string literal(Target target, const ado::Value& value);

// `value` as one field of PostgreSQL's COPY text form: \N for Null, the
// text with backslash, tab, newline and return escaped.
std::string copyField(const ado::Value& value);
