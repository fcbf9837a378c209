// Data sets derived from other sessions' data: subsets, pooled groups,
// paired changes, moving windows and merges.

#include "data/DataSetMenu.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "QMLib/qmlibDim.hpp"
#include "data/Groups.hpp"
#include "data/Formda.hpp"
#include "data/Import.hpp"
#include "base/Heading.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

int ReadOption(Console& con, const char* accepted) {
    con.out << "Type option no.: ";
    return ReadIntIn(con, "%d\n", accepted);
}

std::vector<int> Identity(int n) {
    std::vector<int> v(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) v[i] = i + 1;
    return v;
}

// Positions (0-based) of the named labels in the source table, in the order
// named; asked again until every label is known.
std::vector<int> PickByLabels(Console& con, int n, const std::vector<std::string>& source, const char* prompt,
                              const char* what, const char* error = "Error!! Enter again. \n") {
    std::vector<std::string> named;
    std::vector<int> picked;
    for (;;) {
        con.out << prompt;
        ReadLongInput(con, n, static_cast<std::size_t>(kLabelLen), named, what);
        picked.clear();
        for (const auto& l : named) {
            const auto at = std::find(source.begin(), source.end(), l);
            if (at == source.end()) break;
            picked.push_back(static_cast<int>(at - source.begin()));
        }
        if (static_cast<int>(picked.size()) == n) return picked;
        con.err << error;
    }
}

bool KeepOrModify(Console& con, const char* heading) {
    con.out << heading << "   1  keep the same \n" << "   2  modify \n";
    return ReadOption(con, "1 2") == 2;
}

// Environmental kinds after a selection of variables of a mixed set; ordinal
// variables count as quantitative, as at import.
void RetypeMixed(DataSet& d) {
    d.temEnvBin = d.temEnvQual = d.temEnvQuant = 0;
    for (int t : d.envVarType) {
        if (t == 1) d.temEnvBin = 1;
        if (t == 2) d.temEnvQual = 1;
        if (t == 3 || t == 4) d.temEnvQuant = 1;
    }
    if (d.temEnvBin + d.temEnvQual + d.temEnvQuant < 2)
        d.optEnvVarType = d.temEnvQual ? 3 : d.temEnvQuant ? 2 : 4;
}

struct Selection {
    std::vector<int> traits, otus, communities, variables;  // 0-based, in the order chosen
};

