// SPDX-License-Identifier: Apache-2.0
// The cell budget and the bunches: where one load stops, what ">>" and
// "<<" bring, and that they are harmless when there is nothing to page.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "flexgrid/flex_grid.h"
#include "ado/value_text.h"
#include "shared/bas_global.h"
#include "support/window_fixture.h"
#include "support/testdata.h"

namespace uitest {
namespace {

using Budget = WindowTest;

std::string shown(long first, long last, long total) {
    return "Records " + std::to_string(first) + " to " + std::to_string(last) + " of " + std::to_string(total) +
           " are shown.";
}

TEST_F(Budget, TenFieldsAnd32999RecordsLoadWhole) {
    serve({Table("T", TextFields(10), 32999)});
    pick(w->cboTables, "T");
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 33000);
    EXPECT_EQ(cell(32999, 10), "r32999c10");
    EXPECT_EQ(messages(), "");
    EXPECT_FALSE(w->cmdFirstBunch->isEnabled());
    click(w->cmdFirstBunch);  // disabled: nothing happens
    EXPECT_EQ(cell(1, 1), "r1c1");
}

TEST_F(Budget, TenFieldsAnd33000RecordsLeaveTheLastForTheNextBunch) {
    serve({Table("T", TextFields(10), 33000)});
    pick(w->cboTables, "T");
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 33000);
    EXPECT_EQ(cell(32999, 1), "r32999c1");
    EXPECT_EQ(messages(), shown(1, 32999, 33000));
    EXPECT_TRUE(messagesWhole());
    EXPECT_EQ(w->txtTotalRec->text(), "33000");
    EXPECT_EQ(w->cmdFirstBunch->toolTip(), "Next 33000 Records");
    EXPECT_EQ(w->cmdLastBunch->toolTip(), "Previous 33000 Records");
    EXPECT_TRUE(w->cmdFirstBunch->isEnabled());
    EXPECT_FALSE(w->cmdLastBunch->isEnabled());
    EXPECT_FALSE(hourglass());
    EXPECT_EQ(w->ProgressBar1->value(), w->ProgressBar1->maximum());

    click(w->cmdFirstBunch);
    EXPECT_EQ(cell(1, 1), "r33000c1");
    EXPECT_EQ(cell(0, 10), "F10") << "every bunch has its headings";
    EXPECT_EQ(cell(2, 1), "");
    EXPECT_EQ(messages(), shown(33000, 33000, 33000)) << "the last bunch says so too";
    EXPECT_TRUE(w->cmdLastBunch->isEnabled());
    click(w->cmdFirstBunch);  // at the end: harmless
    EXPECT_EQ(cell(1, 1), "r33000c1");
    click(w->cmdLastBunch);
    EXPECT_EQ(cell(1, 1), "r1c1");
    EXPECT_EQ(cell(0, 1), "F1");
    EXPECT_EQ(cell(32999, 1), "r32999c1");
    EXPECT_EQ(messages(), shown(1, 32999, 33000));
    EXPECT_FALSE(w->cmdLastBunch->isEnabled());
    EXPECT_EQ(boxes(), std::vector<std::string>{});
}

TEST_F(Budget, TheHourglassShowsWhileEveryBunchIsPlaced) {
    long readsWithoutHourglass = 0;
    serve({Table("T", TextFields(10), 40000, [&](long row, size_t f) {
        if (!hourglass()) ++readsWithoutHourglass;
        return ado::Value("r" + std::to_string(row + 1) + "c" + std::to_string(f + 1));
    })});
    pick(w->cboTables, "T");
    click(w->cmdFirstBunch);  // to the table's end
    click(w->cmdLastBunch);
    EXPECT_EQ(cell(1, 1), "r1c1");
    EXPECT_EQ(readsWithoutHourglass, 0);
    EXPECT_FALSE(hourglass()) << "and it goes once they are shown";
}

TEST_F(Budget, SevenFieldsAnd47142RecordsKeepTheBudgetArithmetic) {
    serve({Table("T", TextFields(7), 47142)});
    pick(w->cboTables, "T");
    // 47142 x 7 is under the budget, so the grid has a row per record, yet
    // record 47142 is over the bunch limit of 47141.857...
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 47143);
    EXPECT_EQ(cell(47141, 7), "r47141c7");
    EXPECT_EQ(cell(47142, 1), "");
    EXPECT_EQ(messages(), shown(1, 47141, 47142));
    click(w->cmdFirstBunch);
    EXPECT_EQ(cell(1, 1), "r47142c1");
    EXPECT_EQ(w->ProgressBar1->value(), w->ProgressBar1->maximum());
}

