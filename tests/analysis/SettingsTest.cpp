// The settings dialogue of the functional analysis, case by case from a table:
// each case is a variant (H analysis, K ranking, A simulation), a data set and
// earlier settings, and the answers. Its record in tests/analysis/settings/
// holds the whole dialogue (standard output and error) and every setting the
// dialogue leaves, so a changed question, message or setting shows as a diff.
// KOLVAR_WRITE_RECORDS=1 writes the records of new cases (review them by hand).

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
    std::string answers;  ///< "<dir>/" stands for the scratch folder
    std::function<void(test::Parts&, const test::ScratchDir&)> setup = nullptr;
};

// Answers shared by many cases: crisp types 1 1 2 2 3 from the keyboard,
// Mantel on Euclidean distance, all variables and traits, no subsets, all
// OTUs, no standardization.
const std::string kTypes = "0\nk\n1 1 2 2 3\n0\n";
const std::string kMantel = "1\n6\nm\n1\n1\nn\n1\nn\n";
const std::string kPlain = kTypes + kMantel + "3\nt\n0\nn\n1\nn\n";
const std::string kOtus = kTypes + "1\n6\nm\n1\n1\nn\n2\n";
const std::string kAfterOtus = "n\n3\nt\n0\nn\n1\nn\n";
const std::string kNesting = kTypes + kMantel + "100\nt\n1\n";
const std::string kTrait4 = "0\nk\n1 1 2 2 3\n0\n1\n6\nm\n1\n2\n";

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

