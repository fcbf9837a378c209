// The import dialogue: raw B, F, W, species and E files into a formatted data file.

#include "data/Import.hpp"

#include <algorithm>
#include <limits>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "QMLib/qmlibDim.hpp"
#include "data/Formda.hpp"
#include "data/ImportReader.hpp"
#include "base/SafeWrite.hpp"
#include "base/Heading.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

constexpr double kMaxCount = 2147483647.0;

struct RawFile {
    std::string name;
    bool given = false;
};

// Asks for a file until it opens; it is read whole once its layout is known.
RawFile OpenRawFile(Console& con) {
    RawFile f;
    ReadDataFileName(con, f.name);
    f.given = true;
    return f;
}

bool Slurp(const std::string& name, std::string& content) {
    std::ifstream fp(name, std::ios::binary);
    if (!fp) return false;
    std::ostringstream text;
    text << fp.rdbuf();
    content = text.str();
    return static_cast<bool>(fp) || fp.eof() || content.empty();
}

// After a bad file: says what is wrong and asks for the file again. False when
// the user returns to the data-set menu instead.
bool AskFileAgain(Console& con, RawFile& f, const std::string& error) {
    con.err << '\a' << '\n' << error << '\n';
    con.err.flush();
    for (;;) {
        con.out << "Correct the file and enter its name again, or 0 to return to the data set menu.\n"
                << "Enter data file name: ";
        std::string name;
        freadlineck(con, con.in, 150, name, "input");
        if (name == "0") return false;
        if (fopenck(con, name, "", "r")) {
            f.name = name;
            return true;
        }
    }
}

// Reads the file against the layout until it fits; false when the user gives up.
bool ReadChecked(Console& con, RawFile& f, const RawLayout& layout, RawRead& out) {
    for (;;) {
        std::string content;
        if (!Slurp(f.name, content)) {
            if (!AskFileAgain(con, f, Fmt("%s: the file cannot be read", f.name.c_str()))) return false;
            continue;
        }
        out = ReadRawMatrix(f.name, content, layout);
        if (out.ok()) {
            if (!out.warning.empty()) con.err << '\n' << out.warning << '\n';
            return true;
        }
        if (!AskFileAgain(con, f, out.error)) return false;
    }
}

// Items (blank-separated words) the file holds.
long long CountItems(const std::string& name) {
    std::string content;
    if (!Slurp(name, content)) return 0;
    long long n = 0;
    bool inWord = false;
    for (char c : content) {
        const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
        if (!blank && !inWord) ++n;
        inWord = !blank;
    }
    return n;
}

// A count typed before the file's layout is asked must fit in the file, so
// that nothing is allocated for sizes the file cannot hold.
bool CheckRoom(Console& con, RawFile& f, double needed, const std::string& shape) {
    for (;;) {
        const long long items = CountItems(f.name);
        if (needed <= static_cast<double>(items)) return true;
        if (!AskFileAgain(con, f, Fmt("%s: %s expected, the file holds %lld items", f.name.c_str(), shape.c_str(),
                                      items)))
            return false;
    }
}

std::string Count(long long n, const char* one, const char* many) {
    return Fmt("%lld %s", n, n == 1 ? one : many);
}

RawLayout Table(long long rows, const char* rowOne, const char* rowMany, long long cols, const char* colOne,
                const char* colMany, long long labels) {
    RawLayout l;
    l.kind = RawLayout::Rows::Uniform;
    l.rows = rows;
    l.cols = cols;
    l.labels = labels;
    l.shape = Count(rows, rowOne, rowMany) + " x " + Count(cols, colOne, colMany);
    return l;
}

int ReadCount(Console& con) {
    return TruncToInt(ScanNumber(con, con.in, "keyboard", "-", 1.0, kMaxCount));
}

int ReadOption(Console& con, const char* accepted) {
    con.out << "Type option no.: ";
    return ReadIntIn(con, "%d\n", accepted);
}

int ReadZeroOne(Console& con) { return ReadIntIn(con, "%d\n", "0 1"); }

// Labels are kept to their first 70 characters.
std::vector<std::string> CutLabels(std::vector<std::string> labels) {
    for (auto& l : labels)
        if (l.size() > static_cast<std::size_t>(kLabelLen)) l.resize(static_cast<std::size_t>(kLabelLen));
    return labels;
}

