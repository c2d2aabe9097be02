// SPDX-License-Identifier: Apache-2.0
#include "flex_grid.h"

#include <QHeaderView>
#include <QMouseEvent>

#include <stdexcept>

#include "forms/forms.h"
#include "forms/twips.h"

namespace flexgrid {

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    setWordWrap(false);
    setHorizontalScrollMode(ScrollPerPixel);
    // Uniform row heights keep scrolling through 33,000 rows cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(forms::ToPixels(180));
    verticalHeader()->setDefaultSectionSize(forms::ToPixels(255));
    verticalHeader()->setFixedWidth(forms::ToPixels(240));
    horizontalHeader()->setDefaultSectionSize(forms::ToPixels(1200));
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    for (QWidget* w : {viewport(), horizontalHeader()->viewport(), verticalHeader()->viewport()}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    connect(this, &QAbstractItemView::clicked, this, [this] { emit Click(); });
    SetRows(2);
    SetCols(2);
}

void FlexGrid::Clear() { model_->Clear(); }

void FlexGrid::SetRows(int rows) { resized(rows, Cols()); }
void FlexGrid::SetCols(int cols) { resized(Rows(), cols); }

void FlexGrid::resized(int rows, int cols) {
    model_->Resize(rows, cols);
    row_ = std::clamp(row_, rows > 1 ? 1 : 0, std::max(rows - 1, 0));
    col_ = std::clamp(col_, cols > 1 ? 1 : 0, std::max(cols - 1, 0));
    showCurrent();
}

std::string FlexGrid::TextMatrix(int row, int col) const { return std::string(model_->Cells().Text(row, col)); }

void FlexGrid::SetTextMatrix(int row, int col, std::string_view text) { model_->SetText(row, col, text); }

void FlexGrid::SetRow(int row) {
    if (row < 0 || row >= Rows()) throw std::out_of_range("invalid Row value " + std::to_string(row));
    row_ = row;
    showCurrent();
    emit EnterCell();
}

void FlexGrid::SetCol(int col) {
    if (col < 0 || col >= Cols()) throw std::out_of_range("invalid Col value " + std::to_string(col));
    col_ = col;
    showCurrent();
    emit EnterCell();
}

// Mirrors Row and Col into the view; fixed cells have no view cell.
void FlexGrid::showCurrent() {
    moving_ = true;
    QModelIndex index = model_->index(row_ - 1, col_ - 1);
    if (index.isValid()) selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else selectionModel()->clear();
    moving_ = false;
}

void FlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (moving_ || !current.isValid()) return;
    row_ = current.row() + 1;
    col_ = current.column() + 1;
    emit EnterCell();
}

QRect FlexGrid::currentBox() const {
    QModelIndex index = model_->index(row_ - 1, col_ - 1);
    QRect box = visualRect(index);
    if (row_ == 0) box = QRect(box.x(), -horizontalHeader()->height(), box.width(), horizontalHeader()->height());
    if (col_ == 0) box = QRect(-verticalHeader()->width(), box.y(), verticalHeader()->width(), box.height());
    return box.translated(viewport()->pos());
}

int FlexGrid::CellLeft() const { return forms::ToTwips(currentBox().x()); }
int FlexGrid::CellTop() const { return forms::ToTwips(currentBox().y()); }
int FlexGrid::CellWidth() const { return forms::ToTwips(currentBox().width()); }
int FlexGrid::CellHeight() const { return forms::ToTwips(currentBox().height()); }

std::string FlexGrid::Clip() const {
    int top = row_, bottom = row_, left = col_, right = col_;
    const QItemSelection selection = selectionModel()->selection();
    if (!selection.isEmpty()) {
        top = left = INT32_MAX;
        bottom = right = -1;
        for (const QItemSelectionRange& r : selection) {
            top = std::min(top, r.top() + 1);
            bottom = std::max(bottom, r.bottom() + 1);
            left = std::min(left, r.left() + 1);
            right = std::max(right, r.right() + 1);
        }
    } else if (Rows() == 0 || Cols() == 0) {
        return {};
    }
    std::string clip;
    for (int r = top; r <= bottom; ++r) {
        if (r > top) clip += '\n';
        for (int c = left; c <= right; ++c) {
            if (c > left) clip += '\t';
            clip += model_->Cells().Text(r, c);
        }
    }
    return clip;
}

int FlexGrid::Left() const { return forms::ToTwips(x()); }
int FlexGrid::Top() const { return forms::ToTwips(y()); }
int FlexGrid::Width() const { return forms::ToTwips(width()); }
void FlexGrid::SetWidth(int width) { resize(forms::ToPixels(width), height()); }

bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
    auto* area = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A right click is for the popup menu: it keeps the selection.
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        QPoint p = area->mapTo(this, e->position().toPoint());
        emit MouseUp(forms::ButtonCode(e->button()), forms::ShiftCode(e->modifiers()), forms::ToTwips(p.x()),
                     forms::ToTwips(p.y()));
        return e->button() == Qt::RightButton;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        QPoint p = area->mapTo(this, e->position().toPoint());
        emit MouseMove(forms::ButtonCode(e->buttons()), forms::ShiftCode(e->modifiers()), forms::ToTwips(p.x()),
                       forms::ToTwips(p.y()));
        return false;
    }
    default:
        return QTableView::eventFilter(watched, event);
    }
}

}  // namespace flexgrid
