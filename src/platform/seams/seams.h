// SPDX-License-Identifier: Apache-2.0
// The outside services a window is given: what a person answers or sees
// beyond the window itself.
#pragma once

#include "clipboard.h"
#include "file_dialog.h"
#include "message_box.h"
#include "web_pane.h"

namespace seams {

struct Seams {
    MessageBox& messages;
    FileOpenDialog& files;
    Clipboard& clipboard;
    WebPane& web;
};

// The desktop's own services.
struct QtSeams {
    QtMessageBox messages;
    QtFileOpenDialog files;
    QtClipboard clipboard;
    QtWebPane web;
    Seams seams() { return {messages, files, clipboard, web}; }
};

}  // namespace seams
