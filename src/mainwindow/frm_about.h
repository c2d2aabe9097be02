// SPDX-License-Identifier: Apache-2.0
// frmAbout: the small modal window of the "About" button.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* owner);

    QLabel* Picture1;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QLabel* Label3;
    QPushButton* Command1;
};
