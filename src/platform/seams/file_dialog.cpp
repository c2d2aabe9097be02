// SPDX-License-Identifier: Apache-2.0
#include "file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace seams {

bool QtFileOpenDialog::ShowOpen(QWidget* owner, const std::string& filter, int filter_index, std::string& file_name) {
    // "*.xls, *.csv" lists patterns the way Qt wants them blank-separated.
    QString patterns = QString::fromStdString(filter).replace(QStringLiteral(","), QStringLiteral(" ")).simplified();
    QStringList filters = {patterns, QStringLiteral("*")};
    QFileDialog dialog(owner, QStringLiteral("Open"), QFileInfo(QString::fromStdString(file_name)).path());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(std::max(filter_index, 1) - 1));
    if (!file_name.empty()) dialog.selectFile(QString::fromStdString(file_name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    file_name = dialog.selectedFiles().front().toStdString();
    return true;
}

}  // namespace seams