const Case kCases[] = {
    {"full_dialogue", 'H', "0\nk\n1 1 2 2 3\n1\n1\n6\nm\n1\n1\nn\n1\ny\n999\nt\n0\nn\n2\n42\nn\n",
     [](auto& p, auto&) { p.fa.optRestrictPermutNullModel = 1; }},
    // Nominal variables rule out 2, 3 and 4; quantitative ones rule out 5; the
    // simulation study takes any statistic.
    {"congruence_nominal", 'H', kTypes + "2\n3\n4\n5\n6\n1\n1 1\n1\nn\n1\nn\n10\ns\n1\nn\n", Nominal},
    {"congruence_quantitative", 'H', kTypes + "5\n2\n1\n1\nn\n1\nn\n10\ns\n1\nn\n"},
    {"congruence_simulation", 'A', "0\n0\n3\n1\n1\nn\n10\ns\nn\n", Nominal},
    {"ranking_criterion9", 'K', "k\n1 2 1 2 1\n0\n2\n1\n10\nr\ny\n1\n1\nn\nn\n",
     [](auto& p, auto&) { p.data.temEnvQual = 1; p.fa.opt_struct = 9; }},
    {"ranking_criterion16", 'K', "k\n1 2 1 2 1\n0\n1\nm\n1\n1\nn\ny\n",
     [](auto& p, auto&) { p.data.temEnvQual = 1; p.fa.opt_struct = 16; p.hier.rese_opt = 6; }},
    {"ranking_criterion11", 'K', "k\n1 2 1 2 1\n0\n2\n1\n1\nn\ny\n",
     [](auto& p, auto&) { p.data.temEnvQual = 1; p.fa.opt_struct = 11; }},
    {"simulation_keeps_partition", 'A', "2\n1\n1\n8\nm\n1\n1\nn\n5\nt\n0\ny\ny\n",
     [](auto& p, auto&) { p.data.partition_OTUs = {4, 4, 7, 7, 9}; p.fa.doTraitCombOpt = true; }},
    {"anova_communities_and_grouping", 'H',
     kTypes + "5\n7\n2\n0 0 0 0\n1 0 1 1\n0 1\n1\nn\n1\nn\n20\nt\n0\n1\nn\n", Nominal},
    {"mantel", 'K', "k\n1 1 2 2 3\n0\n1\n9\nm\n1\nn\nn\n", SquaredBefore},
    {"rd", 'K', "k\n1 1 2 2 3\n0\n1\n9\nr\nn\n1\nn\nn\n", SquaredBefore},
    {"rd_squared", 'K', "k\n1 1 2 2 3\n0\n1\n9\nr\ny\n1\nn\nn\n", SquaredBefore},
    {"site_shuffle", 'H', kTypes + kMantel + "100\ns\n1\nn\n",
     [](auto& p, auto&) {
         p.fa.doBootstrapOpt = true;
         p.fa.optRestrictPermutNullModel = 1;
         p.fa.nestingMembershipOTUs = {1, 1, 1, 1, 1};
     }},
    {"nesting_keyboard", 'H', kNesting + "k\n1 1 1 2 99999999999 2\ny\n2\n4294967296\n4294967295\nn\n"},
    // Missing, short and out-of-range files bring the f/k question back.
    {"nesting_files", 'H',
     kNesting + "f\n<dir>/none.txt\nf\n<dir>/short.txt\nf\n<dir>/huge.txt\nf\n<dir>/nest.txt\nn\n1\nn\n",
     [](auto&, auto& dir) {
         dir.Write("short.txt", "1 2 3\n");
         dir.Write("huge.txt", "1 2 99999999999 4 5\n");
         dir.Write("nest.txt", "groups: 3, 3; 4 x4 -5\n");
     }},
    {"types_from_file", 'H', "1\nf\n<dir>/few.txt\nf\n<dir>/groups.txt\n0\n" + kMantel + "3\nt\n0\nn\n1\nn\n",
     [](auto& p, auto& dir) {
         dir.Write("few.txt", "2 2\n");
         dir.Write("groups.txt", "OTU groups: 5,5;6\n6\t7\n");
         p.data.partition_OTUs = {9, 9, 9, 9, 9};
     }},
    // An empty selection and subset sizes 0 and 4 (of three traits) are asked again.
    {"traits_group_weights_subsets", 'H', kTrait4 + "0 0 0 0\n1 1 0 1\ny\ny\n0\n2\n4\n3\n1\nn\n3\nt\n0\nn\n1\nn\n",
     TraitGroups},
    {"traits_unweighted", 'H', kTrait4 + "1 0 1 1\nn\nn\n1\nn\n3\nt\n0\nn\n1\nn\n", TraitGroups},
    {"otus_excluded_rescaled", 'H', kOtus + "1 1 0 1 1\ny\ny\n" + kAfterOtus},
    {"otus_excluded_kept_scale", 'H', kOtus + "0 0 0 0 0\n0 1 1 1 1\nn\nn\n" + kAfterOtus,
     [](auto& p, auto&) { p.fa.keepAdditivity = false; }},
    {"taxon_names_as_types", 'H', "0\ny\n0\n" + kMantel + "3\nt\n0\nn\n1\nn\n", Species},
    {"taxon_names_declined", 'H', "0\nn\nk\n1 1 1 1 1\n0\n" + kMantel + "3\nt\n0\nn\n1\nn\n", Species},
    {"phylogeny", 'H', "0\nk\n3 3 1 1 2\n0\n" + kMantel + "3\nt\n0\nn\n1\nn\n",
     [](auto& p, auto&) { p.data.hasPhylogeny = true; }},
    // A flag left by a phylogenetic ranking criterion does not survive into a
    // functional analysis of a data set without phylogeny; the ranking's stays.
    {"phylogeny_flag_dropped", 'H', "0\nk\n3 3 1 1 2\n0\n" + kMantel + "3\nt\n0\nn\n1\nn\n",
     [](auto& p, auto&) { p.fa.includePhylogeny = true; }},
    {"phylogeny_ranking", 'K', "k\n3 3 1 1 5\n0\n2\n1\n1\nn\nn\n",
     [](auto& p, auto&) { p.fa.includePhylogeny = true; }},
    {"iterations_refused", 'H', kTypes + kMantel + "2\n3000000000\n3\nt\n0\nn\n1\nn\n"},
    {"intermediate_results_yes", 'H', kPlain.substr(0, kPlain.size() - 2) + "y\ny\n",
     [](auto& p, auto&) { p.opt.saveRndData = 'y'; }},
    {"intermediate_results_no", 'H', kPlain.substr(0, kPlain.size() - 2) + "y\nn\n",
     [](auto& p, auto&) { p.opt.saveRndData = 'y'; }},
    {"intermediate_results_not_preferred", 'H', kPlain.substr(0, kPlain.size() - 2) + "y\n",
     [](auto& p, auto&) { p.fa.printIntermPermResults = true; }},
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
    std::istringstream in(Replace(c.answers, "<dir>/", folder));
    std::ostringstream out, err;
    Console con{in, out, err};
    const FixedClock clock{1000};
    SettingsHierarchy(p.Analysis(con, clock));
    std::ostringstream unread;
    unread << in.rdbuf();

    const std::string record = "--- output\n" + Replace(out.str(), folder, "<dir>/") + "\n--- errors\n" +
                               Replace(err.str(), folder, "<dir>/") + "\n--- settings\n" + Settings(p) +
                               "--- unread answers\n" + unread.str();
    const auto file = test::SourcePath(std::string("tests/analysis/settings/") + c.name + ".txt");
    if (std::getenv("KOLVAR_WRITE_RECORDS") && !std::filesystem::exists(file)) {
        std::ofstream(file, std::ios::binary) << record;
        GTEST_SKIP() << "wrote " << file;
    }
    std::ifstream f(file, std::ios::binary);
    std::ostringstream want;
    want << f.rdbuf();
    EXPECT_EQ(record, want.str()) << file;
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsDialogue, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(SettingReseFunction, ListsTwoOptionsAcceptsFive) {
    test::TestConsole t("5\n9\n6\n");
    int option = 0;
    EXPECT_EQ(SettingReseFunction(t.con, option), 9);
    EXPECT_EQ(option, 9);
    EXPECT_EQ(t.out.str(),
              "\nResemblance function option:\n\t6   Euclidean distance\n\t10  chord distance\nType option no.: ");
    EXPECT_EQ(t.err.str(), "\a\nIncorrect input = 5. Reenter.\nAccepted input: 6 7 8 9 10\n");

    // Only a resemblance between communities is asked.
    FunctionalSettings fa;
    HierarchySettings hier;
    fa.whichObj = 'c';
    SettingsRese(t.con, fa, hier);
    EXPECT_EQ(hier.rese_opt, 0);
    fa.whichObj = 'r';
    SettingsRese(t.con, fa, hier);
    EXPECT_EQ(hier.rese_opt, 6);
}

TEST(GetPrindaMode, NewFileAppendDuringMacroOrAsk) {
    test::ScratchDir dir;
    const std::string vol = dir.path().string() + "/";
    test::TestConsole t("x\nA\nw\n");
    std::string mode = "a";

    GetPrindaMode(t.con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "w");
    EXPECT_EQ(t.out.str(), "");

    dir.Write("sPrinda.txt", "old results\n");
    t.con.runMacro = true;
    mode = "w";
    GetPrindaMode(t.con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "a");
    EXPECT_EQ(t.out.str(), "");

    t.con.runMacro = false;
    const std::string question =
        "\nThis session has a previous sPrinda.txt file.\nOptions:\n   w  erase file and create a new one\n"
        "   a  append results to same file\nType option: ";
    GetPrindaMode(t.con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "a");
    EXPECT_EQ(t.out.str(), question);
    EXPECT_EQ(t.err.str(), "\a\nIncorrect input = x. Reenter.\nAccepted input: w a\n");
    GetPrindaMode(t.con, vol, "sPrinda.txt", mode);
    EXPECT_EQ(mode, "w");
    EXPECT_EQ(t.out.str(), question + question);
}

TEST(SettingsHierarchy, EndOfInputIsFatal) {
    test::Parts p;
    p.data = MakeData();
    p.session.optmain = 'H';
    test::TestConsole t("0\nk\n1 1 2");
    const FixedClock clock;
    EXPECT_EQ(test::FatalOf([&] { SettingsHierarchy(p.Analysis(t.con, clock)); }), FatalCode::EndOfFile);
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
