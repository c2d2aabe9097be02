// SPDX-License-Identifier: Apache-2.0
// A table's live rows as our reader gives them, in storage order, with
// where each lies: what write tests compare before and after a change.
#pragma once

#include <string>
#include <vector>

#include "jet/data_page.h"
#include "jet/value.h"

namespace testdata {

struct StoredRows {
    std::vector<std::vector<jet::Value>> rows;
    std::vector<jet::RowId> ids;
};

StoredRows storedRows(const std::string& path, const std::string& table);

}  // namespace testdata