// The subset of src named by sel, with labels, types, maps and phylogeny following.
DataSet BuildSubset(const DataSet& src, const Selection& sel) {
    DataSet d;
    d.nch = static_cast<int>(sel.traits.size());
    d.tcst = static_cast<int>(sel.otus.size());
    d.ncsm = static_cast<int>(sel.communities.size());
    d.nenv = src.nenv > 0 ? static_cast<int>(sel.variables.size()) : 0;
    for (int k : sel.traits) {
        d.chLabel.push_back(src.chLabel[k]);
        d.chtype.push_back(src.chtype[k]);
        d.chrange.push_back(k < static_cast<int>(src.chrange.size()) ? src.chrange[k] : 0.0);
        d.onsta.push_back(src.onsta[k]);
        d.traitGroups.push_back(k < static_cast<int>(src.traitGroups.size()) ? src.traitGroups[k] : 0);
    }
    d.hasTraitGroups = src.hasTraitGroups;
    d.csm_Float = dim2D<double>(d.tcst, d.nch);
    d.cadat = dim2D<double>(d.tcst, d.ncsm);
    for (int i = 0; i < d.tcst; ++i) {
        for (int k = 0; k < d.nch; ++k) d.csm_Float[i][k] = src.csm_Float[sel.otus[i]][sel.traits[k]];
        for (int j = 0; j < d.ncsm; ++j) d.cadat[i][j] = src.cadat[sel.otus[i]][sel.communities[j]];
    }
    for (int j : sel.communities) d.reLabel.push_back(src.reLabel[j]);
    d.ncst.assign(static_cast<std::size_t>(d.ncsm), 0);

    if (d.nenv > 0) {
        d.optEnvVarType = src.optEnvVarType;
        d.envName = src.envName;
        d.temEnvBin = src.temEnvBin;
        d.temEnvQual = src.temEnvQual;
        d.temEnvQuant = src.temEnvQuant;
        for (int k : sel.variables) {
            d.envLabel.push_back(src.envLabel[k]);
            d.envVarType.push_back(src.envVarType[k]);
        }
        d.env = dim2D<double>(d.ncsm, d.nenv);
        for (int j = 0; j < d.ncsm; ++j)
            for (int k = 0; k < d.nenv; ++k) d.env[j][k] = src.env[sel.communities[j]][sel.variables[k]];
    }

    d.nSpp = src.nSpp;
    if (d.nSpp > 0) {
        d.whichSpp = src.whichSpp;
        d.spp = src.spp;
        d.sppRelMap = dim2D<char>(d.nSpp, d.ncsm);
        for (int s = 0; s < d.nSpp; ++s)
            for (int j = 0; j < d.ncsm; ++j) d.sppRelMap[s][j] = src.sppRelMap[s][sel.communities[j]];
        d.cstSppMap = dim2D<char>(d.tcst, d.nSpp);
        for (int i = 0; i < d.tcst; ++i)
            for (int s = 0; s < d.nSpp; ++s) d.cstSppMap[i][s] = src.cstSppMap[sel.otus[i]][s];
    }

    // The phylogeny describes OTUs: it follows the OTUs chosen.
    d.hasPhylogeny = src.hasPhylogeny;
    d.phylogenyMatrixType = src.phylogenyMatrixType;
    if (d.hasPhylogeny && (d.phylogenyMatrixType == 1 || d.phylogenyMatrixType == 3)) {
        d.phylogenyRese = dim2D<double>(d.tcst, d.tcst);
        for (int a = 0; a < d.tcst; ++a)
            for (int b = 0; b < d.tcst; ++b) d.phylogenyRese[a][b] = src.phylogenyRese[sel.otus[a]][sel.otus[b]];
    } else if (d.hasPhylogeny && d.phylogenyMatrixType == 2) {
        d.nClados = src.nClados;
        d.phylogenyVarType = src.phylogenyVarType;
        d.phylogenyData = dim2D<double>(d.tcst, d.nClados);
        for (int a = 0; a < d.tcst; ++a)
            for (int c = 0; c < d.nClados; ++c) d.phylogenyData[a][c] = src.phylogenyData[sel.otus[a]][c];
    }
    d.ca_code = src.ca_code;
    d.SMWSize = src.SMWSize;
    return d;
}

Matrix<double> Transpose(const Matrix<double>& m) {
    Matrix<double> t(m.cols(), m.rows());
    for (std::size_t i = 0; i < m.rows(); ++i)
        for (std::size_t j = 0; j < m.cols(); ++j) t[j][i] = m[i][j];
    return t;
}

// Presence of each species in new community t: present in any of the old
// communities that member(t, j) says make it up.
template <class Member>
void RebuildSpeciesPresence(DataSet& d, int newCount, Member member) {
    if (d.nSpp <= 0) return;
    Matrix<char> rel(static_cast<std::size_t>(d.nSpp), static_cast<std::size_t>(newCount));
    rel.fill('0');
    for (int s = 0; s < d.nSpp; ++s)
        for (int t = 0; t < newCount; ++t)
            for (int j = 0; j < d.ncsm; ++j)
                if (member(t, j) && d.sppRelMap[s][j] == '1') rel[s][t] = '1';
    d.sppRelMap = std::move(rel);
}

