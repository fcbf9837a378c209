// Texts and structure of the functional analysis report writers.

#include <gtest/gtest.h>

#include <sstream>

#include "analysis/Report.hpp"
#include "analysis/Tables.hpp"
#include "support/Parts.hpp"
#include "QMLib/Resemblance.hpp"

namespace kolvar {
namespace {

struct Fixture {
    FixedClock clock{0};
    test::Parts p;
    PermTest_FunctionalPhyl_Correl_Input rec;

    Fixture() {
        DataSet& d = p.data;
        d.nch = 2;
        d.ncsm = 4;
        d.tcst = 3;
        d.nenv = 2;
        AllocateWorkingStorage(d);
        d.chLabel = {"H", "S"};
        d.chtype = {3, 3};
        d.envLabel = {"pH", "N"};
        d.reLabel = {"a", "b", "c", "d"};
        d.relSelect.assign(4, 1);
        for (int s = 0; s < kNumTestedStats; ++s) {
            rec.obs[s] = 0.5;
            rec.prob[s] = 0.01;
            rec.ses[s] = 2;
            rec.expected[s] = 0.1;
            rec.lowerLimit[s] = -0.2;
            rec.upperLimit[s] = 0.3;
            rec.asymProb[s] = 0.02;
        }
        rec.obs[kTE] = 0.75;
        rec.nEnv = 2;
        rec.nTypes = 3;
    }
    std::string Stats(bool hasQual, std::vector<int> env = {1, 1}) {
        std::ostringstream fp;
        WriteStatistics(fp, p.Report(clock), p.data, rec, {1, 1}, hasQual, env, {1, 1, 1});
        return fp.str();
    }
};

TEST(Report, StatLineLayout) {
    Fixture f;
    std::ostringstream fp;
    WriteStatLine(fp, "Convergence (TCAP): r(TE)", f.rec, kTE);
    EXPECT_EQ(fp.str(), "Convergence (TCAP): r(TE)=\t0.75\tP=\t0.01\tSES=\t2\tE=\t0.1\tLL=\t-0.2\tUL=\t0.3\t"
                        "asymmetry-based P-value=\t0.02\n");
}

TEST(Report, StatisticsOmitStarredLinesForNominalTraitsAndTcapBlockWithoutE) {
    Fixture f;
    const std::string quant = f.Stats(false);
    EXPECT_EQ(quant.find("Convergence (TCAP): r(TE)=\t0.75"), 0u);
    for (const char* label : {"TDAP: r(XE.T)=", "r(XE.TR)=", "\nr(TY)=", "\nr(XY_T)=", "\nr(XY_TR)="})
        EXPECT_NE(quant.find(label), std::string::npos) << label;

    const std::string nominal = f.Stats(true);
    for (const char* label : {"r(TE)=", "r(XE.T)=", "r(XE.TR)=", "r(TY)=", "r(XY_T)=", "r(XY_TR)="})
        EXPECT_EQ(nominal.find(label), std::string::npos) << label;
    EXPECT_EQ(nominal.find("Both TCAP and Divergence (TDAP): r(XE)="), 0u);
    EXPECT_NE(nominal.find("\nr(RY)="), std::string::npos);

    f.rec.nEnv = 0;
    const std::string noE = f.Stats(false, {0, 0});
    EXPECT_EQ(noE.find("r(XE)"), std::string::npos);
    EXPECT_EQ(noE.find("r(RE)"), std::string::npos);
    EXPECT_EQ(noE.find("\nCorrelations with Beals smoothed community matrix (Y)"), 0u);
    EXPECT_NE(noE.find("\nr(TY)="), std::string::npos);
}

TEST(Report, PhylogenyBlockAndDetailLines) {
    Fixture f;
    f.rec.includePhylogeny = true;
    f.p.fa.printDetail = true;
    f.p.hier.fuzzy = 0;
    const std::string s = f.Stats(false);
    EXPECT_NE(s.find("\nNumber of crisp types:\t3\nTraits:\tH \tS \t\nNumber of OTUs in each type:\t1\t1\t1\t\n"),
              std::string::npos);
    EXPECT_NE(s.find("\nSelected ecological variables (factors or effects):\tpH\tN\t\n"), std::string::npos);
    EXPECT_NE(s.find("\nPhylogenetic signal at OTU (species) level ro(BF) = \t0.5\tP=\t0.01\tSES=\t2\tE=\t0.1\t95% "
                     "confidence interval under H0\tLL=\t-0.2\tUL=\t0.3\tasymmetry-based P-value=\t0.02\n"),
              std::string::npos);
    EXPECT_NE(s.find("Removing TCAP and TDAP from phylogeny: ro(PE.X)="), std::string::npos);
    const std::string nominal = f.Stats(true);
    EXPECT_EQ(nominal.find("ro(PT)"), std::string::npos);
    EXPECT_EQ(nominal.find("ro(TE.P)"), std::string::npos);
    EXPECT_NE(nominal.find("ro(PX)="), std::string::npos);
}

TEST(Report, TestDescriptionVariants) {
    Fixture f;
    f.p.fa.niter = 99;
    f.p.fa.rseed = 4294967295u;
    std::ostringstream a;
    WriteTestDescription(a, f.p.Report(f.clock));
    EXPECT_EQ(a.str().rfind("\n\nThe statistics shown below are Mantel type matrix correlations. Unsquared "
                            "dissimilarities were used.\nEach statistics is followed by",
                            0),
              0u);
    EXPECT_NE(a.str().find("95% confidence interval under H0, and asymmetry-based P-value.\n"), std::string::npos);
    EXPECT_NE(a.str().find("Null model based on taxa shuffle, i.e. among OTU vectors in the traits matrix, keeping "
                           "compositional matrix W and, if present, environmental matrix E constant.\nPermutations "
                           "of OTUs: Unrestricted\n"),
              std::string::npos);
    EXPECT_NE(a.str().find("\nNumber of iterations for permutation tests: 99\nRandom generator seed: 4294967295\n"),
              std::string::npos);
    EXPECT_NE(a.str().find("P(valueH0 \u2264 obs)"), std::string::npos);

    f.p.fa.opt_ro = 4;
    f.p.fa.optTaxaSiteShuffle = 's';
    std::ostringstream b;
    WriteTestDescription(b, f.p.Report(f.clock));
    EXPECT_EQ(b.str().find("\nThe statistics shown below are the r square and regression coefficients.\nNull model "
                           "based on site shuffle"),
              0u);
    EXPECT_EQ(b.str().find("Permutation tests of"), std::string::npos);

    f.p.fa.opt_ro = 1;
    f.p.fa.opt_MatrixCorr = 'r';
    f.p.fa.squareDistMatrixOpt = true;
    f.p.fa.optTaxaSiteShuffle = 't';
    f.p.fa.doBootstrapOpt = true;
    f.p.fa.optRestrictPermutNullModel = 1;
    f.p.fa.nestingMembershipOTUs = {1, 1, 2};
    std::ostringstream c;
    WriteTestDescription(c, f.p.Report(f.clock));
    EXPECT_NE(c.str().find("thus the statistic is equivalent to the RV coefficient of "), std::string::npos);
    EXPECT_NE(c.str().find("95% confidence interval of the observed value obtained in 99 bootstrap samples"),
              std::string::npos);
    EXPECT_NE(c.str().find("which was combined with a BOOTSTRAP sample"), std::string::npos);
    EXPECT_NE(c.str().find("Restricted within the following groups:\nNesting groups for 3 OTUs:\t1\t1\t2\t\n"),
              std::string::npos);
}

TEST(Report, RegressionAndAnovaTables) {
    Fixture f;
    RegressionResults r;
    r.Allocate(4, 2);
    r.obs.rSquare = {0.5, 0.6, 0.7, 0.8};
    r.intercept = {1, 2, 3, 4};
    r.obs.coeff[1][2] = 9;
    f.rec.regrResults = &r;
    std::ostringstream fp;
    WriteRegression(fp, f.p.data, f.rec, {0, 1}, false, {1, 1}, true);
    const std::string s = fp.str();
    EXPECT_EQ(s.find("\n\nREGRESSION MODELS\nFor each response variable"), 0u);
    EXPECT_EQ(s.find("Trait:\tH"), std::string::npos);
    EXPECT_NE(s.find("\nTrait:\tS\tr-square=\t0.6\tp-value=\t0\tSES=\t0\tE=\t0\nFactor:\tpH\tcoeff=\t0\t"),
              std::string::npos);
    EXPECT_NE(s.find("\nFunctional diversity:\t\tr-square=\t0.7\tp-value=\t0\nFactor:\tpH\tcoeff=\t0\tp-value=\t0\t"
                     "SES=\t0\tE=\t0\nFactor:\tN\tcoeff=\t9\t"),
              std::string::npos);
    EXPECT_NE(s.find("\nPhylogenentic diversity:\t\tr-square=\t0.8\t"), std::string::npos);
    EXPECT_NE(s.find("Intercept=\t4\n"), std::string::npos);

    PseudoFResults pf;
    pf.Allocate(1, 2);
    pf.obs.T = {3.5};
    pf.obs.traits[0][0] = 1.25;
    f.rec.pseudoFResults = &pf;
    f.rec.nEnv = 1;
    Matrix<double> E(4, 1);
    E[2][0] = 2.7;
    std::ostringstream av;
    WriteAnova(av, f.p.data, f.rec, {1, 0}, false, E, {0, 1}, false);
    const std::string a = av.str();
    EXPECT_NE(a.find("\nSelected factors and observation states in 4 communities:\nFactor:\tN\tStates:\t0\t0\t2\t0\t\n"),
              std::string::npos);
    EXPECT_NE(a.find("Factor:\tN\tPseudo-F=\t3.5\tp-value=\t0\tSES=\t0\tE=\t0\nANOVA for each selected individual "
                     "trait"),
              std::string::npos);
    EXPECT_NE(a.find("Trait:\tH\tPseudo-F=\t1.25\t"), std::string::npos);
    EXPECT_EQ(a.find("matrix P"), std::string::npos);
    std::ostringstream nom;
    WriteAnova(nom, f.p.data, f.rec, {1, 0}, true, E, {0, 1}, false);
    EXPECT_EQ(nom.str().find("MANOVA using matrix T"), std::string::npos);
    EXPECT_NE(nom.str().find("MANOVA using matrix X"), std::string::npos);
}

TEST(Report, DiversityEquivalentNumbers) {
    Fixture f;
    std::ostringstream fp;
    // Community 1 holds one OTU: D = Rf = 0 and equivalent numbers 1.
    WriteDiversity(fp, f.p.Report(f.clock), 1, {2, 1}, {0.5, 0.0}, {0.25, 0.0}, nullptr);
    const std::string s = fp.str();
    EXPECT_NE(s.find("\nMinimum richness:\t1\tMaximum richness:\t2\n"), std::string::npos);
    EXPECT_NE(s.find("\nFunctional redundancy in each community (FR = D-Rf):\n0.25\t0\t\n"), std::string::npos);
    EXPECT_NE(s.find("dissimilarties):\n2\t1\t\nRao"), std::string::npos);
    EXPECT_NE(s.find("(FR = D-Qf):\n0.666667\t0\t"), std::string::npos);
    EXPECT_EQ(s.find("PHYLOGENETIC"), std::string::npos);
    EXPECT_NE(s.find("[D=sqrt(1-GowerIndex)]"), std::string::npos);
}

TEST(Report, OrdinationAxesLimitedByMaxComponents) {
    Fixture f;
    DataSet& d = f.p.data;
    Matrix<double> Y(4, 3), X(4, 2), T(4, 2), E(4, 2);
    const double y[4][3] = {{1, 0, 0}, {0.5, 0.5, 0}, {0, 0.7, 0.3}, {0.1, 0.2, 0.9}};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) Y[i][j] = y[i][j];
        X[i][0] = y[i][0];
        X[i][1] = y[i][1] + y[i][2];
        T[i][0] = i;
        T[i][1] = i * i;
        E[i][0] = 4 - i;
        E[i][1] = i % 2;
    }
    Matrix<double> DY(4, 4);
    EucliDistMV(4, 3, Y, DY);
    OrdinationInputs o;
    o.DY = &DY;
    o.Y = &Y;
    o.X = &X;
    o.nX = 2;
    o.T = &T;
    o.E = &E;
    o.nEnv = 2;
    o.envLabels = {"pH", "N"};
    f.p.hier.rese_opt = 6;
    f.p.opt.maxComponents = 1;
    std::ostringstream fp;
    WriteOrdinations(fp, f.p.Report(f.clock), d, o);
    const std::string s = fp.str();
    EXPECT_NE(s.find("\nPCOA scores of Beals-transformed communities on the first 1 ordination components:\n"),
              std::string::npos);
    EXPECT_NE(s.find("Axis:\t1\t"), std::string::npos);
    EXPECT_EQ(s.find("Axis:\t2\t"), std::string::npos);
    EXPECT_NE(s.find("Axes\t1\nH\t"), std::string::npos);
    EXPECT_NE(s.find("PCOA axis of Y\t1\nPCOA axis 1 of X\t"), std::string::npos);
    EXPECT_EQ(s.find("PHYLOGENETIC"), std::string::npos);
    // Three distinct points span more than one axis.
    EXPECT_NE(s.find("Number of eigenvalues > 1e-06: \t3"), std::string::npos);
}

