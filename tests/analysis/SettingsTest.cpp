// The settings dialogue of the functional analysis, case by case from a table:
// each case is a variant (H analysis, K ranking, A simulation), a data set and
// earlier settings. Its record in tests/analysis/settings/ opens with the
// answers and holds the whole dialogue (standard output and error) and every
// setting the dialogue leaves, so a changed question, message or setting shows
// as a diff. KOLVAR_WRITE_RECORDS=1 completes the record of a new case from its
// answers (review it by hand).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "analysis/Settings.hpp"
#include "support/BaseConsole.hpp"
#include "support/Parts.hpp"
#include "support/Scenario.hpp"

namespace kolvar {
namespace {

DataSet MakeData(int nch = 3, int ncsm = 4, int tcst = 5, int nenv = 2) {
    DataSet d;
    d.nch = nch;
    d.ncsm = ncsm;
    d.tcst = tcst;
    d.nenv = nenv;
    for (int j = 0; j < nch; ++j) d.chLabel.push_back("t" + std::to_string(j + 1));
    for (int k = 0; k < ncsm; ++k) d.reLabel.push_back("r" + std::to_string(k + 1));
    for (int v = 0; v < nenv; ++v) d.envLabel.push_back("e" + std::to_string(v + 1));
    d.chtype.assign(nch, 3);
    d.traitGroups.assign(nch, 0);
    d.nchor.assign(nch, 0);
    d.rcst.assign(nch, 0);
    d.nGrPoly.assign(nch, 0);
    d.weight.assign(nch, 0.0);
    d.relSelect.assign(ncsm, 0);
    d.eVarSelect.assign(std::max(ncsm, nenv), 0);
    d.partition_OTUs.assign(tcst, 0);
    d.weight_OTUs.assign(tcst, 0);
    d.envVarType.assign(nenv, 3);
    d.temEnvQuant = nenv > 0 ? 1 : 0;
    return d;
}

template <class T>
std::string List(const std::vector<T>& v) {
    std::ostringstream s;
    for (const auto& x : v) s << ' ' << x;
    return s.str();
}

// Every setting the dialogue may write, one per line.
std::string Settings(const test::Parts& p) {
    const FunctionalSettings& f = p.fa;
    const HierarchySettings& h = p.hier;
    const DataSet& d = p.data;
    std::ostringstream s;
    s << "hier: partOpt " << h.partOpt << " traitBasedOpt " << h.traitBasedOpt << " poolCSTopt " << h.poolCSTopt
      << " clusMethPoolCSTs " << h.clusMethPoolCSTs << " reseCstOpt " << h.reseCstOpt << " fuzzy " << h.fuzzy
      << " fuzziness " << h.fuzziness << " rese_opt " << h.rese_opt << " isHierarchical " << h.isHierarchical << '\n'
      << "statistic: opt_ro " << f.opt_ro << " whichObj " << f.whichObj << " opt_MatrixCorr " << f.opt_MatrixCorr
      << " squared " << f.squareDistMatrixOpt << " optRndTests " << f.optRndTests << '\n'
      << "types: speciesAsTypes " << f.OTUsTypesAreSpecies << " partition_OTUs" << List(d.partition_OTUs)
      << " nGrPoly" << List(d.nGrPoly) << " nchor" << List(d.nchor) << '\n'
      << "selection: relSelect" << List(d.relSelect) << " eVarSelect" << List(d.eVarSelect) << " weight"
      << List(d.weight) << " weight_OTUs" << List(d.weight_OTUs) << '\n'
      << "subsets: doTraitCombOpt " << f.doTraitCombOpt << " min " << f.nMinTraitsChRank << " max "
      << f.nMaxTraitsChRank << '\n'
      << "otus: restrictRaoWithin " << f.restrictRaoWithinOpt << " keepAdditivity " << f.keepAdditivity
      << " unitTotal " << f.optUnitTotalAdjust2 << '\n'
      << "phylogeny: include " << f.includePhylogeny << " fuzzyPhyl " << f.fuzzyPhyl << " taxa"
      << List(f.partition_OTUs_Phyl) << " nTaxa " << f.nTaxa << '\n'
      << "test: niter " << f.niter << " weighted " << f.optWeightedNullModel << " shuffle " << f.optTaxaSiteShuffle
      << " restricted " << f.optRestrictPermutNullModel << " nesting" << List(f.nestingMembershipOTUs)
      << " bootstrap " << f.doBootstrapOpt << " seedOpt " << f.seedOpt << " rseed " << f.rseed << " coVariable "
      << f.optCoVariable << '\n'
      << "output: detail " << f.printDetail << " intermediate " << f.printIntermPermResults << " prindaMode "
      << f.prindaMode << '\n';
    return s.str();
}

std::string Replace(std::string text, const std::string& what, const std::string& by) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size()))
        text.replace(at, what.size(), by);
    return text;
}

