// SPDX-License-Identifier: Apache-2.0
// A server database worked through the windows as a person would: the
// selector, the table list, the grid and its bunches, the cell editor, the
// two "Add" dialogs and the ADVANCED QUERY panel, against the PostgreSQL
// test server; what was stored is read back by a connection of its own.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ado/connection.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "connection/frm_sql_server.h"
#include "editing/frm_add_row.h"
#include "editing/frm_edit_columns.h"
#include "flexgrid/flex_grid.h"
#include "odbc/server_connection_string.h"
#include "support/edit_fixture.h"
#include "support/test_server.h"

namespace uitest {
namespace {

class ServerWindows : public EditTest {
protected:
    void SetUp() override {
        EditTest::SetUp();
        SKIP_WITHOUT_SERVER();
        w->cboType->setCurrentIndex(1);  // "MS SQL "
    }
    void TearDown() override {
        EditTest::TearDown();
        ado::SetServerDriver("");
    }

    static void retype(QLineEdit* box, const std::string& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromStdString(text));
    }

    // "Open", then in the selector: the login typed, Connect, the first
    // catalog listed picked, OK. Returns what the list offered.
    std::vector<std::string> connect() {
        std::vector<std::string> catalogs;
        bool shown = false;
        whenModal([&](QDialog* d) {
            auto* s = qobject_cast<frmSQLServer*>(d);
            ASSERT_NE(s, nullptr);
            shown = true;
            retype(s->Server, testserver::kServer);
            retype(s->UsernameEdit, testserver::kUser);
            retype(s->PasswordEdit, testserver::kPassword);
            QTest::mouseClick(s->cmdConnect, Qt::LeftButton);
            catalogs = items(s->cboDb);
            s->cboDb->setCurrentIndex(0);
            QTest::mouseClick(s->cmdOK, Qt::LeftButton);
        });
        click(w->cmdOpen);
        EXPECT_TRUE(shown) << "Open showed no selector";
        EXPECT_TRUE(services.files.shown.empty()) << "no file dialog on the server path";
        return catalogs;
    }

    void connectAndShow(const std::string& table) {
        connect();
        ASSERT_EQ(boxes(), std::vector<std::string>{});
        pick(w->cboTables, table);
        ASSERT_EQ(boxes(), std::vector<std::string>{});
    }

    // The first column of `sql`'s rows, read on a connection of its own.
    static std::vector<std::string> column(const std::string& sql) {
        ado::Connection cn;
        cn.Open(testserver::ConnectionString());
        ado::Recordset rs;
        rs.Open(sql, cn, ado::adOpenStatic, ado::adLockReadOnly);
        std::vector<std::string> out;
        for (; !rs.Eof(); rs.MoveNext()) out.push_back(ado::toText(rs.GetFields()[0L].GetValue(), '.'));
        return out;
    }
    static std::string value(const std::string& sql) {
        std::vector<std::string> v = column(sql);
        return v.size() == 1 ? v[0] : "(" + std::to_string(v.size()) + " rows)";
    }

    // Types `text` over the whole of cell (row, col) and leaves it with Down.
    void edit(int row, int col, const QString& text) {
        clickCell(row, col);
        type(text);
        press(Qt::Key_Down);
    }

    // "Add", "Row": `values` typed from column 1 on, then Enter.
    void addRow(const std::vector<QString>& values) {
        whenModal([values](QDialog* d) {
            auto* dialog = qobject_cast<frmAddRow*>(d);
            ASSERT_NE(dialog, nullptr);
            clickGridCell(dialog->MSFlexGrid1, 1, 1);
            for (size_t i = 0; i < values.size(); ++i) {
                QTest::keyClicks(dialog->ctlTextList1, values[i]);
                if (i + 1 < values.size()) QTest::keyClick(dialog->ctlTextList1, Qt::Key_Right);
            }
            QTest::keyClick(dialog->ctlTextList1, Qt::Key_Return);
        });
        click(w->cmdSave);
        click(w->Command2);
    }

