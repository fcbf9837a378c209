#pragma once
// The program's one owning matrix type.
//
// Storage is one zero-filled block plus a table of row pointers, so m[i][j] is
// row access, rows are exchanged in O(1) by swapping pointers, and hot loops
// walk contiguous memory. Sizes are stored; in checked builds (KOLVAR_CHECKED,
// set for Debug and sanitizer builds) every row and column index is verified.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <initializer_list>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "base/Fatal.hpp"

namespace kolvar {

template <class T>
class Matrix {
public:
    Matrix() = default;
    Matrix(std::size_t rows, std::size_t cols) { Allocate(rows, cols); }

    Matrix(const Matrix& other) { CopyFrom(other); }
    Matrix& operator=(const Matrix& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }
    Matrix(Matrix&& other) noexcept { MoveFrom(other); }

    /// A matrix written out row by row (rows of unequal length are zero-padded).
    static Matrix FromRows(std::initializer_list<std::initializer_list<T>> rows) {
        std::size_t cols = 0;
        for (const auto& r : rows) cols = std::max(cols, r.size());
        Matrix m(rows.size(), cols);
        std::size_t i = 0;
        for (const auto& r : rows) std::copy(r.begin(), r.end(), m.rowPtr_[i++]);
        return m;
    }
    Matrix& operator=(Matrix&& other) noexcept {
        if (this != &other) MoveFrom(other);
        return *this;
    }

    std::size_t rows() const { return rows_; }
    std::size_t cols() const { return cols_; }
    bool empty() const { return rows_ == 0 || cols_ == 0; }

    std::span<T> operator[](std::size_t i) {
#ifdef KOLVAR_CHECKED
        assert(i < rows_);
#endif
        return {rowPtr_[i], cols_};
    }
    std::span<const T> operator[](std::size_t i) const {
#ifdef KOLVAR_CHECKED
        assert(i < rows_);
#endif
        return {rowPtr_[i], cols_};
    }
    /// Raw row pointer, for code that hands a row to a routine taking a vector.
    T* row(std::size_t i) { return (*this)[i].data(); }
    const T* row(std::size_t i) const { return (*this)[i].data(); }

    /// The table of row pointers (rows() entries), for kernels that take rows.
    T* const* rowTable() { return rowPtr_.data(); }
    const T* const* rowTable() const { return rowPtr_.data(); }

    /// Exchanges two rows without copying their elements.
    void swapRows(std::size_t i, std::size_t j) {
#ifdef KOLVAR_CHECKED
        assert(i < rows_ && j < rows_);
#endif
        std::swap(rowPtr_[i], rowPtr_[j]);
    }

    /// Sets every element to zero (or T{}), keeping the size and the row order.
    void clear() { std::fill(data_.begin(), data_.end(), T{}); }
    void fill(const T& v) { std::fill(data_.begin(), data_.end(), v); }

    /// Resizes to rows x cols, zero-filled; previous content is dropped.
    void assign(std::size_t rows, std::size_t cols) { Allocate(rows, cols); }

private:
    void Allocate(std::size_t rows, std::size_t cols) {
        try {
            std::vector<T> data(rows * cols);
            std::vector<T*> ptr(rows);
            for (std::size_t i = 0; i < rows; ++i) ptr[i] = data.data() + i * cols;
            data_ = std::move(data);
            rowPtr_ = std::move(ptr);
        } catch (const std::bad_alloc&) {
            OutOfMemory();
        }
        rows_ = rows;
        cols_ = cols;
    }
    void CopyFrom(const Matrix& other) {
        Allocate(other.rows_, other.cols_);
        // Keep the other's row order, whatever swaps it went through.
        for (std::size_t i = 0; i < rows_; ++i)
            std::copy(other.rowPtr_[i], other.rowPtr_[i] + cols_, rowPtr_[i]);
    }
    void MoveFrom(Matrix& other) noexcept {
        data_ = std::move(other.data_);
        rowPtr_ = std::move(other.rowPtr_);
        rows_ = std::exchange(other.rows_, 0);
        cols_ = std::exchange(other.cols_, 0);
    }

    std::vector<T> data_;
    std::vector<T*> rowPtr_;
    std::size_t rows_ = 0;
    std::size_t cols_ = 0;
};

/// Three- and four-dimensional arrays: a vector of matrices, a vector of those.
template <class T>
using Array3D = std::vector<Matrix<T>>;
template <class T>
using Array4D = std::vector<Array3D<T>>;

/// Zero-filled vector of n elements (n <= 0 gives an empty vector).
template <class T>
std::vector<T> dim1D(int n) {
    try {
        return std::vector<T>(n > 0 ? static_cast<std::size_t>(n) : 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}
/// Zero-filled rows x cols matrix; a count of 0 or less gives an empty dimension.
template <class T>
Matrix<T> dim2D(int rows, int cols) {
    return Matrix<T>(rows > 0 ? static_cast<std::size_t>(rows) : 0,
                     cols > 0 ? static_cast<std::size_t>(cols) : 0);
}
template <class T>
Array3D<T> dim3D(int a, int b, int c) {
    Array3D<T> out;
    try {
        out.reserve(a > 0 ? static_cast<std::size_t>(a) : 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    for (int k = 0; k < a; ++k) out.push_back(dim2D<T>(b, c));
    return out;
}
template <class T>
Array4D<T> dim4D(int a, int b, int c, int d) {
    Array4D<T> out;
    try {
        out.reserve(a > 0 ? static_cast<std::size_t>(a) : 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    for (int k = 0; k < a; ++k) out.push_back(dim3D<T>(b, c, d));
    return out;
}

/// Exchanges rows i and j of a matrix (entries of a table) in O(1).
template <class T>
void swap(Matrix<T>& m, int i, int j) {
    m.swapRows(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
}
template <class T>
void swap(std::vector<T>& v, int i, int j) {
    std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(j)]);
}

}  // namespace kolvar
