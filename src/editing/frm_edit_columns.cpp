// SPDX-License-Identifier: Apache-2.0
#include "frm_edit_columns.h"

#include <QComboBox>
#include <QLineEdit>

#include "cell_editor.h"
#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "forms/twips.h"
#include "shared/bas_global.h"

namespace {

constexpr int kNameCol = 1;
constexpr int kTypeCol = 2;

}  // namespace

frmEditColumns::frmEditColumns(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("PellinorDB - Edit Columns"));
    setFont(forms::ProgramFont());
    setFixedSize(forms::ToPixels(5055), forms::ToPixels(3240));

    MSFlexGrid1 = new flexgrid::FlexGrid(this);
    forms::Place(MSFlexGrid1, 0, 0, 5055, 3135);
    MSFlexGrid1->setFont(forms::ProgramFont());
    ctlTextList1 = new QLineEdit(this);
    forms::SetFont(ctlTextList1, 8.25, true);
    ctlTextList1->hide();
    Combo1 = new QComboBox(this);
    forms::Place(Combo1, 960, 1440, 1575, 315);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->lineEdit()->setPlaceholderText(QStringLiteral("Enter the Data Type of the field"));
    Combo1->setToolTip(QStringLiteral("Enter the Data Type of the field"));
    Combo1->hide();
    setTabOrder(MSFlexGrid1, ctlTextList1);
    setTabOrder(ctlTextList1, Combo1);

    connect(MSFlexGrid1, &flexgrid::FlexGrid::Click, this, [this] { MSFlexGrid1_EnterCell(); });
    connect(MSFlexGrid1, &flexgrid::FlexGrid::EnterCell, this, [this] { MSFlexGrid1_EnterCell(); });
    new editing::EditorEvents(
        ctlTextList1, [this](int key) { editing::DialogKeyDown(ctlTextList1, MSFlexGrid1, key); },
        [this] { ctlTextList1_LostFocus(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Activated(); });
    Form_Load();
}

std::string frmEditColumns::TypeName(const std::string& type_code) {
    if (type_code == "3") return "Integer";
    if (type_code == "6") return "Currency";
    if (type_code == "7") return "Date";
    if (type_code == "202") return "Text";
    if (type_code == "203") return "Memo";
    if (type_code == "205") return "OLE Object";
    return "";
}

void frmEditColumns::Form_Load() {
    for (const char* name : {"Text", "Memo", "Integer", "Date", "Currency", "YesNo", "OLEObject"})
        Combo1->addItem(QString::fromLatin1(name));
    Combo1->setCurrentIndex(-1);
    MSFlexGrid1->SetRows(100);
    MSFlexGrid1->SetCols(3);
    for (int i = 0; i < basGlobal::lngColumnCount; ++i) {
        MSFlexGrid1->SetTextMatrix(i, kNameCol, basGlobal::strColumnHeaders[i]);
        // Row 0 stands for the fixed left column, which has no type.
        if (i >= 1) MSFlexGrid1->SetTextMatrix(i, kTypeCol, TypeName(basGlobal::strColumnTypes[i]));
    }
}

// Every way of closing ends here, so the column count is always decided.
void frmEditColumns::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

void frmEditColumns::Form_Unload() {
    // A name being typed counts, as its focus loss would copy it.
    if (ctlTextList1->isVisible()) ctlTextList1_LostFocus();
    const int rows = MSFlexGrid1->Rows();
    // The grid's last row bounds the walk: a dialog named to its end gives
    // the largest grid the shared arrays hold.
    int i = 1;
    while (i < rows && !MSFlexGrid1->TextMatrix(i, kNameCol).empty()) {
        basGlobal::strFieldNames[i + 1] = MSFlexGrid1->TextMatrix(i, kNameCol);
        basGlobal::strFieldTypes[i + 1] = MSFlexGrid1->TextMatrix(i, kTypeCol);
        ++i;
    }
    basGlobal::lngColumnCount = i;
}

void frmEditColumns::MSFlexGrid1_EnterCell() {
    const int Row = MSFlexGrid1->Row(), Col = MSFlexGrid1->Col();
    Combo1->resize(forms::ToPixels(MSFlexGrid1->CellWidth()), Combo1->height());
    if (Col == kNameCol && Row >= 1) {
        editRow_ = Row;
        editing::OpenCellEditor(ctlTextList1, MSFlexGrid1);
        Combo1->hide();
        editing::CoverCurrentCell(ctlTextList1, MSFlexGrid1);
    } else if (Col == kTypeCol && Row >= 1) {
        comboRow_ = Row;
        if (Combo1->isHidden()) Combo1->show();
        Combo1->setCurrentIndex(-1);
        Combo1->setEditText(QString::fromStdString(MSFlexGrid1->Text()));
        editing::CoverCurrentCell(Combo1, MSFlexGrid1, true);
    }
}

void frmEditColumns::ctlTextList1_LostFocus() {
    if (editRow_ >= 1 && editRow_ < MSFlexGrid1->Rows())
        MSFlexGrid1->SetTextMatrix(editRow_, kNameCol, ctlTextList1->text().toStdString());
    ctlTextList1->hide();
}

// A type chosen from the list goes into the type cell the combo covers.
void frmEditColumns::Combo1_Activated() {
    if (comboRow_ >= 1 && comboRow_ < MSFlexGrid1->Rows())
        MSFlexGrid1->SetTextMatrix(comboRow_, kTypeCol, Combo1->currentText().toStdString());
}
