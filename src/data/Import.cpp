// The import dialogue: raw B, F, W, species and E files into a formatted data file.

#include "data/Import.hpp"

#include <algorithm>
#include <limits>
#include <memory>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "QMLib/qmlibDim.hpp"
#include "data/Formda.hpp"
#include "base/SafeWrite.hpp"
#include "base/Heading.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

constexpr double kMaxCount = 2147483647.0;

struct RawFile {
    std::string name;
    std::unique_ptr<std::fstream> fp;
    std::size_t tokens = 0;  ///< blank-separated items the file holds
};

// Asks for a file until it opens, passes over a byte-order mark and counts its
// items, so that sizes typed later can be checked before anything is allocated.
RawFile OpenRawFile(Console& con) {
    RawFile f;
    f.fp = ReadDataFileName(con, f.name);
    SkipByteOrderMark(*f.fp);
    const std::streampos start = f.fp->tellg();
    std::string word;
    while (ScanWordToken(*f.fp, word)) ++f.tokens;
    f.fp->clear();
    f.fp->seekg(start);
    return f;
}

[[noreturn]] void FileTooShort(Console& con, const std::string& name) {
    con.err << "\nfile " << name << ' ' << '\a';
    con.err.flush();
    throw FatalError{FatalCode::EndOfFile};
}

// The file must hold at least rows x cols items (products in floating point:
// counts typed by the user may be huge).
void NeedItems(Console& con, const RawFile& f, double rows, double cols, double extra = 0.0) {
    if (rows * cols + extra > static_cast<double>(f.tokens)) FileTooShort(con, f.name);
}

int ReadCount(Console& con) {
    return TruncToInt(ScanNumber(con, con.in, "keyboard", "-", 1.0, kMaxCount));
}

int ReadOption(Console& con, const char* accepted) {
    con.out << "Type option no.: ";
    return ReadIntIn(con, "%d\n", accepted);
}

int ReadZeroOne(Console& con) { return ReadIntIn(con, "%d\n", "0 1"); }

double ReadValue(Console& con, RawFile& f) {
    double v = 0.0;
    freadck(con, *f.fp, v, f.name);
    return v;
}

// n labels after the numbers: whole words, kept to their first 70 characters
// so that a long label never spills into the next one.
void ReadLabels(Console& con, RawFile& f, int n, std::vector<std::string>& labels) {
    labels.assign(static_cast<std::size_t>(n), std::string());
    for (auto& l : labels) {
        freadck(con, *f.fp, l, f.name);
        if (l.size() > static_cast<std::size_t>(kLabelLen)) l.resize(static_cast<std::size_t>(kLabelLen));
    }
}

std::vector<std::string> DefaultLabels(int n) {
    std::vector<std::string> labels;
    labels.reserve(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k) labels.push_back(std::to_string(k));
    return labels;
}

// One species name per line, at most 70 characters; the rest of a longer line
// is dropped so that it does not become the next name.
void ReadSpeciesName(Console& con, RawFile& f, std::string& name) {
    freadlineck_Space(con, *f.fp, static_cast<std::size_t>(kLabelLen), name, f.name);
    if (name.size() < static_cast<std::size_t>(kLabelLen)) return;
    for (int c; (c = f.fp->peek()) != std::char_traits<char>::eof() && c != '\n' && c != '\r';) f.fp->get();
    f.fp->clear();
}

void ReadTraits(Console& con, DataSet& d, RawFile& b) {
    con.out << "Labels for traits: \n"
            << "   1  given by default \n"
            << Fmt("   2  read labels at the end of file %s\n", b.name.c_str());
    const int labelOpt = ReadOption(con, "1 2");
    con.out << "Trait matrix (B) format (OTUs = Operational Taxonomic Units): \n"
            << "   1  OTUs as columns / traits as rows \n"
            << "   2  OTUs as rows / traits as columns \n";
    const int layout = ReadOption(con, "1 2");
    NeedItems(con, b, d.tcst, d.nch, labelOpt == 2 ? d.nch : 0);
    d.csm_Float = dim2D<double>(d.tcst, d.nch);
    if (layout == 1) {
        for (int k = 0; k < d.nch; ++k)
            for (int i = 0; i < d.tcst; ++i) d.csm_Float[i][k] = ReadValue(con, b);
    } else {
        for (int i = 0; i < d.tcst; ++i)
            for (int k = 0; k < d.nch; ++k) d.csm_Float[i][k] = ReadValue(con, b);
    }
    if (labelOpt == 1)
        d.chLabel = DefaultLabels(d.nch);
    else
        ReadLabels(con, b, d.nch, d.chLabel);
    b.fp.reset();

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
}

