#include "analysis/Plots.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Svg.hpp"

namespace kolvar {

namespace {

constexpr double kMissingValue = -999.0;

std::string G(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

std::string Short(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

// Round tick positions covering [lo, hi], about five of them.
std::vector<double> Ticks(double lo, double hi) {
    std::vector<double> t;
    const double range = hi - lo;
    if (!(range > 0) || !std::isfinite(range)) return t;
    const double raw = range / 5.0;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * mag) {
            step = m * mag;
            break;
        }
    for (double v = std::ceil(lo / step) * step; v <= hi + step * 1e-9 && t.size() < 20; v += step)
        t.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
    return t;
}

// The statistic's symbol: what follows the last ": " of a report label.
std::string Symbol(const std::string& label) {
    const std::size_t k = label.rfind(": ");
    return k == std::string::npos ? label : label.substr(k + 2);
}

}  // namespace

ChartSize ChartSizeFromPreferences(double hSize, double vSize, int pointSize, ChartSize fallback) {
    ChartSize s = fallback;
    if (hSize >= 1.0 && hSize <= 40.0) s.widthIn = hSize;
    if (vSize >= 1.0 && vSize <= 40.0) s.heightIn = vSize;
    if (pointSize >= 1 && pointSize <= 50) s.pointRadius = pointSize;
    return s;
}

double AxisPosition(double v, double lo, double hi, double x0, double x1) {
    return x0 + (v - lo) / (hi - lo) * (x1 - x0);
}

Bins MakeBins(const std::vector<double>& values, double observed) {
    Bins b;
    double lo = std::isfinite(observed) ? observed : 0.0, hi = lo;
    for (double v : values) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (!(hi > lo)) {
        const double pad = lo == 0.0 ? 0.5 : std::fabs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    const auto n = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(values.size()))));
    const int nb = std::clamp(n, 5, 40);
    b.lo = lo;
    b.hi = hi;
    b.counts.assign(static_cast<std::size_t>(nb), 0);
    for (double v : values) {
        int k = static_cast<int>((v - lo) / (hi - lo) * nb);
        k = std::clamp(k, 0, nb - 1);
        ++b.counts[static_cast<std::size_t>(k)];
    }
    return b;
}

std::string OrdinationSvg(const std::vector<OrdinationPanel>& panels, const std::vector<std::string>& labels,
                          ChartSize size) {
    const int np = std::max<int>(1, static_cast<int>(panels.size()));
    SvgWriter svg(size.widthIn * np, size.heightIn);
    const double pw = svg.width() / np, ph = svg.height();
    const double left = 55, right = 20, top = 35, bottom = 45;
    for (int p = 0; p < static_cast<int>(panels.size()); ++p) {
        const OrdinationPanel& o = panels[static_cast<std::size_t>(p)];
        const double ox = p * pw;
        svg.OpenGroup("class=\"ordination\" " + SvgAttr("data-title", o.title));
        svg.Text(ox + pw / 2, 18, o.title, 12, "middle", "font-weight=\"bold\"");
        const double x0 = ox + left, x1 = ox + pw - right, y0 = top, y1 = ph - bottom;
        svg.Rect(x0, y0, x1 - x0, y1 - y0, "fill:none;stroke:#888");
        const std::size_t n = o.scores != nullptr ? std::min(labels.size(), o.scores->cols()) : 0;
        if (o.scores == nullptr || o.nAxes < 1 || n == 0) {
            svg.Text((x0 + x1) / 2, (y0 + y1) / 2, "no ordination axis", 11, "middle");
            svg.CloseGroup();
            continue;
        }
        auto score = [&](int axis, std::size_t i) { return axis < o.nAxes ? (*o.scores)[static_cast<std::size_t>(axis)][i] : 0.0; };
        double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
        for (std::size_t i = 0; i < n; ++i) {
            xmin = std::min(xmin, score(0, i));
            xmax = std::max(xmax, score(0, i));
            ymin = std::min(ymin, score(1, i));
            ymax = std::max(ymax, score(1, i));
        }
        // One scale on both axes, so distances in the picture are distances
        // in the ordination.
        const double rx = std::max(xmax - xmin, 1e-12), ry = std::max(ymax - ymin, 1e-12);
        const double unit = std::min((x1 - x0) * 0.9 / rx, (y1 - y0) * 0.9 / ry);
        const double cx = (x0 + x1) / 2 - unit * (xmin + xmax) / 2;
        const double cy = (y0 + y1) / 2 + unit * (ymin + ymax) / 2;
        const std::string guide = "stroke:#bbb;stroke-dasharray:4,3";
        svg.Line(x0, cy, x1, cy, guide);
        svg.Line(cx, y0, cx, y1, guide);
        auto axisTitle = [](int k, double pct) {
            std::string t = "Axis " + std::to_string(k);
            if (pct >= 0) {
                char buf[32];
                std::snprintf(buf, sizeof buf, " (%.1f%%)", pct);
                t += buf;
            }
            return t;
        };
        svg.Text((x0 + x1) / 2, ph - 12, axisTitle(1, o.percent1), 11, "middle");
        svg.Text(ox + 16, (y0 + y1) / 2, axisTitle(2, o.nAxes >= 2 ? o.percent2 : -1), 11, "middle",
                 "transform=\"rotate(-90 " + SvgNumber(ox + 16) + ' ' + SvgNumber((y0 + y1) / 2) + ")\"");
        for (std::size_t i = 0; i < n; ++i) {
            const double x = cx + unit * score(0, i), y = cy - unit * score(1, i);
            svg.Circle(x, y, size.pointRadius, "fill:#1f77b4;stroke:none",
                       "class=\"point\" " + SvgAttr("data-label", labels[i]) + " data-x=\"" + G(score(0, i)) +
                           "\" data-y=\"" + G(score(1, i)) + '"');
            svg.Text(x + size.pointRadius + 2, y - size.pointRadius, labels[i], 9, "start", "fill=\"#333\"");
        }
        svg.CloseGroup();
    }
    return svg.Finish();
}

