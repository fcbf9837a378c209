// The hand-worked cases of the data files in tests/QMLib/data, each routine
// called on the inputs written there; the files explain the expected values.
#include <gtest/gtest.h>

#include "QMLib/Beals.hpp"
#include "QMLib/Belonging.hpp"
#include "QMLib/MatrixProd.hpp"
#include "QMLib/Ordination.hpp"
#include "QMLib/Resemblance.hpp"
#include "QMLib/Transform.hpp"
#include "QMLib/qmlibDim.hpp"
#include "support/NumericData.hpp"

namespace kolvar {
namespace {

using namespace test;

/// A routine of (n, p, in, out[, options]) with out as large as the input (or n x n), filled with 9 or with 0.
template <class F>
HandFunction Into(F f, bool square = false, bool zeros = false) {
    return [f, square, zeros](Ins& in, const Opts& o) {
        Matrix<double> out = Filled(in[0].rows(), square ? in[0].rows() : in[0].cols());
        if (zeros) out.fill(0.0);
        if constexpr (std::is_invocable_v<F, int, int, Matrix<double>&, Matrix<double>&, const Opts&>)
            f(N(in[0]), P(in[0]), in[0], out, o);
        else
            f(N(in[0]), P(in[0]), in[0], out);
        return out;
    };
}

/// A routine of (n, p, m) changing the input in place.
template <class F>
HandFunction InPlace(F f) {
    return [f](Ins& in, const Opts&) {
        f(N(in[0]), P(in[0]), in[0]);
        return in[0];
    };
}

/// A routine of (n, v) on the first row, giving the row afterwards or the value returned.
template <class F>
HandFunction OnRow(F f) {
    return [f](Ins& in, const Opts&) {
        std::vector<double> v(in[0][0].begin(), in[0][0].end());
        if constexpr (std::is_void_v<decltype(f(0, v.data()))>) {
            f(P(in[0]), v.data());
            return RowOf(v);
        } else {
            return RowOf({static_cast<double>(f(P(in[0]), v.data()))});
        }
    };
}

/// A routine of (n, x, y) on two rows named by the options.
template <class F>
HandFunction OnRows(F f) {
    return [f](Ins& in, const Opts& o) {
        return RowOf({f(P(in[0]), in[0].row(std::stoi(o[0])), in[0].row(std::stoi(o[1])))});
    };
}

/// A routine of the option values alone.
template <class F>
HandFunction OfOptions(F f) {
    return [f](Ins&, const Opts& o) {
        std::vector<double> v;
        for (const std::string& s : o) v.push_back(HandValue(s));
        return RowOf({static_cast<double>(f(v))});
    };
}

/// The number of groups of the labels (the first row), then their list unless count only.
HandFunction Groups(bool select, bool countOnly) {
    return [select, countOnly](Ins& in, const Opts& o) {
        const std::vector<int> labels(in[0][0].begin(), in[0][0].end());
        std::vector<int> list(labels.size(), 9);
        int count = 9;
        const int n = !select && !o.empty() ? std::stoi(o[0]) : P(in[0]);
        if (select) CountGroupsSelect(n, labels.data(), HandInts(o[0]).data(), count, list.data());
        else CountGroupsNew(n, labels.data(), count, countOnly ? nullptr : list.data());
        list.insert(list.begin(), count);
        return RowOf({list.begin(), list.end()});
    };
}

/// The dispatcher's result, then the data afterwards.
HandFunction Dispatcher(bool keepWork) {
    return [keepWork](Ins& in, const Opts& o) {
        static ResemblanceWork kept;
        ResemblanceWork fresh;
        const std::vector<int> types = HandInts(o.size() > 3 ? o[3] : "-");
        const int n = N(in[0]), p = P(in[0]), orientation = std::stoi(o[0]);
        Matrix<double> out = Filled(orientation == 1 ? n : p, orientation == 1 ? n : p);
        ResemblanceLib(n, p, in[0], out, orientation, std::stoi(o[1]), std::stoi(o[2]), Ptr(types), 0, 0, false, false,
                       keepWork ? kept : fresh);
        Matrix<double> r(out.rows() + in[0].rows(), std::max(out.cols(), in[0].cols()));
        for (std::size_t i = 0; i < r.rows(); ++i) {
            const auto& from = i < out.rows() ? out[i] : in[0][i - out.rows()];
            std::copy(from.begin(), from.end(), r[i].begin());
        }
        return r;
    };
}

HandFunction Gower(bool returnData) {
    return [returnData](Ins& in, const Opts& o) {
        const std::vector<int> types = HandInts(o[0]);
        const std::vector<double> ranges = HandValues(o[1]), weights = HandValues(o[2]);
        Matrix<double> s(in[0].rows(), in[0].rows());
        if (o.size() > 4) {
            const std::vector<int> preset = HandInts(o[4]);
            s[preset[0]][preset[1]] = preset[2];
        }
        GowerMVOpt(N(in[0]), P(in[0]), types.data(), in[0], s, Ptr(ranges), Ptr(weights), o[3] == "1");
        return returnData ? in[0] : s;
    };
}

Array3D<double> Partial(const Matrix<double>& data, const std::vector<int>& types) {
    const std::vector<double> ranges(types.size(), 0.0), weights(types.size(), 1.0);
    Array3D<double> part = dim3D<double>(data.rows(), data.rows(), types.size());
    gower_similarityPartial(P(data), data, N(data), part, types.data(), ranges.data(), weights.data(), false);
    return part;
}

HandFunction GowerOne(bool returnColumn) {
    return [returnColumn](Ins& in, const Opts& o) {
        Matrix<double> out = Filled(in[0].cols(), in[0].cols());
        GowerMVPartial_dAbsences(P(in[0]), std::stoi(o[0]), in[0].row(0), out, HandValue(o[1]), HandValue(o[2]),
                                 o[3] == "1");
        return returnColumn ? in[0] : out;
    };
}

HandFunction Beals(bool product, bool returnM) {
    return [product, returnM](Ins& in, const Opts& o) {
        const Matrix<double>& w = in[0];
        Matrix<double> y = Filled(w.rows(), w.cols()), m = Filled(w.cols(), w.cols());
        const bool include = o[0] == "1", third = o.size() > 2 && o[2] == "1";
        if (product) BealsSmoothing(N(w), P(w), w, w, y, false, 0, &m, include, std::stoi(o[1]), third);
        else if (o.size() > 2) BealsSmoothing(N(w), P(w), w, w, y, include, std::stoi(o[1]), third);
        else BealsSmoothing(N(w), P(w), w, w, y, include, std::stoi(o[1]));
        return returnM ? m : y;
    };
}

HandFunction FuzzyBelongingOf(bool returnRese) {
    return [returnRese](Ins& in, const Opts& o) {
        const std::vector<int> partition = HandInts(o[1]);
        Matrix<double> u = Filled(in[0].rows(), std::stoul(o[0]));
        FuzzyBelonging(N(in[0]), std::stoi(o[0]), in[0], Ptr(partition), u, o[2] == "1");
        return returnRese ? in[0] : u;
    };
}

/// A product of the first input by the second, with its status.
template <class F>
HandFunction Product(F f) {
    return [f](Ins& in, const Opts& o) {
        Matrix<double> res = Filled(in[0].rows(), in[1].cols());
        const int status = f(N(in[0]), P(in[0]), N(in[1]), P(in[1]), in[0], in[1], res, o);
        return WithStatus(res, status);
    };
}

const std::map<std::string, HandFunction>& Routines() {
    static const std::map<std::string, HandFunction> routines = {
        // Transform.hpp
        {"UnitSumRowsAdjMV", InPlace([](int n, int p, Matrix<double>& m) { UnitSumRowsAdjMV(n, p, m, m); })},
        {"RangeColsAdjMV", Into(RangeColsAdjMV)},
        {"NormalizeColsMV", Into(NormalizeColsMV)},
        {"NormalizeColsSelectedRowsMV", Into([](int n, int p, auto& m, auto& out, const Opts& o) {
             NormalizeColsSelectedRowsMV(n, p, m, out, HandInts(o[0]).data());
         })},
        {"NormalizeRowsMV", InPlace([](int n, int p, Matrix<double>& m) { NormalizeRowsMV(n, p, m, m); })},
        {"CenterRowsMV", Into(CenterRowsMV)},
        {"CorrAdj", Into(CorrAdj)},
        {"ZStandardizationColsMV", Into(ZStandardizationColsMV)},
        {"ZStandardizationRowsMV", Into(ZStandardizationRowsMV)},
        {"GowerStandardizationCols", Into(GowerStandardizationCols)},
        {"GowerStandardizationRows", Into(GowerStandardizationRows)},
        {"CovarianceMV", Into(CovarianceMV, true, true)},
        {"DeviationsExpectationsMV", Into(DeviationsExpectationsMV)},
        {"MatrixUnitMaxTransf", InPlace([](int n, int p, Matrix<double>& m) { MatrixUnitMaxTransf(n, p, m); })},
        {"DataPartitionQualQuant", Into([](int n, int p, auto& m, auto& out, const Opts& o) {
             DataPartitionQualQuant(n, p, m, out, std::stoi(o[0]));
         })},
        {"CorrToSqDist", Into([](int n, int, Matrix<double>& m, Matrix<double>& out) { CorrToSqDist(n, m, out); })},
        {"ProbToDissim", Into([](int n, int, Matrix<double>& m, Matrix<double>& out) { ProbToDissim(n, m, out); })},
        {"ProdToSqDist", Into([](int n, int, Matrix<double>& m, Matrix<double>& out) { ProdToSqDist(n, m, out); },
                              false, true)},
        {"DissToCenterProdMatrix",
         Into([](int n, int, Matrix<double>& m, Matrix<double>& out) { DissToCenterProdMatrix(n, m, out, false); },
              false, true)},
        {"GowerMatrixCentering",
         Into([](int n, int, Matrix<double>& m, Matrix<double>& out) { GowerMatrixCentering(n, m, out, true); })},
        {"ZStandardizationVectorMV",
         [](Ins& in, const Opts& o) {
             const std::size_t n = in[0].cols();
             Matrix<double> out = Filled(3, n);
             std::vector<int> flags(n, 9);
             out[2][0] = ZStandardizationVectorMV(P(in[0]), in[0].row(0), out.row(0), HandValue(o[0]), flags.data());
             std::copy(flags.begin(), flags.end(), out[1].begin());
             return out;
         }},
        {"MeanStDev",
         [](Ins& in, const Opts&) {
             double mean = 9, sd = 9;
             MeanStDev(P(in[0]), in[0].row(0), mean, sd);
             return RowOf({mean, sd});
         }},
        {"SumOfSquares", OnRow(SumOfSquares)},
        {"SumOfSquaresDev", OnRow(SumOfSquaresDev)},
        {"RankVectorAdjMV", OnRow([](int n, double* x) { RankVectorAdjMV(n, x); })},
        {"RankVectorAbs",
         [](Ins& in, const Opts&) {
             std::vector<int> order(in[0].cols(), 9);
             RankVectorAbs(P(in[0]), in[0].row(0), order.data());
             return RowOf({order.begin(), order.end()});
         }},
        {"Correlation2VecMV", OnRows(Correlation2VecMV)},
        {"Covariance2VecMV", OnRows(Covariance2VecMV)},
        {"CrossProduct2VecMV", OnRows(CrossProduct2VecMV)},
        {"Correlation2SelectedVecMV",
         [](Ins& in, const Opts& o) {
             return RowOf({Correlation2SelectedVecMV(P(in[0]), in[0], std::stoi(o[0]), o[1] == "1", in[1],
                                                      std::stoi(o[2]), o[3] == "1")});
         }},
        // Resemblance.hpp
        {"GowerMVOpt", Gower(false)},
        {"GowerMVOpt.data", Gower(true)},
        {"GowerMV", Into([](int n, int p, auto& m, auto& s, const Opts& o) {
             GowerMV(n, p, HandInts(o[0]).data(), m, s, nullptr, nullptr);
         }, true)},
        {"gower_similarityPartial", [](Ins& in, const Opts& o) { return Partial(in[0], HandInts(o[0]))[std::stoul(o[1])]; }},
        {"gower_similarityPartial.data",
         [](Ins& in, const Opts& o) {
             Partial(in[0], HandInts(o[0]));
             return in[0];
         }},
        {"gower_similarityAverage",
         [](Ins& in, const Opts& o) {
             const std::vector<int> types = HandInts(o[0]), select = HandInts(o[1]);
             Matrix<double> s(in[0].rows(), in[0].rows());
             gower_similarityAverage(P(in[0]), N(in[0]), Partial(in[0], types), s, select.data());
             return s;
         }},
        {"GowerMVPartial_dAbsences", GowerOne(false)},
        {"GowerMVPartial_dAbsences.column", GowerOne(true)},
        {"EucliDistMV", Into(EucliDistMV, true)},
        {"EucliDistMVSelect", Into([](int n, int p, auto& m, auto& d, const Opts& o) {
             EucliDistMVSelect(n, p, m, d, HandInts(o[0]).data());
         }, true)},
        {"EucliDistMVSelectOne", Into([](int n, int p, auto& m, auto& d, const Opts& o) {
             EucliDistMVSelectOne(n, p, m, d, std::stoi(o[0]));
         }, true)},
        {"AbsValFunctionMV", Into([](int n, int p, Matrix<double>& m, Matrix<double>& out) {
             out.fill(-1.0);
             AbsValFunctionMV(n, p, m, out);
         }, true)},
        {"CrossProductMV", Into([](int n, int p, Matrix<double>& m, Matrix<double>& out) { CrossProductMV(n, p, m, out); },
                                true, true)},
        {"CorrelationMV", Into([](int n, int p, Matrix<double>& m, Matrix<double>& out) { CorrelationMV(n, p, m, out); },
                               true, true)},
        {"JointFreq",
         [](Ins& in, const Opts&) {
             double a = 9, b = 9, c = 9, d = 9;
             JointFreq(P(in[0]), in[0].row(0), in[0].row(1), a, b, c, d);
             return RowOf({a, b, c, d});
         }},
        {"Jaccard", OnRows(Jaccard)},
        {"JaccardDissimilarity", OnRows(JaccardDissimilarity)},
        {"JaccardTurnover", OnRows(JaccardTurnover)},
        {"JaccardNestedness", OnRows(JaccardNestedness)},
        {"Sorensen", OnRows(Sorensen)},
        {"SorensenDissimilarity", OnRows(SorensenDissimilarity)},
        {"SorensenTurnover", OnRows(SorensenTurnover)},
        {"SorensenNestedness", OnRows(SorensenNestedness)},
        {"SokalMichener", OnRows(SokalMichener)},
        {"SimpleMatching", OnRows(SimpleMatching)},
        {"Ochiai", OnRows(Ochiai)},
        {"MeanSquareContingency", OnRows(MeanSquareContingency)},
        {"ResemblanceLib", Dispatcher(false)},
        {"ResemblanceLib.work", Dispatcher(true)},
        {"TranslateReseOpt_KOLVAR_DORMAL",
         [](Ins&, const Opts&) {
             std::vector<double> v;
             for (int opt = 0; opt <= 11; ++opt) v.push_back(TranslateReseOpt_KOLVAR_DORMAL(opt));
             return RowOf(v);
         }},
        // qmlibDim.hpp
        {"AlmostEqual2sComplement", OfOptions([](auto v) { return AlmostEqual2sComplement(v[0], v[1], int(v[2])); })},
        {"IsLargerThanOrEqual", OfOptions([](auto v) { return IsLargerThanOrEqual(v[0], v[1], int(v[2]), v[3] == 1); })},
        {"AlmostEqual_Tolerance", OfOptions([](auto v) { return AlmostEqual_Tolerance(v[0], v[1], v[2]); })},
        {"Fmax", OfOptions([](auto v) { return Fmax(v[0], v[1]); })},
        {"Fmin", OfOptions([](auto v) { return Fmin(v[0], v[1]); })},
        {"CountStates", OnRow(CountStates)},
        {"crank",
         [](Ins& in, const Opts&) {
             Matrix<double> w = in[0];
             double sum = 9;
             crank(P(w), w.row(0), sum);
             return WithStatus(w, sum);
         }},
        // Beals.hpp
        {"ConditionalProb",
         [](Ins& in, const Opts& o) {
             Matrix<double> k = Filled(in[0].cols(), in[0].cols());
             if (o.size() > 1) ConditionalProb(N(in[0]), P(in[0]), in[0], k, std::stoi(o[0]), o[1] == "1");
             else ConditionalProb(N(in[0]), P(in[0]), in[0], k, std::stoi(o[0]));
             return k;
         }},
        {"ConditionalProb.target",
         [](Ins& in, const Opts& o) {
             ConditionalProb(std::stoi(o[0]), N(in[0]), P(in[0]), in[0], in[1], std::stoi(o[1]));
             return in[1];
         }},
        {"Beals.direct", Beals(false, false)},
        {"Beals.product", Beals(true, false)},
        {"Beals.product.M", Beals(true, true)},
        // Belonging.hpp
        {"FuzzyBelonging", FuzzyBelongingOf(false)},
        {"FuzzyBelonging.rese", FuzzyBelongingOf(true)},
        {"CountGroupsNew", Groups(false, false)},
        {"CountGroupsNew.count", Groups(false, true)},
        {"CountGroupsSelect", Groups(true, false)},
        {"CrispBelonging",
         [](Ins&, const Opts& o) {
             const std::vector<int> partition = HandInts(o[2]);
             Matrix<double> u = Filled(std::stoul(o[0]), std::stoul(o[1]));
             const bool ok = CrispBelonging(std::stoi(o[0]), std::stoi(o[1]), Ptr(partition), u);
             return WithStatus(u, ok);
         }},
        // MatrixProd.hpp
        {"MatrixProd", Product([](int n, int m, int m2, int p, auto& a, auto& b, auto& r, const Opts&) {
             return MatrixProd(n, m, m2, p, a, b, r);
         })},
        {"MatrixProdMV", Product([](int n, int m, int m2, int p, auto& a, auto& b, auto& r, const Opts&) {
             return MatrixProdMV(n, m, m2, p, a, b, r);
         })},
        {"Adjust", Product([](int n, int m, int m2, int p, auto& a, auto& b, auto& r, const Opts& o) {
             const std::vector<int> select = HandInts(o[0]), weights = HandInts(o[1]);
             if (o.size() > 2)
                 return MatrixProdSelectMV_Adjust_Weight(n, m, m2, p, a, b, r, Ptr(select), Ptr(weights), o[2] == "1");
             return MatrixProdSelectMV_Adjust_Weight(n, m, m2, p, a, b, r, Ptr(select), Ptr(weights));
         })},
    };
    return routines;
}

TEST(HandCases, QMLibRoutinesGiveTheHandWorkedValues) {
    for (const char* file : {"transform", "resemblance", "beals", "products", "belonging", "numbers"}) {
        SCOPED_TRACE(file);
        RunHandCases(std::string("tests/QMLib/data/") + file + ".txt", Routines());
    }
}

}  // namespace
}  // namespace kolvar
