// SPDX-License-Identifier: Apache-2.0
#include "edit_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "ado/connection.h"
#include "ado/recordset.h"
#include "ado/value_text.h"
#include "flexgrid/flex_grid.h"

namespace uitest {

void EditTest::SetUp() {
    WindowTest::SetUp();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
}

void EditTest::openCopy(const std::string& file, const std::string& table) {
    copy = std::make_unique<testdata::Copy>(file);
    open(copy->path());
    pick(w->cboTables, table);
}

void EditTest::clickCell(int row, int col) {
    // A closed popup list (the table list) can leave no window active.
    if (!w->isActiveWindow()) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    clickGridCell(w->MSFlexGrid1, row, col);
}

void EditTest::clickGridCell(flexgrid::FlexGrid* grid, int row, int col) {
    QCoreApplication::processEvents();
    QModelIndex index = grid->model()->index(row - 1, col - 1);
    grid->scrollTo(index);
    QCoreApplication::processEvents();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    QCoreApplication::processEvents();
}

void EditTest::type(const QString& text) {
    QTest::keyClicks(QApplication::focusWidget(), text);
    QCoreApplication::processEvents();
}

void EditTest::press(Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key);
    QCoreApplication::processEvents();
}

std::string EditTest::editorText() const { return w->ctlTextList1->text().toStdString(); }

bool EditTest::editorOpen() const { return w->ctlTextList1->isVisible() && w->ctlTextList1->hasFocus(); }

std::string EditTest::stored(const std::string& table, long row_number, const std::string& field) {
    ado::Connection cn;
    cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy->path());
    ado::Recordset rs;
    rs.Open("SELECT * FROM [" + table + "]", cn, ado::adOpenStatic);
    rs.Move(row_number - 1);
    return ado::toText(rs.GetFields()[field].GetValue(), '.');
}

long EditTest::storedCount(const std::string& table) {
    ado::Connection cn;
    cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy->path());
    ado::Recordset rs;
    rs.Open("SELECT * FROM [" + table + "]", cn, ado::adOpenStatic);
    return rs.RecordCount();
}

std::string EditTest::exported(const std::string& table) {
    std::string out;
    FILE* pipe = popen(("mdb-export '" + copy->path() + "' '" + table + "'").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
    return out;
}

void EditTest::whenModal(std::function<void(QDialog*)> act) {
    // Gives up after a few seconds, so a dialog that never shows cannot
    // leave the poll running into later tests.
    auto poll = std::make_shared<std::function<void(int)>>();
    *poll = [act, poll](int tries) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (tries > 0) QTimer::singleShot(10, [poll, tries] { (*poll)(tries - 1); });
            return;
        }
        // Focus goes to the dialog's controls once it is the active window.
        dialog->activateWindow();
        // A machine busy with other tests can take seconds to get there.
        if (!QTest::qWaitForWindowActive(dialog, 20000)) ADD_FAILURE() << "the dialog did not become active";
        act(dialog);
    };
    QTimer::singleShot(0, [poll] { (*poll)(1000); });
}

}  // namespace uitest
