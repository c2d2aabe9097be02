// The Jet engine as a backend of the access interface.
#pragma once

#include <memory>

#include "jet/database.h"
#include "provider.h"

namespace ado {

class JetProvider : public Provider {
public:
    JetProvider(const std::string& path, const std::string& password);
    std::vector<TableInfo> tables() override;
    std::unique_ptr<RowSource> openTable(const std::string& name) override;

    // ADO's type code for a Jet column type.
    static DataType fieldType(uint8_t column_type);

private:
    std::unique_ptr<jet::Database> db_;
};

}  // namespace ado
