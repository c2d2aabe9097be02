// SPDX-License-Identifier: Apache-2.0
#include "sql/data_writer.h"

#include "ado/error.h"
#include "jet/table_def.h"

namespace ado {

std::unique_ptr<jet::TableWriter> dataWriter(jet::Database& db, const std::string& table) {
    for (const jet::CatalogEntry& e : db.catalog())
        if (e.isTable() && e.isSystem() && jet::sameName(e.name, table))
            throw Error(kErrNotSupported, "The system table '" + e.name + "' cannot be changed.");
    return std::make_unique<jet::TableWriter>(db, table);
}

}  // namespace ado