void ReadPhylogeny(Console& con, DataSet& d, RawFile& f) {
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
    const double n = d.tcst;
    NeedItems(con, f, n, format == 3 ? (n + 1.0) / 2.0 : n);
    d.phylogenyRese = dim2D<double>(d.tcst, d.tcst);
    if (format == 3) {
        d.phylogenyMatrixType = 1;
        for (int i = 0; i < d.tcst; ++i)
            for (int j = 0; j <= i; ++j) d.phylogenyRese[i][j] = d.phylogenyRese[j][i] = ReadValue(con, f);
    } else {
        d.phylogenyMatrixType = format == 1 ? 3 : 1;
        for (int i = 0; i < d.tcst; ++i)
            for (int j = 0; j < d.tcst; ++j) d.phylogenyRese[i][j] = ReadValue(con, f);
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
    f.fp.reset();
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

void ReadComposition(Console& con, DataSet& d, RawFile& w) {
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
    const double labelItems = labelOpt == 2 ? d.ncsm : 0.0;
    // Every community of the vector layout holds at least its label or one value.
    NeedItems(con, w, layout == 3 ? 1.0 : d.tcst, d.ncsm, layout == 3 ? 0.0 : labelItems);
    d.cadat = dim2D<double>(d.tcst, d.ncsm);
    d.ncst.assign(static_cast<std::size_t>(d.ncsm), 0);
    if (layout == 1) {
        for (int j = 0; j < d.ncsm; ++j)
            for (int i = 0; i < d.tcst; ++i) d.cadat[i][j] = ReadValue(con, w);
    } else if (layout == 2) {
        for (int i = 0; i < d.tcst; ++i)
            for (int j = 0; j < d.ncsm; ++j) d.cadat[i][j] = ReadValue(con, w);
    } else {
        ReadVectorCounts(con, d);
        long long sum = 0;
        for (int c : d.ncst) sum += c;
        NeedItems(con, w, static_cast<double>(sum), 1.0, labelItems);
        int i = 0;
        for (int j = 0; j < d.ncsm; ++j)
            for (int c = 0; c < d.ncst[j]; ++c) d.cadat[i++][j] = ReadValue(con, w);
    }
    if (labelOpt == 1)
        d.reLabel = DefaultLabels(d.ncsm);
    else
        ReadLabels(con, w, d.ncsm, d.reLabel);
    w.fp.reset();

    for (int j = 0; j < d.ncsm; ++j) {
        bool empty = true;
        for (int i = 0; i < d.tcst && empty; ++i) empty = d.cadat[i][j] == 0.0 || d.cadat[i][j] == kMissing;
        if (empty)
            con.out << Fmt("\nPlease check matrix W. Sampling unit %s has all values zero or missing (-999), which will "
                           "generate unreliable results.",
                           d.reLabel[j].c_str());
    }
}

void ReadSpecies(Console& con, DataSet& d, RawFile& s) {
    d.nSpp = d.tcst;
    d.whichSpp = s.name.substr(0, static_cast<std::size_t>(kWhichSppLen));
    con.out << lineL << '\n'
            << "Species labels are: \n"
            << "   1  the first 4 characters preceding each species name\n"
            << "   2  to be created by the program\n";
    const int labelOpt = ReadOption(con, "1 2");
    // One name per OTU: a file with fewer lines than OTUs ends early.
    if (static_cast<double>(d.tcst) > static_cast<double>(s.tokens)) FileTooShort(con, s.name);
    d.spp.assign(static_cast<std::size_t>(d.tcst), std::string());
    for (auto& name : d.spp) ReadSpeciesName(con, s, name);
    s.fp.reset();
    CheckSpecies(d, labelOpt);
    SpeciesReleveMap(d);
}

void SetEnvFlags(DataSet& d) {
    d.temEnvBin = d.temEnvQual = d.temEnvQuant = 0;
    for (int t : d.envVarType) {
        if (t == 1) d.temEnvBin = 1;
        if (t == 2) d.temEnvQual = 1;
        if (t == 3 || t == 4) d.temEnvQuant = 1;
    }
}

void ReadEnvironment(Console& con, DataSet& d, RawFile& e) {
    con.out << lineL << '\n' << "Number of environmental variables: ";
    d.nenv = ReadCount(con);
    d.envName = e.name;
    con.out << "Labels for environmental variables: \n"
            << "   1  given by default\n"
            << Fmt("   2  read labels at the end of file %s\n", e.name.c_str());
    const int labelOpt = ReadOption(con, "1 2");
    NeedItems(con, e, d.ncsm, d.nenv, labelOpt == 2 ? d.nenv : 0);
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
    d.env = dim2D<double>(d.ncsm, d.nenv);
    if (byCommunities) {
        for (int j = 0; j < d.ncsm; ++j)
            for (int k = 0; k < d.nenv; ++k) d.env[j][k] = ReadValue(con, e);
    } else {
        for (int k = 0; k < d.nenv; ++k)
            for (int j = 0; j < d.ncsm; ++j) d.env[j][k] = ReadValue(con, e);
    }
    if (labelOpt == 2) ReadLabels(con, e, d.nenv, d.envLabel);
    e.fp.reset();

    for (int j = 0; j < d.ncsm; ++j) {
        bool allMissing = true;
        for (int k = 0; k < d.nenv && allMissing; ++k) allMissing = d.env[j][k] == kMissing;
        if (allMissing)
            con.out << Fmt("\nPlease check matrix E. Sampling unit %s has all values missing (-999), which will "
                           "generate unreliable results.",
                           d.reLabel[j].c_str());
    }
}

}  // namespace

void IFFormat(Console& con, const Clock& clock, const Session& session) {
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

    ReadTraits(con, d, bFile);
    if (fFile.fp) ReadPhylogeny(con, d, fFile);
    ReadComposition(con, d, wFile);
    if (sFile.fp) ReadSpecies(con, d, sFile);
    if (eFile.fp) ReadEnvironment(con, d, eFile);

    CountStates(d.nch, d.tcst, d.onsta, d.csm_Float);
    d.chrange.assign(static_cast<std::size_t>(d.nch), 0.0);
    d.dataName = bFile.name;
    WriteFormda(con, clock, d, d.tcst, session.volumeName + session.whichFormda, d.dataName, d.csm_Float,
                d.cadat);
}

}  // namespace kolvar
