// The hand-worked cases of the data files in tests/stattests/data, each routine
// called on the inputs written there; the files explain the expected values.
#include <gtest/gtest.h>

#include "QMLib/qmlibDim.hpp"
#include "stattests/Diversity.hpp"
#include "stattests/MatrixCorrelation.hpp"
#include "stattests/PermTest.hpp"
#include "stattests/Regression.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

using namespace test;

/// RaoIndex_Simpson on each row of the first input, against the second or the identity (none).
HandFunction Simpson(bool identity) {
    return [identity](Ins& in, const Opts& o) {
        std::vector<double> v;
        for (std::size_t c = 0; c < in[0].rows(); ++c)
            v.push_back(RaoIndex_Simpson(P(in[0]), in[0].row(c), identity ? nullptr : &in[1], o[0] == "1", o[1] == "1"));
        return RowOf(v);
    };
}

HandFunction RaoWeight(bool returnRese) {
    return [returnRese](Ins& in, const Opts& o) {
        const std::vector<int> weights = HandInts(o[2]);
        const double r = RaoIndex_Weight(P(in[0]), in[0].row(0), in[1], o[0] == "1", o[1] == "1", Ptr(weights),
                                         o[3] == "1");
        return returnRese ? in[1] : RowOf({r});
    };
}

HandFunction Partition(bool returnW) {
    return [returnW](Ins& in, const Opts&) {
        std::vector<double> r(8, 9.0);
        r[0] = DiversityPartition(N(in[0]), P(in[0]), in[0], in[1], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);
        return returnW ? in[0] : RowOf(r);
    };
}

const std::map<std::string, HandFunction>& Routines() {
    static const std::map<std::string, HandFunction> routines = {
        {"Rao",
         [](Ins& in, const Opts& o) {
             const std::vector<int> weights = HandInts(o[2]);
             std::vector<double> r(in[0].rows(), 9.0);
             RaoIndex_Weight_Matrix(N(in[0]), P(in[0]), in[0], in[1], r.data(), o[0] == "1", o[1] == "1",
                                    Ptr(weights), o[3] == "1", o[4] == "1");
             return RowOf(r);
         }},
        {"RaoIndex_Simpson", Simpson(false)},
        {"RaoIndex_Simpson.identity", Simpson(true)},
        {"RaoIndex_Weight", RaoWeight(false)},
        {"RaoIndex_Weight.rese", RaoWeight(true)},
        {"DiversityPartition", Partition(false)},
        {"DiversityPartition.W", Partition(true)},
        {"NNCRD",
         [](Ins& in, const Opts&) {
             std::vector<double> r(in[0].rows(), 9.0);
             const bool ok = NNCRD(N(in[0]), in[0], in[1], r.data());
             return WithStatus(RowOf(r), ok);
         }},
        {"WithinGrSqDissim",
         [](Ins& in, const Opts& o) {
             return RowOf({WithinGrSqDissim(N(in[0]), in[0], HandInts(o[0]).data(), o[1] == "1")});
         }},
        {"BetweenGrSqDissim",
         [](Ins& in, const Opts& o) {
             const std::vector<int> groups = HandInts(o[0]), select = HandInts(o[1]);
             double between = 9, total = 9;
             const double r = BetweenGrSqDissim(N(in[0]), in[0], groups.data(), &between, &total, Ptr(select),
                                                o[2] == "1");
             return RowOf({r, between, total});
         }},
        {"regression",
         [](Ins& in, const Opts&) {
             const Matrix<double>& x = in[0], &y = in[1];
             const std::size_t q = x.cols(), p = y.cols();
             Matrix<double> b = Filled(q, p), yhat = Filled(x.rows(), p), r = Filled(q + 4 + x.rows(), p);
             std::vector<double> b0(p, 9.0), r2(p, 9.0), ssy(p, 9.0);
             const int status = regression(N(x), P(y), P(x), y, x, b, b0.data(), yhat, r2.data(), ssy.data(), false,
                                           nullptr, 0, false);
             for (std::size_t i = 0; i < q; ++i) std::copy(b[i].begin(), b[i].end(), r[i].begin());
             const std::vector<double>* rows[] = {&b0, &r2, &ssy};
             for (std::size_t k = 0; k < 3; ++k) std::copy(rows[k]->begin(), rows[k]->end(), r[q + k].begin());
             r[q + 3][0] = status;
             for (std::size_t i = 0; i < x.rows(); ++i) std::copy(yhat[i].begin(), yhat[i].end(), r[q + 4 + i].begin());
             return r;
         }},
        {"PartialCorrelation",
         [](Ins&, const Opts& o) { return RowOf({PartialCorrelation(HandValue(o[0]), HandValue(o[1]), HandValue(o[2]))}); }},
        {"MatrixInverse",
         [](Ins& in, const Opts&) {
             Matrix<double> inv = Filled(in[0].rows(), in[0].cols());
             const int status = MatrixInverse(N(in[0]), P(in[0]), in[0], inv);
             return WithStatus(inv, status);
         }},
        {"Pvalue",
         [](Ins& in, const Opts& o) {
             return RowOf({Pvalue(P(in[0]), in[0].row(0), HandValue(o[0]), HandValue(o[1]), std::stoi(o[2]))});
         }},
        {"GetData",
         [](Ins& in, const Opts& o) {
             const std::vector<int> list = HandInts(o[0]);
             Matrix<double> dst = Filled(in[0].rows(), in[0].cols());
             int cols = 9;
             GetData(N(in[0]), static_cast<int>(list.size()), P(in[0]), &cols, in[0], dst, list.data(), std::stoi(o[1]));
             return WithStatus(dst, cols);
         }},
    };
    return routines;
}

TEST(HandCases, StatisticsGiveTheHandWorkedValues) {
    for (const char* file : {"diversity", "statistics"}) {
        SCOPED_TRACE(file);
        RunHandCases(std::string("tests/stattests/data/") + file + ".txt", Routines());
    }
}

}  // namespace
}  // namespace kolvar