void CountOTUsPerCommunity(DataSet& d, bool positiveOnly) {
    d.ncst.assign(static_cast<std::size_t>(d.ncsm), 0);
    for (int j = 0; j < d.ncsm; ++j)
        for (int i = 0; i < d.tcst; ++i)
            if (positiveOnly ? d.cadat[i][j] > 0.0 : d.cadat[i][j] != 0.0) ++d.ncst[j];
}

void PoolByGroups(DataSet& d, int nGroups, const std::vector<int>& groupRel, const std::vector<std::string>& grLabel) {
    Matrix<double> w(static_cast<std::size_t>(d.tcst), static_cast<std::size_t>(nGroups));
    ConcentrateGroups(d.tcst, d.ncsm, d.cadat, w, d.tcst, Identity(d.tcst), nGroups, groupRel, 2);
    if (d.nenv > 0) {
        Matrix<double> e(static_cast<std::size_t>(nGroups), static_cast<std::size_t>(d.nenv));
        ConcentrateGroups(d.ncsm, d.nenv, d.env, e, nGroups, groupRel, d.nenv, Identity(d.nenv), 2);
        d.env = std::move(e);
        // Averaged binary variables are proportions.
        for (int& t : d.envVarType)
            if (t == 1) t = 3;
        if (d.temEnvBin) {
            d.temEnvBin = 0;
            d.temEnvQuant = 1;
            if (d.optEnvVarType == 4) d.optEnvVarType = 2;
            if (d.optEnvVarType == 5) RetypeMixed(d);
        }
    }
    RebuildSpeciesPresence(d, nGroups, [&](int t, int j) { return groupRel[j] == t + 1; });
    d.cadat = std::move(w);
    d.reLabel = grLabel;
    d.ncsm = nGroups;
    CountOTUsPerCommunity(d, true);
}

void ChangeByPairs(DataSet& d, int nGroups, const std::vector<int>& groupRel, const std::vector<std::string>& labels) {
    Matrix<double> w(static_cast<std::size_t>(d.tcst), static_cast<std::size_t>(nGroups));
    ReleveChange(d.ncsm, d.cadat, w, d.tcst, nGroups, groupRel);
    if (d.nenv > 0) {
        const Matrix<double> et = Transpose(d.env);
        Matrix<double> ct(static_cast<std::size_t>(d.nenv), static_cast<std::size_t>(nGroups));
        ReleveChange(d.ncsm, et, ct, d.nenv, nGroups, groupRel);
        d.env = Transpose(ct);
        for (int k = 0; k < d.nenv; ++k) {
            if (d.envVarType[k] != 2) continue;
            d.envVarType[k] = 1;
            for (int g = 0; g < nGroups; ++g)
                if (d.env[g][k] != kMissing) d.env[g][k] = d.env[g][k] != 0.0 ? 1.0 : 0.0;
        }
        if (d.temEnvQual) {
            d.temEnvQual = 0;
            d.temEnvBin = 1;
            if (d.optEnvVarType == 3) d.optEnvVarType = 4;
            if (d.optEnvVarType == 5) RetypeMixed(d);
        }
    }
    RebuildSpeciesPresence(d, nGroups, [&](int t, int j) { return groupRel[j] == t + 1; });
    d.cadat = std::move(w);
    d.reLabel = labels;
    d.ncsm = nGroups;
    CountOTUsPerCommunity(d, false);
}

void MovingWindow(Console& con, DataSet& d, int w) {
    int count = 0;
    Matrix<double> y(static_cast<std::size_t>(d.tcst), static_cast<std::size_t>(std::max(d.ncsm - w + 1, 0)));
    SplitMovingWinPool(d.tcst, d.ncsm, d.cadat, y, w, count, false);
    if (d.nenv > 0) {
        int rows = 0;
        Matrix<double> e(static_cast<std::size_t>(count), static_cast<std::size_t>(d.nenv));
        SplitMovingWinPool(d.ncsm, d.nenv, d.env, e, w, rows, true);
        d.env = std::move(e);
    }
    RebuildSpeciesPresence(d, count, [&](int t, int j) { return j >= t && j < t + w; });
    d.cadat = std::move(y);
    d.reLabel.resize(static_cast<std::size_t>(count));
    d.ncsm = count;
    CountOTUsPerCommunity(d, false);
    con.out << Fmt("\nA formda file for this session, with %d communities, has been created.\n", count)
            << Fmt("\nThe first new community is the average of the first %d communities in the series,\n the second "
                   "new one is an average of the %d communities starting at the second\n community in the series, "
                   "and so on.\n",
                   w, w)
            << Fmt("\nReleve labels correspond to the labels of the first\n %d previous communities in the series.\n",
                   count);
}