std::vector<std::string> DefaultLabels(int n) {
    std::vector<std::string> labels;
    labels.reserve(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k) labels.push_back(std::to_string(k));
    return labels;
}

bool ReadTraits(Console& con, DataSet& d, RawFile& b) {
    con.out << "Labels for traits: \n"
            << "   1  given by default \n"
            << Fmt("   2  read labels at the end of file %s\n", b.name.c_str());
    const int labelOpt = ReadOption(con, "1 2");
    con.out << "Trait matrix (B) format (OTUs = Operational Taxonomic Units): \n"
            << "   1  OTUs as columns / traits as rows \n"
            << "   2  OTUs as rows / traits as columns \n";
    const int layout = ReadOption(con, "1 2");
    const long long labels = labelOpt == 2 ? d.nch : 0;
    const RawLayout shape = layout == 1 ? Table(d.nch, "trait", "traits", d.tcst, "OTU", "OTUs", labels)
                                        : Table(d.tcst, "OTU", "OTUs", d.nch, "trait", "traits", labels);
    RawRead raw;
    if (!ReadChecked(con, b, shape, raw)) return false;
    d.csm_Float = dim2D<double>(d.tcst, d.nch);
    std::size_t n = 0;
    if (layout == 1) {
        for (int k = 0; k < d.nch; ++k)
            for (int i = 0; i < d.tcst; ++i) d.csm_Float[i][k] = raw.values[n++];
    } else {
        for (int i = 0; i < d.tcst; ++i)
            for (int k = 0; k < d.nch; ++k) d.csm_Float[i][k] = raw.values[n++];
    }
    d.chLabel = labelOpt == 1 ? DefaultLabels(d.nch) : CutLabels(std::move(raw.labels));

    do {
        con.out << "Trait type (1 for dichotomous, 2 for nominal, 3 for interval or ratio scale, 4 for ordinal): \n"
                << "Traits:     \t";
        for (const auto& l : d.chLabel) con.out << l << '\t';
        con.out << '\n';
    } while (ReadLongInput(con, d.nch, d.chtype, "trait types", "1 2 3 4") != 1);

    con.out << "Wish to specify groups of traits? 0/1 ";
    d.hasTraitGroups = ReadZeroOne(con) == 1;
    d.traitGroups.assign(static_cast<std::size_t>(d.nch), 0);
    if (d.hasTraitGroups) {
        do {
            con.out << "Traits:     \t";
            for (const auto& l : d.chLabel) con.out << l << '\t';
            con.out << '\n';
        } while (ReadLongInput(con, d.nch, d.traitGroups, "trait groups", "") != 1);
    }
    return true;
}

bool ReadPhylogeny(Console& con, DataSet& d, RawFile& f) {
    d.hasPhylogeny = true;
    con.out << lineL << '\n'
            << "Format of phylogenetic resemblance matrix:\n"
            << Fmt("   1  a full matrix of phylogenetic distances of %d OTUs by %d OTUs (e.g. as given by PHYLOCOM)\n",
                   d.tcst, d.tcst)
            << Fmt("   2  a full matrix of phylogenetic similarities of %d OTUs by %d OTUs in the 0-1 range\n", d.tcst,
                   d.tcst)
            << Fmt("   3  a half, lower-diagonal matrix of phylogenetic similarities of %d OTUs by %d OTUs in the 0-1 "
                   "range\n",
                   d.tcst, d.tcst);
    const int format = ReadOption(con, "1 2 3");
    RawLayout shape = Table(d.tcst, "OTU", "OTUs", d.tcst, "OTU", "OTUs", 0);
    if (format == 3) {
        shape.kind = RawLayout::Rows::LowerHalf;
        shape.shape = "the lower half with the diagonal of " + shape.shape;
    }
    RawRead raw;
    if (!ReadChecked(con, f, shape, raw)) return false;
    d.phylogenyRese = dim2D<double>(d.tcst, d.tcst);
    std::size_t n = 0;
    if (format == 3) {
        d.phylogenyMatrixType = 1;
        for (int i = 0; i < d.tcst; ++i)
            for (int j = 0; j <= i; ++j) d.phylogenyRese[i][j] = d.phylogenyRese[j][i] = raw.values[n++];
    } else {
        d.phylogenyMatrixType = format == 1 ? 3 : 1;
        for (int i = 0; i < d.tcst; ++i)
            for (int j = 0; j < d.tcst; ++j) d.phylogenyRese[i][j] = raw.values[n++];
        if (format == 1) {
            // Missing distances stay -999: they take no part in the scaling.
            double dmax = -std::numeric_limits<double>::infinity();
            for (int i = 0; i < d.tcst; ++i)
                for (int j = 0; j < d.tcst; ++j)
                    if (d.phylogenyRese[i][j] != kMissing) dmax = std::max(dmax, d.phylogenyRese[i][j]);
            if (dmax > 1.0) {
                for (int i = 0; i < d.tcst; ++i)
                    for (int j = 0; j < d.tcst; ++j)
                        if (d.phylogenyRese[i][j] != kMissing) d.phylogenyRese[i][j] /= dmax;
                con.out << "\nPhylogenetic distances were normalized to values in the range [0,1] by Dnorm = D/Dmax\n";
            }
        }
    }
    return true;
}