struct Case {
    const char* name;
    char optmain;  ///< 'H' analysis, 'K' ranking, 'A' simulation
    std::function<void(test::Parts&, const test::ScratchDir&)> setup = nullptr;
};

void Restricted(test::Parts& p, const test::ScratchDir&) { p.fa.optRestrictPermutNullModel = 1; }
void Nominal(test::Parts& p, const test::ScratchDir&) {
    p.data.temEnvQual = 1;
    p.data.temEnvQuant = 0;
}
void TraitGroups(test::Parts& p, const test::ScratchDir&) {
    p.data = MakeData(4);
    p.data.hasTraitGroups = true;
    p.data.traitGroups = {1, 1, 1, 2};
}
void Species(test::Parts& p, const test::ScratchDir&) {
    p.data.nSpp = 3;
    p.data.cstSppMap = Matrix<char>::FromRows(
        {{'1', '0', '0'}, {'0', '1', '1'}, {'0', '1', '0'}, {'0', '0', '0'}, {'0', '0', '1'}});
    p.data.partition_OTUs = {8, 8, 8, 8, 8};
}
void SquaredBefore(test::Parts& p, const test::ScratchDir&) {
    p.data = MakeData(3, 4, 5, 0);
    p.fa.squareDistMatrixOpt = true;
}
void IncludePhylogeny(test::Parts& p, const test::ScratchDir&) { p.fa.includePhylogeny = true; }
void SaveRandomData(test::Parts& p, const test::ScratchDir&) { p.opt.saveRndData = 'y'; }
void Criterion(test::Parts& p, int criterion) {
    p.data.temEnvQual = 1;
    p.fa.opt_struct = criterion;
}