TEST(Report, TablesListTheStatisticLinesTheReportPrints) {
    // The statistics table follows its own list of lines; it must stay the
    // report's, label for label, in every layout.
    for (bool withE : {true, false})
        for (bool quant : {true, false})
            for (bool phyl : {true, false}) {
                Fixture f;
                f.rec.includePhylogeny = phyl;
                f.rec.nEnv = withE ? 2 : 0;
                const std::string text = f.Stats(!quant, withE ? std::vector<int>{1, 1} : std::vector<int>{0, 0});
                std::vector<std::string> printed;
                std::istringstream in(text);
                for (std::string line; std::getline(in, line);)
                    if (line.find("asymmetry-based P-value=") != std::string::npos) {
                        std::string label = line.substr(0, line.find('='));
                        label.erase(label.find_last_not_of(' ') + 1);
                        printed.push_back(label);
                    }
                std::vector<std::string> listed;
                for (const PrintedStat& s : PrintedStatistics(withE, quant, phyl)) listed.push_back(s.label);
                EXPECT_EQ(listed, printed) << withE << quant << phyl;
            }
}

TEST(Report, SelectedTraitsLineEndsBeforeMatrixX) {
    Fixture f;
    f.p.fa.printDetail = true;
    f.p.hier.fuzzy = 3;
    Matrix<double> T(4, 2), X(4, 3), Xcrisp(4, 3);
    X[0][0] = 0.25;
    std::ostringstream fp;
    WriteDetailTX(fp, f.p.Report(f.clock), f.p.data, {1, 1}, true, true, T, 3, X, Xcrisp);
    EXPECT_NE(fp.str().find("Selected traits:\tH\tS\t\n0.25\t0\t0\t\n"), std::string::npos) << fp.str();
}

}  // namespace
}  // namespace kolvar