// Number of OTUs of each community in the vector layout: counts that cannot
// be placed in the tcst rows are refused and asked again.
void ReadVectorCounts(Console& con, DataSet& d) {
    for (;;) {
        con.out << "Number of OTUs in each community:\n" << "Communities:       \t";
        for (int j = 1; j <= d.ncsm; ++j) con.out << j << '\t';
        con.out << '\n';
        if (ReadLongInput(con, d.ncsm, d.ncst, "number of OTUs", "") != 1) continue;
        long long sum = 0;
        bool ok = true;
        for (int c : d.ncst) {
            ok = ok && c >= 0;
            sum += c;
        }
        if (ok && sum <= d.tcst) return;
        con.err << "\nError!! Enter again. \n";
    }
}

bool ReadComposition(Console& con, DataSet& d, RawFile& w) {
    con.out << lineL << '\n' << "Enter number of communities:    ";
    d.ncsm = ReadCount(con);
    con.out << "Labels for communities: \n"
            << "   1  given by default \n"
            << Fmt("   2  read labels at the end of file %s\n", w.name.c_str());
    const int labelOpt = ReadOption(con, "1 2");
    con.out << "Format of matrix (W) with OTUs performances: \n"
            << "   1  Communities as rows \n"
            << "   2  Communities as columns\n"
            << "   3  Community data is a vector of OTUs performances in each community\n";
    const int layout = ReadOption(con, "1 2 3");
    const long long labels = labelOpt == 2 ? d.ncsm : 0;
    RawLayout shape;
    if (layout == 3) {
        // Every community of the vector layout holds at least its label or one
        // value: the counts asked next are bounded by the file.
        if (!CheckRoom(con, w, d.ncsm, Count(d.ncsm, "community", "communities"))) return false;
        ReadVectorCounts(con, d);
        long long sum = 0;
        for (int c : d.ncst) sum += c;
        shape.kind = RawLayout::Rows::Free;
        shape.total = sum;
        shape.labels = labels;
        shape.shape = Count(sum, "value", "values") + " of " + Count(d.ncsm, "community", "communities");
    } else {
        shape = layout == 1 ? Table(d.ncsm, "community", "communities", d.tcst, "OTU", "OTUs", labels)
                            : Table(d.tcst, "OTU", "OTUs", d.ncsm, "community", "communities", labels);
    }
    RawRead raw;
    if (!ReadChecked(con, w, shape, raw)) return false;
    d.cadat = dim2D<double>(d.tcst, d.ncsm);
    if (layout != 3) d.ncst.assign(static_cast<std::size_t>(d.ncsm), 0);
    std::size_t n = 0;
    if (layout == 1) {
        for (int j = 0; j < d.ncsm; ++j)
            for (int i = 0; i < d.tcst; ++i) d.cadat[i][j] = raw.values[n++];
    } else if (layout == 2) {
        for (int i = 0; i < d.tcst; ++i)
            for (int j = 0; j < d.ncsm; ++j) d.cadat[i][j] = raw.values[n++];
    } else {
        int i = 0;
        for (int j = 0; j < d.ncsm; ++j)
            for (int c = 0; c < d.ncst[j]; ++c) d.cadat[i++][j] = raw.values[n++];
    }
    d.reLabel = labelOpt == 1 ? DefaultLabels(d.ncsm) : CutLabels(std::move(raw.labels));

    for (int j = 0; j < d.ncsm; ++j) {
        bool empty = true;
        for (int i = 0; i < d.tcst && empty; ++i) empty = d.cadat[i][j] == 0.0 || d.cadat[i][j] == kMissing;
        if (empty)
            con.out << Fmt("\nPlease check matrix W. Sampling unit %s has all values zero or missing (-999), which will "
                           "generate unreliable results.",
                           d.reLabel[j].c_str());
    }
    return true;
}

