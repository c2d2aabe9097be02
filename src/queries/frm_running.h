// SPDX-License-Identifier: Apache-2.0
// frmRunning: the box over the main window while a statement of a query
// panel runs on a worker: that it runs, the rows it has read so far, and
// "Cancel". Escape and the close box cancel too; the box does not close
// itself, it goes once the statement has ended, however it ended.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class frmRunning : public QDialog {
    Q_OBJECT
public:
    // `cancel` asks the statement to stop; it may be called more than once.
    frmRunning(QWidget* owner, std::function<void()> cancel);

    QLabel* lblRunning = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblRowsRead = nullptr;
    QPushButton* cmdCancel = nullptr;

    void ShowRowsRead(uint64_t rows);
    // Escape and the window manager's close end here.
    void reject() override;

private:
    void cmdCancel_Click();

    std::function<void()> cancel_;
};
