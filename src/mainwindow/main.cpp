// pellinordb: starting the program shows frmViewDb; closing it ends it.
#include <QApplication>

#include "frm_view_db.h"
#include "seams/seams.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PellinorDB"));
    QApplication::setDesktopFileName(QStringLiteral("pellinordb"));
    seams::QtSeams desktop;
    frmViewDb window(desktop.seams());
    window.show();
    return app.exec();
}
