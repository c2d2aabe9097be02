// SPDX-License-Identifier: Apache-2.0
#include "support/stored_rows.h"

#include "jet/database.h"
#include "support/testdata.h"

namespace testdata {

StoredRows storedRows(const std::string& path, const std::string& table) {
    jet::Database db(path, testdata::passwordOf(path));
    jet::TableScan scan(db, db.table(table));
    StoredRows out;
    std::vector<jet::Value> v;
    while (scan.next()) {
        scan.read(v);
        out.rows.push_back(v);
        out.ids.push_back(scan.rowId());
    }
    return out;
}

}  // namespace testdata
