// SPDX-License-Identifier: Apache-2.0
// Command2_Click ("Row"): a new last grid row, the values typed into
// frmAddRow, and one insert into the table the grid shows.
//
// The grid keeps the appended row only when the insert stored it, and then
// shows the record as stored (an AutoNumber's number, a converted value),
// counted in the total; the new row's key joins the others. The dialog
// opens below the grid, so the field names of both stay in view.
#include <QLineEdit>

#include "ado/error.h"
#include "ado/value_text.h"
#include "flexgrid/flex_grid.h"
#include "grid/cell_budget.h"
#include "frm_add_row.h"
#include "mainwindow/frm_view_db.h"
#include "shared/bas_global.h"
#include "shared/table_source.h"

void frmViewDb::Command2_Click() {
    if (strTable.empty()) return;
    auto refuse = [this](const std::string& text) {
        seams_.messages.MsgBox(this, text, seams::vbOKOnly + seams::vbInformation, "Ravelin");
    };
    const std::string source = basGlobal::TableSource(strTable);
    if (strGridSource != source) {
        refuse("The grid does not show the table " + strTable + ", so no row can be added to it here.");
        return;
    }
    if (MSFlexGrid1->Cols() - 1 > basGlobal::strNewRowValues.UBound) {
        refuse("This table has " + std::to_string(MSFlexGrid1->Cols() - 1) + " columns; a row can be added only to " +
               "a table of at most " + std::to_string(basGlobal::strNewRowValues.UBound) + ".");
        return;
    }
    bool appended = false;
    try {
        ado::Recordset rs;
        rs.Open(source, cnDb, ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
        MSFlexGrid1->SetRows(MSFlexGrid1->Rows() + 1);
        appended = true;
        basGlobal::lngColumnCount = MSFlexGrid1->Cols();
        for (int k = 0; k < MSFlexGrid1->Cols(); ++k) basGlobal::strColumnHeaders[k] = MSFlexGrid1->TextMatrix(0, k);
        {
            frmAddRow dialog(this, MSFlexGrid1->mapToGlobal(QPoint(0, MSFlexGrid1->height())));
            dialog.exec();
        }
        if (basGlobal::blnCancelled) {
            MSFlexGrid1->SetRows(MSFlexGrid1->Rows() - 1);
        } else {
            const int row = MSFlexGrid1->Rows() - 1;
            rs.AddNew();
            for (long i = 0; i <= basGlobal::lngColumnCount - 2; ++i)
                rs.GetFields().Item(i).SetValue(basGlobal::strNewRowValues[i + 1]);
            rs.Update();
            const char separator = ado::localeDecimalSeparator();
            for (long i = 0; i <= basGlobal::lngColumnCount - 2; ++i)
                MSFlexGrid1->SetTextMatrix(row, int(i + 1), CellText(rs.GetFields().Item(i), separator));
            if (size_t(row) == lngRowKeys.size()) lngRowKeys.push_back(rs.RowKey());
            txtTotalRec->setText(QString::number(txtTotalRec->text().toLong() + 1));
        }
        rs.Close();
    } catch (const std::exception& e) {
        auto* error = dynamic_cast<const ado::Error*>(&e);
        refuse(error ? std::to_string(error->number()) + ": " + error->description() : std::string(e.what()));
        if (appended) MSFlexGrid1->SetRows(MSFlexGrid1->Rows() - 1);
    }
}
