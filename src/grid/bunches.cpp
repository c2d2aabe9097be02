// SPDX-License-Identifier: Apache-2.0
// Paging a partly loaded table: ">>" shows the next bunch, "<<" the one
// before. Both do nothing once there is no open table or nowhere to go.
#include <QProgressBar>
#include <QPushButton>

#include "cell_budget.h"
#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "mainwindow/frm_view_db.h"

void frmViewDb::cmdFirstBunch_Click() {
    // At the table's end the last bunch left rsTable at EOF.
    if (rsTable.State() != ado::adStateOpen || rsTable.Eof()) return;
    forms::SetMousePointer(this, forms::vbHourglass);
    try {
        MSFlexGrid1->Clear();
        const long first = lngRecPos;  // the first record not shown
        rsTable.SetBookmark(first);
        cmdLastBunch->setEnabled(true);
        ShowBunch(first);
    } catch (const std::exception& e) {
        ShowErrorBox(e);
    }
    forms::SetMousePointer(this, forms::vbDefault);
}

void frmViewDb::cmdLastBunch_Click() {
    if (rsTable.State() != ado::adStateOpen || lngBunchFirst <= 1) return;
    forms::SetMousePointer(this, forms::vbHourglass);
    try {
        MSFlexGrid1->Clear();
        const long first = std::max(1L, lngBunchFirst - RecordsPerBunch(lngFieldCount));
        rsTable.SetBookmark(first);
        cmdLastBunch->setEnabled(first > 1);
        ShowBunch(first);
    } catch (const std::exception& e) {
        ShowErrorBox(e);
    }
    forms::SetMousePointer(this, forms::vbDefault);
}

// Places the bunch that starts at record number `first`, the current one.
void frmViewDb::ShowBunch(long first) {
    lngBunchFirst = first;
    WriteHeadings();  // the grid's Clear took them too
    if (!PlaceRecords(first)) {
        // The table's end: lngRecPos counts the records placed.
        ShowMessage(BunchShown(first, first + lngRecPos - 1));
        return;
    }
    lngRecPos = rsTable.Bookmark();
    rsTable.MoveLast();
    forms::SetMousePointer(this, forms::vbDefault);
    ProgressBar1->setValue(ProgressBar1->maximum());
    ShowMessage(BunchShown(first, lngRecPos - 1));
}

// Which records the grid shows, in the same words for every bunch.
std::string frmViewDb::BunchShown(long first, long last) {
    return "Records " + std::to_string(first) + " to " + std::to_string(last) + " of " +
           std::to_string(rsTable.RecordCount()) + " are shown.";
}
