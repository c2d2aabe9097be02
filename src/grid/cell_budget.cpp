// SPDX-License-Identifier: Apache-2.0
#include "cell_budget.h"

#include <cmath>

#include "ado/value_text.h"

long RecordsPerBunch(long field_count) { return long(std::floor(kCellBudget / field_count - 1)); }

std::string CellText(const ado::Field& field, char decimal_separator) {
    const ado::Value& value = field.GetValue();
    if (value.isNull()) return {};
    if (field.Type() == ado::adLongVarBinary) {
        bool empty = value.is<jet::Binary>() ? value.as<jet::Binary>().empty() : ado::toText(value).empty();
        return empty ? std::string() : kPictureMarker;
    }
    return ado::toText(value, decimal_separator, ado::Digits::Shown);
}
