// SPDX-License-Identifier: Apache-2.0
// Tables made up in memory and served through a connection as if they came
// from a file: any number of rows and fields, without writing a database.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ado/provider.h"

namespace uitest {

struct MemoryTable {
    std::string name;
    std::vector<ado::FieldInfo> fields;
    long rows = 0;
    // The value of field `field` in row `row` (both from 0); by default the
    // text "r<row+1>c<field+1>".
    std::function<ado::Value(long row, size_t field)> value;
    // Reading this row (from 0) raises a damaged-file error.
    long failing_row = -1;
    // When set, the table takes updates and keeps them here, by row (from
    // 0) and field; reading a row shows them.
    std::shared_ptr<std::map<long, std::map<size_t, ado::Value>>> updates;
};

MemoryTable Table(std::string name, std::vector<ado::FieldInfo> fields, long rows,
                  std::function<ado::Value(long row, size_t field)> value = {});

// The rows of `table`, which must outlive them.
std::unique_ptr<ado::RowSource> Rows(const MemoryTable& table);

// `count` text fields named F1, F2, ...
std::vector<ado::FieldInfo> TextFields(size_t count);

class MemoryProvider : public ado::Provider {
public:
    explicit MemoryProvider(std::vector<MemoryTable> tables) : tables_(std::move(tables)) {}
    std::vector<ado::TableInfo> tables() override;
    std::unique_ptr<ado::RowSource> openTable(const std::string& name) override;

private:
    std::vector<MemoryTable> tables_;
};

}  // namespace uitest
