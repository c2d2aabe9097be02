// SPDX-License-Identifier: Apache-2.0
// The main window's cell editor ctlTextList1: opened over the grid's
// current cell, the grid following the typing one key behind, the
// navigation keys saving before they move, and a save at focus loss.
//
// A click on another cell first takes the focus from the editor, so the
// focus-loss save acts on the cell the editor covered; only then does the
// grid change its current cell and raise EnterCell.
#include <QLineEdit>

#include "cell_editor.h"
#include "flexgrid/flex_grid.h"
#include "grid/cell_budget.h"
#include "mainwindow/frm_view_db.h"

void frmViewDb::ConnectCellEditor() {
    connect(MSFlexGrid1, &flexgrid::FlexGrid::Click, this, [this] { MSFlexGrid1_Click(); });
    connect(MSFlexGrid1, &flexgrid::FlexGrid::EnterCell, this, [this] { MSFlexGrid1_EnterCell(); });
    new editing::EditorEvents(
        ctlTextList1, [this](int key) { ctlTextList1_KeyDown(key); }, [this] { ctlTextList1_LostFocus(); });
}

void frmViewDb::MSFlexGrid1_Click() { MSFlexGrid1_EnterCell(); }

void frmViewDb::MSFlexGrid1_EnterCell() {
    // A grid without data cells has nothing to edit.
    if (MSFlexGrid1->Row() < 1 || MSFlexGrid1->Col() < 1) return;
    editing::OpenCellEditor(ctlTextList1, MSFlexGrid1);
    strStoredCellText = MSFlexGrid1->Text();
    ShowCellEditor();
}

void frmViewDb::ShowCellEditor() {
    editing::CoverCurrentCell(ctlTextList1, MSFlexGrid1);
    ctlTextList1->setSelection(0, int(QString::fromStdString(MSFlexGrid1->Text()).size()));
}

void frmViewDb::ctlTextList1_KeyDown(int KeyCode) {
    strOldCellText = MSFlexGrid1->Text();
    strNewCellText = ctlTextList1->text().toStdString();
    if (strOldCellText != kPictureMarker) MSFlexGrid1->SetText(strNewCellText);
    if (editing::IsNavigationKey(KeyCode)) {
        SaveCellEdit();
        editing::MoveCurrentCell(MSFlexGrid1, KeyCode);
    }
    editing::SetSelectionLength(ctlTextList1, int(QString::fromStdString(MSFlexGrid1->Text()).size()));
}

void frmViewDb::ctlTextList1_LostFocus() {
    strOldCellText = MSFlexGrid1->Text();
    strNewCellText = ctlTextList1->text().toStdString();
    SaveCellEdit();
    if (strOldCellText != kPictureMarker) MSFlexGrid1->SetText(ctlTextList1->text().toStdString());
    ctlTextList1->hide();
}
