#include "analysis/Tables.hpp"

#include <cmath>

#include "base/Tsv.hpp"

namespace kolvar {

std::string RunStamp(std::time_t t) {
    std::tm tmv{};
    localtime_r(&t, &tmv);
    char buf[32];
    if (std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tmv) == 0) buf[0] = '\0';
    return buf;
}

std::string NullModelText(int optTaxaSiteShuffle, int optRestrictPermutNullModel, bool weighted, bool bootstrap) {
    std::string s;
    if (optTaxaSiteShuffle == 't') {
        s = "taxa shuffle";
        if (optRestrictPermutNullModel == 1) s += ", restricted within nesting groups";
        if (weighted) s += ", weighted by frequency";
    } else {
        s = "site shuffle";
    }
    if (bootstrap) s += ", with bootstrap";
    return s;
}

std::string SubsetText(const std::vector<std::string>& labels, const std::vector<int>& select) {
    std::string s;
    for (std::size_t j = 0; j < labels.size() && j < select.size(); ++j) {
        if (select[j] != 1) continue;
        if (!s.empty()) s.push_back(' ');
        s += labels[j];
    }
    return s;
}

std::vector<std::string> LabelsOfSelected(const std::vector<std::string>& labels, const std::vector<int>& select) {
    std::vector<std::string> out;
    for (std::size_t j = 0; j < labels.size() && j < select.size(); ++j)
        if (select[j] == 1) out.push_back(labels[j]);
    return out;
}

std::vector<PrintedStat> PrintedStatistics(bool withE, bool quant, bool phyl) {
    std::vector<PrintedStat> v;
    auto add = [&](bool when, const char* label, int index) {
        if (when) v.push_back({label, index});
    };
    if (withE) {
        add(quant, "Convergence (TCAP): r(TE)", kTE);
        add(true, "Both TCAP and Divergence (TDAP): r(XE)", kXE);
        add(quant, "TDAP: r(XE.T)", kXE_T);
        add(true, "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)", kRE);
        add(quant, "Beta divergence indicated by partial correlation: r(XE.TR)", kXE_TR);
    }
    add(quant, "r(TY)", kTY);
    add(true, "r(XY)", kXY);
    add(quant, "r(XY_T)", kXY_T);
    add(quant, "r(XY_TR)", kXY_TR);
    add(true, "r(RY)", kRY);
    if (phyl) {
        add(true, "Phylogenetic signal at OTU (species) level ro(BF)", kBF);
        add(withE, "Correlation of PSAP to ecological variables: ro(PE)", kPE);
        add(quant, "Correlation of PSAP to TCAP: ro(PT)", kPT);
        add(true, "Correlation of PSAP to both TCAP and TDAP: ro(PX)", kPX);
        add(quant, "Correlation of PSAP to TDAP: ro(PX.T)", kPX_T);
        if (withE) {
            add(quant, "Removing phylogeny from TCAP: ro(TE.P)", kTE_P);
            add(true, "Removing phylogeny from both TCAP and TDAP: ro(XE.P)", kXE_P);
            add(quant, "Removing phylogeny from TDAP: ro(XE.TP)", kXE_TP);
            add(quant, "Removing TCAP from phylogeny: ro(PE.T)", kPE_T);
            add(true, "Removing TCAP and TDAP from phylogeny: ro(PE.X)", kPE_X);
            add(true,
                "Alpha divergence (correlation between environmental variables and Rao entropy based on phylogeny): "
                "r(FE)",
                kFE);
        }
    }
    return v;
}

std::vector<StatRow> CorrelationRows(const PermTest_FunctionalPhyl_Correl_Input& in,
                                     const std::vector<PrintedStat>& printed, bool twoTailedTest) {
    std::vector<StatRow> rows;
    for (const PrintedStat& p : printed) {
        const auto s = static_cast<std::size_t>(p.index);
        const bool twoSided = kTestedStatTail[s] == 0;
        StatRow r;
        r.statistic = p.label;
        r.observed = in.obs[s];
        r.P = in.prob[s];
        r.SES = in.ses[s];
        r.expected = in.expected[s];
        r.LL = in.lowerLimit[s];
        r.UL = in.upperLimit[s];
        r.asymP = in.asymProb[s];
        r.pTail = twoSided && twoTailedTest ? "absolute" : "upper";
        r.asymTail = twoSided ? "two-sided" : "upper";
        rows.push_back(std::move(r));
    }
    return rows;
}

