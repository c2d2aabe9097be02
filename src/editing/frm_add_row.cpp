// SPDX-License-Identifier: Apache-2.0
#include "frm_add_row.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "cell_editor.h"
#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "forms/twips.h"
#include "shared/bas_global.h"

frmAddRow::frmAddRow(QWidget* owner, QPoint place)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Enter the new values"));
    setFont(forms::ProgramFont());
    setFixedSize(forms::ToPixels(8430), forms::ToPixels(1335));

    MSFlexGrid1 = new flexgrid::FlexGrid(this);
    forms::Place(MSFlexGrid1, 0, 0, 8415, 975);
    MSFlexGrid1->setFont(forms::ProgramFont());
    MSFlexGrid1->SetRows(2);
    ctlTextList1 = new QLineEdit(this);
    forms::SetFont(ctlTextList1, 8.25, true);
    ctlTextList1->hide();
    cmdOK = new QPushButton(QStringLiteral("Add"), this);
    forms::Place(cmdOK, 7320, 1080, 1095, 255);
    cmdOK->setDefault(true);
    Label1 = new QLabel(QStringLiteral("Enter the values for the new row"), this);
    forms::Place(Label1, 0, 960, 4215, 375);
    forms::SetFont(Label1, 9.75, true);
    forms::SetForeColor(Label1, QColor(0xFF, 0x00, 0x00));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    forms::Place(cmdCancel, 6240, 1080, 1095, 255);
    setTabOrder(MSFlexGrid1, ctlTextList1);
    setTabOrder(ctlTextList1, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(MSFlexGrid1, &flexgrid::FlexGrid::Click, this, [this] { MSFlexGrid1_EnterCell(); });
    connect(MSFlexGrid1, &flexgrid::FlexGrid::EnterCell, this, [this] { MSFlexGrid1_EnterCell(); });
    connect(ctlTextList1, &QLineEdit::textChanged, this, [this] { ctlTextList1_Change(); });
    new editing::EditorEvents(
        ctlTextList1, [this](int key) { editing::DialogKeyDown(ctlTextList1, MSFlexGrid1, key); },
        [this] { ctlTextList1_LostFocus(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    Form_Load(place);
}

void frmAddRow::Form_Load(QPoint place) {
    // Until "Add" stores the values, the dialog stands cancelled.
    basGlobal::blnCancelled = true;
    MSFlexGrid1->SetCols(basGlobal::lngColumnCount);
    for (int k = 1; k < basGlobal::lngColumnCount; ++k) MSFlexGrid1->SetTextMatrix(0, k, basGlobal::strColumnHeaders[k]);
    // Below the main grid, unless that runs off the screen's bottom.
    if (const QScreen* screen = QGuiApplication::screenAt(place))
        place.setY(std::min(place.y(), screen->availableGeometry().bottom() - height()));
    move(place);
}

void frmAddRow::cmdOK_Click() {
    basGlobal::blnCancelled = false;
    for (int k = 0; k < basGlobal::lngColumnCount; ++k) basGlobal::strNewRowValues[k] = MSFlexGrid1->TextMatrix(1, k);
    accept();
}

void frmAddRow::cmdCancel_Click() {
    basGlobal::blnCancelled = true;
    QDialog::reject();
}

void frmAddRow::reject() { cmdCancel_Click(); }

void frmAddRow::MSFlexGrid1_EnterCell() {
    if (MSFlexGrid1->Row() < 1 || MSFlexGrid1->Col() < 1) return;
    editRow_ = MSFlexGrid1->Row();
    editCol_ = MSFlexGrid1->Col();
    editing::OpenCellEditor(ctlTextList1, MSFlexGrid1);
    editing::CoverCurrentCell(ctlTextList1, MSFlexGrid1);
}

void frmAddRow::ctlTextList1_Change() {
    MSFlexGrid1->SetText(ctlTextList1->text().toStdString());
}

void frmAddRow::ctlTextList1_LostFocus() {
    if (editRow_ >= 1 && editRow_ < MSFlexGrid1->Rows() && editCol_ >= 1 && editCol_ < MSFlexGrid1->Cols())
        MSFlexGrid1->SetTextMatrix(editRow_, editCol_, ctlTextList1->text().toStdString());
    ctlTextList1->hide();
}
