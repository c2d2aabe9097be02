// SPDX-License-Identifier: Apache-2.0
// LoadTableList: (re)opens the connection and refills the three table
// lists with the database's user tables.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "ado/error.h"
#include "ado/value_text.h"
#include "jet/error.h"
#include "mainwindow/frm_view_db.h"
#include "table_filter.h"

void frmViewDb::LoadTableList() {
    auto unselect = [this] {
        for (QComboBox* list : {cboTables, cboQuery3, cboSQuery2}) list->setCurrentIndex(-1);
    };
    // The grid shows a table of the open database or nothing: after a
    // failed open, or once another database is open, it is emptied.
    auto failed = [&](const std::exception& e) {
        unselect();
        ClearGrid();
        ShowErrorBox(e);
        // A file that needs a password: the login boxes are shown for it,
        // and the next "Open" offers the same file.
        auto* error = dynamic_cast<const ado::Error*>(&e);
        if (error && error->number() == jet::kErrBadPassword && !chkPassword->isChecked()) {
            chkPassword->setChecked(true);
            chkPassword_Click();
            txtPassword->setFocus();
        }
    };
    const std::string shownConnect = strConnect;
    // After an open that failed, lngConnOpen still says 1 and the close
    // raises 3704: the work then resumes at the reopen point, once.
    bool reopen = false;
    for (;;) {
        try {
            if (!reopen) {
                cboTables->clear();
                cboQuery3->clear();
                cboSQuery2->clear();
                txtFileName->setText(QString::fromStdString(cdOpenDB.FileName));
                if (txtFileName->text().isEmpty() && strDatabase.empty()) {
                    cboTables->setEnabled(false);
                    cmdSave->setEnabled(false);
                    return;
                }
                cmdSave->setEnabled(true);
                cboTables->setEnabled(true);
                EnableQueryButtons();
                if (lngConnOpen == 1) cnDb.Close();
            }
            lngConnOpen = 1;
            OpenConnection();
            if (strConnect != shownConnect) ClearGrid();

            rsSchema = cnDb.OpenSchema(ado::adSchemaTables, {ado::Value(), ado::Value(), ado::Value(), std::string("TABLE")});
            while (!rsSchema->Eof()) {
                std::string name = ado::toText(rsSchema->GetFields()["table_name"].GetValue());
                if (PassesTableFilter(name)) {
                    QString item = QString::fromStdString(name);
                    cboTables->addItem(item);
                    cboQuery3->addItem(item);
                    cboSQuery2->addItem(item);
                }
                rsSchema->MoveNext();
            }
            unselect();
            return;
        } catch (const ado::Error& e) {
            if (e.number() == ado::kErrObjectClosed && !reopen) {
                reopen = true;
                continue;
            }
            failed(e);
            return;
        } catch (const std::exception& e) {
            failed(e);
            return;
        }
    }
}
