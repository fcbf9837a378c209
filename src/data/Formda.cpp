#include "data/Formda.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <sstream>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "QMLib/Print.hpp"
#include "base/SafeWrite.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

constexpr int kMaxTraitType = 4;
constexpr int kMaxEnvOption = 5;

// The strict readers of one file, plus the size check that keeps a corrupt
// count from allocating more than the rest of the file could ever fill.
class FormdaReader {
public:
    FormdaReader(Console& con, std::istream& fp, std::string label) : con_(con), fp_(fp), label_(std::move(label)) {
        const std::streampos here = fp_.tellg();
        if (here != std::streampos(-1) && fp_.seekg(0, std::ios::end)) {
            end_ = static_cast<double>(fp_.tellg());
            fp_.seekg(here);
        }
        fp_.clear();
    }

    [[noreturn]] void Fail() {
        con_.err << "\nfile " << label_ << ' ' << '\a';
        con_.err.flush();
        throw FatalError{FatalCode::EndOfFile};
    }
    void Require(bool ok) {
        if (!ok) Fail();
    }

    int Int() {
        int v = 0;
        freadck(con_, fp_, v, label_);
        return v;
    }
    int IntIn(int lowest, int highest) {
        const int v = Int();
        Require(v >= lowest && v <= highest);
        return v;
    }
    double Double() {
        double v = 0.0;
        freadck(con_, fp_, v, label_);
        return v;
    }
    /// A whole blank-free word, cut to maxChars so that the next item stays in step.
    std::string Word(std::size_t maxChars = std::string::npos) {
        std::string w;
        freadck(con_, fp_, w, label_);
        if (w.size() > maxChars) w.resize(maxChars);
        return w;
    }
    /// One line field of at most maxChars; an overlong line is cut and its rest dropped.
    std::string Line(std::size_t maxChars, bool spaces) {
        std::string s;
        if (spaces)
            freadlineck_Space(con_, fp_, maxChars, s, label_);
        else
            freadlineck(con_, fp_, maxChars, s, label_);
        if (s.size() >= maxChars) {
            for (int c = fp_.peek(); c != std::char_traits<char>::eof() && c != '\n'; c = fp_.peek()) fp_.get();
            fp_.clear();
        }
        return s;
    }
    char Bit() { return ScanChar(con_, fp_, "0 1", label_); }

    /// A count of at least `lowest` whose items (each taking at least
    /// bytesPerItem characters) fit in the rest of the file.
    int Count(int lowest, double bytesPerItem) {
        const int n = Int();
        Require(n >= lowest);
        Fits(static_cast<double>(n) * bytesPerItem);
        return n;
    }
    void Fits(double bytes) {
        const std::streampos here = fp_.tellg();
        if (here == std::streampos(-1) || end_ < 0) return;
        Require(bytes <= end_ - static_cast<double>(here));
    }

    std::istream& stream() { return fp_; }
    const std::string& label() const { return label_; }

private:
    Console& con_;
    std::istream& fp_;
    std::string label_;
    double end_ = -1.0;
};

// Two characters of the oldest layout's code word as a number, single precision.
double CodeValue(FormdaReader& r, const std::string& code) {
    std::istringstream in(code);
    double v = 0.0;
    r.Require(ScanDoubleToken(in, v));
    in >> std::ws;
    r.Require(in.peek() == std::char_traits<char>::eof());
    return static_cast<double>(static_cast<float>(v));
}

std::string AsWord(const std::string& label) {
    if (label.empty()) return "_";
    std::string w = label;
    for (char& c : w)
        if (std::isspace(static_cast<unsigned char>(c))) c = '_';
    return w;
}

// A line the reader finds again: line ends (and the tabs that end the title
// and source fields) become blanks, and a blank line, which the reader would
// pass over, is replaced by `fallback`.
std::string OneLine(const std::string& text, const char* fallback) {
    std::string line = text;
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    const bool blank = std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c) != 0; });
    return blank ? std::string(fallback) : line;
}

