// SPDX-License-Identifier: Apache-2.0
// frmEditColumns: the main grid's columns one per row, heading and type
// name. Names are edited in column 1; column 2 takes a type from Combo1.
// Closing it decides the main grid's column count, through basGlobal.
#pragma once

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;

namespace flexgrid {
class FlexGrid;
}

class frmEditColumns : public QDialog {
    Q_OBJECT
public:
    explicit frmEditColumns(QWidget* owner);

    flexgrid::FlexGrid* MSFlexGrid1 = nullptr;
    QLineEdit* ctlTextList1 = nullptr;
    QComboBox* Combo1 = nullptr;

    // The name a type code is shown by; empty for codes without one.
    static std::string TypeName(const std::string& type_code);

protected:
    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    void MSFlexGrid1_EnterCell();
    void ctlTextList1_LostFocus();
    void Combo1_Activated();

    // The cells the editor and the combo were opened on.
    int editRow_ = 0;
    int comboRow_ = 0;
};