    void people(const std::string& table) {
        testserver::Run("DROP TABLE IF EXISTS " + table);
        testserver::Run("CREATE TABLE " + table +
                        " (id integer PRIMARY KEY, name varchar(20), amount numeric(10,2), born timestamp,"
                        " photo bytea, note text)");
        testserver::Run("INSERT INTO " + table +
                        " VALUES (5, 'Cy', 1.25, '2001-02-03 04:05:06', '\\x0102', 'long'),"
                        " (1, 'Al', NULL, NULL, NULL, NULL), (3, 'Bea', 3.50, NULL, '', 'x')");
    }
};

TEST_F(ServerWindows, OpenListsTheCatalogsConnectsAndShowsATableInKeyOrder) {
    people("srv_w_show");
    std::vector<std::string> catalogs = connect();
    ASSERT_FALSE(catalogs.empty());
    EXPECT_EQ(catalogs[0], testserver::kDatabase);
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_TRUE(w->cboTables->isEnabled());
    EXPECT_TRUE(w->cmdQuery->isEnabled());
    EXPECT_TRUE(w->cmdSimplQuery->isEnabled());
    std::vector<std::string> tables = items(w->cboTables);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "srv_w_show"), tables.end());
    EXPECT_EQ(items(w->cboQuery3), tables);

    pick(w->cboTables, "srv_w_show");
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(w->txtTotalRec->text(), "3");
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 4);
    ASSERT_EQ(w->MSFlexGrid1->Cols(), 7);
    std::vector<std::string> headings;
    for (int c = 1; c <= 6; ++c) headings.push_back(cell(0, c));
    EXPECT_EQ(headings, (std::vector<std::string>{"id", "name", "amount", "born", "photo", "note"}));
    // By the primary key, whatever order the rows went in.
    EXPECT_EQ(cell(1, 1), "1");
    EXPECT_EQ(cell(2, 1), "3");
    EXPECT_EQ(cell(3, 1), "5");
    EXPECT_EQ(cell(3, 2), "Cy");
    EXPECT_EQ(cell(3, 3), "1.25");
    EXPECT_EQ(cell(3, 5), "Picture (DbUneditable)");
    EXPECT_EQ(cell(2, 5), "") << "an empty binary value shows nothing";
    EXPECT_EQ(cell(1, 2), "Al");
    EXPECT_EQ(cell(1, 3), "");
    EXPECT_EQ(messages(), "");
}

TEST_F(ServerWindows, ACellTypedIntoIsStoredInExactlyTheRowItShows) {
    people("srv_w_edit");
    connectAndShow("srv_w_edit");
    // Enter neither moves nor saves; Down saves, then moves.
    clickCell(2, 2);
    type("Zed");
    press(Qt::Key_Return);
    EXPECT_EQ(value("SELECT name FROM srv_w_edit WHERE id = 3"), "Bea");
    press(Qt::Key_Down);
    EXPECT_EQ(w->MSFlexGrid1->Row(), 3);
    EXPECT_EQ(cell(2, 2), "Zed");
    EXPECT_EQ(value("SELECT name FROM srv_w_edit WHERE id = 3"), "Zed");
    EXPECT_EQ(column("SELECT name FROM srv_w_edit ORDER BY id"), (std::vector<std::string>{"Al", "Zed", "Cy"}));

    // A number, moving on with Right; leaving a cell by a click saves it too.
    edit(1, 3, "7.5");
    EXPECT_EQ(value("SELECT amount FROM srv_w_edit WHERE id = 1"), "7.5");
    clickCell(3, 2);
    type("Cyd");
    clickCell(1, 2);
    EXPECT_EQ(value("SELECT name FROM srv_w_edit WHERE id = 5"), "Cyd");
    EXPECT_EQ(value("SELECT name FROM srv_w_edit WHERE id = 1"), "Al") << "never the newly clicked cell";
    EXPECT_EQ(messages(), "");

    // Letters in a number field: put back, said, and the row kept.
    edit(3, 3, "abc");
    EXPECT_EQ(cell(3, 3), "1.25");
    EXPECT_NE(messages().find("Row 3, column amount was not saved"), std::string::npos) << messages();
    EXPECT_EQ(value("SELECT amount FROM srv_w_edit WHERE id = 5"), "1.25");

    // The marker cell never writes.
    edit(3, 5, "x");
    EXPECT_EQ(cell(3, 5), "Picture (DbUneditable)");
    EXPECT_EQ(value("SELECT encode(photo, 'hex') FROM srv_w_edit WHERE id = 5"), "0102");
    EXPECT_EQ(boxes(), std::vector<std::string>{}) << "edits report in the message area, never in a box";
}

