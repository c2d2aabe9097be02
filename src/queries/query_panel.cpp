// SPDX-License-Identifier: Apache-2.0
// The ADVANCED QUERY panel fraQuery: the pick lists that append to the
// statement text, and "Run", which executes the text or, with "Display
// Result" ticked, shows its rows in the grid. Also fills the pick lists of
// both query panels and wires both panels' events.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include "ado/error.h"
#include "mainwindow/frm_view_db.h"
#include "panel_events.h"
#include "statement_run.h"

namespace {

const char* const kInvalidResult = "Your Query returned an invalid result, Please try entering query again";
const char* const kCancelled = "Operation has been cancelled by the user.";

}  // namespace

void frmViewDb::ConnectQueryPanels() {
    queries::OnMouseDown(cmdQuery, [this](int b, int s, int x, int y) { cmdQuery_MouseDown(b, s, x, y); });
    queries::OnMouseDown(cmdSimplQuery, [this](int b, int s, int x, int y) { cmdSimplQuery_MouseDown(b, s, x, y); });
    queries::PressDefaultOnEnter(fraQuery, cmdRunQuery);
    queries::PressDefaultOnEnter(fraSimpleQuery, cmdRunSimpleQuery);
    connect(cboQuery1, &QComboBox::activated, this, [this] { cboQuery1_Click(); });
    connect(cboQuery2, &QComboBox::activated, this, [this] { cboQuery2_Click(); });
    connect(cboQuery3, &QComboBox::activated, this, [this] { cboQuery3_Click(); });
    connect(cmdRunQuery, &QPushButton::clicked, this, [this] { cmdRunQuery_Click(); });
    connect(cboSQuery1, &QComboBox::activated, this, [this] { cboSQuery1_Click(); });
    connect(cmdRunSimpleQuery, &QPushButton::clicked, this, [this] { cmdRunSimpleQuery_Click(); });
}

void frmViewDb::FillQueryLists() {
    for (const char* keyword : {"SELECT", "FROM", "CREATE", "INSERT INTO", "DROP", "WHERE", "GROUP BY", "ORDER BY"})
        cboQuery1->addItem(QString::fromUtf8(keyword));
    for (const char* op : {"*", "(", ")", "=", "LIKE", "'", ">", "<", "<>", "<=", ">=", "%"})
        cboQuery2->addItem(QString::fromUtf8(op));
    for (const char* action : {"Add Table", "Delete Table", "Copy Table"}) cboSQuery1->addItem(QString::fromUtf8(action));
    for (QComboBox* list : {cboQuery1, cboQuery2, cboSQuery1}) list->setCurrentIndex(-1);
}

void frmViewDb::cmdQuery_MouseDown(int, int, int, int) {
    if (fraSimpleQuery->isVisible()) fraSimpleQuery->setVisible(false);
    fraQuery->setVisible(true);
    fraQuery->raise();
    queries::MakeDefault(cmdRunQuery);
}

// The pick lists only ever append to the end of the text.
void frmViewDb::cboQuery1_Click() { txtQuery->setText(txtQuery->text() + " " + cboQuery1->currentText()); }

void frmViewDb::cboQuery2_Click() { txtQuery->setText(txtQuery->text() + " " + cboQuery2->currentText()); }

void frmViewDb::cboQuery3_Click() { txtQuery->setText(txtQuery->text() + " [" + cboQuery3->currentText() + "]"); }

void frmViewDb::cmdRunQuery_Click() {
    try {
        if (chkDisplayResults->checkState() == Qt::Checked) {
            strSQL = txtQuery->text().toStdString();
            ShowTable();
        } else {
            const std::string statement = txtQuery->text().toStdString();
            queries::RunOnWorker(this, cnDb, [&] { cnDb.Execute(statement, nullptr, ado::adCmdUnspecified); });
            LoadTableList();
        }
    } catch (const std::exception& e) {
        // A fixed text for the user, which tells a stopped statement from a
        // failed one; the provider's own words as detail.
        auto* error = dynamic_cast<const ado::Error*>(&e);
        std::string detail = error ? std::to_string(error->number()) + " " + error->description() : e.what();
        const bool cancelled = error && error->number() == ado::kErrCancelled;
        seams_.messages.MsgBox(this, cancelled ? kCancelled : kInvalidResult, seams::vbOKOnly + seams::vbInformation,
                               "Ravelin", detail);
    }
}
