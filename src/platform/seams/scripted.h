// SPDX-License-Identifier: Apache-2.0
// Stand-ins for the outside services that answer from a script and keep a
// record, so a window can be driven with nobody at the screen.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "seams.h"

namespace seams {

class ScriptedMessageBox : public MessageBox {
public:
    struct Shown {
        std::string prompt;
        int buttons;
        std::string title;
        std::string detail;
    };
    int MsgBox(QWidget* owner, const std::string& prompt, int buttons, const std::string& title,
               const std::string& detail = {}) override;
    std::vector<Shown> shown;
};

class ScriptedFileOpenDialog : public FileOpenDialog {
public:
    struct Shown {
        std::string filter;
        int filter_index;
    };
    // The answers of the next showings, in order; a showing with no answer
    // left is cancelled.
    void Choose(const std::string& file) { answers_.push_back(file); }
    void Cancel() { answers_.push_back(std::nullopt); }
    bool ShowOpen(QWidget* owner, const std::string& filter, int filter_index, std::string& file_name) override;
    std::vector<Shown> shown;

private:
    std::deque<std::optional<std::string>> answers_;
};

class ScriptedClipboard : public Clipboard {
public:
    void Clear() override;
    void SetText(const std::string& text) override;
    std::optional<std::string> text;  // nothing once cleared
    int clears = 0;
};

class ScriptedWebPane : public WebPane {
public:
    QWidget* Create(QWidget* parent) override;
    void Navigate(const std::string& path) override { navigations.push_back(path); }
    std::vector<std::string> navigations;
};

struct ScriptedSeams {
    ScriptedMessageBox messages;
    ScriptedFileOpenDialog files;
    ScriptedClipboard clipboard;
    ScriptedWebPane web;
    Seams seams() { return {messages, files, clipboard, web}; }
};

}  // namespace seams
