#include "panel_events.h"

#include <QKeySequence>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>

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

}  // namespace

void OnMouseDown(QPushButton* button, std::function<void(int, int, int, int)> handler) {
    button->installEventFilter(new MouseDownFilter(button, std::move(handler)));
}

void MakeDefault(QPushButton* button) {
    for (QPushButton* other : button->window()->findChildren<QPushButton*>())
        if (other != button) other->setDefault(false);
    button->setDefault(true);
}

void PressDefaultOnEnter(QWidget* panel, QPushButton* button) {
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), panel);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(enter, &QShortcut::activated, button, [button] {
            if (button->isDefault() && button->isEnabled() && button->isVisible()) button->click();
        });
    }
}

}  // namespace queries
