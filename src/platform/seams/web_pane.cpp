// SPDX-License-Identifier: Apache-2.0
#include "web_pane.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>

namespace seams {

namespace {

// Beside the program in a build tree; under share/ once installed.
QString pageFile(const std::string& path) {
    QString dir = QCoreApplication::applicationDirPath();
    for (const QString& root : {dir, dir + QStringLiteral("/../share/pellinordb")}) {
        QFileInfo file(root + QString::fromStdString(path));
        if (file.isFile()) return file.canonicalFilePath();
    }
    return {};
}

}  // namespace

QWidget* QtWebPane::Create(QWidget* parent) {
    browser_ = new QTextBrowser(parent);
    browser_->setOpenLinks(false);
    browser_->setFrameShape(QFrame::NoFrame);
    return browser_;
}

void QtWebPane::Navigate(const std::string& path) {
    QString file = pageFile(path);
    if (!file.isEmpty()) browser_->setSource(QUrl::fromLocalFile(file));
}

}  // namespace seams
