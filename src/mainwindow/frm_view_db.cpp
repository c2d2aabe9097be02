// SPDX-License-Identifier: Apache-2.0
#include "frm_view_db.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

#include "ado/error.h"
#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "forms/twips.h"
#include "frm_about.h"
#include "program_art.h"

frmViewDb::frmViewDb(seams::Seams services) : seams_(services), cdOpenDB(services.files, this) {
    CreateControls();
    setWindowIcon(ProgramIcon());
    // Tall enough for an opened query panel, whole, with a margin below.
    resize(forms::ToPixels(9420), fraQuery->geometry().bottom() + 1 + forms::ToPixels(120));
    setMouseTracking(true);
    ConnectEvents();
    Form_Load();
}

// An edit still open ends (and is saved) while the members it uses live;
// the focus moves that closing the window makes reach no handler of it.
frmViewDb::~frmViewDb() {
    ctlTextList1->hide();
    disconnect(qApp, nullptr, this, nullptr);
}

void frmViewDb::ConnectEvents() {
    connect(cmdOpen, &QPushButton::clicked, this, [this] { cmdOpen_Click(); });
    connect(cboTables, &QComboBox::activated, this, [this] { cboTables_Click(); });
    connect(cmdFirstBunch, &QPushButton::clicked, this, [this] { cmdFirstBunch_Click(); });
    connect(cmdLastBunch, &QPushButton::clicked, this, [this] { cmdLastBunch_Click(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(chkPassword, &QCheckBox::clicked, this, [this] { chkPassword_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(MSFlexGrid1, &flexgrid::FlexGrid::MouseUp, this,
            [this](int button, int shift, int x, int y) { MSFlexGrid1_MouseUp(button, shift, x, y); });
    connect(MSFlexGrid1, &flexgrid::FlexGrid::MouseMove, this,
            [this](int button, int shift, int x, int y) { MSFlexGrid1_MouseMove(button, shift, x, y); });
    connect(mnuGridCopy, &QAction::triggered, this, [this] { mnuGridCopy_Click(); });
    // The Add flyout closes once one of its buttons is used, and once the
    // focus goes anywhere but to it or to "Add" (a dialog of its buttons
    // takes it first, so the focus is not moved out from under the dialog).
    connect(Command2, &QPushButton::clicked, this, [this] {
        Command2_Click();
        fraAddOps->setVisible(false);
    });
    connect(Command3, &QPushButton::clicked, this, [this] {
        Command3_Click();
        fraAddOps->setVisible(false);
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (fraAddOps->isVisible() && now != cmdSave && !fraAddOps->isAncestorOf(now)) fraAddOps->setVisible(false);
    });
    ConnectCellEditor();
    ConnectQueryPanels();
}

void frmViewDb::Form_Load() {
    seams_.web.Navigate("/images/db/advertise.html");
    FillQueryLists();
    FillSourceTypes();
    cboTables->setFrame(false);  // the flat look
}

void frmViewDb::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmViewDb::Form_Resize() {
    // A minimized window cannot take the minimum width.
    if (isMinimized()) return;
    int W = forms::ToTwips(frameGeometry().width());
    if (W < 9540) {
        resize(width() + forms::ToPixels(9540) - frameGeometry().width(), height());
        W = 9540;
    }
    MSFlexGrid1->SetWidth(W - 500);
    forms::SetWidth(hitWeb, W + 500);
    forms::SetWidth(ProgressBar1, W - 500);
    forms::SetWidth(fraQuery, W - 400);
    forms::SetWidth(fraSimpleQuery, W - 400);
}

// Only the bare window background counts, not the controls on it.
void frmViewDb::mouseMoveEvent(QMouseEvent* event) {
    if (!childAt(event->position().toPoint())) Form_MouseMove();
}

void frmViewDb::Form_MouseMove() { fraAddOps->setVisible(false); }

void frmViewDb::cmdSave_Click() {
    fraAddOps->setVisible(true);
    fraAddOps->raise();
}

void frmViewDb::chkPassword_Click() {
    bool V = chkPassword->checkState() != Qt::Unchecked;
    txtUName->setVisible(V);
    txtPassword->setVisible(V);
    lblUName->setVisible(V);
    lblPassword->setVisible(V);
}

void frmViewDb::Command1_Click() {
    frmAbout about(this);
    about.exec();
}

void frmViewDb::EnableQueryButtons() {
    cmdQuery->setEnabled(true);
    cmdSimplQuery->setEnabled(true);
}

void frmViewDb::ShowErrorBox(const std::exception& error) {
    auto* e = dynamic_cast<const ado::Error*>(&error);
    std::string text = e ? std::to_string(e->number()) + e->description() : std::string(error.what());
    seams_.messages.MsgBox(this, text, seams::vbOKOnly + seams::vbInformation, "Ravelin");
}
