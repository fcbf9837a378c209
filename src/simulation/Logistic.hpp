#pragma once
// The logistic curves of the metacommunity model and the random draws of their
// parameters. A logistic is given by the position of its centre of
// antisymmetry (a fraction of the x range) and the slope of its tangent there.

namespace kolvar {

struct Random;

/// ymin + (ymax - ymin) / (1 + exp(k ((x - xmin) - center (xmax - xmin)))) with
/// k = -4 slope / (ymax - ymin): the curve passes through its midpoint at the
/// centre with the given slope. A result that is not a number writes
/// "Logistic function returned a NaN value!" to standard error and ends the
/// program with status 1 (FatalError Stop).
double Logistic(double x, double xmin, double xmax, double ymin, double ymax, double slope, double center);

/// min + u (max - min), u uniform in [0, 1) from the program's generator.
double RndLogisticCentre(Random& rnd, double min, double max);

/// The steepest slope for which a logistic on [0, 1] centred at `center` still
/// falls from at least 0.999 at 0 to at most 0.001 at 1: the smaller of
/// -ln(999) / (4 center) and ln(999) / (4 (center - 1)).
double LogisticSlopeBound(double center);

/// lo + u (hi - lo) with lo = min(bound, min), hi = min(bound, max), bound =
/// LogisticSlopeBound(center); u uniform in [0, 1).
double RndLogisticSlopeAdjusted(Random& rnd, double min, double max, double center);

}  // namespace kolvar
