// SPDX-License-Identifier: Apache-2.0
// A table's definition as its TDEF pages hold it: the counters, the usage
// maps, the columns and the indexes. A TDEF may run over several pages,
// chained by the next-page field of each; the chain is read as one buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format.h"
#include "pager.h"
#include "text.h"

namespace jet {

enum ColumnType : uint8_t {
    kBoolean = 0x01,
    kByte = 0x02,
    kInteger = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kSingle = 0x06,
    kDouble = 0x07,
    kDateTime = 0x08,
    kBinary = 0x09,
    kText = 0x0A,
    kOle = 0x0B,
    kMemo = 0x0C,
    kGuid = 0x0F,
    kNumeric = 0x10,
    kComplex = 0x12,  // attachments, multi-valued fields (ACE)
    kBigInt = 0x13,
    kExtDateTime = 0x14,
};

// Stored size of the fixed-length kinds; 0 for the variable ones.
size_t naturalSize(uint8_t type);

// Jet 3 keeps no sort order version: its columns are marked apart from
// Jet 4's versions, whose keys differ.
constexpr uint8_t kSortVersionJet3 = 0xFF;

struct Column {
    std::string name;
    uint8_t type = 0;
    uint16_t number = 0;     // bit in the null mask; counts deleted columns
    uint16_t var_index = 0;  // entry in a row's variable-offset table
    uint16_t fixed_offset = 0;
    uint16_t length = 0;
    uint8_t flags = 0;
    uint8_t ext_flags = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    uint16_t sort_order = 0;   // text and Memo: the collation's locale id
    uint8_t sort_version = 0;  // and its version (Jet 4), or kSortVersionJet3
    uint32_t complex_id = 0;   // complex columns: the key of their row in MSysComplexColumns

    bool fixedLength() const { return flags & 0x01; }
    bool updatable() const { return flags & 0x02; }
    bool autoNumber() const { return flags & 0x04; }
    bool autoGuid() const { return flags & 0x40; }
    bool calculated() const { return ext_flags & 0xC0; }
    bool compressedText() const { return ext_flags & 0x01; }
};

struct IndexColumn {
    uint16_t column_number;
    bool ascending;
};

// The stored index: its key columns and its B-tree.
constexpr uint8_t kIndexUnique = 0x01, kIndexIgnoreNulls = 0x02, kIndexRequired = 0x08;

struct RealIndex {
    std::vector<IndexColumn> columns;
    uint32_t usage_map = 0;  // row pointer
    uint32_t root_page = 0;
    uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required

    bool unique() const { return flags & 0x01; }
};

// The index as the user sees it; several may share one real index.
struct Index {
    std::string name;
    uint32_t number = 0;
    uint32_t real_index = 0;
    uint8_t kind = 0;  // 1 primary key, 2 foreign key

    bool primaryKey() const { return kind == 1; }
    bool foreignKey() const { return kind == 2; }
};

// Where the long values of one column live (Jet 4): the usage maps of its
// LVAL pages.
struct ColumnMaps {
    uint16_t column_number = 0;
    uint32_t owned_pages = 0;
    uint32_t free_pages = 0;
};

struct TableDef {
    uint32_t page = 0;
    uint32_t row_count = 0;
    uint32_t next_autonumber = 0;
    uint8_t table_type = 0;  // 0x4E user, 0x53 system
    uint16_t max_columns = 0;
    uint16_t var_columns = 0;
    uint32_t owned_pages = 0;  // row pointer to the usage map of data pages
    uint32_t free_pages = 0;
    std::vector<Column> columns;  // by number, the order Access shows
    std::vector<RealIndex> real_indexes;
    std::vector<Index> indexes;
    std::vector<ColumnMaps> column_maps;

    // Index of the column named `name` (case-insensitive), or -1.
    int findColumn(const std::string& name) const;

    static TableDef read(const Pager& pager, const Format& format, const TextCodec& codec, uint32_t page);
};

// Case-insensitive comparison of names, as Jet compares object names.
bool sameName(const std::string& a, const std::string& b);

}  // namespace jet
