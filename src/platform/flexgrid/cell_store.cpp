// SPDX-License-Identifier: Apache-2.0
#include "cell_store.h"

#include <algorithm>
#include <stdexcept>

namespace flexgrid {

size_t CellStore::index(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        throw std::out_of_range("grid cell (" + std::to_string(row) + ", " + std::to_string(col) +
                                ") is outside " + std::to_string(rows_) + " x " + std::to_string(cols_));
    return size_t(row) * size_t(cols_) + size_t(col);
}

void CellStore::Resize(int rows, int cols) {
    if (rows < 0 || cols < 0) throw std::out_of_range("a grid cannot have a negative size");
    if (cols == cols_) {
        for (size_t i = size_t(rows) * size_t(cols); i < spans_.size(); ++i) live_ -= spans_[i].length;
        spans_.resize(size_t(rows) * size_t(cols));
    } else {
        std::vector<Span> spans(size_t(rows) * size_t(cols));
        live_ = 0;
        for (int r = 0; r < rows && r < rows_; ++r)
            for (int c = 0; c < cols && c < cols_; ++c) {
                Span s = spans_[index(r, c)];
                spans[size_t(r) * size_t(cols) + size_t(c)] = s;
                live_ += s.length;
            }
        spans_ = std::move(spans);
    }
    rows_ = rows;
    cols_ = cols;
    compact();
}

void CellStore::Clear() {
    std::fill(spans_.begin(), spans_.end(), Span{});
    chars_.clear();
    live_ = 0;
}

std::string_view CellStore::Text(int row, int col) const {
    Span s = spans_[index(row, col)];
    return std::string_view(chars_).substr(s.offset, s.length);
}

void CellStore::SetText(int row, int col, std::string_view text) {
    Span& s = spans_[index(row, col)];
    live_ -= s.length;
    live_ += text.size();
    if (text.size() <= s.length) {  // rewrite in place
        chars_.replace(s.offset, text.size(), text);
        s.length = uint32_t(text.size());
        return;
    }
    if (chars_.size() + text.size() > UINT32_MAX) compact();
    if (chars_.size() + text.size() > UINT32_MAX) throw std::length_error("grid text exceeds 4 GB");
    s.offset = uint32_t(chars_.size());
    s.length = uint32_t(text.size());
    chars_.append(text);
    if (chars_.size() > 2 * live_ + (1u << 20)) compact();
}

// Drops the characters no span refers to any more.
void CellStore::compact() {
    if (chars_.size() <= live_ + (1u << 16)) return;
    std::string chars;
    chars.reserve(live_);
    for (Span& s : spans_) {
        uint32_t offset = uint32_t(chars.size());
        chars.append(chars_, s.offset, s.length);
        s.offset = s.length ? offset : 0;
    }
    chars_ = std::move(chars);
}

}  // namespace flexgrid