void RequireShape(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("WriteFormda: ") + what);
}

}  // namespace

void AllocateWorkingStorage(DataSet& d) {
    const auto nch = static_cast<std::size_t>(d.nch);
    const auto ncsm = static_cast<std::size_t>(d.ncsm);
    const auto tcst = static_cast<std::size_t>(d.tcst);
    d.nchor.assign(nch, 0);
    d.rcst.assign(nch, 0);
    d.nGrPoly.assign(nch, 0);
    d.weight.assign(nch, 0.0);
    d.traitGroups.assign(nch, 0);
    d.weight_OTUs.assign(tcst, 0);
    d.partition_OTUs.assign(tcst, 0);
    d.cstTrack.assign(nch, tcst);
    d.relSelect.assign(ncsm, 0);
    d.eVarSelect.assign(std::max(ncsm, static_cast<std::size_t>(std::max(d.nenv, 0))), 0);
    d.partLabel.assign(kMaxPartitions, std::string());
    d.nGroupsP.assign(kMaxPartitions, 0);
    d.groupRelP.assign(kMaxPartitions, ncsm);
    d.grLabelP.assign(kMaxPartitions, std::vector<std::string>(ncsm));
    d.partCstLabel.assign(kMaxPartitions, std::string());
    d.nGroupsCstP.assign(kMaxPartitions, 0);
    d.whichLevelGrCstP.assign(kMaxPartitions, 0);
    d.groupCstP.assign(kMaxPartitions, tcst);
    d.grCstLabelP.assign(kMaxPartitions, std::vector<std::string>(tcst));
}