// The communities question of the subset dialogue; returns the option chosen.
int AskCommunities(const SubsetContext& p, const DataSet& src, Selection& sel, int& nGroups,
                   std::vector<int>& groupRel, std::vector<std::string>& grLabel, int& smwSize) {
    Console& con = p.con;
    const bool hasEnv = src.nenv > 0;
    for (;;) {
        con.out << lineL << '\n'
                << "Communities:\n"
                << "   1  keep the same \n"
                << "   2  modify \n"
                << "   3  pool according to groups \n"
                << "   4  compute change between communities\n"
                << "   5  pool for split moving-window edge detection (spatial or temporal series)\n";
        const int opt = ReadOption(con, "1 2 3 4 5");
        if (opt == 4 && hasEnv && src.temEnvQual)
            con.out << "\b\nWarning! Change in environmental variables that are qualitative\n"
                    << "will result in a binary variable: 1 if there is change, 0 if there is not.\n";
        if (opt == 4 && src.ncsm % 2 != 0) {
            con.out << "\b\nThis option is not possible, for the number of communities must be even.\n";
            continue;
        }
        if ((opt == 3 || opt == 5) && hasEnv && src.temEnvBin)
            con.out << "\b\nWarning! Binary environmental variables will be averaged, and therefore will become "
                       "quantitative.\n";
        if (opt == 3 && hasEnv && src.temEnvQual) {
            con.out << "\b\nThis option not allowed with this data: pooling environmental variables that are "
                       "qualitative is not possible.\n";
            continue;
        }
        if (opt == 2) {
            con.out << "Enter new number of communities:    ";
            const int n = ReadIntIn(con, "%d\n", "-", 1, src.ncsm);
            sel.communities =
                PickByLabels(con, n, src.reLabel, "Identify the communities by their labels: \n", "communities");
        } else if (opt == 3) {
            p.whichPart = 0;
            SettingAnyGroups(p.con, p.session, p.flags, src.ncsm, nGroups, groupRel, grLabel, "communities", &src.reLabel);
        } else if (opt == 4) {
            con.out << "\nTo compute change each vegetation unit must have two communities.\n"
                    << "A formda file will be created with the vegetation units.\n"
                    << "The new communities will contain differences between the 2nd and\n1st communities in each "
                       "unit.\n";
            if (hasEnv) con.out << "\nThe new communities will contain changes in the environmental variables as well.\n";
            con.out << "The user will inform how communities are ordered, but 2nd communities must\nallways come "
                       "after 1st ones.\n";
            SettingNewReleves(con, src.ncsm, nGroups, groupRel, grLabel);
        } else if (opt == 5) {
            con.out << "\nThe community set must conform a spatial or temporal series\n"
                    << "(Cornelius and Reynolds 1991, Ecology 72: 2057-2070).\n"
                    << "A formda file will be created by pooling communities according to\n the selected split "
                       "moving-window size.\n";
            for (;;) {
                con.out << "\nEnter the size of the split moving-window (must be even): ";
                const int size = ReadIntIn(con, "%d\n", "-", 1, src.ncsm);
                if (size % 2 == 0) {
                    smwSize = size / 2;
                    break;
                }
                con.out << "\b\nEnter again. Must be even.";
            }
        }
        return opt;
    }
}

}  // namespace

