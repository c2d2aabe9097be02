// SPDX-License-Identifier: Apache-2.0
#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace seams {

void QtClipboard::Clear() { QGuiApplication::clipboard()->clear(); }

void QtClipboard::SetText(const std::string& text) { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); }

}  // namespace seams
