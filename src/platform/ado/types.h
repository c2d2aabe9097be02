// SPDX-License-Identifier: Apache-2.0
// ADO's constants, with ADO's names and values, and the value type.
#pragma once

#include <string>

#include "jet/value.h"

namespace ado {

using Value = jet::Value;

enum DataType : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adVariant = 12,
    adUnsignedTinyInt = 17,
    adBigInt = 20,
    adGUID = 72,
    adBinary = 128,
    adNumeric = 131,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

enum CursorType : int { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType : int { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };
enum SchemaEnum : int { adSchemaTables = 20 };
enum ObjectState : int { adStateClosed = 0, adStateOpen = 1 };
enum EditMode : int { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };
constexpr long adCmdUnspecified = -1;
constexpr long adGetRowsRest = -1;

struct FieldInfo {
    std::string name;
    DataType type;
};

}  // namespace ado
