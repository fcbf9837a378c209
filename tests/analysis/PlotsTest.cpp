// The SVG pictures: one point per community, one histogram per statistic, the
// observed value where it belongs.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "analysis/Plots.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

TEST(MakeBins, CountsEveryValueAndSpansTheObservedOne) {
    std::vector<double> v;
    for (int k = 0; k < 99; ++k) v.push_back(k / 98.0);  // 0 .. 1
    Bins b = MakeBins(v, 2.0);
    EXPECT_EQ(b.counts.size(), 10u);  // ceil(sqrt(99))
    EXPECT_DOUBLE_EQ(b.lo, 0.0);
    EXPECT_DOUBLE_EQ(b.hi, 2.0);
    EXPECT_EQ(std::accumulate(b.counts.begin(), b.counts.end(), 0), 99);
    EXPECT_EQ(b.counts[9], 0);  // nothing between 1.8 and 2
    EXPECT_EQ(b.counts[4], 19);  // k / 98 in [0.8, 1.0): k = 79 .. 97
    EXPECT_EQ(b.counts[5], 1);   // 1.0 opens the next bin
    // Few values: at least five bins; all values equal: a range around them.
    b = MakeBins({3.0, 3.0}, 3.0);
    EXPECT_EQ(b.counts.size(), 5u);
    EXPECT_LT(b.lo, 3.0);
    EXPECT_GT(b.hi, 3.0);
    EXPECT_EQ(std::accumulate(b.counts.begin(), b.counts.end(), 0), 2);
    // Many values: at most forty bins.
    EXPECT_EQ(MakeBins(std::vector<double>(10000, 1.0), 0.0).counts.size(), 40u);
}

TEST(ChartSize, PreferencesInInchesWithinLimits) {
    const ChartSize fallback{5, 4, 3};
    ChartSize s = ChartSizeFromPreferences(0, 0, 0, fallback);
    EXPECT_DOUBLE_EQ(s.widthIn, 5);
    EXPECT_DOUBLE_EQ(s.heightIn, 4);
    s = ChartSizeFromPreferences(7.5, 3, 6, fallback);
    EXPECT_DOUBLE_EQ(s.widthIn, 7.5);
    EXPECT_DOUBLE_EQ(s.heightIn, 3);
    EXPECT_DOUBLE_EQ(s.pointRadius, 6);
    s = ChartSizeFromPreferences(500, -1, 1000, fallback);  // absurd sizes keep the fallback
    EXPECT_DOUBLE_EQ(s.widthIn, 5);
    EXPECT_DOUBLE_EQ(s.heightIn, 4);
    EXPECT_DOUBLE_EQ(s.pointRadius, 3);
}

