// SPDX-License-Identifier: Apache-2.0
#include "frm_about.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "forms/forms.h"
#include "forms/twips.h"
#include "program_art.h"
#include "shared/version.h"

namespace {

QLabel* line(QWidget* parent, const char* text, int left, int top, int width, int height) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setTextFormat(Qt::PlainText);
    forms::Place(l, left, top, width, height);
    forms::SetForeColor(l, QColor(0x00, 0x00, 0x40));
    return l;
}

}  // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("PellinorDB -About"));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(forms::ProgramFont());
    setFixedSize(forms::ToPixels(6165), forms::ToPixels(2400));

    Picture1 = new QLabel(this);
    forms::Place(Picture1, 0, 0, 1935, 2415);
    Picture1->setPixmap(AboutPicture(Picture1->size()));
    Label1 = line(this, "Designed by the PellinorDB project", 2040, 120, 4095, 255);
    Label2 = line(this, "Written in C++ and Qt by the PellinorDB developers", 2040, 480, 4095, 255);
    Text1 = new QLineEdit(QStringLiteral("Questions and reports: the PellinorDB issue tracker"), this);
    Text1->setReadOnly(true);
    forms::Place(Text1, 2040, 840, 4095, 360);
    forms::SetBackColor(Text1, QColor(0xFF, 0xFF, 0xC0));
    Text1->setCursorPosition(0);
    std::string rights = std::string("Version ") + kProgramVersion + ", copyright \u00A9 the PellinorDB authors";
    Label3 = line(this, rights.c_str(), 2040, 1920, 3855, 255);
    Command1 = new QPushButton(QStringLiteral("Close"), this);
    forms::Place(Command1, 5280, 2160, 735, 255);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
}
