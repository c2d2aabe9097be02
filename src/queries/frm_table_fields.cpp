// SPDX-License-Identifier: Apache-2.0
#include "frm_table_fields.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "forms/forms.h"
#include "forms/twips.h"
#include "shared/bas_global.h"

namespace {

template <typename Control>
Control* add(QWidget* parent, const char* caption, int left, int top, int width, int height, double points = 9.75,
             bool bold = false) {
    auto* c = new Control(parent);
    if constexpr (requires { c->setText(QString()); }) c->setText(QString::fromUtf8(caption));
    forms::Place(c, left, top, width, height);
    forms::SetFont(c, points, bold);
    return c;
}

}  // namespace

frmTableFields::frmTableFields(QWidget* owner, seams::MessageBox& messages)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      messages_(messages) {
    CreateControls();
    setFixedSize(forms::ToPixels(4515), forms::ToPixels(3825));
    setModal(true);
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdDone, &QPushButton::clicked, this, [this] { cmdDone_Click(); });
    Form_Load();
}

void frmTableFields::CreateControls() {
    setFont(forms::ProgramFont(9.75));
    Label3 = add<QLabel>(this, "Table Structure", 120, 120, 3855, 375, 12, true);
    Label1 = add<QLabel>(this, "Field Name:", 120, 720, 1335, 255);
    txtFieldName = add<QLineEdit>(this, "", 1680, 720, 2655, 375);
    Label2 = add<QLabel>(this, "Field Type:", 120, 1320, 1455, 255);
    cboFieldType = add<QComboBox>(this, "", 1680, 1320, 2655, 360);
    cboFieldType->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    cmdAdd = add<QPushButton>(this, "Add", 3120, 1680, 1215, 375);
    cmdAdd->setDefault(true);
    lstAllFields = add<QListWidget>(this, "", 120, 2040, 4215, 1230, 8.25);
    cmdDelete = add<QPushButton>(this, "Delete", 120, 3360, 1215, 375);
    cmdDelete->hide();
    cmdRename = add<QPushButton>(this, "Rename", 1440, 3360, 1215, 375);
    cmdRename->hide();
    cmdDone = add<QPushButton>(this, "Done", 3120, 3360, 1215, 375);
    // The design's tab order: name, type, list, Add, Done.
    setTabOrder(txtFieldName, cboFieldType);
    setTabOrder(cboFieldType, lstAllFields);
    setTabOrder(lstAllFields, cmdAdd);
    setTabOrder(cmdAdd, cmdDone);
}

void frmTableFields::Form_Load() {
    basGlobal::intFieldCount = 0;
    for (const char* type : {"Text", "Memo", "Integer", "Date", "Currency", "YesNo"})
        cboFieldType->addItem(QString::fromUtf8(type));
    cboFieldType->setCurrentIndex(-1);
}

void frmTableFields::cmdAdd_Click() {
    // The arrays hold 100 fields; a refused field leaves count, list and
    // arrays as they were, and its name in the box.
    if (basGlobal::intFieldCount >= basGlobal::strFieldNames.UBound) {
        messages_.MsgBox(this,
                         "A table can have at most " + std::to_string(basGlobal::strFieldNames.UBound) +
                             " fields here; this field was not added.",
                         seams::vbOKOnly + seams::vbInformation, "Ravelin");
        return;
    }
    basGlobal::intFieldCount = int16_t(basGlobal::intFieldCount + 1);
    lstAllFields->addItem(txtFieldName->text());
    basGlobal::strFieldNames[basGlobal::intFieldCount] = txtFieldName->text().toStdString();
    basGlobal::strFieldTypes[basGlobal::intFieldCount] = cboFieldType->currentText().toStdString();
    txtFieldName->clear();
}

void frmTableFields::cmdDone_Click() { accept(); }

void frmTableFields::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}
