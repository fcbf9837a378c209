#pragma once
// SVG pictures of a functional analysis, written beside the report:
//   ordination scatter: the communities on the first two principal coordinates
//     of each community ordination (Y, X and, with a phylogeny, P), labelled;
//   null distributions: per tested statistic a histogram of its values under
//     the null model with the observed value and the 2.5 % / 97.5 % limits.

#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

inline constexpr const char* ordinationPlotExt = "Ordination.svg";
inline constexpr const char* nullPlotExt = "Null.svg";

/// Size of one panel in inches and the point radius in view-box units.
struct ChartSize {
    double widthIn = 5.0;
    double heightIn = 5.0;
    double pointRadius = 3.0;
};

/// A size from the chart preferences (inches; point size in pixels): zero or
/// a value outside 1 to 40 inches (1 to 50 pixels) keeps the fallback's.
ChartSize ChartSizeFromPreferences(double hSize, double vSize, int pointSize, ChartSize fallback);

/// One community ordination: scores are axes x communities.
struct OrdinationPanel {
    std::string title;
    const Matrix<double>* scores = nullptr;
    int nAxes = 0;
    double percent1 = -1, percent2 = -1;  ///< share of the first two axes; negative: unknown
};

/// One panel per ordination, side by side; each community a labelled point
/// (class "point", data-label, data-x and data-y holding its scores).
std::string OrdinationSvg(const std::vector<OrdinationPanel>& panels, const std::vector<std::string>& labels,
                          ChartSize size);

/// The null distribution of one statistic.
struct NullPanel {
    std::string label;            ///< as the report prints it
    std::vector<double> values;   ///< the random values (missing and non-finite ones are left out)
    double observed = 0;
    double lower = -999, upper = -999;  ///< limits drawn when not -999
    double P = -999, asymP = -999;
};

/// Histogram bins over [lo, hi]: the range holds every used value and the
/// observed one; bins are equal, the last one closed.
struct Bins {
    double lo = 0, hi = 1;
    std::vector<int> counts;
};
/// ceil(sqrt(n)) bins, between 5 and 40.
Bins MakeBins(const std::vector<double>& values, double observed);

/// Position of v on a horizontal axis mapping [lo, hi] to [x0, x1].
double AxisPosition(double v, double lo, double hi, double x0, double x1);

/// A grid of histograms, three per row (class "histogram", data-label); the
/// observed value is a line of class "observed" whose data-value holds it;
/// each plot area carries data-lo, data-hi, data-x0 and data-x1.
std::string NullDistributionSvg(const std::vector<NullPanel>& panels, ChartSize size);

}  // namespace kolvar
