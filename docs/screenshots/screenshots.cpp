// SPDX-License-Identifier: Apache-2.0
// Takes the README's pictures: the main window with a table loaded, a
// refused edit in the message area, the About dialog, the Add Row dialog
// below the grid and the Edit Columns dialog over that table, the
// two query panels and the Table Fields dialog; given a server, also the
// SQL Server Selector after Connect and a server table in the main window.
// Run under a display (scripts/screenshots uses Xvfb).
//
//   screenshots DATABASE TABLE OUT_DIR [DRIVER SERVER USER PASSWORD SERVER_TABLE]
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include "connection/frm_sql_server.h"
#include "editing/frm_add_row.h"
#include "editing/frm_edit_columns.h"
#include "flexgrid/flex_grid.h"
#include "mainwindow/frm_about.h"
#include "mainwindow/frm_view_db.h"
#include "odbc/provider.h"
#include "odbc/server_connection_string.h"
#include "queries/frm_table_fields.h"
#include "seams/scripted.h"
#include "shared/bas_global.h"
#include "sql/jet_provider.h"

namespace {

// A window shown or hidden reaches the screen only after a few rounds
// with the display server.
void settle() {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool savePixmap(const QPixmap& picture, const QString& file) {
    bool ok = picture.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

bool save(QWidget* w, const QString& file) { return savePixmap(w->grab(), file); }

// The window with what lies on the screen over it (a dialog, a list).
bool saveScreen(QWidget* window, QRect area, const QString& file) {
    return savePixmap(window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()), file);
}

// A key pressed and released in `box`, as typed.
void key(QWidget* box, Qt::Key code, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QApplication::sendEvent(box, &release);
}

// The panels open on a mouse press, as a person opens them.
void pressMouse(QWidget* button) {
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &up);
    settle();
}

void choose(QComboBox* list, const char* item) {
    int i = list->findText(QString::fromUtf8(item));
    list->setCurrentIndex(i);
    emit list->activated(i);
}

// "Open" on the server path, as a person fills in the selector and presses
// Connect; the selector is taken once the list is filled, then its first
// database is picked and OK pressed. The main window shows `table` after.
bool takeServer(seams::ScriptedSeams& scripted, seams::QtSeams& desktop, char** server, const QString& out) {
    ado::SetServerDriver(server[0]);
    frmViewDb window({scripted.messages, scripted.files, desktop.clipboard, desktop.web});
    window.show();
    settle();
    window.cboType->setCurrentIndex(1);  // "MS SQL " on the hidden source list
    bool ok = false;
    QTimer::singleShot(0, [&] {
        auto* selector = qobject_cast<frmSQLServer*>(QApplication::activeModalWidget());
        if (!selector) return;
        selector->Server->setText(QString::fromLocal8Bit(server[1]));
        selector->UsernameEdit->setText(QString::fromLocal8Bit(server[2]));
        selector->PasswordEdit->setText(QString::fromLocal8Bit(server[3]));
        selector->cmdConnect->click();
        settle();
        // With the list open, so the picture shows what Connect put in it;
        // the list is a window of its own, so the screen is taken.
        selector->cboDb->showPopup();
        settle();
        QRect area = selector->frameGeometry();
        if (QWidget* list = selector->cboDb->view()->window(); list->isVisible()) area |= list->frameGeometry();
        ok = selector->cboDb->count() > 0 && saveScreen(selector, area, out + "/sql-server.png");
        selector->cboDb->hidePopup();
        selector->cboDb->setCurrentIndex(0);
        selector->cmdOK->click();
    });
    window.cmdOpen->click();
    int table = window.cboTables->findText(QString::fromLocal8Bit(server[4]));
    if (!ok || table < 0 || !scripted.messages.shown.empty()) {
        std::fprintf(stderr, "screenshots: could not list or open %s on %s (scripts/test-server starts the server)\n",
                     server[4], server[1]);
        return false;
    }
    choose(window.cboTables, server[4]);
    settle();
    return save(&window, out + "/server-table.png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ado::RegisterJetProvider();
    ado::RegisterServerProvider();
    if (argc != 4 && argc != 9) {
        std::fprintf(stderr, "usage: screenshots DATABASE TABLE OUT_DIR [DRIVER SERVER USER PASSWORD SERVER_TABLE]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[3]);
    // The desktop's web pane and clipboard; the file choice is scripted.
    seams::ScriptedSeams scripted;
    seams::QtSeams desktop;
    frmViewDb window({scripted.messages, scripted.files, desktop.clipboard, desktop.web});
    window.show();
    settle();

    scripted.files.Choose(argv[1]);
    window.cmdOpen->click();
    int table = window.cboTables->findText(QString::fromLocal8Bit(argv[2]));
    if (table < 0 || !scripted.messages.shown.empty()) {
        std::fprintf(stderr, "screenshots: could not open %s\n", argv[1]);
        return 1;
    }
    window.cboTables->setCurrentIndex(table);
    emit window.cboTables->activated(table);
    settle();
    bool ok = save(&window, out + "/main-window.png");

    // Letters typed into a number field, then Right: the save is refused,
    // the value put back, and the message area says why.
    window.activateWindow();
    window.MSFlexGrid1->SetCol(4);
    window.MSFlexGrid1->SetRow(3);
    settle();
    for (QChar c : QStringLiteral("abc")) key(window.ctlTextList1, Qt::Key_A, QString(c));
    key(window.ctlTextList1, Qt::Key_Right);
    settle();
    const int top = window.MSFlexGrid1->geometry().bottom() - 60;
    ok = savePixmap(window.grab(QRect(0, top, window.width(), window.txtFileName->geometry().bottom() + 8 - top)),
                    out + "/message-area.png") &&
         window.txtMessages->toPlainText().contains(QStringLiteral("not saved")) && ok;

    frmAbout about(&window);
    about.show();
    settle();
    ok = save(&about, out + "/about.png") && ok;
    about.hide();
    settle();

    basGlobal::lngColumnCount = window.MSFlexGrid1->Cols();
    for (int i = 0; i < window.MSFlexGrid1->Cols(); ++i)
        basGlobal::strColumnHeaders[i] = window.MSFlexGrid1->TextMatrix(0, i);
    frmAddRow addRow(&window, window.MSFlexGrid1->mapToGlobal(QPoint(0, window.MSFlexGrid1->height())));
    addRow.MSFlexGrid1->SetTextMatrix(1, 2, "Ada Byron");
    addRow.MSFlexGrid1->SetTextMatrix(1, 3, "London");
    addRow.show();
    settle();
    // With the window, so the picture shows both grids' field names.
    ok = saveScreen(&window, window.frameGeometry() | addRow.frameGeometry(), out + "/add-row.png") && ok;
    addRow.hide();


    frmEditColumns editColumns(&window);
    editColumns.show();
    settle();
    ok = save(&editColumns, out + "/edit-columns.png") && ok;
    editColumns.hide();

    pressMouse(window.cmdQuery);
    choose(window.cboQuery1, "SELECT");
    choose(window.cboQuery2, "*");
    choose(window.cboQuery1, "FROM");
    choose(window.cboQuery3, argv[2]);
    window.txtQuery->setText(window.txtQuery->text() + " WHERE ID < 100");
    window.chkDisplayResults->setChecked(true);
    settle();
    ok = save(&window, out + "/query-panel.png") && ok;

    pressMouse(window.cmdSimplQuery);
    choose(window.cboSQuery1, "Copy Table");
    choose(window.cboSQuery2, argv[2]);
    window.txtNewTableName->setText(QStringLiteral("BigTableCopy"));
    settle();
    ok = save(&window, out + "/simple-query.png") && ok;

    frmTableFields tableFields(&window, scripted.messages);
    tableFields.show();
    for (const char* field : {"Name", "Age"}) {
        tableFields.txtFieldName->setText(QString::fromUtf8(field));
        choose(tableFields.cboFieldType, field[0] == 'N' ? "Text" : "Integer");
        tableFields.cmdAdd->click();
    }
    tableFields.txtFieldName->setText(QStringLiteral("Joined"));
    choose(tableFields.cboFieldType, "Date");
    settle();
    ok = save(&tableFields, out + "/table-fields.png") && ok;
    tableFields.hide();

    if (argc == 9) ok = takeServer(scripted, desktop, argv + 4, out) && ok;
    return ok ? 0 : 1;
}
