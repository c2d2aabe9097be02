// SPDX-License-Identifier: Apache-2.0
#include "frm_running.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

#include "forms/forms.h"
#include "forms/twips.h"

frmRunning::frmRunning(QWidget* owner, std::function<void()> cancel)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      cancel_(std::move(cancel)) {
    setWindowTitle(QStringLiteral("PellinorDB - Running Query"));
    setFont(forms::ProgramFont());
    setFixedSize(forms::ToPixels(4935), forms::ToPixels(1455));
    setModal(true);

    lblRunning = new QLabel(QStringLiteral("The statement is running."), this);
    forms::Place(lblRunning, 120, 120, 4695, 255);
    forms::SetFont(lblRunning, 9.75, true);
    // Its length is not known beforehand: the bar only shows that work goes on.
    ProgressBar1 = new QProgressBar(this);
    forms::Place(ProgressBar1, 120, 480, 4695, 255);
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setTextVisible(false);
    lblRowsRead = new QLabel(this);
    forms::Place(lblRowsRead, 120, 960, 3255, 255);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    forms::Place(cmdCancel, 3600, 900, 1215, 375);
    cmdCancel->setDefault(true);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    ShowRowsRead(0);
}

void frmRunning::ShowRowsRead(uint64_t rows) {
    lblRowsRead->setText(QStringLiteral("Rows read so far: ") + QLocale().toString(qulonglong(rows)));
}

// The statement ends at its next step, with its changes undone; the box
// stays until then.
void frmRunning::cmdCancel_Click() {
    lblRunning->setText(QStringLiteral("The statement is being stopped."));
    cmdCancel->setEnabled(false);
    cancel_();
}

void frmRunning::reject() { cmdCancel_Click(); }
