// SPDX-License-Identifier: Apache-2.0
// The few things every window does to its controls: place them in twips,
// give them a font and colours, set the window's mouse pointer, and name
// mouse buttons and shift keys as mouse events report them.
#pragma once

#include <QColor>
#include <QFont>

class QLineEdit;
class QWidget;

namespace forms {

// The program's sans font, standing in for the designs' "MS Sans Serif".
QFont ProgramFont(double points = 8.25, bool bold = false);

void Place(QWidget* control, int left, int top, int width, int height);
int Left(const QWidget* control);
int Top(const QWidget* control);
int Width(const QWidget* control);
int Height(const QWidget* control);
void SetWidth(QWidget* control, int width);

void SetFont(QWidget* control, double points, bool bold = false);
void SetForeColor(QWidget* control, QColor color);
void SetBackColor(QWidget* control, QColor color);
// A password box: what is typed shows as "*", as the designs' PasswordChar.
void SetPasswordChar(QLineEdit* box);

// Pointer values: 0 default, 1 arrow, 11 hourglass.
enum MousePointer { vbDefault = 0, vbArrow = 1, vbHourglass = 11 };
void SetMousePointer(QWidget* window, MousePointer pointer);

// Mouse events' codes: button 1 left, 2 right, 4 middle; shift 1 Shift,
// 2 Ctrl, 4 Alt; several held at once add up.
int ButtonCode(Qt::MouseButtons buttons);
int ShiftCode(Qt::KeyboardModifiers modifiers);

}  // namespace forms
