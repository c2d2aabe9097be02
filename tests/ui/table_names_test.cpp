// SPDX-License-Identifier: Apache-2.0
// Table names that need brackets: a blank, a "]". Each is shown and its
// cells are written like any other's.
#include <QComboBox>
#include <QLineEdit>

#include "ado/value_text.h"
#include "flexgrid/flex_grid.h"
#include "shared/table_source.h"
#include "support/edit_fixture.h"

namespace uitest {
namespace {

using TableNames = EditTest;

TEST_F(TableNames, AreBracketedWithAClosingBracketDoubled) {
    EXPECT_EQ(basGlobal::TableSource("Order Lines"), "SELECT * FROM [Order Lines]");
    EXPECT_EQ(basGlobal::TableSource("a]b"), "SELECT * FROM [a]]b]");
}

TEST_F(TableNames, ABlankOrABracketInTheNameDoesNotStopAnEdit) {
    for (const std::string name : {"Order Lines", "odd]name"}) {
        MemoryTable t = Table(name, TextFields(2), 3);
        t.updates = std::make_shared<std::map<long, std::map<size_t, ado::Value>>>();
        auto updates = t.updates;
        w->cboTables->clear();
        if (w->cnDb.State() == ado::adStateOpen) w->cnDb.Close();
        serve({t});
        pick(w->cboTables, name);
        ASSERT_EQ(cell(2, 2), "r2c2") << name;
        clickCell(2, 2);
        type("edited");
        press(Qt::Key_Up);
        EXPECT_EQ(messages(), "") << name;
        ASSERT_EQ(updates->count(1), 1u) << name;
        EXPECT_EQ(ado::toText(updates->at(1).at(1)), "edited");
    }
}

}  // namespace
}  // namespace uitest