bool ReadSpecies(Console& con, DataSet& d, RawFile& s) {
    d.nSpp = d.tcst;
    con.out << lineL << '\n'
            << "Species labels are: \n"
            << "   1  the first 4 characters preceding each species name\n"
            << "   2  to be created by the program\n";
    const int labelOpt = ReadOption(con, "1 2");
    // One name per OTU, one per line.
    for (;;) {
        std::string content;
        RawNames names;
        if (!Slurp(s.name, content))
            names.error = Fmt("%s: the file cannot be read", s.name.c_str());
        else
            names = ReadRawNames(s.name, content, d.tcst, static_cast<std::size_t>(kLabelLen));
        if (names.ok()) {
            d.spp = std::move(names.names);
            break;
        }
        if (!AskFileAgain(con, s, names.error)) return false;
    }
    d.whichSpp = s.name.substr(0, static_cast<std::size_t>(kWhichSppLen));
    CheckSpecies(d, labelOpt);
    SpeciesReleveMap(d);
    return true;
}

void SetEnvFlags(DataSet& d) {
    d.temEnvBin = d.temEnvQual = d.temEnvQuant = 0;
    for (int t : d.envVarType) {
        if (t == 1) d.temEnvBin = 1;
        if (t == 2) d.temEnvQual = 1;
        if (t == 3 || t == 4) d.temEnvQuant = 1;
    }
}

bool ReadEnvironment(Console& con, DataSet& d, RawFile& e) {
    con.out << lineL << '\n' << "Number of environmental variables: ";
    d.nenv = ReadCount(con);
    d.envName = e.name;
    con.out << "Labels for environmental variables: \n"
            << "   1  given by default\n"
            << Fmt("   2  read labels at the end of file %s\n", e.name.c_str());
    const int labelOpt = ReadOption(con, "1 2");
    const long long labels = labelOpt == 2 ? d.nenv : 0;
    if (!CheckRoom(con, e, static_cast<double>(d.ncsm) * d.nenv + static_cast<double>(labels),
                   Table(d.ncsm, "community", "communities", d.nenv, "variable", "variables", labels).shape +
                       (labels > 0 ? " and their labels" : "")))
        return false;
    // The labels of the file come after its numbers; until they are read the
    // variables are shown by number.
    d.envLabel = DefaultLabels(d.nenv);
    con.out << "Types of variables: \n   1 only quantitative variables, same units \n   2 only quantitative variables, "
               "different units \n   3 only qualitative, non binary variables\n   4 only binary variables\n   5 several "
               "types \n";
    d.optEnvVarType = ReadOption(con, "1 2 3 4 5");
    d.temEnvQuant = d.temEnvQual = d.temEnvBin = 0;
    if (d.optEnvVarType <= 2) {
        d.envVarType.assign(static_cast<std::size_t>(d.nenv), 3);
        d.temEnvQuant = 1;
    } else if (d.optEnvVarType == 3) {
        d.envVarType.assign(static_cast<std::size_t>(d.nenv), 2);
        d.temEnvQual = 1;
    } else if (d.optEnvVarType == 4) {
        d.envVarType.assign(static_cast<std::size_t>(d.nenv), 1);
        d.temEnvBin = 1;
    } else {
        for (;;) {
            con.out << "Enter variable type (1:binary, 2:nominal, 3:quantitative interval or ratio scale, 4:ordinal): \n"
                    << "Variable:    \t";
            for (const auto& l : d.envLabel) con.out << Fmt("%*.*s ", kLabelLen, kLabelLen, l.c_str());
            ReadLongInput(con, d.nenv, d.envVarType, "variable type", "1 2 3 4");
            SetEnvFlags(d);
            if (d.temEnvBin + d.temEnvQual + d.temEnvQuant >= 2) break;
            con.out << "Data not mixed as indicated!!!\n" << "Wish to correct manually? y/n ";
            if (ReadCharIn(con, "y n") == 'y') continue;
            d.optEnvVarType = d.temEnvQual ? 3 : d.temEnvQuant ? 2 : 4;
            break;
        }
    }

    bool byCommunities = true;
    if (d.nenv > 1) {
        con.out << "Data entered by communities(N) or by variables(T)?: ";
        byCommunities = ReadCharIn(con, "n t") == 'n';
    }
    const RawLayout shape = byCommunities
                                ? Table(d.ncsm, "community", "communities", d.nenv, "variable", "variables", labels)
                                : Table(d.nenv, "variable", "variables", d.ncsm, "community", "communities", labels);
    RawRead raw;
    if (!ReadChecked(con, e, shape, raw)) return false;
    d.env = dim2D<double>(d.ncsm, d.nenv);
    std::size_t n = 0;
    if (byCommunities) {
        for (int j = 0; j < d.ncsm; ++j)
            for (int k = 0; k < d.nenv; ++k) d.env[j][k] = raw.values[n++];
    } else {
        for (int k = 0; k < d.nenv; ++k)
            for (int j = 0; j < d.ncsm; ++j) d.env[j][k] = raw.values[n++];
    }
    if (labelOpt == 2) d.envLabel = CutLabels(std::move(raw.labels));

    for (int j = 0; j < d.ncsm; ++j) {
        bool allMissing = true;
        for (int k = 0; k < d.nenv && allMissing; ++k) allMissing = d.env[j][k] == kMissing;
        if (allMissing)
            con.out << Fmt("\nPlease check matrix E. Sampling unit %s has all values missing (-999), which will "
                           "generate unreliable results.",
                           d.reLabel[j].c_str());
    }
    return true;
}

}  // namespace