namespace {

StatRow Tested(const char* statistic, std::string response, std::string factor, double obs, double prob, double ses,
               double expected, const char* tail) {
    StatRow r;
    r.statistic = statistic;
    r.response = std::move(response);
    r.factor = std::move(factor);
    r.observed = obs;
    r.P = prob;
    r.SES = ses;
    r.expected = expected;
    r.pTail = tail;
    return r;
}

}  // namespace

std::vector<StatRow> RegressionRows(const RegressionResults& r, const std::vector<std::string>& traitLabels,
                                    const std::vector<int>& select, bool quant,
                                    const std::vector<std::string>& envLabels, bool phyl) {
    std::vector<StatRow> rows;
    const int nch = static_cast<int>(traitLabels.size());
    auto response = [&](int k, const std::string& name) {
        const auto kk = static_cast<std::size_t>(k);
        if (kk >= r.obs.rSquare.size()) return;
        rows.push_back(Tested("r-square", name, "", r.obs.rSquare[kk], r.prob.rSquare[kk], r.ses.rSquare[kk],
                              r.expected.rSquare[kk], "upper"));
        for (std::size_t e = 0; e < envLabels.size() && e < r.obs.coeff.rows(); ++e)
            rows.push_back(Tested("coefficient", name, envLabels[e], r.obs.coeff[e][kk], r.prob.coeff[e][kk],
                                  r.ses.coeff[e][kk], r.expected.coeff[e][kk], "absolute"));
        StatRow b;
        b.statistic = "intercept";
        b.response = name;
        b.observed = kk < r.intercept.size() ? r.intercept[kk] : -999.0;
        rows.push_back(std::move(b));
    };
    if (quant)
        for (int j = 0; j < nch; ++j)
            if (j < static_cast<int>(select.size()) && select[j] == 1) response(j, traitLabels[j]);
    response(nch, "Rf");
    if (phyl) response(nch + 1, "Rp");
    return rows;
}

std::vector<StatRow> PseudoFRows(const PseudoFResults& r, const std::vector<std::string>& traitLabels,
                                 const std::vector<int>& select, bool quant, const std::vector<std::string>& envLabels,
                                 bool phyl) {
    std::vector<StatRow> rows;
    auto set = [&](const char* name, std::vector<double> PseudoFSet::*v) {
        for (std::size_t e = 0; e < envLabels.size() && e < (r.obs.*v).size(); ++e)
            rows.push_back(Tested("pseudo-F", name, envLabels[e], (r.obs.*v)[e], (r.prob.*v)[e], (r.ses.*v)[e],
                                  (r.expected.*v)[e], "upper"));
    };
    if (quant) {
        // As the report: per factor the MANOVA of T, then each trait's ANOVA.
        for (std::size_t e = 0; e < envLabels.size() && e < r.obs.T.size() && e < r.obs.traits.rows(); ++e) {
            rows.push_back(Tested("pseudo-F", "T", envLabels[e], r.obs.T[e], r.prob.T[e], r.ses.T[e],
                                  r.expected.T[e], "upper"));
            for (std::size_t j = 0; j < traitLabels.size() && j < r.obs.traits.cols(); ++j)
                if (j < select.size() && select[j] == 1)
                    rows.push_back(Tested("pseudo-F", traitLabels[j], envLabels[e], r.obs.traits[e][j],
                                          r.prob.traits[e][j], r.ses.traits[e][j], r.expected.traits[e][j], "upper"));
        }
    }
    set("X", &PseudoFSet::X);
    if (phyl) set("P", &PseudoFSet::P);
    set("Rf", &PseudoFSet::R);
    if (phyl) set("Rp", &PseudoFSet::RPhyl);
    return rows;
}

std::string StatsTableHeader() {
    return TsvLine({"run", "session", "subset", "statistic", "response", "factor", "observed", "P", "SES", "expected",
                    "LL", "UL", "asymP", "P_tail", "asymP_tail", "null_model", "permutations", "seed"});
}

std::string StatsTableRows(const RunLabels& run, const std::vector<StatRow>& rows) {
    std::string out;
    const int dg = run.digits;
    for (const StatRow& r : rows)
        out += TsvLine({TsvField(run.run), TsvField(run.session), TsvField(run.subset), TsvField(r.statistic),
                        TsvField(r.response), TsvField(r.factor), TsvNumber(r.observed, dg), TsvNumber(r.P, dg),
                        TsvNumber(r.SES, dg), TsvNumber(r.expected, dg), TsvNumber(r.LL, dg), TsvNumber(r.UL, dg),
                        TsvNumber(r.asymP, dg), TsvField(r.pTail), TsvField(r.asymTail), TsvField(run.nullModel),
                        std::to_string(run.permutations), std::to_string(run.seed)});
    return out;
}

