// SPDX-License-Identifier: Apache-2.0
#include "grid_model.h"

#include <QTimer>

#include <algorithm>

namespace flexgrid {

namespace {
QString qtext(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
}  // namespace

void GridModel::Resize(int rows, int cols) {
    if (rows == cells_.Rows() && cols == cells_.Cols()) return;
    beginResetModel();
    cells_.Resize(rows, cols);
    endResetModel();
}

void GridModel::Clear() {
    cells_.Clear();
    changed();
}

void GridModel::SetText(int row, int col, std::string_view text) {
    cells_.SetText(row, col, text);
    changed();
}

// A load writes hundreds of thousands of cells in one go; the views hear
// of it once, when control is back in the event loop.
void GridModel::changed() {
    if (change_pending_) return;
    change_pending_ = true;
    QTimer::singleShot(0, this, [this] {
        change_pending_ = false;
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
        if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    });
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(cells_.Rows() - 1, 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(cells_.Cols() - 1, 0);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return qtext(cells_.Text(index.row() + 1, index.column() + 1));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Horizontal)
        return section + 1 < cells_.Cols() && cells_.Rows() > 0 ? qtext(cells_.Text(0, section + 1)) : QVariant();
    return section + 1 < cells_.Rows() && cells_.Cols() > 0 ? qtext(cells_.Text(section + 1, 0)) : QVariant();
}

}  // namespace flexgrid
