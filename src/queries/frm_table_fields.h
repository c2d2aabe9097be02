// SPDX-License-Identifier: Apache-2.0
// frmTableFields: collects the name and type of each field of a table to
// be added. The fields go to basGlobal (intFieldCount, strFieldNames,
// strFieldTypes), never through the dialog; "Done" and the close box both
// end it, and nothing cancels.
#pragma once

#include <QDialog>

#include "seams/message_box.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class frmTableFields : public QDialog {
    Q_OBJECT
public:
    frmTableFields(QWidget* owner, seams::MessageBox& messages);

    QLabel* Label3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtFieldName = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cboFieldType = nullptr;
    QPushButton* cmdAdd = nullptr;
    QListWidget* lstAllFields = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdRename = nullptr;
    QPushButton* cmdDone = nullptr;

protected:
    // Escape does not end the dialog: there is no cancel to offer.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void Form_Load();
    void cmdAdd_Click();
    void cmdDone_Click();

    seams::MessageBox& messages_;
};