std::string CommunityTableHeader(const CommunityColumns& c) {
    std::vector<std::string> h = {"run", "session", "subset", "community", "richness"};
    for (const std::string& t : c.traitLabels) h.push_back(TsvField("T_" + t));
    for (const char* n : {"D", "Rf", "FR", "D_eq", "Rf_eq", "FR_eq"}) h.push_back(n);
    if (c.Rp != nullptr)
        for (const char* n : {"Rp", "PR", "Rp_eq", "PR_eq"}) h.push_back(n);
    for (const CommunityOrdination& o : c.ordinations) {
        h.push_back(TsvField(o.name + "_axis1"));
        h.push_back(TsvField(o.name + "_axis2"));
    }
    return TsvLine(h);
}

std::string CommunityTableRows(const RunLabels& run, const CommunityColumns& c) {
    std::string out;
    const int dg = run.digits;
    const std::size_t n = c.labels.size();
    auto at = [](const std::vector<double>& v, std::size_t i) { return i < v.size() ? v[i] : -999.0; };
    for (std::size_t i = 0; i < n; ++i) {
        std::vector<std::string> f = {TsvField(run.run), TsvField(run.session), TsvField(run.subset),
                                      TsvField(c.labels[i]),
                                      i < c.richness.size() ? std::to_string(c.richness[i]) : std::string("NA")};
        for (std::size_t j = 0; j < c.traitLabels.size(); ++j) {
            const bool have = c.T != nullptr && j < c.select.size() && c.select[j] == 1 && i < c.T->rows() &&
                              j < c.T->cols();
            f.push_back(have ? TsvNumber((*c.T)[i][j], dg) : "NA");
        }
        const double D = at(c.D, i), Rf = at(c.Rf, i);
        const double Deq = 1.0 / (1.0 - D), Rfeq = 1.0 / (1.0 - Rf);
        f.push_back(TsvNumber(D, dg));
        f.push_back(TsvNumber(Rf, dg));
        f.push_back(TsvNumber(std::max(0.0, D - Rf), dg));
        f.push_back(TsvNumber(Deq, dg));
        f.push_back(TsvNumber(Rfeq, dg));
        f.push_back(TsvNumber(Deq - Rfeq, dg));
        if (c.Rp != nullptr) {
            const double Rp = at(*c.Rp, i), Rpeq = 1.0 / (1.0 - Rp);
            f.push_back(TsvNumber(Rp, dg));
            f.push_back(TsvNumber(std::max(0.0, D - Rp), dg));
            f.push_back(TsvNumber(Rpeq, dg));
            f.push_back(TsvNumber(Deq - Rpeq, dg));
        }
        for (const CommunityOrdination& o : c.ordinations)
            for (int k = 0; k < 2; ++k) {
                const bool have = o.scores != nullptr && k < o.nAxes && static_cast<std::size_t>(k) < o.scores->rows() &&
                                  i < o.scores->cols();
                f.push_back(have ? TsvNumber((*o.scores)[static_cast<std::size_t>(k)][i], dg) : "NA");
            }
        out += TsvLine(f);
    }
    return out;
}

std::string RankingTableHeader() { return TsvLine({"run", "session", "criterion", "size", "traits", "value"}); }

std::string RankingTableRows(const RunLabels& run, const std::string& criterion, const std::vector<RankingRow>& rows) {
    std::string out;
    for (const RankingRow& r : rows) {
        std::string traits;
        for (const std::string& t : r.traits) {
            if (!traits.empty()) traits.push_back(' ');
            traits += t;
        }
        out += TsvLine({TsvField(run.run), TsvField(run.session), TsvField(criterion), std::to_string(r.traits.size()),
                        TsvField(traits), TsvNumber(r.value, run.digits)});
    }
    return out;
}

bool WriteRankingTable(const RunLabels& run, const std::string& criterion, const std::vector<RankingRow>& rows,
                       bool append) {
    return WriteTsv(run.session + rankingTableExt, RankingTableHeader(), RankingTableRows(run, criterion, rows), append);
}

}  // namespace kolvar
