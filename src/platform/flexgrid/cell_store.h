// SPDX-License-Identifier: Apache-2.0
// The texts of every cell of a grid in one flat store: a table of spans
// into a single character buffer. A grid of 330,000 cells then costs two
// allocations, not one per cell, and emptying it is one pass.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flexgrid {

class CellStore {
public:
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    // Keeps the text of every cell that stays addressable.
    void Resize(int rows, int cols);
    void Clear();

    // UTF-8; out_of_range for a cell outside Rows x Cols.
    std::string_view Text(int row, int col) const;
    void SetText(int row, int col, std::string_view text);

private:
    struct Span {
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    size_t index(int row, int col) const;
    void compact();

    int rows_ = 0;
    int cols_ = 0;
    std::vector<Span> spans_;
    std::string chars_;
    size_t live_ = 0;  // characters still referenced by a span
};

}  // namespace flexgrid