const Case kCases[] = {
    {"full_dialogue", 'H', Restricted},
    // Nominal variables rule out 2, 3 and 4; quantitative ones rule out 5; the
    // simulation study takes any statistic.
    {"congruence_nominal", 'H', Nominal},
    {"congruence_quantitative", 'H'},
    {"congruence_simulation", 'A', Nominal},
    {"ranking_criterion9", 'K', [](auto& p, auto&) { Criterion(p, 9); }},
    {"ranking_criterion16", 'K',
     [](auto& p, auto&) {
         Criterion(p, 16);
         p.hier.rese_opt = 6;
     }},
    {"ranking_criterion11", 'K', [](auto& p, auto&) { Criterion(p, 11); }},
    {"simulation_keeps_partition", 'A',
     [](auto& p, auto&) {
         p.data.partition_OTUs = {4, 4, 7, 7, 9};
         p.fa.doTraitCombOpt = true;
     }},
    {"anova_communities_and_grouping", 'H', Nominal},
    {"mantel", 'K', SquaredBefore},
    {"rd", 'K', SquaredBefore},
    {"rd_squared", 'K', SquaredBefore},
    {"site_shuffle", 'H',
     [](auto& p, auto& dir) {
         Restricted(p, dir);
         p.fa.doBootstrapOpt = true;
         p.fa.nestingMembershipOTUs = {1, 1, 1, 1, 1};
     }},
    {"nesting_keyboard", 'H'},
    // Missing, short and out-of-range files bring the f/k question back.
    {"nesting_files", 'H',
     [](auto&, auto& dir) {
         dir.Write("short.txt", "1 2 3\n");
         dir.Write("huge.txt", "1 2 99999999999 4 5\n");
         dir.Write("nest.txt", "groups: 3, 3; 4 x4 -5\n");
     }},
    {"types_from_file", 'H',
     [](auto& p, auto& dir) {
         dir.Write("few.txt", "2 2\n");
         dir.Write("groups.txt", "OTU groups: 5,5;6\n6\t7\n");
         p.data.partition_OTUs = {9, 9, 9, 9, 9};
     }},
    // An empty selection and subset sizes 0 and 4 (of three traits) are asked again.
    {"traits_group_weights_subsets", 'H', TraitGroups},
    {"traits_unweighted", 'H', TraitGroups},
    {"otus_excluded_rescaled", 'H'},
    {"otus_excluded_kept_scale", 'H', [](auto& p, auto&) { p.fa.keepAdditivity = false; }},
    {"taxon_names_as_types", 'H', Species},
    {"taxon_names_declined", 'H', Species},
    {"phylogeny", 'H', [](auto& p, auto&) { p.data.hasPhylogeny = true; }},
    // A flag left by a phylogenetic ranking criterion does not survive into a
    // functional analysis of a data set without phylogeny; the ranking's stays.
    {"phylogeny_flag_dropped", 'H', IncludePhylogeny},
    {"phylogeny_ranking", 'K', IncludePhylogeny},
    {"iterations_refused", 'H'},
    {"intermediate_results_yes", 'H', SaveRandomData},
    {"intermediate_results_no", 'H', SaveRandomData},
    {"intermediate_results_not_preferred", 'H', [](auto& p, auto&) { p.fa.printIntermPermResults = true; }},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SettingsDialogue : public testing::TestWithParam<Case> {};

TEST_P(SettingsDialogue, MatchesItsRecord) {
    const Case& c = GetParam();
    test::ScratchDir dir;
    const std::string folder = dir.path().string() + "/";
    test::Parts p;
    p.data = MakeData();
    p.session.optmain = c.optmain;
    p.session.volumeName = folder;
    p.session.whichPrinda = "sPrinda.txt";
    if (c.setup) c.setup(p, dir);
    const auto file = test::SourcePath(std::string("tests/analysis/settings/") + c.name + ".txt");
    const std::string text = test::Slurp(file);
    const std::size_t answersAt = std::string("--- answers\n").size();
    const std::size_t outputAt = text.find("--- output\n");
    std::istringstream in(Replace(text.substr(answersAt, outputAt - answersAt), "<dir>/", folder));
    std::ostringstream out, err;
    Console con{in, out, err};
    const FixedClock clock{1000};
    SettingsHierarchy(p.Analysis(con, clock));
    std::ostringstream unread;
    unread << in.rdbuf();

    const std::string record = text.substr(0, outputAt) + "--- output\n" + Replace(out.str(), folder, "<dir>/") +
                               "\n--- errors\n" + Replace(err.str(), folder, "<dir>/") + "\n--- settings\n" +
                               Settings(p) + "--- unread answers\n" + unread.str();
    if (std::getenv("KOLVAR_WRITE_RECORDS") && outputAt == std::string::npos) {
        std::ofstream(file, std::ios::binary) << record;
        GTEST_SKIP() << "wrote " << file;
    }
    EXPECT_EQ(record, text) << file;
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsDialogue, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// The question about an earlier report (new file, rejected and accepted answers)
// is kept by the recorded runs; a replayed macro appends without asking.
TEST(GetPrindaMode, MacroAppendsWithoutAsking) {
    test::ScratchDir dir;
    dir.Write("sPrinda.txt", "old results\n");
    test::TestConsole t;
    t.con.runMacro = true;
    std::string mode = "w";
    GetPrindaMode(t.con, dir.path().string() + "/", "sPrinda.txt", mode);
    EXPECT_EQ(mode, "a");
    EXPECT_EQ(t.out.str(), "");
}

TEST(PermutationCount, WorkAreasMustFitInMemory) {
    // Two work areas of 24 doubles per iteration and 8 more columns: 384 bytes a column.
    struct Limit {
        std::uint64_t bytes;
        int most;
    } limits[] = {
        {0, 3}, {384 * 11, 3}, {384 * 12, 4}, {384ull * 1000008, 1000000},
        {std::uint64_t{1} << 62, 2147483647 - 8},  // never more than the test's int columns hold
    };
    for (const Limit& c : limits) EXPECT_EQ(MostPermutationIterations(c.bytes), c.most) << c.bytes;

    test::TestConsole t("2147483647\n2001\n2000\n");
    EXPECT_EQ(ReadPermutationCount(t.con, 384ull * 2008), 2000);
    EXPECT_EQ(t.err.str(),
              "\a\nIncorrect input = 2147483647. Reenter.\nAccepted input: 3 to 2000 (the work areas of more iterations "
              "do not fit in this machine's memory)\n"
              "\a\nIncorrect input = 2001. Reenter.\nAccepted input: 3 to 2000 (the work areas of more iterations do "
              "not fit in this machine's memory)\n");
    EXPECT_GT(AvailableMemoryBytes(), 0u);
}

}  // namespace
}  // namespace kolvar
