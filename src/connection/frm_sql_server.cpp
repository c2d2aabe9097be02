// SPDX-License-Identifier: Apache-2.0
#include "frm_sql_server.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ado/connection_string.h"
#include "ado/error.h"
#include "ado/value_text.h"
#include "forms/forms.h"
#include "forms/twips.h"
#include "mainwindow/frm_view_db.h"
#include "seams/message_box.h"

namespace {

template <typename Control>
Control* add(QWidget* parent, const char* caption, int left, int top, int width, int height) {
    auto* c = new Control(parent);
    if constexpr (requires { c->setText(QString()); }) c->setText(QString::fromUtf8(caption));
    forms::Place(c, left, top, width, height);
    return c;
}

}  // namespace

frmSQLServer::frmSQLServer(frmViewDb& owner, seams::MessageBox& messages)
    : QDialog(&owner), owner_(owner), messages_(messages) {
    setWindowTitle(QStringLiteral("SQL Server Selector"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(forms::ProgramFont());
    setFixedSize(forms::ToPixels(4500), forms::ToPixels(3360));
    setModal(true);

    Label1 = add<QLabel>(this, "Server", 240, 120, 1335, 255);
    Server = add<QLineEdit>(this, "", 1800, 120, 2175, 375);
    Server->setText(QStringLiteral("localhost"));
    Label2 = add<QLabel>(this, "Username", 240, 600, 1455, 375);
    UsernameEdit = add<QLineEdit>(this, "sa", 1800, 600, 2175, 375);
    Label3 = add<QLabel>(this, "Password", 240, 1080, 1575, 375);
    PasswordEdit = add<QLineEdit>(this, "", 1800, 1080, 2175, 375);
    forms::SetPasswordChar(PasswordEdit);
    cmdConnect = add<QPushButton>(this, "Connect", 2640, 1560, 1335, 375);
    Label4 = add<QLabel>(this, "Select Database", 240, 2280, 1455, 375);
    cboDb = add<QComboBox>(this, "", 1920, 2280, 2175, 315);
    cboDb->setEditable(true);
    cboDb->setInsertPolicy(QComboBox::NoInsert);
    cboDb->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    cmdOK = add<QPushButton>(this, "OK", 2640, 2760, 1455, 375);
    for (QLabel* l : {Label1, Label2, Label3, Label4}) l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QPushButton* b : {cmdConnect, cmdOK}) b->setAutoDefault(false);

    // Labels take no focus; the rest in the designed order.
    QWidget::setTabOrder(Server, UsernameEdit);
    QWidget::setTabOrder(UsernameEdit, PasswordEdit);
    QWidget::setTabOrder(PasswordEdit, cboDb);
    QWidget::setTabOrder(cboDb, cmdOK);
    QWidget::setTabOrder(cmdOK, cmdConnect);
    Server->setFocus();

    connect(cmdConnect, &QPushButton::clicked, this, [this] { cmdConnect_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
}

void frmSQLServer::cmdConnect_Click() {
    strConnectList = ado::ServerConnectionString(Server->text().toStdString(), UsernameEdit->text().toStdString(),
                                                 PasswordEdit->text().toStdString(), "");
    if (!cnList) cnList = std::make_unique<ado::Connection>();
    if (!rsList) rsList = std::make_unique<ado::Recordset>();
    // Adding to the list must neither select an item nor lose what was typed.
    const QString typed = cboDb->currentText();
    try {
        cnList->Open(strConnectList, "", "", ado::adCmdUnspecified);
        rsList->Open("SELECT * FROM INFORMATION_SCHEMA.schemata", *cnList, ado::adOpenKeyset, ado::adLockOptimistic,
                     ado::adCmdUnspecified);
        if (!rsList->Eof()) {
            rsList->MoveFirst();
            while (!rsList->Eof()) {
                cboDb->addItem(QString::fromStdString(ado::toText(rsList->GetFields()["CATALOG_name"].GetValue())));
                rsList->MoveNext();
            }
        }
        cnList->Close();
    } catch (const std::exception& e) {
        // The connection is left closed, so the next Connect starts afresh.
        if (cnList->State() == ado::adStateOpen) cnList->Close();
        auto* error = dynamic_cast<const ado::Error*>(&e);
        std::string text = error ? std::to_string(error->number()) + error->description() : std::string(e.what());
        messages_.MsgBox(this, text, seams::vbOKOnly + seams::vbInformation, "Ravelin");
    }
    cboDb->setCurrentIndex(-1);
    cboDb->setEditText(typed);
}

void frmSQLServer::cmdOK_Click() {
    owner_.strDatabase = cboDb->currentText().toStdString();
    owner_.strServer = Server->text().toStdString();
    owner_.strUserName = UsernameEdit->text().toStdString();
    owner_.strPassword = PasswordEdit->text().toStdString();
    accept();
}
