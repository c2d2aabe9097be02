// Takes the README's pictures: the main window with a table loaded, the
// About dialog, the Add Row and Edit Columns dialogs over that table, the
// two query panels and the Table Fields dialog. Run under a display
// (scripts/screenshots uses Xvfb).
//
//   screenshots DATABASE TABLE OUT_DIR
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

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

bool save(QWidget* w, const QString& file) {
    bool ok = w->grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: screenshots DATABASE TABLE OUT_DIR\n");
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
    frmAddRow addRow(&window);
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
    return ok ? 0 : 1;
}
