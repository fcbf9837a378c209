#include "simulation/Design.hpp"

#include <algorithm>
#include <cfloat>

#include "base/Fmt.hpp"
#include "QMLib/Transform.hpp"
#include "base/Console.hpp"
#include "base/Prompts.hpp"
#include "base/SeedPrompt.hpp"

namespace kolvar {

namespace {

constexpr double kIntMax = 2147483647.0;

// Asks for a file name until the file opens for reading.
std::unique_ptr<std::fstream> AskFile(Console& con, const std::string& prompt, std::string& name) {
    for (;;) {
        con.out << prompt;
        ReadStringIn(con, "%s\n", name);
        if (auto fp = fopenck(con, name, "", "r")) return fp;
    }
}

// rows x cols numbers, row by row.
Matrix<double> ReadMatrix(Console& con, std::istream& fp, const std::string& name, int rows, int cols) {
    Matrix<double> m(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) freadck(con, fp, m[i][j], name);
    return m;
}

Matrix<double> AskMatrixFile(Console& con, const std::string& prompt, std::string& name, int rows, int cols) {
    auto fp = AskFile(con, prompt, name);
    return ReadMatrix(con, *fp, name, rows, cols);
}

bool AskYesNo(Console& con, const char* question) {
    con.out << question;
    return ReadCharIn(con, "y n") == 'y';
}

int AskDistribution(Console& con, const char* question) {
    con.out << question;
    return ReadCharIn(con, "u n") == 'u' ? 1 : 2;
}

struct LogisticTexts {
    const char* question;
    const char* file;      // printf format with the item count
    const char* centers;
    const char* slopes;
};

void AskCenterSlopeRanges(Console& con, const LogisticTexts& t, LogisticSource& src) {
    con.out << t.centers;
    src.centerMin = ReadNumberIn(con, "%lf\t", "-", 0.0, 1.0);
    src.centerMax = ReadNumberIn(con, "%lf\n", "-", src.centerMin, 1.0);
    con.out << t.slopes;
    src.slopeMin = ReadNumberIn(con, "%lf\t", "-", -3.4028234663852886e38, -0.01);
    src.slopeMax = ReadNumberIn(con, "%lf\n", "-", src.slopeMin, -0.01);
}

void AskLogistic(Console& con, const LogisticTexts& t, int items, int blocks, LogisticSource& src) {
    con.out << t.question;
    src.fromFile = ReadCharIn(con, "d r") == 'd';
    if (src.fromFile)
        src.values = AskMatrixFile(con, Fmt(t.file, items), src.file, items * blocks, 2);
    else
        AskCenterSlopeRanges(con, t, src);
}

const LogisticTexts kDispersal{
    "Specify for each OTU the parameters for local seed dispersal kernel (d), or generate the parameters (center "
    "and slope) of the logistic function at random (r)? d/r ",
    "Name of the file with the parameters (center and slope) of the dispersal kernel for %d OTUs (one row per "
    "OTU):\n",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for the dispersal kernel (0-1, "
    "values approaching one result in farther high dispersal probabilities): ",
    "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function for the "
    "dispersal kernel (<0, more negative values result in steeper descending): "};
const LogisticTexts kInertia{
    "Specify for each site the parameters for the inertia to community effects on ecosystem conditions (d), or "
    "generate the parameters (center and slope) of the logistic function at random (r)? d/r ",
    "Name of the file with the parameters (center and slope) of site inertia for %d sites (one row per site):\n",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for site inertia (0-1, values "
    "approaching one result in sustained high inertia of environmental variables even under increased community "
    "changes): ",
    "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function for site "
    "inertia (<0, more negative values result in steeper decrease in inertia of environmental variables affected by "
    "community changes): "};
const LogisticTexts kSurvival{
    "Specify for each OTU the parameters (center and slope) of the logistic function relating probability of "
    "survival to distance between OTU traits and expected community traits (d), or generate the parameters at "
    "random (r)? d/r ",
    "Name of the file with the parameters (center and slope) of survival for %d OTUs (one row per OTU, one block "
    "of rows per trait):\n",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for survival in relation to "
    "trait distance (0-1): ",
    "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function for survival "
    "in relation to trait distance (<0): "};
const LogisticTexts kDensity{
    "Specify for each OTU the parameters for the density dependence function (d), or generate the parameters "
    "(center and slope) of the logistic function at random (r)? d/r ",
    "Name of the file with the parameters (center and slope) of density dependence for %d OTUs (one row per "
    "OTU):\n",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for density dependence "
    "(0-1): ",
    "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function for density "
    "dependence (<0): "};
const LogisticTexts kAge{
    "Specify for each OTU the parameters for the age-related survivorship function (d), or generate the parameters "
    "(center and slope) of the logistic function at random (r)? d/r ",
    "Name of the file with the parameters (center and slope) of age-related survivorship for %d OTUs (one row per "
    "OTU):\n",
    "Specify the minimum and maximum center of antisymmetry of the logistic function for age-related survivorship "
    "(0-1): ",
    "Specify the range for the slope (negative) in the center of antisymmetry of the logistic function for "
    "age-related survivorship (<0): "};

void AskTraits(Console& con, SimulationDesign& d) {
    const int n = d.nTraits;
    for (;;) {
        con.out << Fmt("Input is a %d OTUs x %d traits matrix (t) or a trait x traits correlation matrix (c)? t/c ",
                       d.nOTUs, n);
        const char c = ReadCharIn(con, "t c b");
        if (c == 't' || c == 'c') {
            d.traitInput = c;
            break;
        }
        // 'b' names no source of traits: the study cannot run without one.
        con.err << '\a' << "\nIncorrect input = b. Reenter.\nAccepted input: t c\n";
    }
    if (d.traitInput == 't') {
        d.traitData = AskMatrixFile(
            con, Fmt("Name of the file with trait data matrix (%d OTUs x %d traits):\n", d.nOTUs, n), d.traitFile,
            d.nOTUs, n);
        return;
    }
    d.nProducts = 0;
    con.out << Fmt("Among the %d traits, are some of these to be generated as the product of other two traits? y/n ",
                   n);
    if (ReadCharIn(con, "y n") == 'y') {
        con.out << "Specify the number of trait combinations: ";
        // Products are made of generated traits, so at least one trait is generated.
        const int most = std::min(n * (n - 1) / 2, n - 1);
        d.nProducts = ReadIntIn(con, "%d\n", "-", 0, most);
    }
    const int nBase = n - d.nProducts;
    con.out << Fmt("Name of the file with full trait correlation matrix (%d traits x %d traits):\n", nBase, nBase);
    if (d.nProducts > 0)
        con.out << Fmt("The additional %d trait combinations to be generated should be indicated after the "
                       "correlation matrix in the same file.\n",
                       d.nProducts);
    for (;;) {
        std::string name;
        for (;;) {
            ReadStringIn(con, "%s\n", name);
            if (fopenck(con, name, "", "r")) break;
            con.out << Fmt("Name of the file with full trait correlation matrix (%d traits x %d traits):\n", nBase,
                           nBase);
        }
        auto fp = fopenck(con, name, "", "r");
        d.traitFile = name;
        d.traitCorr = ReadMatrix(con, *fp, name, nBase, nBase);
        d.products.clear();
        bool ok = true;
        for (int k = 0; k < d.nProducts; ++k) {
            int a = 0, b = 0;
            freadck(con, *fp, a, name);
            freadck(con, *fp, b, name);
            // Products are of the generated traits, each named by its 1-based number.
            if (a < 1 || a > nBase || b < 1 || b > nBase) ok = false;
            d.products.emplace_back(a - 1, b - 1);
        }
        if (ok) break;
        con.err << '\a'
                << Fmt("\nFile %s: each product trait is two numbers of traits from 1 to %d. Reenter.\n",
                       name.c_str(), nBase);
        con.out << Fmt("Name of the file with full trait correlation matrix (%d traits x %d traits):\n", nBase,
                       nBase);
    }
    d.traitDistribution = AskDistribution(
        con, "Generate OTUs x traits matrix with uniform (u) or normal (n) distribution of values in each trait? u/n ");
}

void AskEnvironment(Console& con, SimulationDesign& d) {
    con.out << "Specify the number of factors: ";
    d.nFactors = ReadIntIn(con, "%d\n", "-", 1, kIntMax);
    con.out << Fmt("Specify the environmental data as a %d factors x %d sites matrix (e) or generate the data based "
                   "on a factor x factor correlation matrix (c)? e/c ",
                   d.nFactors, d.nSites);
    d.envInput = ReadCharIn(con, "e c");
    if (d.envInput == 'e') {
        const Matrix<double> sitesByFactors = AskMatrixFile(
            con,
            Fmt("Name of the file with matrix of %d sites x %d factors with initial ecosystem conditions:\n", d.nSites,
                d.nFactors),
            d.envFile, d.nSites, d.nFactors);
        d.envGiven.assign(static_cast<std::size_t>(d.nFactors), static_cast<std::size_t>(d.nSites));
        for (int v = 0; v < d.nFactors; ++v) {
            for (int i = 0; i < d.nSites; ++i) d.envGiven[v][i] = sitesByFactors[i][v];
            ZStandardizationVectorMV(d.nSites, d.envGiven.row(v), d.envGiven.row(v));
        }
    } else {
        d.factorCorr = AskMatrixFile(
            con,
            Fmt("Name of the file with full factor correlation matrix (%d factors x %d factors):\n", d.nFactors,
                d.nFactors),
            d.envFile, d.nFactors, d.nFactors);
        d.envDistribution = AskDistribution(
            con,
            "Generate factors x sites matrix with uniform (u) or normal (n) distribution of values in each factor? u/n ");
    }
    d.interactions = AskYesNo(con, "Consider double interactions between factors? y/n ");
    d.nPredictors = d.nFactors + (d.interactions ? d.nFactors * (d.nFactors - 1) / 2 : 0);
    const std::string responsePrompt =
        d.interactions
            ? Fmt("Name of the file with matrix of parameters for linear models of community responses to ecosystem "
                  "conditions (%d traits by %d ecosystem predictor variables and their double interactions):\n",
                  d.nTraits, d.nPredictors)
            : Fmt("Name of the file with matrix of parameters for linear models of community responses to ecosystem "
                  "conditions (%d traits by %d ecosystem predictor variables): ",
                  d.nTraits, d.nPredictors);
    d.response = AskMatrixFile(con, responsePrompt, d.responseFile, d.nTraits, d.nPredictors);
    d.effect = AskMatrixFile(con,
                             Fmt("Name of the file with matrix of parameters for linear models of community effects "
                                 "on ecosystem conditions (%d ecosystem variables by %d predictor traits):\n",
                                 d.nFactors, d.nTraits),
                             d.effectFile, d.nFactors, d.nTraits);
}

}  // namespace

void AskSimulationDesign(Console& con, const Clock& clock, SimulationDesign& d) {
    con.out << "Specify the number of communities (sites): ";
    d.nSites = ReadIntIn(con, "%d\n", "-", 1, kIntMax);
    con.out << "Specify the number of OTUs: ";
    d.nOTUs = ReadIntIn(con, "%d\n", "-", 1, kIntMax);
    con.out << "Specify the number of traits: ";
    d.nTraits = ReadIntIn(con, "%d\n", "-", 1, kIntMax);
    AskTraits(con, d);

    AskLogistic(con, kDispersal, d.nOTUs, 1, d.dispersal);

    con.out << "Specify community site coordinates (c), or generate coordinates at random (r)? c/r ";
    d.coordsFromFile = ReadCharIn(con, "c r") == 'c';
    if (d.coordsFromFile)
        d.coords = AskMatrixFile(con, Fmt("Name of the file with X and Y coordinates for %d sites (2 rows):\n", d.nSites),
                                 d.coordFile, 2, d.nSites);

    AskEnvironment(con, d);
    AskLogistic(con, kInertia, d.nSites, 1, d.inertia);
    d.weightByAge = AskYesNo(con, "Weight abundances of OTUs by their age in each community? y/n ");
    AskLogistic(con, kSurvival, d.nOTUs, d.nTraits, d.survival);
    AskLogistic(con, kDensity, d.nOTUs, 1, d.density);

    con.out << "Specify for each OTU the maximum lifespan in years (d), or generate maximum lifespan at random (r)? d/r ";
    d.lifespanFromFile = ReadCharIn(con, "d r") == 'd';
    if (d.lifespanFromFile) {
        for (;;) {
            auto fp = AskFile(con, Fmt("Name of the file with a vector of maximum lifespan values (years) for %d OTUs: )\n", d.nOTUs),
                              d.lifespanFile);
            d.lifespan.assign(static_cast<std::size_t>(d.nOTUs), 1);
            bool ok = true;
            for (int j = 0; j < d.nOTUs; ++j) {
                freadck(con, *fp, d.lifespan[j], d.lifespanFile);
                ok = ok && d.lifespan[j] >= 1;
            }
            if (ok) break;
            // Ages are divided by the lifespan.
            con.err << '\a' << Fmt("\nFile %s: every lifespan must be at least 1 year. Reenter.\n", d.lifespanFile.c_str());
        }
    } else {
        con.out << "Specify the minimum and maximum random lifespan values (years): ";
        d.lifespanMin = ReadIntIn(con, "%d\t", "-", 1, kIntMax);
        d.lifespanMax = ReadIntIn(con, "%d\n", "-", d.lifespanMin, kIntMax);
    }
    AskLogistic(con, kAge, d.nOTUs, 1, d.ageSurvival);

    con.out << "Specify the maximum average number of individuals per community: ";
    d.maxAverage = ReadIntIn(con, "%d\n", "-", 1, kIntMax / d.nSites);
    con.out << "Specify the duration of the simulation (in years): ";
    d.years = ReadIntIn(con, "%d\n", "-", 1, kIntMax);
    con.out << "Specify the number of iterations (cycles of colonization and extinction) per year: ";
    d.stepsPerYear = ReadIntIn(con, "%d\n", "-", 1, kIntMax / d.years);
    con.out << "Specify the threshold (proportion) of the maximum average number of individuals per community after "
               "which OTU richness and number of OTU colonizations and extinctions are recorded: ";
    d.threshold = ReadNumberIn(con, "%lf\n", "-", 0.0, DBL_MAX);

    d.errorRateMode = AskYesNo(con, "Evaluate type I error or power? y/n ");
    if (d.errorRateMode) {
        con.out << "Specify the number of simulated data sets: ";
        d.nDataSets = ReadIntIn(con, "%d\n", "-", 1, kIntMax);
        con.out << "Specify the alpha threshold for Ho rejection: ";
        d.alpha = ReadNumberIn(con, "%lf\n", "-", 0.0, DBL_MAX);
        d.save = AskYesNo(con, "Save intermediate results of power analysis? y/n ");
    } else {
        d.save = AskYesNo(con, "Save step-by-step simulated community development? y/n (may generate huge files) ");
        d.nDataSets = 1;
        d.alpha = 0.0;
    }

    AskRandomSeed(con, clock, d.seedOpt, d.rseed);
}

namespace {

void EchoLogistic(std::ostream& fp, const char* what, const LogisticSource& s) {
    if (s.fromFile)
        fp << Fmt("Parameters (center and slope) of the logistic function for %s read from file %s\n", what,
                  s.file.c_str());
    else
        fp << Fmt("Parameters of the logistic function for %s generated at random: center from %g to %g, slope from "
                  "%g to %g\n",
                  what, s.centerMin, s.centerMax, s.slopeMin, s.slopeMax);
}

}  // namespace

void WriteDesignEcho(std::ostream& fp, const SimulationDesign& d) {
    fp << Fmt("\nNumber of community sites:\t%d\nNumber of OTUs:\t%d\nNumber of traits:\t%d\n", d.nSites, d.nOTUs,
              d.nTraits);
    if (d.traitInput == 't') {
        fp << Fmt("\nSpecified trait data matrix (%d OTUs x %d traits, file %s)\n", d.nOTUs, d.nTraits,
                  d.traitFile.c_str());
    } else {
        const int nBase = d.nTraits - d.nProducts;
        fp << Fmt("\nSpecified trait correlation matrix (%d traits x %d traits, file %s): \n", nBase, nBase,
                  d.traitFile.c_str());
        for (int i = 0; i < nBase; ++i) {
            for (int j = 0; j < nBase; ++j) fp << Fmt("%g\t", d.traitCorr[i][j]);
            fp << '\n';
        }
        for (int k = 0; k < d.nProducts; ++k)
            fp << Fmt("Trait\t%d\t=\ttraits\t%d\tx\t%d\n", nBase + k + 1, d.products[k].first + 1,
                      d.products[k].second + 1);
        fp << (d.traitDistribution == 2 ? "Trait data generated with NORMAL distribution\n"
                                        : "Trait data generated with UNIFORM distribution\n");
    }
    EchoLogistic(fp, "the dispersal kernel", d.dispersal);
    if (d.coordsFromFile)
        fp << Fmt("Site coordinates read from file %s\n", d.coordFile.c_str());
    else
        fp << "Site coordinates generated at random\n";
    fp << Fmt("Number of ecosystem factors:\t%d\n", d.nFactors);
    if (d.envInput == 'e')
        fp << Fmt("Initial ecosystem conditions read from file %s\n", d.envFile.c_str());
    else
        fp << Fmt("Initial ecosystem conditions generated from the factor correlation matrix in file %s, with %s "
                  "distribution\n",
                  d.envFile.c_str(), d.envDistribution == 2 ? "NORMAL" : "UNIFORM");
    fp << (d.interactions ? "Double interactions between factors considered\n"
                          : "Double interactions between factors not considered\n");
    fp << Fmt("Parameters of community responses to ecosystem conditions read from file %s\n", d.responseFile.c_str());
    fp << Fmt("Parameters of community effects on ecosystem conditions read from file %s\n", d.effectFile.c_str());
    EchoLogistic(fp, "site inertia", d.inertia);
    fp << (d.weightByAge ? "Abundances of OTUs weighted by their age\n" : "Abundances of OTUs not weighted by their age\n");
    EchoLogistic(fp, "survival in relation to trait distance", d.survival);
    EchoLogistic(fp, "density dependence", d.density);
    if (d.lifespanFromFile)
        fp << Fmt("Maximum lifespan read from file %s\n", d.lifespanFile.c_str());
    else
        fp << Fmt("Maximum lifespan generated at random from %d to %d years\n", d.lifespanMin, d.lifespanMax);
    EchoLogistic(fp, "age-related survivorship", d.ageSurvival);
    fp << Fmt("\nSpecified maximum average number of individuals per community:\t%d\n", d.maxAverage);
    fp << Fmt("Specified duration of the simulation (in years):\t%d\n", d.years);
    fp << Fmt("Specified number of iterations (cycles of colonization and extinction) per year:\t%d\n", d.stepsPerYear);
    fp << Fmt("Specified threshold (proportion) of maximum average number of individuals per community after which "
              "OTU richness is recorded and colonization/extinction events are recorded:\t%g\n",
              d.threshold);
}

}  // namespace kolvar