std::string NullDistributionSvg(const std::vector<NullPanel>& panels, ChartSize size) {
    const int perRow = 3;
    const int n = static_cast<int>(panels.size());
    const int cols = std::clamp(n, 1, perRow), rows = std::max(1, (n + perRow - 1) / perRow);
    SvgWriter svg(size.widthIn * cols, size.heightIn * rows);
    const double pw = svg.width() / cols, ph = svg.height() / rows;
    const double left = 45, right = 15, top = 42, bottom = 35;
    for (int k = 0; k < n; ++k) {
        const NullPanel& p = panels[static_cast<std::size_t>(k)];
        const double ox = (k % perRow) * pw, oy = (k / perRow) * ph;
        std::vector<double> used;
        used.reserve(p.values.size());
        for (double v : p.values)
            if (std::isfinite(v) && v != kMissingValue) used.push_back(v);
        const Bins b = MakeBins(used, p.observed);
        const double x0 = ox + left, x1 = ox + pw - right, y0 = oy + top, y1 = oy + ph - bottom;
        svg.OpenGroup("class=\"histogram\" " + SvgAttr("data-label", p.label) + " data-n=\"" +
                      std::to_string(used.size()) + '"');
        svg.Text(ox + pw / 2, oy + 16, Symbol(p.label), 12, "middle", "font-weight=\"bold\"");
        std::string sub = "observed " + Short(p.observed);
        if (p.P != kMissingValue) sub += ", P " + Short(p.P);
        if (p.asymP != kMissingValue) sub += ", asym. P " + Short(p.asymP);
        sub += ", n " + std::to_string(used.size());
        svg.Text(ox + pw / 2, oy + 31, sub, 9, "middle");
        svg.OpenGroup("class=\"plot-area\" data-lo=\"" + G(b.lo) + "\" data-hi=\"" + G(b.hi) + "\" data-x0=\"" +
                      SvgNumber(x0) + "\" data-x1=\"" + SvgNumber(x1) + '"');
        svg.Line(x0, y1, x1, y1, "stroke:#444");
        const int maxCount = std::max(1, *std::max_element(b.counts.begin(), b.counts.end()));
        const double bw = (x1 - x0) / static_cast<double>(b.counts.size());
        for (std::size_t i = 0; i < b.counts.size(); ++i) {
            const double h = (y1 - y0) * b.counts[i] / maxCount;
            svg.Rect(x0 + bw * static_cast<double>(i), y1 - h, bw, h, "fill:#9ecae1;stroke:#4a7fa5;stroke-width:0.5",
                     "class=\"bar\" data-count=\"" + std::to_string(b.counts[i]) + '"');
        }
        for (double t : Ticks(b.lo, b.hi)) {
            const double x = AxisPosition(t, b.lo, b.hi, x0, x1);
            svg.Line(x, y1, x, y1 + 4, "stroke:#444");
            svg.Text(x, y1 + 15, Short(t), 9, "middle");
        }
        const std::string limit = "stroke:#555;stroke-dasharray:4,3";
        for (double v : {p.lower, p.upper})
            if (v != kMissingValue && std::isfinite(v) && v >= b.lo && v <= b.hi) {
                const double x = AxisPosition(v, b.lo, b.hi, x0, x1);
                svg.Line(x, y0, x, y1, limit, "class=\"limit\" data-value=\"" + G(v) + '"');
            }
        if (std::isfinite(p.observed)) {
            const double x = AxisPosition(p.observed, b.lo, b.hi, x0, x1);
            svg.Line(x, y0 - 4, x, y1, "stroke:#d62728;stroke-width:2",
                     "class=\"observed\" data-value=\"" + G(p.observed) + '"');
        }
        svg.CloseGroup();
        svg.CloseGroup();
    }
    return svg.Finish();
}

}  // namespace kolvar
