// Takes the README's pictures: the main window with a table loaded, the
// About dialog, and the Add Row and Edit Columns dialogs over that table. Run under a display (scripts/screenshots uses Xvfb).
//
//   screenshots DATABASE TABLE OUT_DIR
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "editing/frm_add_row.h"
#include "editing/frm_edit_columns.h"
#include "flexgrid/flex_grid.h"
#include "mainwindow/frm_about.h"
#include "shared/bas_global.h"
#include "mainwindow/frm_view_db.h"
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
    return ok ? 0 : 1;
}