void ConcentrateGroups(int rows, int cols, const Matrix<double>& X, Matrix<double>& Y, int rowGroupCount,
                       const std::vector<int>& rowGroup, int colGroupCount, const std::vector<int>& colGroup,
                       int option) {
    Matrix<double> sum(static_cast<std::size_t>(rowGroupCount), static_cast<std::size_t>(colGroupCount));
    Matrix<double> cells(static_cast<std::size_t>(rowGroupCount), static_cast<std::size_t>(colGroupCount));
    for (int i = 0; i < rows; ++i) {
        const int g = rowGroup[i] - 1;
        if (g < 0 || g >= rowGroupCount) continue;
        for (int j = 0; j < cols; ++j) {
            const int h = colGroup[j] - 1;
            if (h < 0 || h >= colGroupCount || X[i][j] == kMissing) continue;
            sum[g][h] += X[i][j];
            cells[g][h] += 1.0;
        }
    }
    double totalSum = 0.0, totalMean = 0.0;
    for (int g = 0; g < rowGroupCount; ++g)
        for (int h = 0; h < colGroupCount; ++h) {
            if (cells[g][h] == 0.0) {
                Y[g][h] = kMissing;
                continue;
            }
            Y[g][h] = sum[g][h] / cells[g][h];
            totalSum += sum[g][h];
            totalMean += Y[g][h];
        }
    if (option != 1 || totalMean == 0.0) return;
    for (int g = 0; g < rowGroupCount; ++g)
        for (int h = 0; h < colGroupCount; ++h)
            if (Y[g][h] != kMissing) Y[g][h] *= totalSum / totalMean;
}

void ReleveChange(int ncsm, const Matrix<double>& X, Matrix<double>& Y, int rows, int nGroups,
                  const std::vector<int>& groupRel) {
    for (int i = 0; i < rows; ++i)
        for (int g = 0; g < nGroups; ++g) {
            double y = 0.0;
            for (int j = 0; j < ncsm; ++j) {
                if (groupRel[j] != g + 1) continue;
                if (y == kMissing) break;
                y = X[i][j] == kMissing ? kMissing : X[i][j] - y;
            }
            Y[i][g] = y;
        }
}

void SplitMovingWinPool(int rows, int cols, const Matrix<double>& X, Matrix<double>& Y, int w, int& count,
                        bool byRows) {
    const int length = byRows ? rows : cols;
    const int across = byRows ? cols : rows;
    count = std::max(length - w + 1, 0);
    for (int t = 0; t < count; ++t)
        for (int a = 0; a < across; ++a) {
            double sum = 0.0;
            int n = 0;
            for (int s = t; s < t + w; ++s) {
                const double v = byRows ? X[s][a] : X[a][s];
                if (v == kMissing) continue;
                sum += v;
                ++n;
            }
            const double mean = n > 0 ? sum / n : kMissing;
            if (byRows)
                Y[t][a] = mean;
            else
                Y[a][t] = mean;
        }
}

void SettingNewReleves(Console& con, int ncsm, int& nGroups, std::vector<int>& groupRel,
                       std::vector<std::string>& labels) {
    nGroups = ncsm / 2;
    con.out << "\nLabels for new communities: \n"
            << "   1  given by default \n"
            << "   2  specify new labels \n";
    if (ReadOption(con, "1 2") == 1) {
        labels.clear();
        for (int g = 1; g <= nGroups; ++g) labels.push_back(std::to_string(g));
    } else {
        labels.assign(static_cast<std::size_t>(nGroups), std::string());
        do {
            con.out << "\nEnter labels (max. 4 alphanumeric characters):\n";
            for (int g = 1; g <= nGroups; ++g) con.out << Fmt("%2d ", g);
            con.out << '\n';
            for (auto& l : labels) ReadStringIn(con, "%4s ", l);
            con.out << "Are these correct? y/n ";
        } while (ReadCharIn(con, "y n") != 'y');
    }
    con.out << "\nOrder of the communities in the formda file: \n"
            << "   1  all 2nd communities are after all 1st communities, in the same order \n"
            << "   2  each 2nd community follows the corresponding 1st community \n";
    const int order = ReadOption(con, "1 2");
    groupRel.assign(static_cast<std::size_t>(std::max(ncsm, 0)), 0);
    for (int g = 1; g <= nGroups; ++g) {
        if (order == 1) {
            groupRel[g - 1] = g;
            groupRel[nGroups + g - 1] = g;
        } else {
            groupRel[2 * g - 2] = g;
            groupRel[2 * g - 1] = g;
        }
    }
}

