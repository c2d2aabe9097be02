// SPDX-License-Identifier: Apache-2.0
// SaveCellEdit: stores the editor's text into the record the grid's current
// row shows, through a recordset of its own that lives for this one write.
//
// The table is the one the grid load recorded, never the table list's text:
// a statement run reloads the lists and leaves them blank while the grid
// still shows its table. The record is found by the identity the grid load
// kept for the row, never by counting rows: in a later bunch, after an added
// row or under a query result, counting reaches some other record. Whatever is not saved is put
// back in the cell and said in the message area; a message box here would
// take the focus and start another save.
#include <QLineEdit>

#include "ado/error.h"
#include "flexgrid/flex_grid.h"
#include "grid/cell_budget.h"
#include "mainwindow/frm_view_db.h"
#include "shared/table_source.h"

void frmViewDb::SaveCellEdit() {
    if (strOldCellText == kPictureMarker) return;
    // Against the text the table holds, not the grid's: after Enter, Home
    // or End the grid already shows the typing, and a change test against
    // it would drop the edit while the grid showed it as made.
    if (strNewCellText == strStoredCellText) return;

    const int Row = MSFlexGrid1->Row(), Col = MSFlexGrid1->Col();
    const std::string& table = strTable;
    const std::string source = basGlobal::TableSource(table);
    const std::string heading = MSFlexGrid1->TextMatrix(0, Col);
    const std::string cell = "Row " + std::to_string(Row) + ", column " +
                             (heading.empty() ? std::to_string(Col) : heading);
    auto notSaved = [&](std::string why) {
        MSFlexGrid1->SetText(strStoredCellText);
        ctlTextList1->setText(QString::fromStdString(strStoredCellText));
        for (char& c : why)
            if (c == '\r' || c == '\n') c = ' ';
        ShowMessage(cell + " was not saved: " + why);
    };
    if (strGridSource.empty() || strGridSource != source) {
        notSaved("the grid shows no table, only a query's rows.");
        return;
    }
    if (Row < 1 || size_t(Row) >= lngRowKeys.size()) {
        notSaved("the grid row shows no record of the table " + table + ".");
        return;
    }
    if (Col < 1 || Col > lngFieldCount) {
        notSaved("the table " + table + " has no field for this column.");
        return;
    }
    try {
        ado::Recordset rs;
        // Forward-only: the row is read by its key, not found among all keys,
        // so a save costs the same in every row of any table.
        rs.Open(source, cnDb, ado::adOpenForwardOnly, ado::adLockOptimistic, ado::adCmdUnspecified);
        rs.MoveToRowKey(lngRowKeys[size_t(Row)]);
        rs.GetFields().Item(Col - 1).SetValue(ctlTextList1->text().toStdString());
        rs.Update();
        rs.Close();
        strStoredCellText = ctlTextList1->text().toStdString();
    } catch (const ado::Error& e) {
        notSaved(std::to_string(e.number()) + ": " + e.description());
    } catch (const std::exception& e) {
        notSaved(e.what());
    }
}