DataSet ReadFormda(Console& con, std::istream& fp, const std::string& label) {
    SkipByteOrderMark(fp);
    FormdaReader r(con, fp, label);
    DataSet d;
    d.dataName = r.Line(kDataNameLen, false);

    d.nch = r.Count(1, 8.0);  // label, type, range and state count of each trait
    d.chLabel.resize(static_cast<std::size_t>(d.nch));
    for (auto& l : d.chLabel) l = r.Word(kLabelLen);
    d.chtype.resize(d.chLabel.size());
    for (int& t : d.chtype) t = r.IntIn(1, kMaxTraitType);
    d.chrange.resize(d.chLabel.size());
    for (double& v : d.chrange) v = r.Double();
    d.onsta.resize(d.chLabel.size());
    for (int& v : d.onsta) v = r.Int();

    d.ncsm = r.Count(1, 2.0);
    d.reLabel.resize(static_cast<std::size_t>(d.ncsm));
    for (auto& l : d.reLabel) l = r.Word(kLabelLen);
    d.tcst = r.Count(1, 0.0);
    // Every OTU holds nch traits and ncsm abundances of two characters or more.
    r.Fits(2.0 * static_cast<double>(d.tcst) * (static_cast<double>(d.nch) + d.ncsm));
    AllocateWorkingStorage(d);

    d.ncst.resize(static_cast<std::size_t>(d.ncsm));
    for (int& v : d.ncst) v = r.Int();
    for (double& v : d.ca_code) v = r.Double();

    const auto tcst = static_cast<std::size_t>(d.tcst);
    const auto nch = static_cast<std::size_t>(d.nch);
    const auto ncsm = static_cast<std::size_t>(d.ncsm);
    d.csm_Float.assign(tcst, nch);
    d.cadat.assign(tcst, ncsm);
    const std::string marker = r.Word();
    if (marker == formdaMarker || marker == formdaMarker2008) {
        for (std::size_t i = 0; i < tcst; ++i)
            for (std::size_t k = 0; k < nch; ++k) d.csm_Float[i][k] = r.Double();
        for (std::size_t i = 0; i < tcst; ++i)
            for (std::size_t j = 0; j < ncsm; ++j) d.cadat[i][j] = r.Double();
    } else {
        for (std::size_t i = 0; i < tcst; ++i) {
            const std::string codes = i == 0 ? marker : r.Word();
            r.Require(codes.size() == 2 * nch);
            for (std::size_t k = 0; k < nch; ++k) d.csm_Float[i][k] = CodeValue(r, codes.substr(2 * k, 2));
            for (std::size_t j = 0; j < ncsm; ++j) d.cadat[i][j] = r.Double();
        }
    }

    d.nenv = r.Count(0, 2.0 * (static_cast<double>(d.ncsm) + 1.0));
    if (d.nenv > 0) {
        const auto nenv = static_cast<std::size_t>(d.nenv);
        d.envVarType.assign(nenv, 3);
        d.envLabel.resize(nenv);
        const std::string word = r.Word();
        std::size_t first = 0;
        if (word == versionFormda) {
            d.optEnvVarType = r.IntIn(1, kMaxEnvOption);
            for (int& t : d.envVarType) t = r.IntIn(1, kMaxTraitType);
        } else {
            d.optEnvVarType = 2;
            d.envLabel[0] = word.substr(0, kLabelLen);
            first = 1;
        }
        for (std::size_t k = first; k < nenv; ++k) d.envLabel[k] = r.Word(kLabelLen);
        d.envName = r.Word();
        d.env.assign(ncsm, nenv);
        for (std::size_t k = 0; k < nenv; ++k)
            for (std::size_t j = 0; j < ncsm; ++j) d.env[j][k] = r.Double();
        d.temEnvBin = std::count(d.envVarType.begin(), d.envVarType.end(), 1) > 0 ? 1 : 0;
        d.temEnvQual = std::count(d.envVarType.begin(), d.envVarType.end(), 2) > 0 ? 1 : 0;
        d.temEnvQuant = std::count(d.envVarType.begin(), d.envVarType.end(), 3) > 0 ? 1 : 0;
        if (d.eVarSelect.size() < nenv) d.eVarSelect.resize(nenv, 0);
    }

    d.nSpp = r.Count(0, static_cast<double>(d.ncsm) + d.tcst + 2.0);
    if (d.nSpp > 0) {
        const auto nSpp = static_cast<std::size_t>(d.nSpp);
        d.whichSpp = r.Line(kWhichSppLen, false);
        d.spp.resize(nSpp);
        for (auto& s : d.spp) s = r.Line(kLabelLen, true);
        d.sppRelMap.assign(nSpp, ncsm);
        d.cstSppMap.assign(tcst, nSpp);
        for (std::size_t s = 0; s < nSpp; ++s)
            for (std::size_t j = 0; j < ncsm; ++j) d.sppRelMap[s][j] = r.Bit();
        for (std::size_t i = 0; i < tcst; ++i)
            for (std::size_t s = 0; s < nSpp; ++s) d.cstSppMap[i][s] = r.Bit();
    }

    // Files older than the window option have no "SMW" word; when the word
    // read in its place is a number it is already the phylogeny flag.
    std::string smw;
    int hasPhyl = 0;
    bool hasPhylRead = false;
    if (ScanWordToken(fp, smw)) {
        if (smw == "SMW") {
            d.SMWSize = r.Int();
        } else {
            std::istringstream in(smw);
            int v = 0;
            if (ScanIntToken(in, v) && in.peek() == std::char_traits<char>::eof()) {
                hasPhyl = v;
                hasPhylRead = true;
            }
        }
    }
    if (!hasPhylRead) {
        int v = 0;
        if (ScanIntToken(fp, v)) hasPhyl = v;
    }
    r.Require(hasPhyl == 0 || hasPhyl == 1);
    d.hasPhylogeny = hasPhyl == 1;
    if (d.hasPhylogeny) {
        d.phylogenyMatrixType = r.IntIn(1, 3);
        if (d.phylogenyMatrixType != 2) r.Fits(2.0 * static_cast<double>(d.tcst) * d.tcst);
        d.phylogenyRese.assign(tcst, tcst);
        if (d.phylogenyMatrixType != 2) {
            for (std::size_t i = 0; i < tcst; ++i)
                for (std::size_t j = 0; j < tcst; ++j) d.phylogenyRese[i][j] = r.Double();
        } else {
            d.nClados = r.Count(1, 2.0 * (static_cast<double>(d.tcst) + 1.0));
            const auto nClados = static_cast<std::size_t>(d.nClados);
            d.phylogenyVarType.resize(nClados);
            for (int& t : d.phylogenyVarType) t = r.IntIn(1, kMaxTraitType);
            d.phylogenyData.assign(tcst, nClados);
            for (std::size_t i = 0; i < tcst; ++i)
                for (std::size_t c = 0; c < nClados; ++c) d.phylogenyData[i][c] = r.Double();
        }
    }

    if (marker == formdaMarker) {
        d.hasTraitGroups = r.IntIn(0, 1) == 1;
        if (d.hasTraitGroups)
            for (int& g : d.traitGroups) g = r.Int();
    }
    return d;
}

