// SPDX-License-Identifier: Apache-2.0
// basGlobal: the values that travel between windows. They live as long as
// the program; no table can use more than 100 columns through them.
#pragma once

#include <cstdint>
#include <string>

#include "fixed_array.h"

namespace basGlobal {

// The fields of a table about to be made (Table Fields, Edit Columns).
extern int16_t intFieldCount;
extern FixedArray<std::string, 1, 100> strFieldNames;
extern FixedArray<std::string, 1, 100> strFieldTypes;

// Entry k: the type code of main-grid column k, as decimal text.
extern FixedArray<std::string, 1, 100> strColumnTypes;

// Exchanged with the Add Row and Edit Columns dialogs.
extern int32_t lngColumnCount;
extern FixedArray<std::string, 0, 99> strColumnHeaders;
extern FixedArray<std::string, 0, 99> strNewRowValues;
extern bool blnCancelled;

}  // namespace basGlobal
