// SPDX-License-Identifier: Apache-2.0
// The ADVANCED QUERY panel against a scripted database: the pick lists,
// opening and hiding the panels, Enter and "Run", the run path and the
// display path, and what a failure leaves behind.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QPixmap>
#include <QTest>

#include "ado/error.h"
#include "flexgrid/flex_grid.h"
#include "forms/twips.h"
#include "queries/row_query.h"
#include "support/query_fixture.h"

namespace uitest {
namespace {

const std::string kInvalidResult = "Your Query returned an invalid result, Please try entering query again";
using Texts = std::vector<std::string>;

class QueryPanel : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        db.tables = {Table("Orders", TextFields(2), 3), Table("Order Details", TextFields(3), 2)};
    }
    // A statement that makes a table, as the database would take it.
    void acceptCreates() {
        db.execute = [this](const std::string& s) {
            if (s.find("CREATE TABLE Extra") != std::string::npos) db.tables.push_back(Table("Extra", TextFields(1), 0));
        };
    }
    void refuseAll() {
        db.execute = [](const std::string&) {
            throw ado::Error(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
        };
    }
};

TEST_F(QueryPanel, ThePickListsHoldTheirItemsInOrderAndTheTablesOnceOpened) {
    EXPECT_EQ(items(w->cboQuery1),
              (Texts{"SELECT", "FROM", "CREATE", "INSERT INTO", "DROP", "WHERE", "GROUP BY", "ORDER BY"}));
    EXPECT_EQ(items(w->cboQuery2), (Texts{"*", "(", ")", "=", "LIKE", "'", ">", "<", "<>", "<=", ">=", "%"}));
    EXPECT_EQ(items(w->cboSQuery1), (Texts{"Add Table", "Delete Table", "Copy Table"}));
    EXPECT_EQ(w->cboQuery3->count(), 0);
    EXPECT_FALSE(w->cmdQuery->isEnabled());
    EXPECT_FALSE(w->cmdSimplQuery->isEnabled());

    openScripted();
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(items(w->cboQuery3), (Texts{"Orders", "Order Details"}));
    EXPECT_EQ(items(w->cboSQuery2), (Texts{"Orders", "Order Details"}));
    EXPECT_TRUE(w->cmdQuery->isEnabled());
    EXPECT_TRUE(w->cmdSimplQuery->isEnabled());
    EXPECT_FALSE(w->fraQuery->isVisible()) << "opening a file opens no panel";
}

TEST_F(QueryPanel, AFileThatDoesNotOpenStillEnablesBothButtons) {
    open("/nonexistent/folder/missing.mdb");
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_TRUE(w->cmdQuery->isEnabled());
    EXPECT_TRUE(w->cmdSimplQuery->isEnabled());
    // With no open connection, both panels report and go on.
    openQueryPanel();
    typeQuery("DELETE FROM Orders");
    run();
    EXPECT_EQ(boxes().back(), kInvalidResult);
    openSimplePanel();
    pick(w->cboSQuery1, "Copy Table");
    typeInto(w->txtNewTableName, "Copy");
    click(w->cmdRunSimpleQuery);
    ASSERT_EQ(boxes().size(), 3u);
    EXPECT_EQ(boxes().back().rfind("3704", 0), 0u) << boxes().back();
    EXPECT_EQ(status(), "Please select the name of the table to copy and the new table name");
}

TEST_F(QueryPanel, PicksAppendAtTheEndWithABlankOrInBracketsNeverAtTheCaret) {
    openScripted();
    openQueryPanel();
    pick(w->cboQuery1, "SELECT");
    pick(w->cboQuery2, "*");
    pick(w->cboQuery1, "FROM");
    pick(w->cboQuery3, "Orders");
    EXPECT_EQ(query(), " SELECT * FROM [Orders]");

    // The caret at the start: picks still go to the end, nothing is lost.
    QTest::mouseClick(w->txtQuery, Qt::LeftButton);
    QTest::keyClick(w->txtQuery, Qt::Key_Home);
    pick(w->cboQuery1, "WHERE");
    pick(w->cboQuery2, "<>");
    pick(w->cboQuery2, "<>");
    pick(w->cboQuery3, "Order Details");
    EXPECT_EQ(query(), " SELECT * FROM [Orders] WHERE <> <> [Order Details]");
    typeQuery(" x");
    pick(w->cboQuery1, "GROUP BY");
    EXPECT_EQ(query(), " SELECT * FROM [Orders] WHERE <> <> [Order Details] x GROUP BY");
    EXPECT_EQ(db.executed, Texts{}) << "picking runs nothing";
    EXPECT_EQ(db.queried, Texts{});
}

TEST_F(QueryPanel, AnyMouseButtonOpensAPanelAndHidesTheOtherButKeysDoNot) {
    openScripted();
    // Tabbing to the button and pressing Space or Enter does nothing.
    w->cmdQuery->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->cmdQuery, Qt::Key_Space);
    QTest::keyClick(w->cmdQuery, Qt::Key_Return);
    EXPECT_FALSE(w->fraQuery->isVisible());

