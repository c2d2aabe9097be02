// Paging a partly loaded table: ">>" shows the next bunch, "<<" the one
// before. Both do nothing once there is no open table or nowhere to go.
#include <QProgressBar>
#include <QPushButton>

#include "ado/value_text.h"
#include "cell_budget.h"
#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "mainwindow/frm_view_db.h"
#include "shared/number_text.h"

void frmViewDb::cmdFirstBunch_Click() {
    // At the table's end the last bunch left rsTable at EOF.
    if (rsTable.State() != ado::adStateOpen || rsTable.Eof()) return;
    try {
        MSFlexGrid1->Clear();
        const long first = lngRecPos;  // the first record not shown
        rsTable.SetBookmark(first);
        cmdLastBunch->setEnabled(true);
        ShowBunch(first);
    } catch (const std::exception& e) {
        ShowErrorBox(e);
    }
}

void frmViewDb::cmdLastBunch_Click() {
    if (rsTable.State() != ado::adStateOpen || lngBunchFirst <= 1) return;
    try {
        MSFlexGrid1->Clear();
        const long first = std::max(1L, lngBunchFirst - RecordsPerBunch(lngFieldCount));
        rsTable.SetBookmark(first);
        cmdLastBunch->setEnabled(first > 1);
        ShowBunch(first);
    } catch (const std::exception& e) {
        ShowErrorBox(e);
    }
}

// Places the bunch that starts at record number `first`, the current one.
void frmViewDb::ShowBunch(long first) {
    lngBunchFirst = first;
    WriteHeadings();  // the grid's Clear took them too
    if (!PlaceRecords(first)) return;  // the table's end: no message
    lngRecPos = rsTable.Bookmark();
    rsTable.MoveLast();
    forms::SetMousePointer(this, forms::vbDefault);
    ProgressBar1->setValue(ProgressBar1->maximum());
    ShowMessage("Records " + std::to_string(first) + " to " + std::to_string(lngRecPos - 1) + " have been displayed." +
                "\r\n" + "Use the navigation buttons to move to the next " +
                GeneralNumber(kCellBudget / lngFieldCount, ado::localeDecimalSeparator()));
}
