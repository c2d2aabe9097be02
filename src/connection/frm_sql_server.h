// SPDX-License-Identifier: Apache-2.0
// frmSQLServer: the modal "SQL Server Selector". It collects the server,
// login, password and database of a SQL Server source, lists the server's
// databases on Connect, and on OK hands the four values to the main window.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "ado/connection.h"
#include "ado/recordset.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class frmViewDb;

namespace seams {
class MessageBox;
}

class frmSQLServer : public QDialog {
    Q_OBJECT
public:
    frmSQLServer(frmViewDb& owner, seams::MessageBox& messages);

    QLabel* Label1;
    QLineEdit* Server;
    QLabel* Label2;
    QLineEdit* UsernameEdit;
    QLabel* Label3;
    QLineEdit* PasswordEdit;
    QPushButton* cmdConnect;
    QLabel* Label4;
    QComboBox* cboDb;
    QPushButton* cmdOK;

private:
    void cmdConnect_Click();
    void cmdOK_Click();

    frmViewDb& owner_;
    seams::MessageBox& messages_;
    std::string strConnectList;
    std::unique_ptr<ado::Connection> cnList;
    std::unique_ptr<ado::Recordset> rsList;
};