    press(w->cmdQuery, Qt::RightButton);
    EXPECT_TRUE(w->fraQuery->isVisible());
    EXPECT_TRUE(w->cmdRunQuery->isDefault());
    press(w->cmdQuery);
    EXPECT_TRUE(w->fraQuery->isVisible()) << "pressing again does not close it";

    typeQuery("SELECT * FROM [Orders]");
    tickDisplayResult();
    pick(w->cboQuery1, "WHERE");
    press(w->cmdSimplQuery, Qt::MiddleButton);
    EXPECT_FALSE(w->fraQuery->isVisible());
    EXPECT_TRUE(w->fraSimpleQuery->isVisible());
    EXPECT_TRUE(w->cmdRunSimpleQuery->isDefault());
    EXPECT_FALSE(w->cmdRunQuery->isDefault());

    press(w->cmdQuery);
    EXPECT_FALSE(w->fraSimpleQuery->isVisible());
    EXPECT_TRUE(w->cmdRunQuery->isDefault());
    EXPECT_FALSE(w->cmdRunSimpleQuery->isDefault());
    // Hiding kept the text, the tick and the lists.
    EXPECT_EQ(query(), "SELECT * FROM [Orders] WHERE");
    EXPECT_TRUE(w->chkDisplayResults->isChecked());
    EXPECT_EQ(w->cboQuery1->count(), 8);
    EXPECT_EQ(w->cboQuery3->count(), 2);

    // The mouse over the grid hides whichever panel is open.
    QTest::mouseMove(w->MSFlexGrid1->viewport(), QPoint(20, 20));
    EXPECT_FALSE(w->fraQuery->isVisible());
    press(w->cmdSimplQuery);
    QTest::mouseMove(w->MSFlexGrid1->viewport(), QPoint(30, 30));
    EXPECT_FALSE(w->fraSimpleQuery->isVisible());
    EXPECT_EQ(db.executed, Texts{});
}

TEST_F(QueryPanel, AnOpenPanelCoversWhatLiesUnderIt) {
    openScripted();
    for (QPushButton* button : {w->cmdQuery, w->cmdSimplQuery}) {
        press(button);
        QFrame* panel = button == w->cmdQuery ? w->fraQuery : w->fraSimpleQuery;
        // A spot of the panel between its controls, over the web pane.
        const QPoint spot = panel->mapTo(w.get(), QPoint(forms::ToPixels(2450), forms::ToPixels(1050)));
        ASSERT_EQ(panel->childAt(panel->mapFrom(w.get(), spot)), nullptr);
        const QColor shown = w->grab().toImage().pixelColor(spot);
        EXPECT_EQ(shown, QApplication::palette().color(QPalette::Window)) << shown.name().toStdString();
    }
}

TEST_F(QueryPanel, EnterInTheBoxRunsTheStatementOnceThePanelIsOpen) {
    openScripted();
    openQueryPanel();
    typeQuery("DELETE FROM Orders WHERE F1 = 'r1c1'");
    const int opens = db.opens;
    QTest::keyClick(w->txtQuery, Qt::Key_Return);
    EXPECT_EQ(db.executed, Texts{"DELETE FROM Orders WHERE F1 = 'r1c1'"});
    EXPECT_EQ(db.opens, opens + 1) << "the lists were not reloaded";
    QTest::keyClick(w->txtQuery, Qt::Key_Enter);
    EXPECT_EQ(db.executed.size(), 2u) << "the keypad's Enter runs it too";
    EXPECT_EQ(boxes(), Texts{});
}

