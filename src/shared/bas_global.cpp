// SPDX-License-Identifier: Apache-2.0
#include "bas_global.h"

namespace basGlobal {

int16_t intFieldCount = 0;
FixedArray<std::string, 1, 100> strFieldNames;
FixedArray<std::string, 1, 100> strFieldTypes;
FixedArray<std::string, 1, 100> strColumnTypes;
int32_t lngColumnCount = 0;
FixedArray<std::string, 0, 99> strColumnHeaders;
FixedArray<std::string, 0, 99> strNewRowValues;
bool blnCancelled = false;

}  // namespace basGlobal
