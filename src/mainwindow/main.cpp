// SPDX-License-Identifier: Apache-2.0
// pellinordb [FILE]: starting the program shows frmViewDb, with FILE open
// when one is given; closing the window ends the program.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "frm_view_db.h"
#include "odbc/provider.h"
#include "seams/seams.h"
#include "sql/jet_provider.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ado::RegisterJetProvider();
    ado::RegisterServerProvider();
    QApplication::setApplicationName(QStringLiteral("PellinorDB"));
    QApplication::setDesktopFileName(QStringLiteral("pellinordb"));
    seams::QtSeams desktop;
    frmViewDb window(desktop.seams());
    window.show();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        // Once the window is on screen, so a message box has it to stand on.
        const std::string path = QFileInfo(arguments.at(1)).absoluteFilePath().toStdString();
        QTimer::singleShot(0, &window, [&window, path] { window.OpenFile(path); });
    }
    return app.exec();
}
