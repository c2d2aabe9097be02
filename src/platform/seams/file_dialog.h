// SPDX-License-Identifier: Apache-2.0
// The file-open dialog. FileOpenDialog is the seam; CommonDialog is the
// control a window holds: a filter, a filter index and the chosen file
// name, which a cancelled showing leaves as it was.
#pragma once

#include <string>

class QWidget;

namespace seams {

class FileOpenDialog {
public:
    virtual ~FileOpenDialog() = default;
    // Modal. On a choice sets `file_name` and returns true; false when
    // cancelled. `filter` is a list of patterns such as "*.mdb".
    virtual bool ShowOpen(QWidget* owner, const std::string& filter, int filter_index, std::string& file_name) = 0;
};

class QtFileOpenDialog : public FileOpenDialog {
public:
    bool ShowOpen(QWidget* owner, const std::string& filter, int filter_index, std::string& file_name) override;
};

class CommonDialog {
public:
    CommonDialog(FileOpenDialog& dialog, QWidget* owner) : dialog_(dialog), owner_(owner) {}
    std::string Filter;
    int FilterIndex = 0;
    std::string FileName;
    void ShowOpen() { dialog_.ShowOpen(owner_, Filter, FilterIndex, FileName); }

private:
    FileOpenDialog& dialog_;
    QWidget* owner_;
};

}  // namespace seams
