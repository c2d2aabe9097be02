// What a backend gives the access interface: named tables whose rows can be
// scanned in order and read again by key. The Jet engine is one backend.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "types.h"

namespace ado {

// The rows of one source, in a fixed order.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    // The next row in order: its key, and its values when `values` is given.
    virtual bool next(uint64_t& key, std::vector<Value>* values) = 0;
    // The row with `key`, as `next` returned it.
    virtual void read(uint64_t key, std::vector<Value>& values) = 0;
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
};

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