TEST_F(QueryPanel, EnterInAnOpenPickListPicksTheItemAndRunsNothing) {
    openScripted();
    openQueryPanel();
    typeQuery("SELECT * FROM Orders");
    w->cboQuery1->showPopup();
    QAbstractItemView* view = w->cboQuery1->view();
    ASSERT_TRUE(view->isVisible());
    // The list has the keyboard while it is open, as on a desktop.
    if (QApplication::activePopupWidget() != view->window()) GTEST_SKIP() << "no popup here";
    view->setFocus(Qt::PopupFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), view);
    view->setCurrentIndex(view->model()->index(5, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(query(), "SELECT * FROM Orders WHERE");
    EXPECT_EQ(db.executed, Texts{}) << "Enter in the list ran the statement";
}

TEST_F(QueryPanel, RunSendsTheTextUnchangedAndReloadsTheLists) {
    acceptCreates();
    openScripted();
    openQueryPanel();
    typeQuery("  CREATE TABLE Extra (A TEXT) ");
    const int opens = db.opens;
    run();
    EXPECT_EQ(db.executed, Texts{"  CREATE TABLE Extra (A TEXT) "});
    EXPECT_EQ(db.queried, Texts{});
    EXPECT_EQ(db.opens, opens + 1);
    EXPECT_EQ(items(w->cboTables), (Texts{"Orders", "Order Details", "Extra"}));
    EXPECT_EQ(items(w->cboQuery3), (Texts{"Orders", "Order Details", "Extra"}));
    EXPECT_EQ(items(w->cboSQuery2), (Texts{"Orders", "Order Details", "Extra"}));
    EXPECT_EQ(query(), "  CREATE TABLE Extra (A TEXT) ") << "the text is never cleared";
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(messages(), "") << "the run path writes no message";
}

TEST_F(QueryPanel, AFailedStatementShowsTheOneMessageKeepsTheTextAndReloadsNothing) {
    refuseAll();
    openScripted();
    openQueryPanel();
    typeQuery("SELEC * FROM Orders");
    const int opens = db.opens;
    run();
    EXPECT_EQ(boxes(), Texts{kInvalidResult});
    ASSERT_EQ(details().size(), 1u);
    EXPECT_NE(details()[0].find("3129"), std::string::npos) << details()[0];
    EXPECT_NE(details()[0].find("Invalid SQL statement"), std::string::npos) << details()[0];
    EXPECT_EQ(db.opens, opens) << "a failed statement must not reload the lists";
    EXPECT_EQ(query(), "SELEC * FROM Orders");
    EXPECT_EQ(items(w->cboTables), (Texts{"Orders", "Order Details"}));
    EXPECT_EQ(messages(), "");

    // An empty box is sent as it is, and refused the same way.
    replaceQuery("");
    run();
    EXPECT_EQ(db.executed, (Texts{"SELEC * FROM Orders", ""}));
    EXPECT_EQ(boxes(), (Texts{kInvalidResult, kInvalidResult}));
    EXPECT_EQ(db.opens, opens);
}

TEST_F(QueryPanel, DisplayResultShowsTheRowsAndSpendsTheTickAndTheNextRunExecutes) {
    openScripted();
    db.query = [](const std::string&) -> std::unique_ptr<ado::RowSource> {
        return std::make_unique<ado::MemoryRows>(
            std::vector<ado::FieldInfo>{{"Name", ado::adVarWChar}, {"Age", ado::adInteger}},
            std::vector<std::vector<ado::Value>>{{std::string("Ann"), int32_t(41)}, {std::string("Bo"), int32_t(35)}});
    };
    pick(w->cboTables, "Orders");
    ASSERT_EQ(cell(1, 1), "r1c1");
    openQueryPanel();
    typeQuery("SELECT Name, Age FROM People WHERE Age > 30 ORDER BY Age DESC");
    tickDisplayResult();
    const int opens = db.opens;
    run();
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(db.queried, Texts{"SELECT Name, Age FROM People WHERE Age > 30 ORDER BY Age DESC"});
    EXPECT_EQ(db.executed, Texts{}) << "the display path never executes";
    EXPECT_EQ(db.opens, opens) << "the display path does not reload the lists";
    EXPECT_FALSE(w->chkDisplayResults->isChecked());
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 3);
    ASSERT_EQ(w->MSFlexGrid1->Cols(), 3);
    EXPECT_EQ(cell(0, 1), "Name");
    EXPECT_EQ(cell(0, 2), "Age");
    EXPECT_EQ(cell(1, 1), "Ann");
    EXPECT_EQ(cell(2, 2), "35");
    EXPECT_EQ(w->txtTotalRec->text(), "2");
    EXPECT_EQ(w->cboTables->currentText(), "Orders") << "the current table stays";

    // Without a fresh tick the same text goes down the run path.
    run();
    EXPECT_EQ(db.executed, Texts{"SELECT Name, Age FROM People WHERE Age > 30 ORDER BY Age DESC"});
    EXPECT_EQ(db.queried.size(), 1u);
    EXPECT_EQ(db.opens, opens + 1);
    EXPECT_EQ(cell(1, 1), "Ann") << "the run path shows nothing";
}

