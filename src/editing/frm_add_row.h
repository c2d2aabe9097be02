// SPDX-License-Identifier: Apache-2.0
// frmAddRow: the one-row grid where the values of a new record are typed,
// under the field names. It reads the column count and the headings from
// basGlobal and hands the values back there; any close but "Add" counts
// as "Cancel".
#pragma once

#include <QDialog>
#include <QPoint>

class QLabel;
class QLineEdit;
class QPushButton;

namespace flexgrid {
class FlexGrid;
}

class frmAddRow : public QDialog {
    Q_OBJECT
public:
    // Opens with its top-left corner at `place`, in screen coordinates.
    frmAddRow(QWidget* owner, QPoint place);

    flexgrid::FlexGrid* MSFlexGrid1 = nullptr;
    QLineEdit* ctlTextList1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Escape and the window manager's close end here.
    void reject() override;

private:
    void Form_Load(QPoint place);
    void cmdOK_Click();
    void cmdCancel_Click();
    void MSFlexGrid1_EnterCell();
    void ctlTextList1_LostFocus();
    void ctlTextList1_Change();

    // The cell the editor was opened on, where its focus loss writes.
    int editRow_ = 0;
    int editCol_ = 0;
};
