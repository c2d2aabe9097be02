// SPDX-License-Identifier: Apache-2.0
// A connection opened over a provider made in memory behaves like one
// opened on a file.
#include <gtest/gtest.h>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "support/memory_tables.h"

namespace uitest {
namespace {

TEST(ConnectionOverProvider, ServesTheProvidersTablesUntilClosed) {
    ado::Connection cn;
    cn.Open(std::make_unique<MemoryProvider>(std::vector<MemoryTable>{Table("People", TextFields(2), 3)}));
    EXPECT_EQ(cn.State(), ado::adStateOpen);
    try {
        cn.Open(std::make_unique<MemoryProvider>(std::vector<MemoryTable>{}));
        ADD_FAILURE() << "a second open must fail";
    } catch (const ado::Error& e) {
        EXPECT_EQ(e.number(), ado::kErrObjectOpen);
    }
    auto schema = cn.OpenSchema(ado::adSchemaTables, {ado::Value(), ado::Value(), ado::Value(), std::string("TABLE")});
    ASSERT_FALSE(schema->Eof());
    EXPECT_EQ(schema->GetFields()["table_name"].GetValue(), ado::Value(std::string("People")));
    ado::Recordset rs;
    rs.Open("SELECT * FROM [People]", cn, ado::adOpenStatic);
    EXPECT_EQ(rs.RecordCount(), 3);
    rs.MoveLast();
    EXPECT_EQ(rs.GetFields()[1].GetValue(), ado::Value(std::string("r3c2")));
    cn.Close();
    EXPECT_EQ(rs.State(), ado::adStateClosed);
    EXPECT_EQ(cn.State(), ado::adStateClosed);
}

}  // namespace
}  // namespace uitest
