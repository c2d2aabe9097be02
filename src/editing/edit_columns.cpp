// SPDX-License-Identifier: Apache-2.0
// Command3_Click ("Column"): the grid's headings go to frmEditColumns, and
// the grid takes the column count the dialog hands back.
#include "flexgrid/flex_grid.h"
#include "frm_edit_columns.h"
#include "mainwindow/frm_view_db.h"
#include "shared/bas_global.h"

void frmViewDb::Command3_Click() {
    // strColumnHeaders holds the fixed column and 99 more.
    const long most = basGlobal::strColumnHeaders.UBound + 1;
    if (MSFlexGrid1->Cols() > most) {
        seams_.messages.MsgBox(this,
                               "The grid has " + std::to_string(MSFlexGrid1->Cols() - 1) +
                                   " columns; Edit Columns can list at most " + std::to_string(most - 1) + ".",
                               seams::vbOKOnly + seams::vbInformation, "Ravelin");
        return;
    }
    basGlobal::lngColumnCount = MSFlexGrid1->Cols();
    for (int i = 0; i < MSFlexGrid1->Cols(); ++i) basGlobal::strColumnHeaders[i] = MSFlexGrid1->TextMatrix(0, i);
    {
        frmEditColumns dialog(this);
        dialog.exec();
    }
    MSFlexGrid1->SetCols(basGlobal::lngColumnCount);
}