TEST(NullDistributionSvg, OneHistogramPerStatisticAndTheObservedMarker) {
    std::vector<NullPanel> panels;
    for (int k = 0; k < 4; ++k) {
        NullPanel p;
        p.label = "Statistic " + std::to_string(k) + ": r(<E&T>)";
        for (int i = 0; i < 49; ++i) p.values.push_back(std::sin(i + k));
        p.values.push_back(-999.0);  // missing values are left out
        p.values.push_back(std::nan(""));
        p.observed = 0.25 * k + 0.1;
        p.lower = -0.9;
        p.upper = 0.9;
        p.P = 0.02;
        panels.push_back(p);
    }
    const test::XmlElement svg = test::ParseXml(NullDistributionSvg(panels, {4, 3, 3}));
    EXPECT_EQ(svg.Attr("width"), "12.00in");  // three panels a row
    EXPECT_EQ(svg.Attr("height"), "6.00in");  // two rows
    const auto hist = svg.FindClass("histogram");
    ASSERT_EQ(hist.size(), 4u);
    for (std::size_t k = 0; k < hist.size(); ++k) {
        EXPECT_EQ(hist[k]->Attr("data-label"), panels[k].label);
        EXPECT_EQ(hist[k]->Attr("data-n"), "49");
        int total = 0;
        for (const auto* bar : hist[k]->FindClass("bar")) total += std::stoi(bar->Attr("data-count"));
        EXPECT_EQ(total, 49);
        const auto area = hist[k]->FindClass("plot-area");
        ASSERT_EQ(area.size(), 1u);
        const double lo = std::stod(area[0]->Attr("data-lo")), hi = std::stod(area[0]->Attr("data-hi"));
        const double x0 = std::stod(area[0]->Attr("data-x0")), x1 = std::stod(area[0]->Attr("data-x1"));
        const auto obs = hist[k]->FindClass("observed");
        ASSERT_EQ(obs.size(), 1u);
        const double o = panels[k].observed;
        EXPECT_DOUBLE_EQ(std::stod(obs[0]->Attr("data-value")), o);
        // Where the observed value sits on the value axis, computed here from the axis ends.
        const double want = x0 + (o - lo) / (hi - lo) * (x1 - x0);
        EXPECT_NEAR(std::stod(obs[0]->Attr("x1")), want, 0.006);
        EXPECT_NEAR(std::stod(obs[0]->Attr("x2")), want, 0.006);
        EXPECT_LE(lo, o);
        EXPECT_GE(hi, o);
        EXPECT_EQ(hist[k]->FindClass("limit").size(), 2u);
    }
    // The observed value outside the null values widens the axis to show it.
    NullPanel far;
    far.label = "far";
    far.values = {0.0, 0.1, 0.2};
    far.observed = 5.0;
    const auto one = test::ParseXml(NullDistributionSvg({far}, {4, 3, 3}));
    const auto area = one.FindClass("plot-area")[0];
    EXPECT_NEAR(std::stod(one.FindClass("observed")[0]->Attr("x1")), std::stod(area->Attr("data-x1")), 0.006);
}

TEST(OrdinationSvg, OnePointPerCommunityPerPanelWithItsScores) {
    const Matrix<double> y = Matrix<double>::FromRows({{1, -1, 0.5}, {0.25, 0.5, -2}, {9, 9, 9}});
    const Matrix<double> x = Matrix<double>::FromRows({{2, 0, -2}});  // a single axis
    const std::vector<std::string> labels = {"A&1", "B", "C"};
    const std::vector<OrdinationPanel> panels = {{"Y", &y, 3, 60, 30}, {"X", &x, 1, 100, -1}, {"none", nullptr, 0}};
    const test::XmlElement svg = test::ParseXml(OrdinationSvg(panels, labels, {5, 4, 2}));
    EXPECT_EQ(svg.Attr("width"), "15.00in");
    const auto groups = svg.FindClass("ordination");
    ASSERT_EQ(groups.size(), 3u);
    const auto py = groups[0]->FindClass("point");
    ASSERT_EQ(py.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(py[i]->Attr("data-label"), labels[i]);
        EXPECT_DOUBLE_EQ(std::stod(py[i]->Attr("data-x")), y[0][i]);
        EXPECT_DOUBLE_EQ(std::stod(py[i]->Attr("data-y")), y[1][i]);
        EXPECT_EQ(py[i]->Attr("r"), "2.00");
    }
    // One scale on both axes: the picture keeps the ordination's distances.
    auto cx = [&](std::size_t i) { return std::stod(py[i]->Attr("cx")); };
    auto cy = [&](std::size_t i) { return std::stod(py[i]->Attr("cy")); };
    const double unitX = (cx(0) - cx(1)) / (y[0][0] - y[0][1]);
    const double unitY = -(cy(2) - cy(1)) / (y[1][2] - y[1][1]);
    EXPECT_NEAR(unitX, unitY, 0.05);
    EXPECT_GT(unitX, 0);
    const auto px = groups[1]->FindClass("point");
    ASSERT_EQ(px.size(), 3u);
    EXPECT_DOUBLE_EQ(std::stod(px[2]->Attr("data-y")), 0.0);
    EXPECT_TRUE(groups[2]->FindClass("point").empty());
}

}  // namespace
}  // namespace kolvar
