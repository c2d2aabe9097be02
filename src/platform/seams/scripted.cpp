// SPDX-License-Identifier: Apache-2.0
#include "scripted.h"

#include <QWidget>

namespace seams {

int ScriptedMessageBox::MsgBox(QWidget*, const std::string& prompt, int buttons, const std::string& title,
                               const std::string& detail) {
    shown.push_back({prompt, buttons, title, detail});
    return vbOK;
}

bool ScriptedFileOpenDialog::ShowOpen(QWidget*, const std::string& filter, int filter_index, std::string& file_name) {
    shown.push_back({filter, filter_index});
    if (answers_.empty()) return false;
    std::optional<std::string> answer = answers_.front();
    answers_.pop_front();
    if (!answer) return false;
    file_name = *answer;
    return true;
}

void ScriptedClipboard::Clear() {
    text.reset();
    ++clears;
}

void ScriptedClipboard::SetText(const std::string& t) { text = t; }

QWidget* ScriptedWebPane::Create(QWidget* parent) { return new QWidget(parent); }

}  // namespace seams