TEST_F(Budget, EveryColumnIsShownBeyondTheHundredTheTypesCanHold) {
    std::vector<ado::FieldInfo> fields = TextFields(120);
    fields[0].type = ado::adInteger;
    serve({Table("Wide", fields, 3, [](long row, size_t f) {
                           return f == 0 ? ado::Value(int32_t(row)) : ado::Value("v" + std::to_string(f + 1));
                       })});
    pick(w->cboTables, "Wide");
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 121);
    EXPECT_EQ(cell(0, 120), "F120");
    EXPECT_EQ(cell(3, 120), "v120");
    EXPECT_EQ(cell(3, 1), "2");
    EXPECT_EQ(messages(), "This table has 120 fields: all are shown, but the column types of only the first 100 are kept.");
    EXPECT_EQ(basGlobal::strColumnTypes[1], "3");
    EXPECT_EQ(basGlobal::strColumnTypes[100], "202");
}

using Bunches = WindowTest;

// The number (ID) of record `n` of BigTable, read straight from the file.
std::string bigTableId(long n) {
    ado::Connection cn;
    cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + testdata::root() + "/large/big100k.mdb");
    ado::Recordset rs;
    rs.Open("SELECT * FROM [BigTable]", cn, ado::adOpenStatic);
    rs.SetBookmark(n);
    return ado::toText(rs.GetFields()["ID"].GetValue());
}

TEST_F(Bunches, PageThroughALargeTableForwardAndBack) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::root() + "/large/big100k.mdb");
    pick(w->cboTables, "BigTable");
    EXPECT_EQ(w->txtTotalRec->text(), "98969");
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 33000);
    EXPECT_EQ(cell(0, 1), "ID");
    EXPECT_EQ(cell(1, 1), bigTableId(1));
    EXPECT_EQ(cell(32999, 1), bigTableId(32999));
    EXPECT_EQ(messages(), shown(1, 32999, 98969));

    click(w->cmdFirstBunch);
    EXPECT_EQ(cell(0, 1), "ID");
    EXPECT_EQ(cell(0, 10), "Code");
    EXPECT_EQ(cell(1, 1), bigTableId(33000));
    EXPECT_EQ(cell(32999, 1), bigTableId(65998));
    EXPECT_EQ(messages(), shown(33000, 65998, 98969));
    EXPECT_TRUE(w->cmdLastBunch->isEnabled());

    click(w->cmdFirstBunch);  // the last 32971 records
    EXPECT_EQ(cell(1, 1), bigTableId(65999));
    EXPECT_EQ(cell(32971, 1), bigTableId(98969));
    EXPECT_EQ(cell(32972, 1), "");
    EXPECT_EQ(messages(), shown(65999, 98969, 98969));
    EXPECT_EQ(w->ProgressBar1->value(), 98969);
    click(w->cmdFirstBunch);
    EXPECT_EQ(cell(1, 1), bigTableId(65999));

    click(w->cmdLastBunch);
    EXPECT_EQ(cell(1, 1), bigTableId(33000));
    EXPECT_EQ(messages(), shown(33000, 65998, 98969));
    EXPECT_TRUE(w->cmdLastBunch->isEnabled());
    click(w->cmdLastBunch);
    EXPECT_EQ(cell(1, 1), bigTableId(1));
    EXPECT_EQ(messages(), shown(1, 32999, 98969));
    EXPECT_FALSE(w->cmdLastBunch->isEnabled());
    EXPECT_EQ(boxes(), std::vector<std::string>{});
}

TEST_F(Bunches, AreHarmlessOnceTheTableIsNoLongerOpen) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::root() + "/large/big100k.mdb");
    pick(w->cboTables, "BigTable");
    click(w->cmdFirstBunch);
    open(testdata::root() + "/large/big100k.mdb");  // closes the connection under the grid
    std::string shown = cell(1, 1);
    click(w->cmdFirstBunch);
    click(w->cmdLastBunch);
    EXPECT_EQ(cell(1, 1), shown);
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    // A full load of another table after a partial one starts afresh.
    pick(w->cboTables, "BigTable");
    EXPECT_EQ(cell(1, 1), bigTableId(1));
}

}  // namespace
}  // namespace uitest
