// SPDX-License-Identifier: Apache-2.0
#include "message_box.h"

#include <QMessageBox>

namespace seams {

int QtMessageBox::MsgBox(QWidget* owner, const std::string& prompt, int buttons, const std::string& title,
                         const std::string& detail) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (buttons & 0x70) {
    case vbCritical: icon = QMessageBox::Critical; break;
    case vbQuestion: icon = QMessageBox::Question; break;
    case vbExclamation: icon = QMessageBox::Warning; break;
    case vbInformation: icon = QMessageBox::Information; break;
    }
    QMessageBox box(icon, QString::fromStdString(title), QString::fromStdString(prompt), QMessageBox::Ok, owner);
    if (!detail.empty()) box.setDetailedText(QString::fromStdString(detail));
    box.exec();
    return vbOK;
}

}  // namespace seams
