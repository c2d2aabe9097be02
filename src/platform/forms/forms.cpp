// SPDX-License-Identifier: Apache-2.0
#include "forms.h"

#include <QLineEdit>
#include <QPalette>
#include <QWidget>

#include "twips.h"

namespace forms {

QFont ProgramFont(double points, bool bold) {
    // Liberation Sans keeps the narrow widths the captions were sized for;
    // fontconfig falls back to another sans where it is missing.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void Place(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(ToPixels(left), ToPixels(top), ToPixels(width), ToPixels(height));
}

int Left(const QWidget* control) { return ToTwips(control->x()); }
int Top(const QWidget* control) { return ToTwips(control->y()); }
int Width(const QWidget* control) { return ToTwips(control->width()); }
int Height(const QWidget* control) { return ToTwips(control->height()); }

void SetWidth(QWidget* control, int width) { control->resize(ToPixels(width), control->height()); }

void SetFont(QWidget* control, double points, bool bold) { control->setFont(ProgramFont(points, bold)); }

void SetForeColor(QWidget* control, QColor color) {
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    p.setColor(QPalette::ButtonText, color);
    control->setPalette(p);
}

void SetPasswordChar(QLineEdit* box) {
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // "*"
}

void SetBackColor(QWidget* control, QColor color) {
    QPalette p = control->palette();
    p.setColor(QPalette::Window, color);
    p.setColor(QPalette::Base, color);
    p.setColor(QPalette::Button, color);
    control->setPalette(p);
    control->setAutoFillBackground(true);
}

void SetMousePointer(QWidget* window, MousePointer pointer) {
    switch (pointer) {
    case vbDefault: window->unsetCursor(); break;
    case vbArrow: window->setCursor(Qt::ArrowCursor); break;
    case vbHourglass: window->setCursor(Qt::WaitCursor); break;
    }
}

int ButtonCode(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

int ShiftCode(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

}  // namespace forms
