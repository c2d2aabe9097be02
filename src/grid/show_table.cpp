// SPDX-License-Identifier: Apache-2.0
// Loading a table, or the rows of a query panel's statement, into the grid:
// the headings, then records up to the cell budget; a larger source is left
// open for the bunches.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <cmath>

#include "ado/error.h"
#include "ado/value_text.h"
#include "cell_budget.h"
#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "mainwindow/frm_view_db.h"
#include "queries/row_query.h"
#include "queries/statement_run.h"
#include "shared/bas_global.h"
#include "shared/table_source.h"

namespace {

std::string tooManyFields(long field_count) {
    return "This table has " + std::to_string(field_count) +
           " fields: all are shown, but the column types of only the first 100 are kept.";
}

}  // namespace

void frmViewDb::cboTables_Click() {
    forms::SetMousePointer(this, forms::vbHourglass);
    try {
        ShowTable();
    } catch (const std::exception& e) {
        // Nothing half-loaded stays behind: the grid is empty and usable.
        ClearGrid();
        ShowErrorBox(e);
    }
    forms::SetMousePointer(this, forms::vbArrow);
}

void frmViewDb::ClearGrid() {
    if (rsTable.State() == ado::adStateOpen) rsTable.Close();
    lngRecPos = 0;
    lngBunchFirst = 0;
    strGridSource.clear();
    lngRowKeys.assign(1, 0);
    MSFlexGrid1->Clear();
    MSFlexGrid1->SetRows(1);
    MSFlexGrid1->SetCols(1);
    txtTotalRec->clear();
    ShowMessage("");
    cmdFirstBunch->setEnabled(false);
    cmdLastBunch->setEnabled(false);
}

// The box wraps and scrolls; its tool tip holds the whole text as well.
void frmViewDb::ShowMessage(const std::string& text) {
    const QString shown = QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtMessages->setPlainText(shown);
    txtMessages->setToolTip(shown);
}

void frmViewDb::WriteHeadings() {
    ado::Fields& fields = rsTable.GetFields();
    for (long j = 0; j < lngFieldCount; ++j) {
        MSFlexGrid1->SetTextMatrix(0, int(j + 1), fields[j].Name());
        if (j + 1 <= basGlobal::strColumnTypes.UBound) basGlobal::strColumnTypes[j + 1] = std::to_string(fields[j].Type());
    }
}

void frmViewDb::ShowTable() {
    const bool statement = chkDisplayResults->checkState() == Qt::Checked;
    // Opening a row source must never change data.
    if (statement && !queries::IsRowQuery(strSQL))
        throw ado::Error(ado::kErrCommandText, "Only a SELECT statement without INTO can be shown in the grid.");
    // A statement runs on a worker, which can be stopped, before anything
    // of the grid changes: one that fails or is stopped leaves it as it was.
    std::unique_ptr<ado::RowSource> rows;
    if (statement) queries::RunOnWorker(this, cnDb, [&] { rows = cnDb.provider().query(strSQL); });
    MSFlexGrid1->Clear();
    lngRecPos = 0;
    // A partial load leaves rsTable open for the bunches.
    if (rsTable.State() == ado::adStateOpen) rsTable.Close();
    strGridSource.clear();
    lngRowKeys.assign(1, 0);
    if (statement) {
        // The tick is spent only once the statement has opened.
        rsTable.OpenRows(std::move(rows), cnDb, ado::adOpenStatic, ado::adLockOptimistic);
        chkDisplayResults->setCheckState(Qt::Unchecked);
    } else {
        strTable = cboTables->currentText().toStdString();
        const std::string source = basGlobal::TableSource(strTable);
        rsTable.Open(source, cnDb, ado::adOpenStatic, ado::adLockOptimistic, ado::adCmdUnspecified);
        strGridSource = source;
    }

    long N = -1;  // not taken
    if (rsTable.RecordCount() > 0) {
        // The static cursor's count is exact: the same N as reading every
        // row with GetRows, without a second pass over the whole table.
        N = rsTable.RecordCount();
        ProgressBar1->setMinimum(0);
        ProgressBar1->setMaximum(int(N));
        ProgressBar1->setValue(0);
    }
    txtTotalRec->setText(N >= 0 ? QString::number(N) : QString());
    lngFieldCount = rsTable.GetFields().Count();
    const long F = lngFieldCount;

    if (N > 0) {
        rsTable.MoveFirst();
        MSFlexGrid1->SetCols(int(F + 1));
        if (N * F >= kCellBudget) MSFlexGrid1->SetRows(int(std::nearbyint(kCellBudget / F)));
        else MSFlexGrid1->SetRows(int(N + 1));
        WriteHeadings();
        if (PlaceRecords(1)) {
            // Partial end: rsTable stays open on its last record.
            lngRecPos = rsTable.Bookmark();
            rsTable.MoveLast();
            lngBunchFirst = 1;
            cmdFirstBunch->setEnabled(true);
            cmdLastBunch->setEnabled(false);
            cmdFirstBunch->setToolTip(QStringLiteral("Next %1 Records").arg(lngRecPos));
            cmdLastBunch->setToolTip(QStringLiteral("Previous %1 Records").arg(lngRecPos));
            forms::SetMousePointer(this, forms::vbDefault);
            ProgressBar1->setValue(ProgressBar1->maximum());
            ShowMessage(BunchShown(1, lngRecPos - 1) +
                        (F > basGlobal::strColumnTypes.UBound ? "\r\n" + tooManyFields(F) : ""));
            return;
        }
    } else {
        // Empty load.
        MSFlexGrid1->SetCols(int(F + 1));
        WriteHeadings();
        txtTotalRec->setText(QStringLiteral("0"));
        MSFlexGrid1->SetRows(1);
    }
    // Full end.
    lngRecPos = 0;
    rsTable.Close();
    forms::SetMousePointer(this, forms::vbDefault);
    if (F > basGlobal::strColumnTypes.UBound) ShowMessage(tooManyFields(F));
}

// Fills rows 1, 2, ... from the current record of rsTable, which is
// record number `first`; true when the budget stopped it before the end.
// A bunch is one read: another program's change lands before or after it.
bool frmViewDb::PlaceRecords(long first) {
    ado::Recordset::Reading reading(rsTable);
    ado::Fields& fields = rsTable.GetFields();
    const char separator = ado::localeDecimalSeparator();
    lngRecPos = 0;
    lngRowKeys.assign(1, 0);
    while (!rsTable.Eof()) {
        lngRecPos = lngRecPos + 1;
        const long n = lngRecPos;
        if (!WithinBudget(n, lngFieldCount)) return true;
        for (long j = 0; j < lngFieldCount; ++j) MSFlexGrid1->SetTextMatrix(int(n), int(j + 1), CellText(fields[j], separator));
        lngRowKeys.push_back(rsTable.RowKey());
        ProgressBar1->setValue(int(std::min<long>(first + n - 1, ProgressBar1->maximum())));
        rsTable.MoveNext();
    }
    return false;
}
