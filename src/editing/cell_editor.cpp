// SPDX-License-Identifier: Apache-2.0
#include "cell_editor.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

#include "flexgrid/flex_grid.h"
#include "forms/forms.h"

namespace editing {

namespace {

// The key code of a key event, as the windows' handlers number keys.
int keyCode(const QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return vbKeyPageUp;
    case Qt::Key_PageDown: return vbKeyPageDown;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return vbKeyLeft;
    case Qt::Key_Up: return vbKeyUp;
    case Qt::Key_Right: return vbKeyRight;
    case Qt::Key_Down: return vbKeyDown;
    case Qt::Key_Delete: return 46;
    default: return e->key() < 0x80 ? e->key() : 0;
    }
}

}  // namespace

bool IsNumeric(const std::string& text) {
    const QLocale locale;
    QString t = QString::fromStdString(text).trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    locale.toDouble(t, &ok);
    if (ok) return true;
    // Grouping as typed ("1,234.5") or a bare decimal separator (".5").
    t.remove(locale.groupSeparator());
    if (t.startsWith(locale.decimalPoint())) t.prepend(QLatin1Char('0'));
    QLocale::c().toDouble(QString(t).replace(locale.decimalPoint(), QStringLiteral(".")), &ok);
    return ok;
}

void OpenCellEditor(QLineEdit* editor, const flexgrid::FlexGrid* grid) {
    const std::string text = grid->Text();
    editor->setAlignment((IsNumeric(text) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (editor->isHidden()) editor->show();
    editor->setText(QString::fromStdString(text));
    editor->setCursorPosition(0);
}

void CoverCurrentCell(QWidget* control, const flexgrid::FlexGrid* grid, bool keep_height) {
    forms::Place(control, grid->Left() + grid->CellLeft(), grid->Top() + grid->CellTop(), grid->CellWidth(),
                 keep_height ? forms::Height(control) : grid->CellHeight());
    control->setFocus();
    control->raise();
}

void SetSelectionLength(QLineEdit* editor, int length) {
    // The selection's start, which a text box keeps apart from its caret.
    const int start = editor->hasSelectedText() ? editor->selectionStart() : editor->cursorPosition();
    const int n = std::min(length, int(editor->text().size()) - start);
    if (n > 0) editor->setSelection(start, n);
    else editor->deselect();
}

bool IsNavigationKey(int key_code) {
    switch (key_code) {
    case vbKeyPageUp:
    case vbKeyPageDown:
    case vbKeyLeft:
    case vbKeyUp:
    case vbKeyRight:
    case vbKeyDown: return true;
    default: return false;
    }
}

void MoveCurrentCell(flexgrid::FlexGrid* grid, int key_code) {
    const int Row = grid->Row(), Col = grid->Col(), Rows = grid->Rows(), Cols = grid->Cols();
    switch (key_code) {
    case vbKeyPageUp:
        if (Row - 4 > 1) grid->SetRow(Row - 5);
        break;
    case vbKeyPageDown:
        if (Row + 4 < Rows - 1) grid->SetRow(Row + 5);
        break;
    case vbKeyLeft:
        if (Col < 2) {
            if (Row > 1) {
                grid->SetCol(Cols - 1);
                grid->SetRow(Row - 1);
            }
        } else {
            grid->SetCol(Col - 1);
        }
        break;
    case vbKeyUp:
        if (Row > 1) grid->SetRow(Row - 1);
        break;
    case vbKeyRight:
        if (Col == Cols - 1) {
            if (Row < Rows - 1) {
                grid->SetCol(1);
                grid->SetRow(Row + 1);
            }
        } else {
            grid->SetCol(Col + 1);
        }
        break;
    case vbKeyDown:
        if (Row < Rows - 1) grid->SetRow(Row + 1);
        break;
    }
}

void DialogKeyDown(QLineEdit* editor, flexgrid::FlexGrid* grid, int key_code) {
    grid->SetText(editor->text().toStdString());
    if (IsNavigationKey(key_code)) MoveCurrentCell(grid, key_code);
    SetSelectionLength(editor, int(QString::fromStdString(grid->Text()).size()));
}

EditorEvents::EditorEvents(QLineEdit* editor, std::function<void(int)> key_down, std::function<void()> lost_focus)
    : QObject(editor), key_down_(std::move(key_down)), lost_focus_(std::move(lost_focus)) {
    editor->installEventFilter(this);
}

bool EditorEvents::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyPress && key_down_) key_down_(keyCode(static_cast<QKeyEvent*>(event)));
    else if (event->type() == QEvent::FocusOut && lost_focus_) lost_focus_();
    return false;
}

}  // namespace editing
