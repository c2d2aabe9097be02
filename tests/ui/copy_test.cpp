// SPDX-License-Identifier: Apache-2.0
// The grid's popup menu: the right button opens it, "Copy" puts the
// selected cells on the clipboard; moving over the grid closes the panels.
#include <QAction>
#include <QFrame>
#include <QMenu>
#include <QTest>

#include "flexgrid/flex_grid.h"
#include "support/window_fixture.h"

namespace uitest {
namespace {

class Copy : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        serve({Table("T", TextFields(3), 4, [](long row, size_t f) {
                               return row == 3 && f == 2 ? ado::Value() : ado::Value("r" + std::to_string(row + 1) + "c" + std::to_string(f + 1));
                           })});
        pick(w->cboTables, "T");
    }
    QPoint at(int row, int col) const {
        return w->MSFlexGrid1->visualRect(w->MSFlexGrid1->model()->index(row - 1, col - 1)).center();
    }
    void select(int row, int col, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(w->MSFlexGrid1->viewport(), Qt::LeftButton, keys, at(row, col));
    }
    void rightClick(QPoint where) {
        QTest::mousePress(w->MSFlexGrid1->viewport(), Qt::RightButton, {}, where);
        QTest::mouseRelease(w->MSFlexGrid1->viewport(), Qt::RightButton, {}, where);
    }
    void copyFromMenu() {
        rightClick(at(1, 1));
        ASSERT_TRUE(w->mnuGrid->isVisible());
        QTest::mouseClick(w->mnuGrid, Qt::LeftButton, {}, w->mnuGrid->actionGeometry(w->mnuGridCopy).center());
        QCoreApplication::processEvents();
    }
};

TEST_F(Copy, OnlyTheRightButtonOpensTheMenu) {
    QTest::mouseClick(w->MSFlexGrid1->viewport(), Qt::LeftButton, {}, at(2, 2));
    EXPECT_FALSE(w->mnuGrid->isVisible());
    rightClick(at(2, 2));
    EXPECT_TRUE(w->mnuGrid->isVisible());
    EXPECT_EQ(w->mnuGrid->actions().size(), 1);
    EXPECT_EQ(w->mnuGridCopy->text(), "Copy");
    w->mnuGrid->close();
}

TEST_F(Copy, CopiesOneCellOrTheSelectedBlock) {
    select(2, 3);
    copyFromMenu();
    EXPECT_EQ(services.clipboard.text, "r2c3");
    EXPECT_FALSE(w->mnuGrid->isVisible());

    select(1, 2);
    select(3, 3, Qt::ShiftModifier);
    copyFromMenu();  // the right click keeps the selection
    EXPECT_EQ(services.clipboard.text, "r1c2\tr1c3\nr2c2\tr2c3\nr3c2\tr3c3");
    EXPECT_EQ(services.clipboard.clears, 2);
}

TEST_F(Copy, AnEmptyCellStillClearsTheClipboardAndLeavesEmptyText) {
    select(1, 1);
    copyFromMenu();
    select(4, 3);
    copyFromMenu();
    EXPECT_EQ(services.clipboard.clears, 2);
    EXPECT_EQ(services.clipboard.text, "");
}

TEST_F(Copy, MovingOverTheGridClosesTheQueryPanels) {
    QTest::mouseMove(w->MSFlexGrid1->viewport(), at(1, 1));
    EXPECT_FALSE(w->fraQuery->isVisible());
    w->fraQuery->show();  // as the ADVANCED QUERY button leaves it
    w->fraSimpleQuery->show();
    QTest::mouseMove(w->MSFlexGrid1->viewport(), at(2, 2));
    EXPECT_FALSE(w->fraQuery->isVisible());
    EXPECT_FALSE(w->fraSimpleQuery->isVisible());
}

}  // namespace
}  // namespace uitest
