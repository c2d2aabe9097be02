// SPDX-License-Identifier: Apache-2.0
// The grid control: rows and columns of text addressed from (0, 0), one
// fixed row and one fixed column that stay in view, a current cell and a
// selected block. Positions it reports are in twips of its window.
#pragma once

#include <QTableView>

#include <string>
#include <string_view>

#include "grid_model.h"

namespace flexgrid {

class FlexGrid : public QTableView {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    // Empties every cell; Rows and Cols stay.
    void Clear();
    int Rows() const { return model_->Cells().Rows(); }
    void SetRows(int rows);
    int Cols() const { return model_->Cells().Cols(); }
    void SetCols(int cols);

    std::string TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, std::string_view text);

    // The current cell; never a fixed one while the grid has a data cell.
    int Row() const { return row_; }
    void SetRow(int row);
    int Col() const { return col_; }
    void SetCol(int col);
    std::string Text() const { return TextMatrix(row_, col_); }
    void SetText(std::string_view text) { SetTextMatrix(row_, col_, text); }

    // Box of the current cell from the grid's top-left corner.
    int CellLeft() const;
    int CellTop() const;
    int CellWidth() const;
    int CellHeight() const;

    // The selected block: a tab between cells, a line break between rows.
    std::string Clip() const;

    int Left() const;
    int Top() const;
    int Width() const;
    void SetWidth(int width);

signals:
    void Click();
    void EnterCell();
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt;
    // x, y in twips from the grid's top-left corner.
    void MouseMove(int button, int shift, int x, int y);
    void MouseUp(int button, int shift, int x, int y);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resized(int rows, int cols);
    void showCurrent();
    QRect currentBox() const;

    GridModel* model_;
    int row_ = 0;
    int col_ = 0;
    bool moving_ = false;  // the current cell is being set from code
};

}  // namespace flexgrid
