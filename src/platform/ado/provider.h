// SPDX-License-Identifier: Apache-2.0
// What a backend gives the access interface: named tables whose rows can be
// scanned in order, read again by key and, for sources over one stored
// table, changed; and statements run. The Jet engine is one backend.
//
// A key names one row for as long as the row exists: a later source over
// the same table gives the same row the same key.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ado/types.h"

namespace ado {

// The rows of one source, in a fixed order.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    // The next row in order: its key, and its values when `values` is given.
    virtual bool next(uint64_t& key, std::vector<Value>* values) = 0;
    // The row with `key`, as `next` returned it; raises 3021 when the row
    // is no longer there.
    virtual void read(uint64_t key, std::vector<Value>& values) = 0;
    // Bracket a run of next() and read() calls that is to see the rows as
    // one read (a bunch): another process's change lands before or after
    // it, never inside. They nest.
    virtual void beginRead() {}
    virtual void endRead() {}

    // Writing; a source that cannot write raises 3251 from each of these.
    // A change is one (field number, value) pair.
    using Changes = std::vector<std::pair<size_t, Value>>;
    virtual bool updatable() const { return false; }
    // `value` as field `field` stores it: a text is converted to the field's
    // type as the backend converts it; raises when it does not convert or
    // does not fit.
    virtual Value convert(size_t field, const Value& value);
    // Stores `changes` in the row with `key`, all or nothing.
    virtual void update(uint64_t key, const Changes& changes);
    // Inserts a row with `values` (fields not named get their defaults)
    // and returns its key.
    virtual uint64_t insert(const Changes& values);
};

struct TableInfo {
    std::string name;
    std::string type;  // "TABLE", "SYSTEM TABLE", "LINK"
};

class Provider {
public:
    virtual ~Provider() = default;
    virtual std::vector<TableInfo> tables() = 0;
    virtual std::unique_ptr<RowSource> openTable(const std::string& name) = 0;
    // The rows of a statement. This default knows one form only,
    // "SELECT * FROM [name]" (or an unbracketed name), and opens the table.
    virtual std::unique_ptr<RowSource> query(const std::string& statement);
    // Runs one statement and returns the number of rows it changed; this
    // default runs nothing and raises 3251.
    virtual long execute(const std::string& statement);
    // Asks the statement running now, if any, to stop, from another thread
    // or a signal handler: it ends with 3712 and changes nothing.
    virtual void cancel() {}
    // Called now and then while a statement of this provider runs, on the
    // thread that runs it, with the rows it has read so far; an empty
    // function ends the calls. This default never calls it.
    using Progress = std::function<void(uint64_t rows_read)>;
    virtual void setProgress(Progress) {}
    // Values for the parameters of the statements that follow, by name
    // (value as typed); this default takes none and raises 3251.
    virtual void setParameters(const std::vector<std::pair<std::string, std::string>>& values);
};

// The table "SELECT * FROM [name]" or "SELECT * FROM name" reads; nothing
// for a statement of any other form.
std::optional<std::string> SelectedTable(const std::string& statement);

// Rows held in memory (schema rowsets); keys are row numbers.
class MemoryRows : public RowSource {
public:
    MemoryRows(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows)
        : fields_(std::move(fields)), rows_(std::move(rows)) {}
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    bool next(uint64_t& key, std::vector<Value>* values) override;
    void read(uint64_t key, std::vector<Value>& values) override { values = rows_.at(key); }

private:
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<Value>> rows_;
    size_t next_ = 0;
};

}  // namespace ado
