// SPDX-License-Identifier: Apache-2.0
// Where the data comes from: the source types, the Open button, the choice
// of a file or of a SQL Server database, and the connection string of each
// source type.
#include <QComboBox>
#include <QLineEdit>

#include "ado/connection_string.h"
#include "forms/forms.h"
#include "frm_sql_server.h"
#include "mainwindow/frm_view_db.h"

void frmViewDb::FillSourceTypes() {
    const std::pair<const char*, int> types[] = {{"MS Access (*.mdb)", 1}, {"MS SQL ", 2},
                                                 {"MySQL (Requires MySQL ODBC)", 3}, {"Oracle", 4},
                                                 {"DB IV/V (*.dbf)", 5}, {"Excel (*.xls)", 6}};
    for (auto [text, item_data] : types) cboType->addItem(QString::fromUtf8(text), item_data);
    cboType->setCurrentIndex(-1);
}

void frmViewDb::cmdOpen_Click() {
    SelectSource();
    OpenChosenSource();
}

void frmViewDb::OpenFile(const std::string& path) {
    cdOpenDB.FileName = path;
    OpenChosenSource();
}

void frmViewDb::OpenChosenSource() {
    forms::SetMousePointer(this, forms::vbHourglass);
    LoadTableList();
    forms::SetMousePointer(this, forms::vbArrow);
}

void frmViewDb::SelectSource() {
    switch (cboType->currentIndex()) {
    case 1: {
        // Sets strServer, strUserName, strPassword and strDatabase on OK.
        frmSQLServer selector(*this, seams_.messages);
        selector.exec();
        break;
    }
    case 2:
    case 3: cdOpenDB.Filter = "*.mdb"; break;
    case 4: cdOpenDB.Filter = "*.dbf"; break;
    case 5: cdOpenDB.Filter = "*.xls, *.csv"; break;
    default:
        cdOpenDB.Filter = "*.mdb";
        cdOpenDB.FilterIndex = 1;
        cdOpenDB.ShowOpen();
        break;
    }
}

void frmViewDb::OpenConnection() {
    switch (cboType->currentIndex()) {
    case 1:
        strConnect = ado::ServerConnectionString(strServer, strUserName, strPassword, strDatabase);
        break;
    case 2:
    case 3:
    case 4: break;
    case 5: cdOpenDB.Filter = "*.xls, *.csv"; break;
    default:
        strConnect = ado::JetConnectionString(txtFileName->text().toStdString(), txtPassword->text().toStdString(),
                                              txtUName->text().toStdString());
        break;
    }
    cnDb.Open(strConnect, "", "", ado::adCmdUnspecified);
}
