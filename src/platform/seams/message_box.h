// SPDX-License-Identifier: Apache-2.0
// Message boxes: a prompt, buttons and an icon, and a title. The windows
// show every message through this, so tests can answer and read them.
#pragma once

#include <string>

class QWidget;

namespace seams {

enum MsgBoxStyle : int { vbOKOnly = 0, vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64 };
enum MsgBoxResult : int { vbOK = 1 };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Modal; returns the button pressed. A `detail`, when given, is offered
    // beside the prompt for whoever wants the fuller story.
    virtual int MsgBox(QWidget* owner, const std::string& prompt, int buttons, const std::string& title,
                       const std::string& detail = {}) = 0;
};

class QtMessageBox : public MessageBox {
public:
    int MsgBox(QWidget* owner, const std::string& prompt, int buttons, const std::string& title,
               const std::string& detail = {}) override;
};

}  // namespace seams
