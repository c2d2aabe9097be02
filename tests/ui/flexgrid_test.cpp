// SPDX-License-Identifier: Apache-2.0
// The grid control on its own: its store, the fixed row and column, the
// current cell and its box, and the text of a selected block.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "flexgrid/flex_grid.h"
#include "forms/twips.h"

namespace uitest {
namespace {

TEST(FlexGrid, ClearEmptiesTheCellsAndKeepsTheSize) {
    flexgrid::FlexGrid grid;
    grid.SetCols(4);
    grid.SetRows(5);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c) grid.SetTextMatrix(r, c, std::to_string(r * 10 + c));
    grid.SetTextMatrix(2, 2, "a longer text than before");
    grid.SetTextMatrix(2, 2, "short");
    EXPECT_EQ(grid.TextMatrix(2, 2), "short");
    EXPECT_EQ(grid.TextMatrix(4, 3), "43");
    grid.Clear();
    EXPECT_EQ(grid.Rows(), 5);
    EXPECT_EQ(grid.Cols(), 4);
    EXPECT_EQ(grid.TextMatrix(4, 3), "");
    grid.SetTextMatrix(4, 3, "again");
    EXPECT_EQ(grid.TextMatrix(4, 3), "again");
    EXPECT_THROW(grid.SetTextMatrix(5, 0, "x"), std::out_of_range);
}

TEST(FlexGrid, ResizingKeepsTheCellsThatRemain) {
    flexgrid::FlexGrid grid;
    grid.SetCols(3);
    grid.SetRows(3);
    grid.SetTextMatrix(1, 1, "kept");
    grid.SetTextMatrix(2, 2, "dropped");
    grid.SetCols(2);
    grid.SetRows(10);
    EXPECT_EQ(grid.TextMatrix(1, 1), "kept");
    EXPECT_EQ(grid.TextMatrix(9, 1), "");
    grid.SetCols(3);
    EXPECT_EQ(grid.TextMatrix(2, 2), "");
}

TEST(FlexGrid, TheFixedRowAndColumnAreHeadersThatStayInView) {
    flexgrid::FlexGrid grid;
    grid.resize(300, 200);
    grid.SetCols(3);
    grid.SetRows(1000);
    grid.SetTextMatrix(0, 2, "Heading");
    grid.SetTextMatrix(500, 0, "side");
    grid.SetTextMatrix(500, 2, "body");
    QAbstractItemModel* m = grid.model();
    EXPECT_EQ(m->rowCount(), 999);
    EXPECT_EQ(m->columnCount(), 2);
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), "Heading");
    EXPECT_EQ(m->headerData(499, Qt::Vertical).toString(), "side");
    EXPECT_EQ(m->index(499, 1).data().toString(), "body");
}

TEST(FlexGrid, TheCurrentCellIsNeverFixedAndReportsItsBox) {
    flexgrid::FlexGrid grid;
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.SetCols(4);
    grid.SetRows(20);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 1);
    QSignalSpy entered(&grid, &flexgrid::FlexGrid::EnterCell);
    QSignalSpy clicked(&grid, &flexgrid::FlexGrid::Click);
    QRect r = grid.visualRect(grid.model()->index(2, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(entered.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
    // The box, from the grid's corner, lies right of the fixed column and
    // below the fixed row.
    EXPECT_EQ(grid.CellLeft(), forms::ToTwips(grid.viewport()->x() + r.x()));
    EXPECT_EQ(grid.CellTop(), forms::ToTwips(grid.viewport()->y() + r.y()));
    EXPECT_GE(grid.CellLeft(), forms::ToTwips(grid.verticalHeader()->width()));
    EXPECT_GE(grid.CellTop(), forms::ToTwips(grid.horizontalHeader()->height()));
    EXPECT_EQ(grid.CellWidth(), forms::ToTwips(r.width()));
    EXPECT_EQ(grid.CellHeight(), forms::ToTwips(r.height()));
    // Clicking a heading selects its column; the current cell stays a data cell.
    QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid.horizontalHeader()->sectionViewportPosition(2) + 5, 5));
    EXPECT_GE(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 3);
    grid.SetRow(5);
    grid.SetText("typed");
    EXPECT_EQ(grid.TextMatrix(5, 3), "typed");
    EXPECT_EQ(grid.Clip(), "typed");
}

}  // namespace
}  // namespace uitest
