// SPDX-License-Identifier: Apache-2.0
// The SIMPLE QUERY panel fraSimpleQuery: the three table actions (add,
// delete, copy a table), the inputs each shows, and "Run Query", which
// builds one statement from them, executes it and reloads the table lists.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "frm_table_fields.h"
#include "mainwindow/frm_view_db.h"
#include "panel_events.h"
#include "shared/bas_global.h"

void frmViewDb::cmdSimplQuery_MouseDown(int, int, int, int) {
    if (fraQuery->isVisible()) fraQuery->setVisible(false);
    fraSimpleQuery->setVisible(true);
    fraSimpleQuery->raise();
    queries::MakeDefault(cmdRunSimpleQuery);
}

void frmViewDb::cboSQuery1_Click() {
    // Hidden inputs keep their texts for when they are shown again.
    for (QWidget* input : {static_cast<QWidget*>(txtTableName), static_cast<QWidget*>(lblTableName),
                           static_cast<QWidget*>(lblNewTableName), static_cast<QWidget*>(txtNewTableName),
                           static_cast<QWidget*>(cboSQuery2)})
        input->setVisible(false);
    const QString action = cboSQuery1->currentText();
    if (action == QStringLiteral("Add Table")) {
        lblQueryStatus->setText(QStringLiteral("Please enter the name of the table to add under table name"));
        lblTableName->setVisible(true);
        txtTableName->setVisible(true);
        intAction = 1;
    } else if (action == QStringLiteral("Delete Table")) {
        lblQueryStatus->setText(QStringLiteral("Please select the name of the table to delete under table name"));
        lblTableName->setVisible(true);
        cboSQuery2->setVisible(true);
        intAction = 2;
    } else if (action == QStringLiteral("Copy Table")) {
        lblQueryStatus->setText(QStringLiteral("Please select the name of the table to copy and the new table name"));
        lblTableName->setVisible(true);
        lblNewTableName->setVisible(true);
        cboSQuery2->setVisible(true);
        txtNewTableName->setVisible(true);
        intAction = 3;
    } else {
        seams_.messages.MsgBox(this, "Sorry that action is not supported", seams::vbOKOnly + seams::vbInformation,
                               "Ravelin");
    }
}

void frmViewDb::ExecuteSQL() { cnDb.Execute(strSQL, nullptr, ado::adCmdUnspecified); }

// The status line changes, and the lists reload, only after the statement
// has run; a statement the database refuses is reported and changes neither.
void frmViewDb::cmdRunSimpleQuery_Click() {
    if (intAction < 1 || intAction > 3) return;
    try {
        if (intAction == 1) {
            frmTableFields fields(this, seams_.messages);
            fields.exec();
            const int16_t count = basGlobal::intFieldCount;
            std::string list;
            for (int i = 1; i <= count; ++i) {
                if (i > 1) list += ", ";
                list += basGlobal::strFieldNames[i] + " " +
                        QString::fromStdString(basGlobal::strFieldTypes[i]).toUpper().toStdString();
            }
            const std::string name = txtTableName->text().toStdString();
            strSQL = "CREATE TABLE " + name + "(" + list + ")";
            ExecuteSQL();
            basGlobal::intFieldCount = 0;
            lblQueryStatus->setText(QString::fromStdString("Table " + name + " was added"));
        } else if (intAction == 2) {
            const std::string table = cboSQuery2->currentText().toStdString();
            strSQL = "DROP TABLE " + table;
            ExecuteSQL();
            lblQueryStatus->setText(QString::fromStdString("Table " + table + " was deleted"));
        } else {
            const std::string table = cboSQuery2->currentText().toStdString();
            const std::string copy = txtNewTableName->text().toStdString();
            strSQL = "SELECT * INTO " + copy + " FROM " + table;
            ExecuteSQL();
            lblQueryStatus->setText(
                QString::fromStdString("Table " + table + " was copied to a new table called " + copy));
        }
    } catch (const std::exception& e) {
        ShowErrorBox(e);
        return;
    }
    LoadTableList();
}
