#pragma once
// A tiny data set (data/tinyFormda.txt: 5 OTUs, 5 communities, 3 quantitative
// traits, 2 variables) with every setting a ranking reads, and plain reference
// computations written out pair by pair, independent of the library routines.

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "data/DataSet.hpp"
#include "ranking/RankingData.hpp"

namespace kolvar::test {

struct TinyRanking {
    TinyRanking();
    RankingInputs Inputs(int threads = 0);

    std::istringstream in;
    std::ostringstream out, err;
    Console con{in, out, err};
    FixedClock clock{0};
    Options opt;
    Session session;
    DataSet d;
    FunctionalSettings fa;
    HierarchySettings hier;
    RankingSettings rs;
    Random rnd;
    std::vector<std::string> progress;
};

/// Plain references on the tiny data (selected traits 0-based flags).
struct Reference {
    const TinyRanking& f;
    std::vector<int> select, labels;  // labels: the types of the partition, sorted
    Matrix<double> Wn, S, U, X, T, E;
    Reference(const TinyRanking& fixture, std::vector<int> sel);
    static double Mantel(const Matrix<double>& A, const Matrix<double>& B);
    static double Partial(double rab, double rac, double rbc);
    Matrix<double> Rao() const;
    Matrix<double> DarkDiversity() const;
};

}  // namespace kolvar::test