void PickSomeFormda(const SubsetContext& p, DataSet& source) {
    Console& con = p.con;
    const std::string sourceFile = p.session.whichFormda;
    const DataSet& src = source;

    Menu(con, p.session, "GETTING DATA FROM ANOTHER SESSION");
    Selection sel;
    sel.traits.resize(static_cast<std::size_t>(src.nch));
    for (int k = 0; k < src.nch; ++k) sel.traits[k] = k;
    if (KeepOrModify(con, "Traits:\n")) {
        con.out << "Enter new number of traits: ";
        const int n = ReadIntIn(con, "%d\n", "-", 1, src.nch);
        sel.traits = PickByLabels(con, n, src.chLabel, "Identify the traits by their labels: \n", "traits",
                                  "\nError!! Enter again. \n");
    }

    sel.otus.resize(static_cast<std::size_t>(src.tcst));
    for (int i = 0; i < src.tcst; ++i) sel.otus[i] = i;
    con.out << lineL << '\n';
    if (KeepOrModify(con, "Populations:\n")) {
        con.out << "Enter new number of OTUs:   ";
        const int n = ReadIntIn(con, "%d\n", "-", 1, src.tcst);
        std::vector<int> positions;
        for (;;) {
            con.out << "Identify the OTUs by their position on file: \n";
            ReadLongInput(con, n, positions, "OTUs", "");
            if (std::all_of(positions.begin(), positions.end(), [&](int v) { return v >= 1 && v <= src.tcst; }))
                break;
            con.err << "Error!! Enter again. \n";
        }
        for (int i = 0; i < n; ++i) sel.otus[i] = positions[i] - 1;
        sel.otus.resize(static_cast<std::size_t>(n));
    }

    sel.communities.resize(static_cast<std::size_t>(src.ncsm));
    for (int j = 0; j < src.ncsm; ++j) sel.communities[j] = j;
    int nGroups = 0, smwSize = src.SMWSize;
    std::vector<int> groupRel;
    std::vector<std::string> grLabel;
    const int commOpt = AskCommunities(p, src, sel, nGroups, groupRel, grLabel, smwSize);

    sel.variables.resize(static_cast<std::size_t>(std::max(src.nenv, 0)));
    for (int k = 0; k < src.nenv; ++k) sel.variables[k] = k;
    bool variablesChanged = false;
    if (src.nenv > 0) {
        con.out << lineL << '\n';
        if (KeepOrModify(con, "Environmental variables:\n")) {
            con.out << "Enter new number of environmental variables: ";
            const int n = ReadIntIn(con, "%d\n", "-", 1, src.nenv);
            sel.variables = PickByLabels(con, n, src.envLabel, "Identify the variables by their labels: \n",
                                         "environmental variables");
            variablesChanged = true;
        }
    }

    DataSet d = BuildSubset(src, sel);
    if (variablesChanged) {
        if (d.optEnvVarType == 5)
            RetypeMixed(d);
        else if (d.optEnvVarType == 2 && d.nenv == 1)
            d.optEnvVarType = 1;
    }
    if (commOpt == 3) {
        p.groups.nGroups = nGroups;
        if (source.nGroupsP.size() > 0) source.nGroupsP[0] = nGroups;
    }

    int emptyReleves = 0;
    con.out << "Trim OTUs absent in all communities? y/n ";
    if (ReadCharIn(con, "y n") == 'y') emptyReleves = CheckData(d, 1);

    if (commOpt == 3) PoolByGroups(d, nGroups, groupRel, grLabel);
    if (commOpt == 4) ChangeByPairs(d, nGroups, groupRel, grLabel);
    if (commOpt == 5) {
        d.SMWSize = smwSize;
        p.SMWSize = smwSize;
        MovingWindow(con, d, smwSize);
    }

    d.dataName = sourceFile;
    p.session.whichFormda = p.session.sessionName + formdaExt;
    const std::string fileName = p.session.volumeName + p.session.whichFormda;
    WriteFormda(con, p.clock, d, d.tcst, fileName, d.dataName, d.csm_Float, d.cadat);
    if (emptyReleves > 0)
        con.out << Fmt("\nWarning!! There are %d empty communities!!\n", emptyReleves)
                << Fmt("Inspect file %s\n", fileName.c_str());
}