TEST_F(ServerWindows, RowsAddedOrChangedElsewhereNeverRedirectAnEdit) {
    people("srv_w_moved");
    connectAndShow("srv_w_moved");
    // A row that sorts before the ones shown, added through the window...
    addRow({"2", "Ann", "1", "2020-01-02", "", "n"});
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 5);
    EXPECT_EQ(cell(4, 2), "Ann");
    EXPECT_EQ(value("SELECT name FROM srv_w_moved WHERE id = 2"), "Ann");
    // ... and one by another client.
    testserver::Run("INSERT INTO srv_w_moved (id, name) VALUES (0, 'Zero')");

    // Grid row 2 still shows id 3, though id 3 is now the table's fourth row.
    edit(2, 2, "Bee");
    EXPECT_EQ(column("SELECT name FROM srv_w_moved ORDER BY id"),
              (std::vector<std::string>{"Zero", "Al", "Ann", "Bee", "Cy"}));
    // The added row is the grid's last and can be edited at once.
    edit(4, 6, "added");
    EXPECT_EQ(value("SELECT note FROM srv_w_moved WHERE id = 2"), "added");
    EXPECT_EQ(messages(), "");

    // Deleted elsewhere: said, and no other row takes the change.
    testserver::Run("DELETE FROM srv_w_moved WHERE id = 1");
    edit(1, 2, "Gone");
    EXPECT_NE(messages().find("Row 1, column name was not saved"), std::string::npos) << messages();
    EXPECT_EQ(cell(1, 2), "Al");
    EXPECT_EQ(column("SELECT name FROM srv_w_moved ORDER BY id"), (std::vector<std::string>{"Zero", "Ann", "Bee", "Cy"}));

    // Its key changed elsewhere: the same.
    testserver::Run("UPDATE srv_w_moved SET id = 50 WHERE id = 5");
    edit(3, 2, "Moved");
    EXPECT_NE(messages().find("Row 3, column name was not saved"), std::string::npos) << messages();
    EXPECT_EQ(value("SELECT name FROM srv_w_moved WHERE id = 50"), "Cy");
}

TEST_F(ServerWindows, AKeyEditedInTheGridGoesOnNamingItsRow) {
    people("srv_w_rekey");
    connectAndShow("srv_w_rekey");
    edit(1, 1, "10");
    EXPECT_EQ(column("SELECT id FROM srv_w_rekey ORDER BY id"), (std::vector<std::string>{"3", "5", "10"}));
    // The row the grid still shows in row 1 is the one now keyed 10.
    edit(1, 2, "Ten");
    EXPECT_EQ(value("SELECT name FROM srv_w_rekey WHERE id = 10"), "Ten");
    // A key that is taken: refused by the server, nothing changed.
    edit(1, 1, "3");
    EXPECT_NE(messages().find("Row 1, column id was not saved"), std::string::npos) << messages();
    EXPECT_EQ(cell(1, 1), "10");
    EXPECT_EQ(column("SELECT name FROM srv_w_rekey ORDER BY id"), (std::vector<std::string>{"Bea", "Cy", "Ten"}));
}