DataSet OpenFormdaFile(Console& con, const std::string& directory, const std::string& name) {
    auto fp = fopenck(con, name, directory, "r");
    if (!fp) throw FatalError{FatalCode::FailToOpen};
    return ReadFormda(con, *fp, directory + name);
}

void WriteFormdaText(std::ostream& fp, const Clock& clock, const DataSet& d, int nOTU, const std::string& title,
                     const Matrix<double>& B, const Matrix<double>& W) {
    const auto n = static_cast<std::size_t>(std::max(nOTU, 0));
    const auto nch = static_cast<std::size_t>(std::max(d.nch, 0));
    const auto ncsm = static_cast<std::size_t>(std::max(d.ncsm, 0));
    const auto nenv = static_cast<std::size_t>(std::max(d.nenv, 0));
    const auto nSpp = static_cast<std::size_t>(std::max(d.nSpp, 0));
    RequireShape(B.rows() >= n && (n == 0 || B.cols() >= nch), "B smaller than nOTU x nch");
    RequireShape(W.rows() >= n && (n == 0 || W.cols() >= ncsm), "W smaller than nOTU x ncsm");
    RequireShape(d.chLabel.size() >= nch && d.chtype.size() >= nch && d.onsta.size() >= nch, "trait tables");
    RequireShape(d.reLabel.size() >= ncsm, "community labels");
    RequireShape(nenv == 0 || (d.envVarType.size() >= nenv && d.envLabel.size() >= nenv && d.env.rows() >= ncsm &&
                               d.env.cols() >= nenv),
                 "ecological variables");
    RequireShape(nSpp == 0 || (d.spp.size() >= nSpp && d.sppRelMap.rows() >= nSpp && d.sppRelMap.cols() >= ncsm &&
                               d.cstSppMap.rows() >= n && d.cstSppMap.cols() >= nSpp),
                 "species maps");

    fp << OneLine(title, "NULL") << " \n";
    fp << d.nch << " \n";
    for (std::size_t k = 0; k < nch; ++k) fp << AsWord(d.chLabel[k]) << '\t';
    fp << '\n';
    for (std::size_t k = 0; k < nch; ++k) fp << d.chtype[k] << '\t';
    fp << '\n';
    for (std::size_t k = 0; k < nch; ++k) fp << "0\t";
    fp << '\n';
    for (std::size_t k = 0; k < nch; ++k) fp << d.onsta[k] << '\t';
    fp << '\n';
    fp << d.ncsm << " \n";
    for (std::size_t j = 0; j < ncsm; ++j) fp << AsWord(d.reLabel[j]) << '\t';
    fp << '\n';
    fp << nOTU << " \n";
    for (std::size_t j = 0; j < ncsm; ++j) fp << "0\t";
    fp << '\n';
    for (int c = 0; c < kCaCodes; ++c) fp << "0\t";
    fp << "\n\n";
    fp << formdaMarker << " \n";
    PrintMatrixTab(fp, nOTU, d.nch, B, 6);
    fp << '\n';
    PrintMatrixTab(fp, nOTU, d.ncsm, W, 6);
    fp << '\n';
    fp << d.nenv << " \n";
    if (nenv > 0) {
        fp << versionFormda << " \n";
        fp << d.optEnvVarType << " \n";
        for (std::size_t k = 0; k < nenv; ++k) fp << d.envVarType[k] << '\t';
        fp << '\n';
        for (std::size_t k = 0; k < nenv; ++k) fp << AsWord(d.envLabel[k]) << '\t';
        fp << '\n';
        fp << AsWord(d.envName) << " \n";
        for (std::size_t k = 0; k < nenv; ++k) {
            for (std::size_t j = 0; j < ncsm; ++j) fp << Fmt("%g\t", d.env[j][k]);
            fp << '\n';
        }
    }
    fp << d.nSpp << " \n";
    if (nSpp > 0) {
        fp << OneLine(d.whichSpp, "NULL") << " \n";
        for (std::size_t s = 0; s < nSpp; ++s) fp << OneLine(d.spp[s], "_") << '\n';
        for (std::size_t s = 0; s < nSpp; ++s) {
            for (std::size_t j = 0; j < ncsm; ++j) fp << (d.sppRelMap[s][j] == '1' ? '1' : '0');
            fp << '\n';
        }
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t s = 0; s < nSpp; ++s) fp << (d.cstSppMap[i][s] == '1' ? '1' : '0');
            fp << '\n';
        }
    }
    fp << "SMW " << d.SMWSize << '\n';
    fp << (d.hasPhylogeny ? 1 : 0) << '\n';
    if (d.hasPhylogeny) {
        fp << d.phylogenyMatrixType << '\n';
        if (d.phylogenyMatrixType == 1 || d.phylogenyMatrixType == 3) {
            RequireShape(d.phylogenyRese.rows() >= n && (n == 0 || d.phylogenyRese.cols() >= n), "phylogeny");
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t j = 0; j < n; ++j) fp << Fmt("%g\t", d.phylogenyRese[i][j]);
                fp << '\n';
            }
        } else if (d.phylogenyMatrixType == 2) {
            const auto nClados = static_cast<std::size_t>(std::max(d.nClados, 0));
            RequireShape(d.phylogenyVarType.size() >= nClados && d.phylogenyData.rows() >= n &&
                             (n == 0 || d.phylogenyData.cols() >= nClados),
                         "phylogeny variables");
            fp << d.nClados << '\n';
            for (std::size_t c = 0; c < nClados; ++c) fp << d.phylogenyVarType[c] << '\t';
            fp << '\n';
            for (std::size_t i = 0; i < n; ++i) {
                for (std::size_t c = 0; c < nClados; ++c) fp << Fmt("%g\t", d.phylogenyData[i][c]);
                fp << '\n';
            }
        }
    }
    fp << (d.hasTraitGroups ? 1 : 0) << '\n';
    if (d.hasTraitGroups) {
        RequireShape(d.traitGroups.size() >= nch, "trait groups");
        for (std::size_t k = 0; k < nch; ++k) fp << d.traitGroups[k] << '\t';
        fp << '\n';
    }
    TimeStamp(fp, clock);
}

void WriteFormda(Console& con, const Clock& clock, const DataSet& d, int nOTU, const std::string& fileName,
                 const std::string& title, const Matrix<double>& B, const Matrix<double>& W) {
    SafeWriter file(con, fileName);
    WriteFormdaText(file.out(), clock, d, nOTU, title, B, W);
    file.Commit();
}

}  // namespace kolvar
