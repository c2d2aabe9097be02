// SPDX-License-Identifier: Apache-2.0
// What the query panels need of their buttons beyond Qt's: a mouse-down
// event for any mouse button, and a default button in a window that is
// not a dialog.
#pragma once

#include <functional>

class QPushButton;
class QWidget;

namespace queries {

// `handler(button, shift, x, y)` runs when any mouse button goes down on an
// enabled `button` (codes as forms names them, x and y in twips). Keys do
// not reach it: a button opened this way has no keyboard activation.
void OnMouseDown(QPushButton* button, std::function<void(int, int, int, int)> handler);

// Makes `button` its window's default button, taking the role from any
// other button of the window.
void MakeDefault(QPushButton* button);

// Enter pressed inside `panel` and not used by the control it was pressed
// in presses `button`, as long as it is the window's default. Enter that
// picks an item of an open list only picks it; Enter elsewhere in the
// window (the cell editor above all) is left alone.
void PressDefaultOnEnter(QWidget* panel, QPushButton* button);

}  // namespace queries