TEST_F(ServerWindows, ATableWithoutPrimaryKeyIsShownAndAddedToButNeverEdited) {
    testserver::Run("DROP TABLE IF EXISTS srv_w_nokey");
    testserver::Run("CREATE TABLE srv_w_nokey (a integer, b varchar(10))");
    testserver::Run("INSERT INTO srv_w_nokey VALUES (1, 'same'), (1, 'same')");
    connectAndShow("srv_w_nokey");
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 3);
    edit(1, 2, "one");
    EXPECT_NE(messages().find("no primary key"), std::string::npos) << messages();
    EXPECT_EQ(cell(1, 2), "same");
    EXPECT_EQ(column("SELECT b FROM srv_w_nokey"), (std::vector<std::string>{"same", "same"}));

    addRow({"2", "new"});
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(cell(3, 2), "new");
    EXPECT_EQ(value("SELECT b FROM srv_w_nokey WHERE a = 2"), "new");
}

TEST_F(ServerWindows, ALargeTableComesInBunchesAndAnEditInALaterBunchFindsItsRow) {
    // 66 fields: 5000 cells' worth of records per load, 4999 placed.
    std::string columns, values;
    for (int i = 2; i <= 66; ++i) columns += ", c" + std::to_string(i) + " integer DEFAULT " + std::to_string(i);
    testserver::Run("DROP TABLE IF EXISTS srv_w_big");
    testserver::Run("CREATE TABLE srv_w_big (id integer PRIMARY KEY" + columns + ")");
    testserver::Run("INSERT INTO srv_w_big (id) SELECT 2 * n FROM generate_series(1, 5200) AS n");
    connectAndShow("srv_w_big");
    EXPECT_EQ(w->txtTotalRec->text(), "5200");
    EXPECT_EQ(cell(4999, 1), "9998");
    EXPECT_EQ(messages(), "Records 1 to 4999 of 5200 are shown.");
    ASSERT_TRUE(w->cmdFirstBunch->isEnabled());
    EXPECT_FALSE(w->cmdLastBunch->isEnabled());

    click(w->cmdFirstBunch);
    EXPECT_EQ(cell(1, 1), "10000") << "record 5000 heads the second bunch";
    EXPECT_EQ(cell(201, 1), "10400");
    EXPECT_EQ(cell(202, 1), "");
    EXPECT_TRUE(w->cmdLastBunch->isEnabled());
    edit(201, 66, "-1");
    EXPECT_EQ(value("SELECT c66 FROM srv_w_big WHERE id = 10400"), "-1");
    EXPECT_EQ(value("SELECT count(*) FROM srv_w_big WHERE c66 <> 66"), "1");

    click(w->cmdLastBunch);
    EXPECT_EQ(cell(1, 1), "2");
    edit(1, 2, "-2");
    EXPECT_EQ(value("SELECT c2 FROM srv_w_big WHERE id = 2"), "-2");
    EXPECT_EQ(value("SELECT count(*) FROM srv_w_big WHERE c2 <> 2"), "1");
}

TEST_F(ServerWindows, EditColumnsNamesTheServerTypesAndChangesNothingStored) {
    people("srv_w_types");
    connectAndShow("srv_w_types");
    std::vector<std::string> names, types;
    whenModal([&](QDialog* d) {
        auto* dialog = qobject_cast<frmEditColumns*>(d);
        ASSERT_NE(dialog, nullptr);
        for (int i = 1; i <= 6; ++i) {
            names.push_back(dialog->MSFlexGrid1->TextMatrix(i, 1));
            types.push_back(dialog->MSFlexGrid1->TextMatrix(i, 2));
        }
        dialog->close();
    });
    click(w->cmdSave);
    click(w->Command3);
    EXPECT_EQ(names, (std::vector<std::string>{"id", "name", "amount", "born", "photo", "note"}));
    // numeric has no name in the dialog's list.
    EXPECT_EQ(types, (std::vector<std::string>{"Integer", "Text", "", "Date", "OLE Object", "Memo"}));
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 7);
    EXPECT_EQ(value("SELECT count(*) FROM information_schema.columns WHERE table_name = 'srv_w_types'"), "6");
}

