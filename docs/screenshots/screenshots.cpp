// Takes the README's pictures: the main window with a table loaded, the
// About dialog, the Add Row and Edit Columns dialogs over that table, the
// two query panels and the Table Fields dialog; given a server, also the
// SQL Server Selector after Connect and a server table in the main window.
// Run under a display (scripts/screenshots uses Xvfb).
//
//   screenshots DATABASE TABLE OUT_DIR [DRIVER SERVER USER PASSWORD SERVER_TABLE]
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "ado/server_connection_string.h"
#include "connection/frm_sql_server.h"
#include "editing/frm_add_row.h"
#include "editing/frm_edit_columns.h"
#include "flexgrid/flex_grid.h"
#include "mainwindow/frm_about.h"
#include "shared/bas_global.h"
#include "mainwindow/frm_view_db.h"
#include "queries/frm_table_fields.h"
#include "seams/scripted.h"

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool savePixmap(const QPixmap& picture, const QString& file) {
    bool ok = picture.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

bool save(QWidget* w, const QString& file) { return savePixmap(w->grab(), file); }

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
        QPixmap picture = selector->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        ok = selector->cboDb->count() > 0 && savePixmap(picture, out + "/sql-server.png");
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

    frmAbout about(&window);
    about.show();
    settle();
    ok = save(&about, out + "/about.png") && ok;
    about.hide();

    basGlobal::lngColumnCount = window.MSFlexGrid1->Cols();
    frmAddRow addRow(&window, window.MSFlexGrid1->mapToGlobal(QPoint(0, window.MSFlexGrid1->height())));
    addRow.show();
    settle();
    ok = save(&addRow, out + "/add-row.png") && ok;
    addRow.hide();

    for (int i = 0; i < window.MSFlexGrid1->Cols(); ++i)
        basGlobal::strColumnHeaders[i] = window.MSFlexGrid1->TextMatrix(0, i);
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
