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
    // Modal; returns the button pressed.
    virtual int MsgBox(QWidget* owner, const std::string& prompt, int buttons, const std::string& title) = 0;
};

class QtMessageBox : public MessageBox {
public:
    int MsgBox(QWidget* owner, const std::string& prompt, int buttons, const std::string& title) override;
};

}  // namespace seams