TEST_F(ServerWindows, TheAdvancedQueryPanelRunsStatementsAndShowsASelect) {
    testserver::Run("DROP TABLE IF EXISTS srv_w_made");
    connect();
    ASSERT_EQ(boxes(), std::vector<std::string>{});
    auto openPanel = [&] {
        QTest::mousePress(w->cmdQuery, Qt::LeftButton);
        QTest::mouseRelease(w->cmdQuery, Qt::LeftButton);
        ASSERT_TRUE(w->fraQuery->isVisible());
    };
    openPanel();
    // Typed into the box, then "Run" clicked.
    auto run = [&](const std::string& statement) {
        w->txtQuery->clear();
        QTest::keyClicks(w->txtQuery, QString::fromStdString(statement));
        click(w->cmdRunQuery);
    };

    // The run path: executed, then the table lists are rebuilt.
    // Enter in the box presses "Run" (the window is active again once the
    // selector has gone).
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::mouseClick(w->txtQuery, Qt::LeftButton);
    QTest::keyClicks(w->txtQuery, "CREATE TABLE srv_w_made (id integer PRIMARY KEY, name varchar(10))");
    QTest::keyClick(w->txtQuery, Qt::Key_Return);
    QCoreApplication::processEvents();
    run("INSERT INTO srv_w_made VALUES (1, 'one'), (2, 'two'), (3, 'three')");
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    std::vector<std::string> tables = items(w->cboTables);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "srv_w_made"), tables.end());
    EXPECT_EQ(items(w->cboQuery3), tables);
    EXPECT_EQ(value("SELECT count(*) FROM srv_w_made"), "3");

    // The display path: the rows in the grid, the tick spent, nothing run.
    click(w->chkDisplayResults);
    run("SELECT name, id FROM srv_w_made WHERE id >= 2 ORDER BY id DESC");
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_FALSE(w->chkDisplayResults->isChecked());
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 3);
    EXPECT_EQ(cell(0, 1), "name");
    EXPECT_EQ(cell(1, 1), "three");
    EXPECT_EQ(cell(2, 2), "2");
    EXPECT_EQ(w->txtTotalRec->text(), "2");
    // A query result is not a table: an edit of it is refused, not stored.
    w->cboTables->setCurrentIndex(w->cboTables->findText("srv_w_made"));
    edit(1, 1, "edited");
    EXPECT_NE(messages().find("was not saved"), std::string::npos) << messages();
    EXPECT_EQ(column("SELECT name FROM srv_w_made ORDER BY id"), (std::vector<std::string>{"one", "two", "three"}));

    // The pick lists build a statement the server runs as a table load;
    // the mouse over the grid closed the panel.
    openPanel();
    w->txtQuery->clear();
    click(w->chkDisplayResults);
    for (auto [list, text] : {std::pair{w->cboQuery1, "SELECT"}, std::pair{w->cboQuery2, "*"},
                              std::pair{w->cboQuery1, "FROM"}, std::pair{w->cboQuery3, "srv_w_made"}})
        pick(list, text);
    EXPECT_EQ(w->txtQuery->text(), " SELECT * FROM [srv_w_made]");
    click(w->cmdRunQuery);
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(cell(3, 2), "three");

    // A statement the server refuses: the fixed text, and lists kept.
    run("DROP TABEL srv_w_made");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "Your Query returned an invalid result, Please try entering query again");
    run("DROP TABLE srv_w_made");
    EXPECT_EQ(boxes().size(), 1u);
    tables = items(w->cboTables);
    EXPECT_EQ(std::find(tables.begin(), tables.end(), "srv_w_made"), tables.end());
}

}  // namespace
}  // namespace uitest