TEST_F(QueryPanel, AStatementThatDoesNotOpenKeepsTheTickAndReloadsNothing) {
    openScripted();
    db.query = [](const std::string&) -> std::unique_ptr<ado::RowSource> {
        throw ado::Error(3078, "The Microsoft Jet database engine cannot find the input table or query 'Nowhere'.");
    };
    openQueryPanel();
    typeQuery("SELECT * FROM Nowhere WHERE 1 = 1");
    tickDisplayResult();
    const int opens = db.opens;
    run();
    EXPECT_EQ(boxes(), Texts{kInvalidResult});
    EXPECT_NE(details()[0].find("3078"), std::string::npos) << details()[0];
    EXPECT_TRUE(w->chkDisplayResults->isChecked()) << "the tick is spent only by a successful open";
    EXPECT_EQ(db.opens, opens);
    EXPECT_EQ(db.executed, Texts{});
    EXPECT_EQ(query(), "SELECT * FROM Nowhere WHERE 1 = 1");
}

TEST_F(QueryPanel, ALargeResultIsShownInBunchesAndARowThatFailsToReadIsReported) {
    // 40,000 rows of 10 fields: more than one load's cells.
    static const MemoryTable big = Table("Big", TextFields(10), 40000);
    MemoryTable damaged = Table("Damaged", TextFields(2), 5);
    damaged.failing_row = 2;
    db.query = [&](const std::string& s) { return Rows(s.find("Damaged") != std::string::npos ? damaged : big); };
    openScripted();
    openQueryPanel();
    typeQuery("SELECT * FROM Big WHERE F1 <> ''");
    tickDisplayResult();
    run();
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(w->txtTotalRec->text(), "40000");
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 33000);
    EXPECT_TRUE(w->cmdFirstBunch->isEnabled());
    EXPECT_EQ(messages(), "Records 1 to 32999 of 40000 are shown.");
    click(w->cmdFirstBunch);
    EXPECT_EQ(cell(1, 1), "r33000c1");
    EXPECT_EQ(boxes(), Texts{});

    replaceQuery("SELECT * FROM Damaged WHERE F1 <> ''");
    tickDisplayResult();
    run();
    EXPECT_EQ(boxes(), Texts{kInvalidResult});
    EXPECT_NE(details()[0].find("damaged"), std::string::npos) << details()[0];
    EXPECT_FALSE(w->chkDisplayResults->isChecked()) << "the statement had opened";
    EXPECT_FALSE(hourglass());
    EXPECT_EQ(db.executed, Texts{});
}

TEST_F(QueryPanel, DisplayResultRefusesAStatementThatWouldChangeDataBeforeAnythingRuns) {
    openScripted();
    pick(w->cboTables, "Orders");
    openQueryPanel();
    for (const std::string statement :
         {"DELETE FROM Orders", "DROP TABLE Orders", "INSERT INTO Orders (F1) VALUES ('x')",
          "SELECT * INTO Copy FROM Orders", "SELECT * FROM Orders; DELETE FROM Orders", "UPDATE Orders SET F1 = 'y'"}) {
        replaceQuery(statement);
        if (!w->chkDisplayResults->isChecked()) tickDisplayResult();
        run();
        EXPECT_EQ(boxes().back(), kInvalidResult) << statement;
        EXPECT_TRUE(w->chkDisplayResults->isChecked()) << statement;
        EXPECT_EQ(cell(1, 1), "r1c1") << statement << ": the grid was touched";
    }
    EXPECT_EQ(boxes().size(), 6u);
    EXPECT_EQ(db.executed, Texts{});
    EXPECT_EQ(db.queried, Texts{});
}

TEST_F(QueryPanel, OnlyASingleSelectWithoutIntoCountsAsARowQuery) {
    for (const char* yes : {"SELECT * FROM [Orders]", " select a from t where b = 'x'", "(SELECT a FROM t)",
                            "SELECT [into] FROM t", "SELECT 'INTO; DROP' FROM t", "SELECT \"x\"\"y\" FROM t;  ",
                            "SELECT a FROM t WHERE d > #1/1/2000#",
                            "TRANSFORM Sum(a) SELECT b FROM t GROUP BY b PIVOT c"})
        EXPECT_TRUE(queries::IsRowQuery(yes)) << yes;
    for (const char* no : {"", "   ", ";", "INSERT INTO t VALUES (1)", "SELECT * INTO c FROM t", "select a into c from t",
                           "SELECT 1; DROP TABLE t", "'SELECT' a", "[SELECT]", "SELECT 'open", "SELECT [open",
                           "DELETE * FROM t", "CREATE TABLE t(a TEXT)", "* SELECT"})
        EXPECT_FALSE(queries::IsRowQuery(no)) << no;
}

}  // namespace
}  // namespace uitest
