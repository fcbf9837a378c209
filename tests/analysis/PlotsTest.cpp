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

// Bars, markers and the panel layout of real runs are kept by the recorded runs.
TEST(NullDistributionSvg, MissingNullValuesAreLeftOutAndTheAxisShowsTheObservedValue) {
    NullPanel p;
    p.label = "r(<E&T>)";
    p.values = {0.0, 0.1, -999.0, std::nan(""), 0.2};
    p.observed = 5.0;
    const test::XmlElement svg = test::ParseXml(NullDistributionSvg({p}, {4, 3, 3}));
    const auto hist = svg.FindClass("histogram");
    ASSERT_EQ(hist.size(), 1u);
    EXPECT_EQ(hist[0]->Attr("data-label"), p.label);
    EXPECT_EQ(hist[0]->Attr("data-n"), "3");
    int total = 0;
    for (const auto* bar : hist[0]->FindClass("bar")) total += std::stoi(bar->Attr("data-count"));
    EXPECT_EQ(total, 3);
    // The observed value beyond the null values widens the axis to show it.
    const auto area = svg.FindClass("plot-area")[0];
    EXPECT_NEAR(std::stod(svg.FindClass("observed")[0]->Attr("x1")), std::stod(area->Attr("data-x1")), 0.006);
}

// Points, labels and the one scale on both axes of real runs are kept by the recorded runs.
TEST(OrdinationSvg, SingleAxisPanelsAndPanelsWithoutScores) {
    const Matrix<double> x = Matrix<double>::FromRows({{2, 0, -2}});  // a single axis
    const std::vector<OrdinationPanel> panels = {{"X", &x, 1, 100, -1}, {"none", nullptr, 0}, {"no axis", &x, 0}};
    const test::XmlElement svg = test::ParseXml(OrdinationSvg(panels, {"A&1", "B", "C"}, {5, 4, 2}));
    EXPECT_EQ(svg.Attr("width"), "15.00in");
    const auto groups = svg.FindClass("ordination");
    ASSERT_EQ(groups.size(), 3u);
    const auto px = groups[0]->FindClass("point");
    ASSERT_EQ(px.size(), 3u);
    EXPECT_EQ(px[0]->Attr("data-label"), "A&1");
    EXPECT_DOUBLE_EQ(std::stod(px[2]->Attr("data-y")), 0.0);
    EXPECT_TRUE(groups[1]->FindClass("point").empty());
    EXPECT_TRUE(groups[2]->FindClass("point").empty());
}

}  // namespace
}  // namespace kolvar
