#include "recordset.h"

#include <cctype>

#include "connection.h"
#include "error.h"
#include "jet/table_def.h"

namespace ado {

namespace {

[[noreturn]] void noCurrentRecord() {
    throw Error(kErrNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. "
                "Requested operation requires a current record.");
}

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && (std::isspace(static_cast<unsigned char>(s[e - 1])) || s[e - 1] == ';')) --e;
    return s.substr(b, e - b);
}

// Consumes `word` (any case) and the blanks after it.
bool eat(const std::string& s, size_t& pos, const std::string& word) {
    if (s.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
    size_t end = pos + word.size();
    if (end < s.size() && std::isalnum(static_cast<unsigned char>(s[end])) && std::isalnum(static_cast<unsigned char>(word.back())))
        return false;
    pos = end;
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    return true;
}

// The table named by "SELECT * FROM [name]" or "SELECT * FROM name".
std::string tableOf(const std::string& source) {
    std::string s = trim(source);
    size_t pos = 0;
    if (s.empty() || !eat(s, pos, "select") || !eat(s, pos, "*") || !eat(s, pos, "from") || pos >= s.size())
        throw Error(kErrCommandText, s.empty() ? "The statement is empty."
                                               : "Syntax error: only SELECT * FROM a table can be opened: " + s);
    std::string rest = s.substr(pos);
    if (rest.front() == '[') {
        if (rest.back() != ']' || rest.size() < 3 || rest.find(']') != rest.size() - 1)
            throw Error(kErrCommandText, "Syntax error in the table name: " + rest);
        return rest.substr(1, rest.size() - 2);
    }
    for (char c : rest)
        if (std::isspace(static_cast<unsigned char>(c)))
            throw Error(kErrCommandText, "Syntax error in the statement: " + s);
    return rest;
}

}  // namespace

const std::string& Field::Name() const { return owner_->info()[index_].name; }
DataType Field::Type() const { return owner_->info()[index_].type; }
const Value& Field::GetValue() const { return owner_->current(index_); }

Field& Fields::Item(long index) {
    if (index < 0 || size_t(index) >= fields_.size())
        throw Error(kErrItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return fields_[size_t(index)];
}

Field& Fields::Item(const std::string& name) {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (jet::sameName((*info_)[i].name, name)) return fields_[i];
    throw Error(kErrItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

Recordset::~Recordset() {
    if (rows_) Close();
}

void Recordset::Open(const std::string& source, Connection& connection, CursorType cursor, LockType, long) {
    if (rows_) throw Error(kErrObjectOpen, "Operation is not allowed when the object is open.");
    std::string table = tableOf(source);
    OpenRows(connection.provider().openTable(table), connection, cursor);
}

void Recordset::OpenRows(std::unique_ptr<RowSource> rows, Connection& connection, CursorType cursor) {
    if (rows_) throw Error(kErrObjectOpen, "Operation is not allowed when the object is open.");
    cursor_ = cursor;
    keys_.clear();
    position_ = 0;
    at_end_ = false;
    loaded_ = -1;
    if (cursor != adOpenForwardOnly) {
        uint64_t key;
        while (rows->next(key, nullptr)) keys_.push_back(key);
    } else if (uint64_t key; rows->next(key, &values_)) {
        loaded_ = 0;
    } else {
        at_end_ = true;
    }
    rows_ = std::move(rows);
    fields_.info_ = &rows_->fields();
    fields_.fields_.clear();
    for (size_t i = 0; i < rows_->fields().size(); ++i) fields_.fields_.emplace_back(this, i);
    connection_ = &connection;
    connection.attach(this);
}

void Recordset::Close() {
    requireOpen();
    connection_->detach(this);
    connection_ = nullptr;
    rows_.reset();
    fields_.fields_.clear();
    fields_.info_ = nullptr;
    keys_.clear();
    values_.clear();
}

void Recordset::requireOpen() const {
    if (!rows_) throw Error(kErrObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::requireScrollable() const {
    requireOpen();
    if (cursor_ == adOpenForwardOnly) throw Error(kErrNotSupported, "Rowset does not support fetching backward.");
}

void Recordset::requireRow() const {
    if (Eof() || Bof()) noCurrentRecord();
}

const std::vector<FieldInfo>& Recordset::info() const {
    requireOpen();
    return rows_->fields();
}

bool Recordset::Eof() const {
    requireOpen();
    return cursor_ == adOpenForwardOnly ? at_end_ : position_ >= long(keys_.size());
}

bool Recordset::Bof() const {
    requireOpen();
    return cursor_ == adOpenForwardOnly ? at_end_ && position_ == 0 : position_ < 0 || keys_.empty();
}

const Value& Recordset::current(size_t field) {
    requireRow();
    if (loaded_ != position_) {
        rows_->read(keys_[size_t(position_)], values_);
        loaded_ = position_;
    }
    return values_.at(field);
}

void Recordset::stepForward() {
    uint64_t key;
    ++position_;
    if (rows_->next(key, &values_)) loaded_ = position_;
    else at_end_ = true;
}

void Recordset::moveTo(long position) {
    long count = long(keys_.size());
    position_ = position < 0 ? -1 : position > count ? count : position;
}

void Recordset::MoveNext() {
    requireOpen();
    if (Eof()) noCurrentRecord();
    if (cursor_ == adOpenForwardOnly) stepForward();
    else moveTo(position_ + 1);
}

void Recordset::MovePrevious() {
    requireScrollable();
    if (Bof()) noCurrentRecord();
    moveTo(position_ - 1);
}

void Recordset::MoveFirst() {
    requireOpen();
    if (cursor_ == adOpenForwardOnly) {
        if (position_ != 0) requireScrollable();
        return;
    }
    moveTo(0);
}

void Recordset::MoveLast() {
    requireScrollable();
    moveTo(keys_.empty() ? 0 : long(keys_.size()) - 1);
}

void Recordset::Move(long count) {
    requireOpen();
    if (count == 0) return;
    if ((count > 0 && Eof()) || (count < 0 && Bof())) noCurrentRecord();
    if (cursor_ == adOpenForwardOnly) {
        if (count < 0) requireScrollable();
        while (count-- > 0 && !at_end_) stepForward();
        return;
    }
    moveTo(position_ + count);
}

long Recordset::Bookmark() const {
    requireScrollable();
    requireRow();
    return position_ + 1;
}

void Recordset::SetBookmark(long bookmark) {
    requireScrollable();
    if (bookmark < 1 || bookmark > long(keys_.size()))
        throw Error(kErrInvalidArgument, "The bookmark is not valid for this recordset.");
    position_ = bookmark - 1;
}

long Recordset::RecordCount() const {
    requireOpen();
    return cursor_ == adOpenForwardOnly ? -1 : long(keys_.size());
}

std::vector<std::vector<Value>> Recordset::GetRows(long rows) {
    requireOpen();
    if (Eof()) noCurrentRecord();
    size_t field_count = rows_->fields().size();
    std::vector<std::vector<Value>> out(field_count);
    for (long n = 0; (rows < 0 || n < rows) && !Eof(); ++n) {
        for (size_t f = 0; f < field_count; ++f) out[f].push_back(current(f));
        MoveNext();
    }
    return out;
}

Fields& Recordset::GetFields() {
    requireOpen();
    return fields_;
}

}  // namespace ado
