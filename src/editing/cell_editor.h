// SPDX-License-Identifier: Apache-2.0
// What the three grid windows share about their overlay cell editor: the
// numeric test behind its alignment, its placing over the current cell,
// the six navigation keys and their edge rules, and the hook that shows a
// window each key before the text box acts on it.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class QLineEdit;
class QWidget;

namespace flexgrid {
class FlexGrid;
}

namespace editing {

// The locale-aware number test: blanks around, a sign, digits with the
// locale's grouping and decimal separators, an exponent. Empty is not.
bool IsNumeric(const std::string& text);

// Opens `editor` on the grid's current cell: alignment by the numeric
// test, shown, the cell's text with the caret at the start.
void OpenCellEditor(QLineEdit* editor, const flexgrid::FlexGrid* grid);

// Lays `control` exactly over the current cell (its own height kept when
// `keep_height`), gives it the focus and brings it to the front.
void CoverCurrentCell(QWidget* control, const flexgrid::FlexGrid* grid, bool keep_height = false);

// Selects `length` characters from the selection's start onwards (up to
// the end of the text).
void SetSelectionLength(QLineEdit* editor, int length);

// Key codes of the keys that move the current cell.
enum NavigationKey : int { vbKeyPageUp = 33, vbKeyPageDown = 34, vbKeyLeft = 37, vbKeyUp = 38, vbKeyRight = 39, vbKeyDown = 40 };
bool IsNavigationKey(int key_code);
// Moves the current cell for a navigation key; Page Up and Page Down only
// when the whole step of five fits, Left and Right wrap between rows.
void MoveCurrentCell(flexgrid::FlexGrid* grid, int key_code);

// A key in a dialog's editor: the text goes into the current cell (the
// grid one key behind), then a navigation key moves; nothing is saved.
void DialogKeyDown(QLineEdit* editor, flexgrid::FlexGrid* grid, int key_code);

// Calls `key_down` with the key's code before the editor sees each key
// press, and `lost_focus` when the editor loses the focus. The key goes on
// to the editor unchanged.
class EditorEvents : public QObject {
public:
    EditorEvents(QLineEdit* editor, std::function<void(int)> key_down, std::function<void()> lost_focus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(int)> key_down_;
    std::function<void()> lost_focus_;
};

}  // namespace editing
