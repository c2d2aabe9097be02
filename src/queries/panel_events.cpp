// SPDX-License-Identifier: Apache-2.0
#include "panel_events.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "forms/forms.h"
#include "forms/twips.h"

namespace queries {

namespace {

class MouseDownFilter : public QObject {
public:
    MouseDownFilter(QPushButton* button, std::function<void(int, int, int, int)> handler)
        : QObject(button), button_(button), handler_(std::move(handler)) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
            button_->isEnabled()) {
            auto* e = static_cast<QMouseEvent*>(event);
            QPoint p = e->position().toPoint();
            handler_(forms::ButtonCode(e->button()), forms::ShiftCode(e->modifiers()), forms::ToTwips(p.x()),
                     forms::ToTwips(p.y()));
        }
        return false;
    }

private:
    QPushButton* button_;
    std::function<void(int, int, int, int)> handler_;
};

// Sees the Enter that a control of the panel left unhandled: it travels
// up to the panel. An Enter that picks an item in an open list stays in the
// list's popup window, so it never gets here.
class EnterFilter : public QObject {
public:
    EnterFilter(QWidget* panel, QPushButton* button) : QObject(panel), button_(button) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        if (!button_->isDefault() || !button_->isEnabled() || !button_->isVisible()) return false;
        button_->click();
        return true;
    }

private:
    QPushButton* button_;
};

}  // namespace

void OnMouseDown(QPushButton* button, std::function<void(int, int, int, int)> handler) {
    button->installEventFilter(new MouseDownFilter(button, std::move(handler)));
}

void MakeDefault(QPushButton* button) {
    for (QPushButton* other : button->window()->findChildren<QPushButton*>())
        if (other != button) other->setDefault(false);
    button->setDefault(true);
}

void PressDefaultOnEnter(QWidget* panel, QPushButton* button) { panel->installEventFilter(new EnterFilter(panel, button)); }

}  // namespace queries
