#include "analysis/Settings.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <string_view>

#include <sys/resource.h>
#include <unistd.h>

#include "QMLib/Belonging.hpp"
#include "base/Fmt.hpp"
#include "base/Heading.hpp"
#include "base/Prompts.hpp"
#include "base/SeedPrompt.hpp"
#include "stattests/PermTest.hpp"

namespace kolvar {

namespace {

constexpr int kEof = std::char_traits<char>::eof();

void MacroLineBreak(Console& con) {
    if (con.macroMode() && con.outm) *con.outm << '\n';
}

// The vectors come sized from the data-set loader; a hand-made or partial data
// set must not make the dialogue write past their ends.
template <class T>
void EnsureSize(std::vector<T>& v, int n) {
    if (n > 0 && v.size() < static_cast<std::size_t>(n)) v.resize(static_cast<std::size_t>(n));
}

bool NoneSelected(const std::vector<int>& flags, int n) {
    for (int i = 0; i < n; ++i)
        if (flags[i] == 1) return false;
    return n > 0;
}

// One 0/1 answer per item, then the macro line break.
void ReadFlags(Console& con, int n, std::vector<int>& flags) {
    for (int i = 0; i < n; ++i) flags[i] = ReadIntIn(con, "%d\t", "0 1");
    MacroLineBreak(con);
}

void PrintLabels(Console& con, const std::vector<std::string>& labels, int n) {
    for (int i = 0; i < n && i < static_cast<int>(labels.size()); ++i) con.out << labels[i] << ' ';
    con.out << '\n';
}

// An empty selection leaves nothing to analyse (and an empty range for the
// trait subset sizes), so the list is asked again.
void RejectEmptySelection(Console& con, const char* what) {
    con.err << '\a' << "\nNo " << what << " selected. Reenter.\n";
}

enum class ListStatus { Complete, Short, OutOfRange };

// n integers read as "%d" does, dropping characters that cannot start a number.
// A number beyond the int range stops the reading rather than wrapping; so does
// the end of the file, since a partial list would silently mix old and new labels.
ListStatus ScanIntList(Console& con, std::istream& fp, const std::string& name, int n, std::vector<int>& values) {
    values.assign(static_cast<std::size_t>(std::max(n, 0)), 0);
    for (int k = 0; k < n; ++k) {
        for (;;) {
            while (fp.peek() != kEof && std::isspace(static_cast<unsigned char>(fp.peek()))) fp.get();
            std::string text;
            if (fp.peek() == '+' || fp.peek() == '-') text.push_back(static_cast<char>(fp.get()));
            bool digits = false;
            while (fp.peek() != kEof && std::isdigit(static_cast<unsigned char>(fp.peek()))) {
                text.push_back(static_cast<char>(fp.get()));
                digits = true;
            }
            if (digits) {
                errno = 0;
                const long long v = std::strtoll(text.c_str(), nullptr, 10);
                if (errno == ERANGE || v < INT_MIN || v > INT_MAX) {
                    con.err << '\a' << "\nIncorrect input = " << text << " in file " << name << ". Reenter.\n"
                            << "Accepted input: integers from -2147483648 to 2147483647\n";
                    return ListStatus::OutOfRange;
                }
                values[k] = static_cast<int>(v);
                break;
            }
            // A lone sign was the character dropped; otherwise drop one.
            if (text.empty() && fp.get() == kEof) {
                con.err << "\nEnd of file " << name << '\n' << '\a';
                con.err << Fmt("\nFile %s holds %d of the %d values needed. Reenter.\n", name.c_str(), k, n);
                return ListStatus::Short;
            }
        }
    }
    return ListStatus::Complete;
}

struct MembershipTexts {
    const char* question;
    const char* filePrompt;
    const char* keyboardHead;
    const char* otuHead;
    const char* groupsHead;
};

constexpr MembershipTexts kGroupTexts{
    "Read group memberships from file (f) or from the keyboard (k)? f/k ",
    "Enter name of file containing group memberships: ", "Enter the group of each OTU:\n", "OTU:    ",
    "\nGroups: "};
constexpr MembershipTexts kNestingTexts{
    "Read nesting group memberships from file (f) or from the keyboard (k)? f/k ",
    "Enter name of file containing nesting group memberships: ", "Enter the nesting group of each OTU:\n",
    "OTU:            ", "\nNesting groups: "};

// Group label of each of n OTUs, from a file or typed; a file that cannot be
// opened or does not hold n integers brings the file/keyboard question back.
void ReadMemberships(Console& con, const MembershipTexts& t, int n, std::vector<int>& dest) {
    for (;;) {
        con.out << t.question;
        if (ReadCharIn(con, "f k") == 'f') {
            con.out << t.filePrompt;
            std::string name;
            ReadStringIn(con, "%99s", name);
            auto fp = fopenck(con, name, "", "r");
            if (!fp) continue;
            std::vector<int> values;
            if (ScanIntList(con, *fp, name, n, values) != ListStatus::Complete) continue;
            std::copy(values.begin(), values.end(), dest.begin());
            return;
        }
        con.out << t.keyboardHead << t.otuHead;
        for (int i = 1; i <= n; ++i) con.out << '\t' << i;
        con.out << t.groupsHead;
        for (int i = 0; i < n; ++i) dest[i] = ReadIntIn(con, "%d\t", "");
        return;
    }
}

bool IsOneOf(int v, std::initializer_list<int> list) {
    for (int x : list)
        if (v == x) return true;
    return false;
}

void AskCongruenceStatistic(const AnalysisState& p, const DataSet& d) {
    FunctionalSettings& fa = p.fa;
    Console& con = p.con;
    const int optmain = p.session.optmain;
    fa.optRndTests = true;
    for (;;) {
        con.out << "\nMeasuring congruence using\n"
                << "  1 matrix correlation (Mantel or Rd " << kCiteRd << ")\n"
                << "  2 Procrustes (traceW, cannot be used if matrix E contains nominal variables)\n"
                << "  3 RV coefficient (" << kCiteRV
                << ", cannot be used if matrix E contains nominal variables)\n";
        if (fa.optRndTests)
            con.out << "  4 linear regression (cannot be used if matrix E contains nominal variables)\n"
                    << "  5 analysis of variance (cannot be used if matrix E defining groups contains quantitative "
                       "variables) \n";
        con.out << "Type option no.: ";
        fa.opt_ro = ReadIntIn(con, "%d\n", "1 2 3 4 5 ");
        bool again = false;
        if (optmain == 'H') {
            again = (IsOneOf(fa.opt_ro, {2, 3, 4}) && d.temEnvQual == 1) || (fa.opt_ro == 5 && d.temEnvQuant == 1) ||
                    (IsOneOf(fa.opt_ro, {4, 5}) && !fa.optRndTests);
        } else if (optmain == 'K') {
            again = IsOneOf(fa.opt_ro, {2, 3}) && d.temEnvQual == 1 && IsOneOf(fa.opt_struct, {1, 9, 10, 16, 17});
        }
        if (!again) return;
    }
}

void AskCommunityResemblance(const AnalysisState& p) {
    FunctionalSettings& fa = p.fa;
    Console& con = p.con;
    fa.squareDistMatrixOpt = false;
    if (fa.opt_ro != 1 && fa.opt_ro != 5) return;
    fa.whichObj = 'r';
    if (!(p.session.optmain == 'K' && IsOneOf(fa.opt_struct, {10, 16}))) {
        con.out << "\nSpecify resemblance function between communities:";
        SettingsRese(con, fa, p.hier);
    }
    if (fa.opt_ro == 1) {
        con.out << "Compute Mantel (m) or Rd (" << kCiteRd << ") matrix correlation (r)? m/r ";
        fa.opt_MatrixCorr = ReadCharIn(con, "m r");
        if (fa.opt_MatrixCorr == 'r') {
            con.out << "Use squared distances for matrix correlation so that the Rd will be equivalent to the RV "
                       "coefficient? y/n ";
            fa.squareDistMatrixOpt = ReadCharIn(con, "y n") == 'y';
        }
    }
}

void AskCommunities(const AnalysisState& p, DataSet& d) {
    Console& con = p.con;
    for (int i = 0; i < d.ncsm; ++i) d.relSelect[i] = 1;
    if (p.fa.opt_ro != 5) return;
    con.out << "\nCommunities to be used in analysis of variance:\n"
            << "   1  all \n"
            << "   2  select a subset \n"
            << "Type option no.: ";
    if (ReadIntIn(con, "%d\n", "1 2") != 2) return;
    for (;;) {
        con.out << "Select communities:\n"
                << "(enter 0 for exclusion or 1 for inclusion)\n";
        PrintLabels(con, d.reLabel, d.ncsm);
        ReadFlags(con, d.ncsm, d.relSelect);
        if (!NoneSelected(d.relSelect, d.ncsm)) return;
        RejectEmptySelection(con, "community");
    }
}

void AskVariables(const AnalysisState& p, DataSet& d) {
    Console& con = p.con;
    if (p.session.optmain == 'A' || d.nenv < 1) return;
    if (p.fa.opt_ro == 5) {
        con.out << "Select the variable to be used to define groups:\n"
                << "(enter 0 for exclusion or 1 for inclusion)\n";
        PrintLabels(con, d.envLabel, d.nenv);
        ReadFlags(con, d.nenv, d.eVarSelect);
        return;
    }
    con.out << "\nVariables in matrix E to be considered in the analysis:\n"
            << "   1  all variables \n"
            << "   2  select variables \n"
            << "Type option no.: ";
    if (ReadIntIn(con, "%d\n", "1 2") == 1) {
        for (int i = 0; i < d.nenv; ++i) d.eVarSelect[i] = 1;
        return;
    }
    con.out << "Select variables:\n"
            << "(enter 0 for exclusion or 1 for inclusion)\n";
    PrintLabels(con, d.envLabel, d.nenv);
    ReadFlags(con, d.nenv, d.eVarSelect);
}

void AskTraits(const AnalysisState& p, DataSet& d, std::vector<int>& selected) {
    Console& con = p.con;
    con.out << "\nTraits in matrix B to be used in the analysis:\n"
            << "   1  all traits \n"
            << "   2  select traits \n"
            << "Type option no.: ";
    if (ReadIntIn(con, "%d\n", "1 2") == 2) {
        for (;;) {
            con.out << "Select traits:\n"
                    << "(enter 0 for exclusion or 1 for inclusion)\n";
            PrintLabels(con, d.chLabel, d.nch);
            ReadFlags(con, d.nch, selected);
            if (!NoneSelected(selected, d.nch)) break;
            RejectEmptySelection(con, "trait");
        }
    } else {
        std::fill(selected.begin(), selected.end(), 1);
    }
    for (int j = 0; j < d.nch; ++j) d.weight[j] = selected[j] == 1 ? 1.0 : 0.0;
}

// Each group's selected traits share a total weight of 1.
void AskTraitGroupWeights(const AnalysisState& p, DataSet& d, const std::vector<int>& selected, std::vector<int>& groupLabels,
                          std::vector<int>& groupCounts) {
    if (!d.hasTraitGroups) return;
    Console& con = p.con;
    con.out << "Set weights for traits inversely proportional to effective trait group sizes? y/n ";
    if (ReadCharIn(con, "y n") != 'y') return;
    EnsureSize(d.traitGroups, d.nch);
    int nGroups = 0;
    CountGroupsSelect(d.nch, d.traitGroups.data(), selected.data(), nGroups, groupLabels.data());
    for (int g = 0; g < nGroups; ++g) {
        groupCounts[g] = 0;
        for (int j = 0; j < d.nch; ++j) groupCounts[g] += selected[j] == 1 && d.traitGroups[j] == groupLabels[g];
        for (int j = 0; j < d.nch; ++j)
            if (d.traitGroups[j] == groupLabels[g]) d.weight[j] /= groupCounts[g];
    }
}

void AskTraitCombinations(const AnalysisState& p, const DataSet& d) {
    if (p.session.optmain == 'A') return;
    FunctionalSettings& fa = p.fa;
    Console& con = p.con;
    con.out << "Perform the analysis of different trait combinations? y/n ";
    fa.doTraitCombOpt = ReadCharIn(con, "y n") == 'y';
    if (!fa.doTraitCombOpt) {
        fa.nMinTraitsChRank = fa.nMaxTraitsChRank = d.nch;
        return;
    }
    int m = 0;
    for (int j = 0; j < d.nch; ++j) m += d.weight[j] > 0.0;
    con.out << Fmt("Minimum number of traits in the trait subset (minimum: 1, maximum: %d): ", m);
    fa.nMinTraitsChRank = ReadIntIn(con, "%d\n", "-", 1, m);
    con.out << Fmt("Maximum number of traits in the trait subset (minimum: %d, maximum: %d): ", fa.nMinTraitsChRank,
                   m);
    fa.nMaxTraitsChRank = ReadIntIn(con, "%d\n", "-", fa.nMinTraitsChRank, m);
}

void AskOTUs(const AnalysisState& p, DataSet& d) {
    FunctionalSettings& fa = p.fa;
    Console& con = p.con;
    fa.restrictRaoWithinOpt = false;
    fa.keepAdditivity = true;
    if (p.session.optmain != 'K') {
        con.out << "\nOTUs in matrix B to be used in the analysis (useful for partitioning community structure):\n"
                << "   1  all OTUs \n"
                << "   2  select OTUs \n"
                << "Type option no.: ";
        if (ReadIntIn(con, "%d\n", "1 2") == 2) {
            for (;;) {
                con.out << Fmt("Enter 0 for exclusion or 1 for inclusion for %d OTUs\n", d.tcst);
                for (int i = 0; i < d.tcst; ++i) d.weight_OTUs[i] = ReadIntIn(con, "%d\t", "0 1");
                if (!NoneSelected(d.weight_OTUs, d.tcst)) break;
                RejectEmptySelection(con, "OTU");
            }
            con.out << "Restrict fuzzy-weighting and diversity measures to within subset of selected OTUs? y/n ";
            fa.restrictRaoWithinOpt = ReadCharIn(con, "y n") == 'y';
            con.out << "Despite excluding OTUs, keep the original scale in community weighted means and diversity "
                       "measures? y/n ";
            fa.keepAdditivity = ReadCharIn(con, "y n") != 'y';
            return;
        }
    }
    for (int i = 0; i < d.tcst; ++i) d.weight_OTUs[i] = 1;
}

void AskTestSettings(const AnalysisState& p, const DataSet& d) {
    FunctionalSettings& fa = p.fa;
    Console& con = p.con;
    fa.optRndTests = true;
    fa.doBootstrapOpt = false;
    con.out << "Enter number of iterations in permutation tests of final statistics: ";
    // Below 3 permutations the test has no effect size and no quantiles.
    fa.niter = ReadPermutationCount(con, AvailableMemoryBytes());
    fa.optWeightedNullModel = 0;
    con.out << "Null model based on taxa (t) shuffle, which is recommended, or site (s) suffle? t/s ";
    fa.optTaxaSiteShuffle = ReadCharIn(con, "t s");
    // A restriction left over from an earlier analysis would point at released groups.
    fa.optRestrictPermutNullModel = 0;
    fa.nestingMembershipOTUs.clear();
    if (fa.optTaxaSiteShuffle != 't') return;
    con.out << "OTU permutation restrictions: \n\t(0) none\n\t(1) permutations restricted within groups of OTUs to "
               "be specified\n\t\tEnter option: ";
    fa.optRestrictPermutNullModel = ReadIntIn(con, "%d\n", "0 1");
    if (fa.optRestrictPermutNullModel == 1) {
        fa.nestingMembershipOTUs.assign(static_cast<std::size_t>(d.tcst), 0);
        con.out << "Specify the nesting criterion (for each OTU, enter the group to which it belongs):\n";
        ReadMemberships(con, kNestingTexts, d.tcst, fa.nestingMembershipOTUs);
    }
    if (fa.opt_ro == 5) {
        fa.doBootstrapOpt = false;
    } else {
        con.out << "Bootstrap resampling of communities: y/n ";
        fa.doBootstrapOpt = ReadCharIn(con, "y n") == 'y';
    }
}

void AskSeed(const AnalysisState& p) { AskRandomSeed(p.con, p.clock, p.fa.seedOpt, p.fa.rseed); }

void AskOutput(const AnalysisState& p) {
    FunctionalSettings& fa = p.fa;
    Console& con = p.con;
    con.out << "\nShow detailed results of the functional analysis y/n ";
    fa.printDetail = ReadCharIn(con, "y n") == 'y';
    fa.printIntermPermResults = false;
    if (p.opt.saveRndData == 'y') {
        con.out << "\nKOLVAR preferences are set to show intermediate results of permutation tests, which are "
                   "recommended only for small data sets or small number of permutations.";
        con.out << "\nAre you sure? y/n ";
        fa.printIntermPermResults = ReadCharIn(con, "y n") == 'y';
    }
    GetPrindaMode(con, p.session.volumeName, p.session.whichPrinda, fa.prindaMode);
}

}  // namespace

void SettingsHierarchy(const AnalysisState& p) {
    DataSet& d = p.data;
    FunctionalSettings& fa = p.fa;
    HierarchySettings& hier = p.hier;
    Console& con = p.con;
    const int optmain = p.session.optmain;

    EnsureSize(d.partition_OTUs, d.tcst);
    EnsureSize(d.weight_OTUs, d.tcst);
    EnsureSize(d.relSelect, d.ncsm);
    EnsureSize(d.eVarSelect, d.nenv);
    EnsureSize(d.weight, d.nch);
    EnsureSize(d.nchor, d.nch);
    EnsureSize(d.nGrPoly, d.nch);

    const auto nch = static_cast<std::size_t>(std::max(d.nch, 0));
    std::vector<int> selected(nch, 0), groupCounts(nch, 0), groupLabels(nch, 0);
    fa.optWeightedNullModel = 0;
    Menu(p.con, p.session, "FUNCTIONAL ANALYSIS SETTINGS");

    // Data partition.
    hier.partOpt = 0;
    if (optmain != 'K') {
        con.out << "Data partition type (" << kCitePartitioning << "):\n"
                << "   0  perform no partition (use mixed data)\n"
                << "   1  use quantitative component\n"
                << "   2  use qualitative component\n"
                << "Type option no.: ";
        hier.partOpt = ReadIntIn(con, "%d\n", "0 1 2");
    }

    con.out << "\nTrait-based scaling-up from population to communities:";
    hier.traitBasedOpt = 1;
    hier.poolCSTopt = 2;
    hier.clusMethPoolCSTs = 0;
    con.out << "\nThe partition of OTUs into types should be specified.\n";
    fa.OTUsTypesAreSpecies = false;

    if (d.nSpp > 0) {
        con.out << "Wish to use as OTUs types the species specified in the session's formatted file? y/n ";
        if (ReadCharIn(con, "y n") == 'y') {
            fa.OTUsTypesAreSpecies = true;
            for (int i = 0; i < d.tcst && i < static_cast<int>(d.cstSppMap.rows()); ++i)
                for (int j = 0; j < d.nSpp && j < static_cast<int>(d.cstSppMap.cols()); ++j)
                    if (d.cstSppMap[i][j] == '1') d.partition_OTUs[i] = j + 1;
        }
    }

    if (optmain != 'A' && !fa.OTUsTypesAreSpecies)
        ReadMemberships(con, kGroupTexts, d.tcst, d.partition_OTUs);

    int nTypes = 0;
    CountGroupsNew(d.tcst, d.partition_OTUs.data(), nTypes);
    if (!d.nGrPoly.empty()) d.nGrPoly[0] = nTypes;
    hier.reseCstOpt = 1;

    con.out << "\nFuzzy set adjustment:\n"
            << "   0  no adjustment (crisp belonging of OTUs to types)\n"
            << "   1  fuzzy types (fuzzy belonging of OTUs to types)\n"
            << "Type option no.: ";
    if (ReadIntIn(con, "%d\n", "0 1") == 1) {
        hier.fuzzy = 3;
        hier.fuzziness = 1.0;
    } else {
        hier.fuzzy = 0;
    }

    AskCongruenceStatistic(p, d);
    AskCommunityResemblance(p);
    AskCommunities(p, d);
    AskVariables(p, d);
    AskTraits(p, d, selected);
    AskTraitGroupWeights(p, d, selected, groupLabels, groupCounts);
    AskTraitCombinations(p, d);
    AskOTUs(p, d);

    con.out << "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ";
    fa.optUnitTotalAdjust2 = ReadCharIn(con, "y n") == 'y';

    // A phylogeny flag left by an earlier ranking must not outlive the data set
    // it was meant for: the functional analysis uses the phylogeny exactly when
    // the data set has one.
    if (optmain == 'H') fa.includePhylogeny = d.hasPhylogeny;
    if (d.hasPhylogeny) fa.includePhylogeny = true;
    if (fa.includePhylogeny) {
        fa.partition_OTUs_Phyl.assign(d.partition_OTUs.begin(), d.partition_OTUs.begin() + std::max(d.tcst, 0));
        CountGroupsNew(d.tcst, fa.partition_OTUs_Phyl.data(), fa.nTaxa);
        fa.fuzzyPhyl = 1;
    }

    if (optmain != 'K') AskTestSettings(p, d);
    if (optmain != 'K' && optmain != 'A') AskSeed(p);

    hier.isHierarchical = 0;
    for (int j = 0; j < d.nch; ++j) d.nchor[j] = j + 1;
    for (int j = 1; j < d.nch; ++j) d.nGrPoly[j] = 2;
    fa.optCoVariable = 0;
    if (optmain == 'K') return;

    AskOutput(p);
}

void SettingsRese(Console& con, const FunctionalSettings& fa, HierarchySettings& hier) {
    if (fa.whichObj == 'r') SettingReseFunction(con, hier.rese_opt);
}

int SettingReseFunction(Console& con, int& option) {
    con.out << "\nResemblance function option:\n"
            << "\t6   Euclidean distance\n"
            << "\t10  chord distance\n"
            << "Type option no.: ";
    option = ReadIntIn(con, "%d\n", "6 7 8 9 10");
    return option;
}

std::uint64_t AvailableMemoryBytes() {
    std::uint64_t bytes = 0;
    std::ifstream meminfo("/proc/meminfo");
    for (std::string key; meminfo >> key;) {
        std::uint64_t kb = 0;
        if (key == "MemAvailable:" && meminfo >> kb) {
            bytes = kb * 1024;
            break;
        }
        meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    if (bytes == 0) {
        const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
        if (pages > 0 && size > 0) bytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
    }
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        bytes = std::min<std::uint64_t>(bytes, limit.rlim_cur);
    return bytes;
}

int MostPermutationIterations(std::uint64_t memoryBytes) {
    constexpr std::uint64_t kBytesPerColumn = 2 * kNumTestedStats * sizeof(double);
    constexpr std::uint64_t kExtraColumns = 8;
    constexpr std::uint64_t kMost = static_cast<std::uint64_t>(INT_MAX) - kExtraColumns;
    const std::uint64_t columns = memoryBytes / kBytesPerColumn;
    if (columns <= kExtraColumns) return 3;
    return static_cast<int>(std::min(columns - kExtraColumns, kMost));
}

int ReadPermutationCount(Console& con, std::uint64_t memoryBytes) {
    const int most = MostPermutationIterations(memoryBytes);
    for (;;) {
        const int niter = ReadIntIn(con, "%d\n", "-", 3, 2147483647.0);
        if (niter <= most) return niter;
        con.err << '\a' << Fmt("\nIncorrect input = %d. Reenter.\n", niter)
                << Fmt("Accepted input: 3 to %d (the work areas of more iterations do not fit in this machine's "
                       "memory)\n",
                       most);
    }
}

void GetPrindaMode(Console& con, const std::string& volumeName, const std::string& fileName,
                   std::string& prindaMode) {
    const std::ifstream existing(volumeName + fileName);
    if (!existing.is_open()) {
        prindaMode = "w";
        return;
    }
    if (con.runMacro) {
        prindaMode = "a";
        return;
    }
    con.out << Fmt("\nThis session has a previous %s file.\n", fileName.c_str()) << "Options:\n"
            << "   w  erase file and create a new one\n"
            << "   a  append results to same file\n"
            << "Type option: ";
    prindaMode = ReadCharIn(con, "w a") == 'w' ? "w" : "a";
}

}  // namespace kolvar
