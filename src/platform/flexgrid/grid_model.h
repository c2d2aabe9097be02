// SPDX-License-Identifier: Apache-2.0
// The grid's cells as a Qt table model. Row 0 and column 0 of the grid are
// its fixed cells: they are served as the view's header texts, so they stay
// in view while the rest scrolls. Model cell (r, c) is grid cell (r+1, c+1).
#pragma once

#include <QAbstractTableModel>

#include "cell_store.h"

namespace flexgrid {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    const CellStore& Cells() const { return cells_; }
    void Resize(int rows, int cols);
    void Clear();
    void SetText(int row, int col, std::string_view text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void changed();

    CellStore cells_;
    bool change_pending_ = false;
};

}  // namespace flexgrid
