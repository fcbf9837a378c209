#include "support/NumericData.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "QMLib/qmlibDim.hpp"
#include "support/Scenario.hpp"

namespace kolvar::test {

void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tol) << i;
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

namespace {

struct Expression {
    const char* p;
    double Sum() {
        double v = Product();
        while (*p == '+' || *p == '-') v = *p++ == '+' ? v + Product() : v - Product();
        return v;
    }
    double Product() {
        double v = Factor();
        while (*p == '*' || *p == '/') v = *p++ == '*' ? v * Factor() : v / Factor();
        return v;
    }
    double Factor() {
        if (*p == '-') return ++p, -Factor();
        if (*p == 'M') return ++p, kMissing;
        const bool root = std::strncmp(p, "sqrt(", 5) == 0, single = std::strncmp(p, "float(", 6) == 0;
        if (root || single || *p == '(') {
            p += root ? 5 : single ? 6 : 1;
            const double v = Sum();
            EXPECT_EQ(*p++, ')');
            return root ? std::sqrt(v) : single ? static_cast<float>(v) : v;
        }
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        EXPECT_NE(end, p) << "not a value: " << p;
        p = end;
        return v;
    }
};

}  // namespace

double HandValue(const std::string& text) {
    if (text == ".") return std::nan("");
    Expression e{text.c_str()};
    const double v = e.Sum();
    EXPECT_EQ(*e.p, '\0') << "not a value: " << text;
    return v;
}

std::vector<double> HandValues(const std::string& text) {
    std::vector<double> v;
    std::istringstream in(text == "-" ? "" : text);
    for (std::string item; std::getline(in, item, ',');) v.push_back(HandValue(item));
    return v;
}

std::vector<int> HandInts(const std::string& text) {
    const std::vector<double> v = HandValues(text);
    return std::vector<int>(v.begin(), v.end());
}

Matrix<double> RowOf(const std::vector<double>& v) {
    Matrix<double> m(1, v.size());
    std::copy(v.begin(), v.end(), m[0].begin());
    return m;
}

Matrix<double> WithStatus(const Matrix<double>& m, double status) {
    Matrix<double> r(m.rows() + 1, std::max<std::size_t>(m.cols(), 1));
    for (std::size_t i = 0; i < m.rows(); ++i) std::copy(m[i].begin(), m[i].end(), r[i].begin());
    r[m.rows()][0] = status;
    return r;
}

Matrix<double> Filled(std::size_t rows, std::size_t cols) {
    Matrix<double> m(rows, cols);
    m.fill(9.0);
    return m;
}

void RunHandCases(const std::string& file, const std::map<std::string, HandFunction>& routines) {
    std::istringstream text(Slurp(SourcePath(file)));
    std::vector<Matrix<double>> in;
    std::vector<std::string> head;
    Rows rows;
    bool inputs = false;
    int lineNo = 0, opened = 0, cases = 0;
    auto close = [&] {
        if (head.empty()) return;
        std::size_t cols = 0;
        for (const auto& r : rows) cols = std::max(cols, r.size());
        Matrix<double> m(rows.size(), cols);
        for (std::size_t i = 0; i < rows.size(); ++i) std::copy(rows[i].begin(), rows[i].end(), m[i].begin());
        if (head[0] == "in") {
            if (!inputs) in.clear();
            inputs = true;
            in.push_back(m);
            return;
        }
        inputs = false;
        const bool near = head[0] == "near";
        const std::size_t name = near ? 2 : 1;
        const auto routine = routines.find(head.at(name));
        ASSERT_NE(routine, routines.end()) << file << ':' << opened << ' ' << head[name];
        ASSERT_FALSE(rows.empty()) << file << ':' << opened;
        std::vector<Matrix<double>> args = in;
        const Matrix<double> got = routine->second(args, {head.begin() + name + 1, head.end()});
        ++cases;
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (std::size_t j = 0; j < rows[i].size(); ++j) {
                if (std::isnan(rows[i][j])) continue;
                ASSERT_LT(i, got.rows()) << file << ':' << opened;
                ASSERT_LT(j, got.cols()) << file << ':' << opened;
                const std::string where = file + ':' + std::to_string(opened) + " [" + std::to_string(i) + "][" +
                                          std::to_string(j) + ']';
                if (head[0] == "exact") EXPECT_EQ(got[i][j], rows[i][j]) << where;
                else if (head[0] == "ulps") EXPECT_DOUBLE_EQ(got[i][j], rows[i][j]) << where;
                else if (near) EXPECT_NEAR(got[i][j], rows[i][j], HandValue(head[1])) << where;
                else ADD_FAILURE() << where << ": unknown comparison " << head[0];
            }
    };
    for (std::string line; std::getline(text, line);) {
        ++lineNo;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.empty() || w[0][0] == '#') continue;
        if (std::isalpha(static_cast<unsigned char>(w[0][0])) && w[0] != "M" && w[0].find('(') == std::string::npos) {
            close();
            head = w;
            rows.clear();
            opened = lineNo;
            continue;
        }
        rows.emplace_back();
        for (const std::string& s : w) rows.back().push_back(HandValue(s));
    }
    close();
    EXPECT_GT(cases, 0) << file;
}

}  // namespace kolvar::test
