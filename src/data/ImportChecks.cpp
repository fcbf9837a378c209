// State counts, ranges, species maps and the clean-up after a subset or merge.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "QMLib/qmlibDim.hpp"
#include "data/Import.hpp"

namespace kolvar {

namespace {

constexpr double kAbsentLimit = 1e-13;  // a composition value at most this (in absolute value) is absence
constexpr std::size_t kSpeciesNameCut = 65;  // room for a 4-character code and a blank within 70

// strncmp(a, b, 4) on C strings: the texts end at their length.
bool SameFirstFour(const std::string& a, const std::string& b) {
    for (std::size_t k = 0; k < 4; ++k) {
        const char ca = k < a.size() ? a[k] : '\0';
        const char cb = k < b.size() ? b[k] : '\0';
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
    return true;
}

// Keeps the species marked in keep (in order) and, through `into`, adds each
// removed species' OTU memberships and community presences to the species it
// is merged into (into[t] == t for kept species). One pass over both maps.
void CompactSpecies(DataSet& d, const std::vector<int>& into) {
    const std::size_t nSpp = static_cast<std::size_t>(d.nSpp);
    std::vector<int> newIndex(nSpp, -1);
    int kept = 0;
    for (std::size_t t = 0; t < nSpp; ++t)
        if (into[t] == static_cast<int>(t)) newIndex[t] = kept++;
    if (kept == d.nSpp) return;
    const std::size_t ncsm = d.sppRelMap.cols();
    const std::size_t nOTU = d.cstSppMap.rows();
    Matrix<char> rel(static_cast<std::size_t>(kept), ncsm);
    rel.fill('0');
    Matrix<char> cst(nOTU, static_cast<std::size_t>(kept));
    cst.fill('0');
    std::vector<std::string> names(static_cast<std::size_t>(kept));
    std::vector<int> target(nSpp, -1);
    for (std::size_t t = 0; t < nSpp; ++t) {
        target[t] = into[t] < 0 ? -1 : newIndex[static_cast<std::size_t>(into[t])];
        if (target[t] < 0) continue;  // dropped without a successor
        if (into[t] == static_cast<int>(t)) names[static_cast<std::size_t>(target[t])] = std::move(d.spp[t]);
        if (t < d.sppRelMap.rows())
            for (std::size_t j = 0; j < ncsm; ++j)
                if (d.sppRelMap[t][j] == '1') rel[target[t]][j] = '1';
    }
    for (std::size_t i = 0; i < nOTU; ++i)  // row by row: the map is OTUs x species
        for (std::size_t t = 0; t < nSpp; ++t)
            if (target[t] >= 0 && d.cstSppMap[i][t] == '1') cst[i][target[t]] = '1';
    d.sppRelMap = std::move(rel);
    d.cstSppMap = std::move(cst);
    d.spp = std::move(names);
    d.nSpp = kept;
}

// Keeps the listed rows (in the given order) of a matrix.
template <class T>
Matrix<T> PickRows(const Matrix<T>& m, const std::vector<int>& rows) {
    Matrix<T> out(rows.size(), m.cols());
    for (std::size_t r = 0; r < rows.size(); ++r) std::copy(m[rows[r]].begin(), m[rows[r]].end(), out[r].begin());
    return out;
}

// The species code made by the program: two letters of the name, two of its second word.
std::string MakeSpeciesCode(const std::string& name) {
    std::string code = name.substr(0, std::min<std::size_t>(2, name.size()));
    // The second word starts at the first non-blank preceded by a blank, at
    // position 4 or later (counting from 1).
    for (std::size_t k = 3; k < name.size(); ++k) {
        if (name[k] != ' ' && name[k - 1] == ' ') {
            code += name.substr(k, 2);
            break;
        }
    }
    return code;
}

}  // namespace

void CountStates(int nch, int nOTU, std::vector<int>& onsta, const Matrix<double>& B) {
    onsta.assign(static_cast<std::size_t>(std::max(nch, 0)), 0);
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(std::max(nOTU, 0)));
    for (int k = 0; k < nch; ++k) {
        values.clear();
        for (int i = 0; i < nOTU; ++i)
            if (B[i][k] != kMissing) values.push_back(B[i][k]);
        std::sort(values.begin(), values.end());
        onsta[k] = static_cast<int>(std::unique(values.begin(), values.end()) - values.begin());
    }
}

void RangeStates(int nch, int nOTU, const Matrix<double>& B, const std::vector<int>& chtype,
                 std::vector<double>& chrange) {
    if (chrange.size() < static_cast<std::size_t>(std::max(nch, 0))) chrange.resize(static_cast<std::size_t>(nch));
    for (int k = 0; k < nch; ++k) {
        if (chtype[k] != 3) continue;
        bool any = false;
        double lo = 0.0, hi = 0.0;
        for (int i = 0; i < nOTU; ++i) {
            const double v = B[i][k];
            if (v == kMissing) continue;
            if (!any) {
                lo = hi = v;
                any = true;
            }
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        chrange[k] = any ? hi - lo : 0.0;  // all missing: no spread to measure
    }
}

bool CheckIdenticalLabels(const std::string& code, const std::vector<std::string>& labels, int n) {
    for (int t = 0; t < n && t < static_cast<int>(labels.size()); ++t)
        if (SameFirstFour(code, labels[t])) return true;
    return false;
}

void CheckSpeciesMerge(DataSet& d) {
    // Each species goes into the first species of the same name.
    std::unordered_map<std::string_view, int> first;
    first.reserve(static_cast<std::size_t>(std::max(d.nSpp, 0)));
    std::vector<int> into(static_cast<std::size_t>(std::max(d.nSpp, 0)));
    for (int t = 0; t < d.nSpp; ++t) into[t] = first.emplace(d.spp[t], t).first->second;
    CompactSpecies(d, into);
}

void CheckSpecies(DataSet& d, int labelOption) {
    // One species per distinct name, in order of first occurrence: the map of
    // OTUs to species is built directly, never as OTUs x OTUs.
    d.spp.resize(static_cast<std::size_t>(d.tcst));
    std::unordered_map<std::string, int> index;
    std::vector<int> speciesOf(static_cast<std::size_t>(d.tcst));
    std::vector<std::string> names;
    for (int i = 0; i < d.tcst; ++i) {
        const auto [at, added] = index.emplace(d.spp[i], static_cast<int>(names.size()));
        if (added) names.push_back(d.spp[i]);
        speciesOf[i] = at->second;
    }
    d.spp = std::move(names);
    d.nSpp = static_cast<int>(d.spp.size());
    d.cstSppMap = dim2D<char>(d.tcst, d.nSpp);
    d.cstSppMap.fill('0');
    for (int i = 0; i < d.tcst; ++i) d.cstSppMap[i][speciesOf[i]] = '1';
    d.sppRelMap = dim2D<char>(d.nSpp, d.ncsm);
    d.sppRelMap.fill('0');
    if (labelOption != 2) return;

    for (int s = 0; s < d.nSpp; ++s) {
        std::string code = MakeSpeciesCode(d.spp[s]);
        for (int step = 1; step <= 12 && CheckIdenticalLabels(code, d.spp, s); ++step) {
            const std::size_t k = static_cast<std::size_t>((step - 1) % 4);
            if (k >= code.size()) continue;
            if (step <= 4)
                code[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(code[k])));
            else if (step >= 9)
                code[k] = static_cast<char>(code[k] + 1);
        }
        // Twelve steps were not enough: try the last one to four characters
        // over digits and letters until the code is new.
        if (CheckIdenticalLabels(code, d.spp, s)) {
            static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
            constexpr std::size_t kSize = sizeof kAlphabet - 1;
            while (code.size() < 4) code.push_back('0');
            bool found = false;
            for (std::size_t width = 1; width <= 4 && !found; ++width) {
                std::size_t combos = 1;
                for (std::size_t w = 0; w < width; ++w) combos *= kSize;
                for (std::size_t c = 0; c < combos && !found; ++c) {
                    std::size_t rest = c;
                    for (std::size_t w = 0; w < width; ++w) {
                        code[3 - w] = kAlphabet[rest % kSize];
                        rest /= kSize;
                    }
                    found = !CheckIdenticalLabels(code, d.spp, s);
                }
            }
        }
        d.spp[s] = code + ' ' + d.spp[s].substr(0, kSpeciesNameCut);
    }
}

void SpeciesReleveMap(DataSet& d) {
    d.sppRelMap = dim2D<char>(d.nSpp, d.ncsm);
    d.sppRelMap.fill('0');
    for (int s = 0; s < d.nSpp; ++s)
        for (int i = 0; i < d.tcst; ++i) {
            if (d.cstSppMap[i][s] != '1') continue;
            for (int j = 0; j < d.ncsm; ++j)
                if (d.cadat[i][j] != 0.0) d.sppRelMap[s][j] = '1';
        }
}

void CheckCSTsSameSpecies(DataSet& d) {
    int key = -1;
    for (int k = 0; k < d.nch; ++k)
        if (d.chLabel[k] == "sp") key = k;
    if (key < 0) return;
    for (int i = 0; i < d.tcst; ++i) d.csm_Float[i][key] = i;
    for (int i = 1; i < d.tcst; ++i) {
        bool shared = false;
        for (int j = 0; j < i && !shared; ++j) {
            for (int s = 0; s < d.nSpp && !shared; ++s)
                shared = d.cstSppMap[i][s] == '1' && d.cstSppMap[j][s] == '1';
            if (shared) d.csm_Float[i][key] = d.csm_Float[j][key];
        }
    }
}

void TrimSpecies(DataSet& d, int nOTU) {
    nOTU = std::min(nOTU, static_cast<int>(d.cstSppMap.rows()));
    // Species unused by the first nOTU OTUs, or present in no community, go;
    // both tests look at the species' own row and column, so one pass decides.
    std::vector<char> used(static_cast<std::size_t>(std::max(d.nSpp, 0)), 0);
    for (int i = 0; i < nOTU; ++i)
        for (int s = 0; s < d.nSpp; ++s)
            if (d.cstSppMap[i][s] == '1') used[s] = 1;
    std::vector<int> into(static_cast<std::size_t>(std::max(d.nSpp, 0)));
    for (int s = 0; s < d.nSpp; ++s) {
        bool present = false;
        for (std::size_t j = 0; j < d.sppRelMap.cols() && !present; ++j) present = d.sppRelMap[s][j] == '1';
        into[s] = used[s] && present ? s : -1;
    }
    CompactSpecies(d, into);
    for (int i = 0; i < nOTU; ++i)
        for (int s = 0; s < d.nSpp; ++s) {
            if (d.cstSppMap[i][s] != '1') continue;
            bool together = false;
            for (int j = 0; j < d.ncsm && !together; ++j)
                together = d.cadat[i][j] != 0.0 && d.sppRelMap[s][j] == '1';
            if (!together) d.cstSppMap[i][s] = '0';
        }
}

int CheckData(DataSet& d, int option) {
    // Absent OTUs go; the others keep their order (as after moving each absent
    // one to the end by successive swaps). The phylogeny follows the OTUs so
    // that it still matches them.
    std::vector<int> kept;
    for (int i = 0; i < d.tcst; ++i) {
        bool present = false;
        for (int j = 0; j < d.ncsm && !present; ++j) present = std::fabs(d.cadat[i][j]) > kAbsentLimit;
        if (present) kept.push_back(i);
    }
    if (static_cast<int>(kept.size()) != d.tcst || d.csm_Float.rows() != kept.size()) {
        d.csm_Float = PickRows(d.csm_Float, kept);
        d.cadat = PickRows(d.cadat, kept);
        if (d.nSpp > 0) d.cstSppMap = PickRows(d.cstSppMap, kept);
        if (d.hasPhylogeny && !d.phylogenyRese.empty()) {
            Matrix<double> f(kept.size(), kept.size());
            for (std::size_t a = 0; a < kept.size(); ++a)
                for (std::size_t b = 0; b < kept.size(); ++b) f[a][b] = d.phylogenyRese[kept[a]][kept[b]];
            d.phylogenyRese = std::move(f);
        }
        if (d.hasPhylogeny && !d.phylogenyData.empty()) d.phylogenyData = PickRows(d.phylogenyData, kept);
        d.tcst = static_cast<int>(kept.size());
    }

    if (d.nSpp > 0) {
        CheckSpeciesMerge(d);
        CheckCSTsSameSpecies(d);
    }

    int emptyReleves = 0;
    d.ncst.assign(static_cast<std::size_t>(d.ncsm), 0);
    for (int j = 0; j < d.ncsm; ++j) {
        for (int i = 0; i < d.tcst; ++i)
            if (d.cadat[i][j] != 0.0) ++d.ncst[j];
        if (d.ncst[j] == 0) ++emptyReleves;
    }

    if (option == 1) CountStates(d.nch, d.tcst, d.onsta, d.csm_Float);
    if (std::find(d.chtype.begin(), d.chtype.end(), 3) != d.chtype.end())
        RangeStates(d.nch, d.tcst, d.csm_Float, d.chtype, d.chrange);
    if (d.nSpp > 0) TrimSpecies(d, d.tcst);
    return emptyReleves;
}

}  // namespace kolvar