int MergeFormda(Console& con, const Clock& clock, Session& session, DataSet& a, const std::string& second) {
    DataSet b;
    {
        auto fp = fopenck(con, second, session.volumeName, "r");
        if (!fp) throw FatalError{FatalCode::FailToOpen};
        b = ReadFormda(con, *fp, session.volumeName + second);
    }
    a.dataName = (a.dataName + ' ' + second).substr(0, static_cast<std::size_t>(kDataNameLen));

    if (a.nch != b.nch) {
        con.out << "\nThe number of traits do not match.\n\n";
        return 0;
    }
    if (a.chLabel != b.chLabel) {
        con.out << "\nLabels for traits do not match (or their order).\n\n";
        return 0;
    }
    if (a.chtype != b.chtype) {
        con.out << "\nTrait types do not match.\n\n";
        return 0;
    }

    std::vector<std::string> labels = a.reLabel;
    for (std::string label : b.reLabel) {
        if (std::find(a.reLabel.begin(), a.reLabel.end(), label) != a.reLabel.end()) {
            if (label.size() >= static_cast<std::size_t>(kLabelLen)) {
                con.out << "\nThere are releve labels in the second session that are identical to\n"
                        << "labels in the first session. Change them (or reduce the second\n"
                        << Fmt("session labels length to %d letters or digits) and try again.\n", kLabelLen - 1);
                return 0;
            }
            label += 'b';
            // A label made this way must not clash in turn with one already taken.
            while (std::find(labels.begin(), labels.end(), label) != labels.end() &&
                   label.size() < static_cast<std::size_t>(kLabelLen))
                label += 'b';
        }
        labels.push_back(label);
    }

    if (a.ca_code != b.ca_code) {
        con.out << "\nTranslating values for cover-abundance scale codes do not match.\n\n";
        return 0;
    }

    if (a.nenv != b.nenv) {
        con.out << "\nThe number of environmental variables do not match.\n\n";
        return 0;
    }
    if (a.nenv > 0 && (a.optEnvVarType != b.optEnvVarType || a.envVarType != b.envVarType)) {
        con.out << "\nThe types of environmental variables do not match.\n\n";
        return 0;
    }
    if (a.envLabel != b.envLabel) {
        con.out << "\nLabels for environmental variables do not match.\n\n";
        return 0;
    }
    if ((a.nSpp > 0) != (b.nSpp > 0)) {
        con.out << "\nOne session has species names and the other not.\nBoth files must have or not have species "
                   "names.\n\n";
        return 0;
    }

    DataSet m;
    m.dataName = a.dataName;
    m.nch = a.nch;
    m.chLabel = a.chLabel;
    m.chtype = a.chtype;
    m.chrange.assign(static_cast<std::size_t>(m.nch), 0.0);
    m.onsta = a.onsta;
    m.traitGroups = a.traitGroups;
    m.hasTraitGroups = a.hasTraitGroups;
    m.ncsm = a.ncsm + b.ncsm;
    m.reLabel = labels;
    m.tcst = a.tcst + b.tcst;
    m.ca_code = a.ca_code;
    m.SMWSize = a.SMWSize;
    m.csm_Float = dim2D<double>(m.tcst, m.nch);
    m.cadat = dim2D<double>(m.tcst, m.ncsm);
    for (int i = 0; i < a.tcst; ++i) {
        for (int k = 0; k < m.nch; ++k) m.csm_Float[i][k] = a.csm_Float[i][k];
        for (int j = 0; j < a.ncsm; ++j) m.cadat[i][j] = a.cadat[i][j];
    }
    for (int i = 0; i < b.tcst; ++i) {
        for (int k = 0; k < m.nch; ++k) m.csm_Float[a.tcst + i][k] = b.csm_Float[i][k];
        for (int j = 0; j < b.ncsm; ++j) m.cadat[a.tcst + i][a.ncsm + j] = b.cadat[i][j];
    }

    m.nenv = a.nenv;
    if (m.nenv > 0) {
        m.optEnvVarType = a.optEnvVarType;
        m.envVarType = a.envVarType;
        m.envLabel = a.envLabel;
        m.envName = a.envName + ' ' + b.envName;
        m.temEnvBin = a.temEnvBin;
        m.temEnvQual = a.temEnvQual;
        m.temEnvQuant = a.temEnvQuant;
        m.env = dim2D<double>(m.ncsm, m.nenv);
        for (int j = 0; j < a.ncsm; ++j)
            for (int k = 0; k < m.nenv; ++k) m.env[j][k] = a.env[j][k];
        for (int j = 0; j < b.ncsm; ++j)
            for (int k = 0; k < m.nenv; ++k) m.env[a.ncsm + j][k] = b.env[j][k];
    }

    m.nSpp = a.nSpp + b.nSpp;
    if (m.nSpp > 0) {
        m.whichSpp = a.whichSpp;
        m.spp = a.spp;
        m.spp.insert(m.spp.end(), b.spp.begin(), b.spp.end());
        m.sppRelMap = dim2D<char>(m.nSpp, m.ncsm);
        m.sppRelMap.fill('0');
        m.cstSppMap = dim2D<char>(m.tcst, m.nSpp);
        m.cstSppMap.fill('0');
        for (int s = 0; s < a.nSpp; ++s)
            for (int j = 0; j < a.ncsm; ++j) m.sppRelMap[s][j] = a.sppRelMap[s][j];
        for (int s = 0; s < b.nSpp; ++s)
            for (int j = 0; j < b.ncsm; ++j) m.sppRelMap[a.nSpp + s][a.ncsm + j] = b.sppRelMap[s][j];
        for (int i = 0; i < a.tcst; ++i)
            for (int s = 0; s < a.nSpp; ++s) m.cstSppMap[i][s] = a.cstSppMap[i][s];
        for (int i = 0; i < b.tcst; ++i)
            for (int s = 0; s < b.nSpp; ++s) m.cstSppMap[a.tcst + i][a.nSpp + s] = b.cstSppMap[i][s];
    }

    // Resemblances between the OTUs of the two sessions are unknown, so a
    // joined phylogeny cannot be built.
    if (a.hasPhylogeny || b.hasPhylogeny)
        con.out << "\nThe merged data set has no phylogeny: the resemblances between the OTUs of the two "
                   "sessions are not known.\n";
    m.hasPhylogeny = false;

    AllocateWorkingStorage(m);
    const int emptyReleves = CheckData(m, 1);
    (void)emptyReleves;
    session.whichFormda = session.sessionName + formdaExt;
    WriteFormda(con, clock, m, m.tcst, session.volumeName + session.whichFormda, m.dataName, m.csm_Float,
                m.cadat);
    return 1;
}

}  // namespace kolvar
