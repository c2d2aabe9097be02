// SPDX-License-Identifier: Apache-2.0
#include "format.h"

namespace jet {

namespace {

constexpr Format kJet3 = {
    .jet3 = true,
    .page_size = 2048,
    .header_masked_length = 126,
    .password_length = 20,
    .creation_date_offset = -1,
    .sort_order_offset = 0x3A,
    .data_row_count_offset = 8,
    .tdef_row_count = 12,
    .tdef_autonumber = 16,
    .tdef_table_type = 20,
    .tdef_max_cols = 21,
    .tdef_var_cols = 23,
    .tdef_col_count = 25,
    .tdef_logical_index_count = 27,
    .tdef_real_index_count = 31,
    .tdef_owned_pages = 35,
    .tdef_free_pages = 39,
    .tdef_index_block = 43,
    .real_index_count_entry = 8,
    .column_entry = 18,
    .real_index_entry = 39,
    .real_index_skip = 0,
    .real_index_flags = 38,
    .logical_index_entry = 20,
    .logical_index_skip = 0,
    .col_number = 1,
    .col_var_index = 3,
    .col_precision = 11,
    .col_scale = 12,
    .col_flags = 13,
    .col_fixed_offset = 14,
    .col_length = 16,
    .col_sort_order = 9,
    .col_sort_version = 0,
    .row_count_size = 1,
};

constexpr Format kJet4 = {
    .jet3 = false,
    .page_size = 4096,
    .header_masked_length = 128,
    .password_length = 40,
    .creation_date_offset = 0x72,
    .sort_order_offset = 0x6E,
    .data_row_count_offset = 12,
    .tdef_row_count = 16,
    .tdef_autonumber = 20,
    .tdef_table_type = 40,
    .tdef_max_cols = 41,
    .tdef_var_cols = 43,
    .tdef_col_count = 45,
    .tdef_logical_index_count = 47,
    .tdef_real_index_count = 51,
    .tdef_owned_pages = 55,
    .tdef_free_pages = 59,
    .tdef_index_block = 63,
    .real_index_count_entry = 12,
    .column_entry = 25,
    .real_index_entry = 52,
    .real_index_skip = 4,
    .real_index_flags = 46,  // four unknown bytes sit between the first page and the flags
    .logical_index_entry = 28,
    .logical_index_skip = 4,
    .col_number = 5,
    .col_var_index = 7,
    .col_precision = 11,
    .col_scale = 12,
    .col_flags = 15,
    .col_fixed_offset = 21,
    .col_length = 23,
    .col_sort_order = 11,
    .col_sort_version = 14,
    .row_count_size = 2,
};

}  // namespace

const Format& Format::forVersion(Version v) {
    return v == Version::Jet3 ? kJet3 : kJet4;
}

}  // namespace jet
