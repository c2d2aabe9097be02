// SPDX-License-Identifier: Apache-2.0
// Recordset: the rows of one source and a position among them.
//
// Static, keyset and dynamic cursors take the keys of all rows when opened,
// so RecordCount is exact and a Bookmark (the 1-based position) can be set
// back; values are read when a row becomes current. A forward-only cursor
// streams the rows and can only move ahead.
//
// Positions: -1 is BOF, 0 .. count-1 a row, count is EOF.
//
// Writing needs a lock other than adLockReadOnly and a source that can
// write. A value set on a field stays pending until Update stores the
// current row's changes, or inserts the row AddNew began, which then is the
// current row, after the others. Moving to another row stores pending
// changes first, as ADO does; CancelUpdate and Close drop them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ado/provider.h"
#include "ado/types.h"

namespace ado {

class Connection;
class Recordset;

class Field {
public:
    Field(Recordset* owner, size_t index) : owner_(owner), index_(index) {}
    const std::string& Name() const;
    DataType Type() const;
    // The value in the current row; raises 3021 at BOF or EOF.
    const Value& GetValue() const;
    // Sets the value pending for the current (or the new) row; a text is
    // converted to the field's type at once, raising when it does not convert.
    void SetValue(const Value& value);

private:
    Recordset* owner_;
    size_t index_;
};

class Fields {
public:
    long Count() const { return long(fields_.size()); }
    // By zero-based number, or by name without regard to case; 3265 if none.
    Field& Item(long index);
    Field& Item(const std::string& name);
    Field& operator[](long index) { return Item(index); }
    Field& operator[](const std::string& name) { return Item(name); }

private:
    friend class Recordset;
    std::vector<Field> fields_;
    const std::vector<FieldInfo>* info_ = nullptr;
};

class Recordset {
public:
    Recordset() = default;
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Opens "SELECT * FROM [name]" or "SELECT * FROM name" on `connection`.
    void Open(const std::string& source, Connection& connection, CursorType cursor = adOpenForwardOnly,
              LockType lock = adLockReadOnly, long options = adCmdUnspecified);
    // Opens rows a connection supplies itself (schema rowsets).
    void OpenRows(std::unique_ptr<RowSource> rows, Connection& connection, CursorType cursor,
                  LockType lock = adLockReadOnly);
    void Close();
    ObjectState State() const { return rows_ ? adStateOpen : adStateClosed; }

    bool Eof() const;
    bool Bof() const;
    void MoveNext();
    void MovePrevious();
    void MoveFirst();
    void MoveLast();
    void Move(long count);
    long Bookmark() const;
    void SetBookmark(long bookmark);
    long RecordCount() const;
    // Up to `rows` rows from the current one (all with adGetRowsRest), as
    // [field][row]; the position ends after the last row read.
    std::vector<std::vector<Value>> GetRows(long rows = adGetRowsRest);

    Fields& GetFields();

    // Makes the reads of `rs` while it lives one read (see
    // RowSource::beginRead): the rows a grid shows as a bunch.
    class Reading {
    public:
        explicit Reading(Recordset& rs) : rows_(rs.rows_.get()) {
            if (rows_) rows_->beginRead();
        }
        ~Reading() {
            if (rows_) rows_->endRead();
        }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

    private:
        RowSource* rows_;
    };

    void AddNew();
    void Update();
    void CancelUpdate();
    EditMode GetEditMode() const;

    // The current row's identity, which stays the row's in every recordset
    // on the same table, where a Bookmark is only a position in this one.
    uint64_t RowKey() const;
    // Makes the row with `key` current; 3021 when this recordset has none.
    // A forward-only cursor reads that row directly, and a MoveNext after
    // it goes on with the scan from where the scan stood.
    void MoveToRowKey(uint64_t key);

private:
    friend class Field;
    const std::vector<FieldInfo>& info() const;
    const Value& current(size_t field);
    void requireOpen() const;
    void requireScrollable() const;
    void requireRow() const;
    void stepForward();
    void moveTo(long position);
    void requireWritable() const;
    void storePending();

    std::unique_ptr<RowSource> rows_;
    Connection* connection_ = nullptr;
    CursorType cursor_ = adOpenForwardOnly;
    Fields fields_;
    std::vector<uint64_t> keys_;  // scrollable cursors
    long position_ = 0;
    bool at_end_ = false;          // forward-only: past the last row
    std::vector<Value> values_;    // of the current row
    long loaded_ = -1;             // position whose values are in values_
    uint64_t streamed_key_ = 0;    // forward-only: the current row's key
    LockType lock_ = adLockReadOnly;
    EditMode edit_ = adEditNone;
    RowSource::Changes pending_;
};

}  // namespace ado