bool IFFormat(Console& con, const Clock& clock, const Session& session) {
    DataSet d;
    Menu(con, session, "SPECIFYING THE AVAILABLE INPUT DATA:\n");
    con.out << "For each data specified below indicate by 0/1 which are available\n\n"
            << "OTUs = Operational Taxonomic Units, refer to species, populations, individuals or other taxonomic "
               "rank\n";

    con.out << "A matrix (B) with trait description of OTUs should be always specified.\n";
    RawFile bFile = OpenRawFile(con);
    con.out << "A matrix (F) with phylogenetic resemblances of the OTUs 0/1\t";
    RawFile fFile;
    if (ReadZeroOne(con) == 1) fFile = OpenRawFile(con);
    con.out << "A matrix (W) with records of OTUS in commmunities should be always specified.\n";
    RawFile wFile = OpenRawFile(con);
    con.out << "Species names of OTUs 0/1\t";
    RawFile sFile;
    if (ReadZeroOne(con) == 1) sFile = OpenRawFile(con);
    con.out << "A matrix (E) with ecosystem variables of the community sites 0/1\t";
    RawFile eFile;
    if (ReadZeroOne(con) == 1) eFile = OpenRawFile(con);

    con.out << lineL << '\n' << "Number of OTUs: ";
    d.tcst = ReadCount(con);
    con.out << "Enter number of traits (characters): ";
    d.nch = ReadCount(con);

    // A file that cannot be fixed ends the import: nothing has been written.
    if (!ReadTraits(con, d, bFile)) return false;
    if (fFile.given && !ReadPhylogeny(con, d, fFile)) return false;
    if (!ReadComposition(con, d, wFile)) return false;
    if (sFile.given && !ReadSpecies(con, d, sFile)) return false;
    if (eFile.given && !ReadEnvironment(con, d, eFile)) return false;

    CountStates(d.nch, d.tcst, d.onsta, d.csm_Float);
    d.chrange.assign(static_cast<std::size_t>(d.nch), 0.0);
    d.dataName = bFile.name;
    WriteFormda(con, clock, d, d.tcst, session.volumeName + session.whichFormda, d.dataName, d.csm_Float,
                d.cadat);
    return true;
}

}  // namespace kolvar
