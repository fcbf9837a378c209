#include "support/NumericData.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace kolvar::test {

Rows RowsOf(const Matrix<double>& m) { return RowsOf(m, m.rows(), m.cols()); }

Rows RowsOf(const Matrix<double>& m, std::size_t rows, std::size_t cols) {
    Rows r;
    for (std::size_t i = 0; i < rows; ++i) r.emplace_back(m[i].begin(), m[i].begin() + cols);
    return r;
}

void ExpectNear(const Matrix<double>& m, const Rows& want, double tol) {
    for (std::size_t i = 0; i < want.size(); ++i)
        for (std::size_t j = 0; j < want[i].size(); ++j) EXPECT_NEAR(m[i][j], want[i][j], tol) << i << ' ' << j;
}

void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tol) << i;
}

void ExpectDoubleEq(const Matrix<double>& m, const Rows& want) {
    for (std::size_t i = 0; i < want.size(); ++i)
        for (std::size_t j = 0; j < want[i].size(); ++j) EXPECT_DOUBLE_EQ(m[i][j], want[i][j]) << i << ' ' << j;
}

void ExpectDoubleEq(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << i;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

bool SameBits(const Matrix<double>& a, const Matrix<double>& b) {
    if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
    for (std::size_t i = 0; i < a.rows(); ++i)
        if (std::memcmp(a.row(i), b.row(i), a.cols() * sizeof(double)) != 0) return false;
    return true;
}

Matrix<double> Identity(std::size_t n) {
    Matrix<double> m(n, n);
    for (std::size_t i = 0; i < n; ++i) m[i][i] = 1;
    return m;
}

double Pearson(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        mx += x[i] / n;
        my += y[i] / n;
    }
    double sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
        sxy += (x[i] - mx) * (y[i] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}

std::vector<double> UpperTriangle(const Matrix<double>& m) {
    std::vector<double> v;
    for (std::size_t i = 0; i < m.rows(); ++i)
        for (std::size_t j = i + 1; j < m.cols(); ++j) v.push_back(m[i][j]);
    return v;
}

double MantelOf(const Matrix<double>& a, const Matrix<double>& b) {
    return Pearson(UpperTriangle(a), UpperTriangle(b));
}

Matrix<double> CentredCrossProduct(const Matrix<double>& x) {
    const std::size_t n = x.rows(), p = x.cols();
    Matrix<double> c = x;
    for (std::size_t k = 0; k < p; ++k) {
        double m = 0;
        for (std::size_t i = 0; i < n; ++i) m += x[i][k];
        m /= n;
        for (std::size_t i = 0; i < n; ++i) c[i][k] -= m;
    }
    Matrix<double> out(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t k = 0; k < p; ++k) out[i][j] += c[i][k] * c[j][k];
    return out;
}

}  // namespace kolvar::test
