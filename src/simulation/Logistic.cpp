#include "simulation/Logistic.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "base/Fatal.hpp"
#include "QMLib/Random.hpp"

namespace kolvar {

namespace {
constexpr double kLn999 = 6.906754778648553;
}

double Logistic(double x, double xmin, double xmax, double ymin, double ymax, double slope, double center) {
    const double k = -4.0 * slope / (ymax - ymin);
    const double y = ymin + (ymax - ymin) / (1.0 + std::exp(k * ((x - xmin) - center * (xmax - xmin))));
    if (std::isnan(y)) {
        std::cerr << "Logistic function returned a NaN value!" << std::flush;
        throw FatalError{FatalCode::Stop};
    }
    return y;
}

double RndLogisticCentre(Random& rnd, double min, double max) {
    return min + gsl_rng_uniform(rnd.get()) * (max - min);
}

double LogisticSlopeBound(double center) {
    // Division by zero at the ends gives -inf on the side that does not bind.
    return std::min(-kLn999 / (4.0 * center), kLn999 / (4.0 * (center - 1.0)));
}

double RndLogisticSlopeAdjusted(Random& rnd, double min, double max, double center) {
    // A centre of exactly 0 asks for an infinitely steep curve; no finite slope
    // meets the bound, so the range is taken as given rather than drawing -inf.
    double m = LogisticSlopeBound(center);
    if (!std::isfinite(m)) m = std::max(min, max);
    const double lo = std::min(m, min), hi = std::min(m, max);
    return lo + gsl_rng_uniform(rnd.get()) * (hi - lo);
}

}  // namespace kolvar
