// SPDX-License-Identifier: Apache-2.0
// Picking a table in the list: headings, records, the count, the empty
// table, and a load that fails.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "flexgrid/flex_grid.h"
#include "support/window_fixture.h"
#include "support/testdata.h"

namespace uitest {
namespace {

using Load = WindowTest;

TEST_F(Load, ShowsHeadingsInRowZeroAndEachRecordInItsRow) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("testV2003.mdb"));
    pick(w->cboTables, "Table1");
    EXPECT_EQ(w->cboTables->currentText(), "Table1");
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 3);
    ASSERT_EQ(w->MSFlexGrid1->Cols(), 10);
    const char* headings[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I"};
    for (int c = 1; c <= 9; ++c) EXPECT_EQ(cell(0, c), headings[c - 1]);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(cell(r, 0), "") << "column 0 stays empty";
    const char* first[] = {"abcdefg", "hijklmnop", "2", "222", "333333333", "444.555", "9/21/1974", "3.5", "True"};
    for (int c = 1; c <= 9; ++c) EXPECT_EQ(cell(1, c), first[c - 1]) << "column " << c;
    EXPECT_EQ(cell(2, 1), "a");
    EXPECT_EQ(cell(2, 9), "False");
    EXPECT_EQ(w->txtTotalRec->text(), "2");
    EXPECT_EQ(messages(), "");
    EXPECT_FALSE(w->cmdFirstBunch->isEnabled());
    EXPECT_FALSE(hourglass());
    EXPECT_EQ(w->ProgressBar1->maximum(), 2);
    EXPECT_EQ(w->ProgressBar1->value(), 2);
}

TEST_F(Load, AnEmptyTableShowsItsHeadingsOnlyAndLeavesTheProgressBar) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("testV2003.mdb"));
    pick(w->cboTables, "Table1");
    pick(w->cboTables, "Table2");
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
    EXPECT_EQ(cell(0, 1), "column1");
    EXPECT_EQ(w->txtTotalRec->text(), "0");
    EXPECT_EQ(w->ProgressBar1->maximum(), 2);  // from Table1
    EXPECT_EQ(w->ProgressBar1->value(), 2);
    // The grid is loadable again afterwards.
    pick(w->cboTables, "Table1");
    EXPECT_EQ(cell(1, 1), "abcdefg");
}

TEST_F(Load, NullsEmptyTextsAndBinariesFollowTheCellRule) {
    MemoryTable t = Table("Mixed",
                  {{"Text", ado::adVarWChar}, {"Picture", ado::adLongVarBinary}, {"Bytes", ado::adVarBinary}},
                  4,
                  [](long row, size_t field) -> ado::Value {
                      if (row == 0) return field == 0 ? ado::Value(std::string("x")) : ado::Value(jet::Binary{1, 2, 0xAB});
                      if (row == 1) return field == 0 ? ado::Value(std::string()) : ado::Value(jet::Binary{});
                      if (row == 2) return ado::Value();
                      return field == 0 ? ado::Value(int32_t(-7)) : ado::Value(jet::Binary{0});
                  });
    serve({t});
    pick(w->cboTables, "Mixed");
    EXPECT_EQ(cell(1, 1), "x");
    EXPECT_EQ(cell(1, 2), "Picture (DbUneditable)");
    EXPECT_EQ(cell(1, 3), "0102AB");
    for (int c = 1; c <= 3; ++c) {
        EXPECT_EQ(cell(2, c), "") << "empty, column " << c;
        EXPECT_EQ(cell(3, c), "") << "Null, column " << c;
    }
    EXPECT_EQ(cell(4, 1), "-7");
    EXPECT_EQ(cell(4, 2), "Picture (DbUneditable)");
    EXPECT_EQ(cell(4, 3), "00");
}

TEST_F(Load, AFailedLoadIsReportedAndLeavesAnEmptyUsableGrid) {
    MemoryTable good = Table("Good", TextFields(2), 3);
    MemoryTable bad = Table("Damaged", TextFields(3), 10);
    bad.failing_row = 5;
    serve({good, bad});
    pick(w->cboTables, "Good");
    pick(w->cboTables, "Damaged");
    EXPECT_EQ(boxes(), std::vector<std::string>{"3049The database file is damaged: row 5."});
    EXPECT_FALSE(hourglass());
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
    for (int c = 0; c < w->MSFlexGrid1->Cols(); ++c) EXPECT_EQ(cell(0, c), "");
    EXPECT_EQ(w->txtTotalRec->text(), "");
    pick(w->cboTables, "Good");
    EXPECT_EQ(cell(3, 2), "r3c2");
    EXPECT_EQ(boxes().size(), 1u);
}

TEST_F(Load, AMissingTableIsReportedWithItsNumber) {
    serve({Table("Listed", TextFields(1), 1)});
    w->cboTables->addItem("Gone");
    pick(w->cboTables, "Gone");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].rfind("3078", 0), 0u) << boxes()[0];
    EXPECT_FALSE(hourglass());
}

}  // namespace
}  // namespace uitest
