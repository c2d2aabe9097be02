// SPDX-License-Identifier: Apache-2.0
#include "ado/recordset.h"

#include <cctype>

#include "ado/connection.h"
#include "ado/error.h"
#include "jet/table_def.h"

namespace ado {

namespace {

[[noreturn]] void noCurrentRecord() {
    throw Error(kErrNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. "
                "Requested operation requires a current record.");
}

}  // namespace

const std::string& Field::Name() const { return owner_->info()[index_].name; }
DataType Field::Type() const { return owner_->info()[index_].type; }
const Value& Field::GetValue() const { return owner_->current(index_); }

void Field::SetValue(const Value& value) {
    owner_->requireWritable();
    if (owner_->edit_ != adEditAdd) owner_->requireRow();
    Value stored = owner_->rows_->convert(index_, value);
    for (auto& [field, pending] : owner_->pending_)
        if (field == index_) {
            pending = std::move(stored);
            return;
        }
    owner_->pending_.emplace_back(index_, std::move(stored));
    if (owner_->edit_ == adEditNone) owner_->edit_ = adEditInProgress;
}

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

void Recordset::Open(const std::string& source, Connection& connection, CursorType cursor, LockType lock, long) {
    if (rows_) throw Error(kErrObjectOpen, "Operation is not allowed when the object is open.");
    OpenRows(connection.provider().query(source), connection, cursor, lock);
}

void Recordset::OpenRows(std::unique_ptr<RowSource> rows, Connection& connection, CursorType cursor, LockType lock) {
    if (rows_) throw Error(kErrObjectOpen, "Operation is not allowed when the object is open.");
    cursor_ = cursor;
    lock_ = lock;
    edit_ = adEditNone;
    pending_.clear();
    keys_.clear();
    position_ = 0;
    at_end_ = false;
    loaded_ = -1;
    if (cursor != adOpenForwardOnly) {
        uint64_t key;
        rows->beginRead();
        try {
            while (rows->next(key, nullptr)) keys_.push_back(key);
        } catch (...) {
            rows->endRead();
            throw;
        }
        rows->endRead();
    } else if (rows->next(streamed_key_, &values_)) {
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
    pending_.clear();
    edit_ = adEditNone;
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
    for (const auto& [f, value] : pending_)
        if (f == field) return value;
    if (edit_ == adEditAdd) {
        static const Value null;
        return null;
    }
    requireRow();
    if (loaded_ != position_) {
        rows_->read(RowKey(), values_);
        loaded_ = position_;
    }
    return values_.at(field);
}

void Recordset::stepForward() {
    ++position_;
    if (rows_->next(streamed_key_, &values_)) loaded_ = position_;
    else at_end_ = true;
}

void Recordset::moveTo(long position) {
    storePending();
    long count = long(keys_.size());
    position_ = position < 0 ? -1 : position > count ? count : position;
}

void Recordset::MoveNext() {
    requireOpen();
    if (Eof()) noCurrentRecord();
    if (cursor_ == adOpenForwardOnly) {
        storePending();
        stepForward();
    } else {
        moveTo(position_ + 1);
    }
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
        storePending();
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
    moveTo(bookmark - 1);
}

long Recordset::RecordCount() const {
    requireOpen();
    return cursor_ == adOpenForwardOnly ? -1 : long(keys_.size());
}

std::vector<std::vector<Value>> Recordset::GetRows(long rows) {
    requireOpen();
    if (Eof()) noCurrentRecord();
    Reading reading(*this);
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

void Recordset::requireWritable() const {
    requireOpen();
    if (lock_ == adLockReadOnly || !rows_->updatable())
        throw Error(kErrNotSupported,
                    "Current Recordset does not support updating. This may be a limitation of the provider, "
                    "or of the selected locktype.");
}

void Recordset::storePending() {
    if (edit_ != adEditNone) Update();
}

void Recordset::AddNew() {
    requireWritable();
    storePending();
    edit_ = adEditAdd;
}

void Recordset::Update() {
    requireWritable();
    if (edit_ == adEditNone) return;
    if (edit_ == adEditAdd) {
        uint64_t key = rows_->insert(pending_);
        if (cursor_ == adOpenForwardOnly) {
            streamed_key_ = key;
        } else {
            keys_.push_back(key);
            position_ = long(keys_.size()) - 1;
        }
    } else {
        rows_->update(RowKey(), pending_);
    }
    pending_.clear();
    edit_ = adEditNone;
    loaded_ = -1;
}

void Recordset::CancelUpdate() {
    requireOpen();
    pending_.clear();
    edit_ = adEditNone;
}

EditMode Recordset::GetEditMode() const {
    requireOpen();
    return edit_;
}

uint64_t Recordset::RowKey() const {
    requireOpen();
    requireRow();
    return cursor_ == adOpenForwardOnly ? streamed_key_ : keys_[size_t(position_)];
}

void Recordset::MoveToRowKey(uint64_t key) {
    requireOpen();
    if (cursor_ == adOpenForwardOnly) {
        // Read straight by the key: a write to one known row then costs the
        // same wherever the row lies, without taking every key first.
        storePending();
        rows_->read(key, values_);
        streamed_key_ = key;
        at_end_ = false;
        loaded_ = position_;
        return;
    }
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) {
            moveTo(long(i));
            return;
        }
    noCurrentRecord();
}

}  // namespace ado
