// SPDX-License-Identifier: Apache-2.0
// The grid's popup menu and its one command, Copy.
#include <QFrame>
#include <QMenu>

#include "flexgrid/flex_grid.h"
#include "forms/twips.h"
#include "mainwindow/frm_view_db.h"

void frmViewDb::MSFlexGrid1_MouseUp(int button, int, int x, int y) {
    if (button == 2) mnuGrid->popup(MSFlexGrid1->mapToGlobal(QPoint(forms::ToPixels(x), forms::ToPixels(y))));
}

void frmViewDb::MSFlexGrid1_MouseMove(int, int, int, int) {
    if (fraQuery->isVisible()) fraQuery->setVisible(false);
    if (fraSimpleQuery->isVisible()) fraSimpleQuery->setVisible(false);
}

void frmViewDb::mnuGridCopy_Click() {
    std::string strClip = MSFlexGrid1->Clip();
    seams_.clipboard.Clear();
    seams_.clipboard.SetText(strClip);
}
