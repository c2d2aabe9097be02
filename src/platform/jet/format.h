// SPDX-License-Identifier: Apache-2.0
// The per-version layout of a Jet file: page size and the offsets of every
// structure the engine reads. Jet 3 (Access 97) is one layout; Jet 4 and the
// ACE versions (Access 2000 and later) share the other.
#pragma once

#include <cstdint>

namespace jet {

enum class Version : uint8_t { Jet3 = 0, Jet4 = 1, Ace12 = 2, Ace14 = 3, Ace15 = 4, Ace16 = 5, Ace17 = 6 };

struct Format {
    bool jet3;
    uint32_t page_size;

    // Page 0.
    uint32_t header_masked_length;  // bytes RC4-masked from offset 0x18
    uint32_t password_length;       // bytes of stored password at 0x42
    int32_t creation_date_offset;   // -1: no extra password mask
    uint32_t sort_order_offset;

    // Data pages.
    uint32_t data_row_count_offset;  // u16 row count; row offsets follow it

    // Table definition (TDEF) pages.
    uint32_t tdef_row_count;
    uint32_t tdef_autonumber;
    uint32_t tdef_table_type;
    uint32_t tdef_max_cols;
    uint32_t tdef_var_cols;
    uint32_t tdef_col_count;
    uint32_t tdef_logical_index_count;
    uint32_t tdef_real_index_count;
    uint32_t tdef_owned_pages;
    uint32_t tdef_free_pages;
    uint32_t tdef_index_block;         // first byte after the fixed header
    uint32_t real_index_count_entry;   // per real index, before the columns
    uint32_t column_entry;             // size of one column descriptor
    uint32_t real_index_entry;         // columns, usage map, root, flags
    uint32_t real_index_skip;          // leading unknown bytes of that entry
    uint32_t real_index_flags;         // offset of the flags byte in that entry
    uint32_t logical_index_entry;
    uint32_t logical_index_skip;

    // Column descriptor fields.
    uint32_t col_number;
    uint32_t col_var_index;
    uint32_t col_precision;
    uint32_t col_scale;
    uint32_t col_flags;
    uint32_t col_fixed_offset;
    uint32_t col_length;
    uint32_t col_sort_order;    // text: the collation's locale id (u16)
    uint32_t col_sort_version;  // text: its version (Jet 4 only)

    // Rows.
    uint32_t row_count_size;  // bytes of the column count heading a row (1 or 2)

    static const Format& forVersion(Version v);
};

}  // namespace jet
