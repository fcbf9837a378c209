#include "program/Track.hpp"

#include <algorithm>
#include <array>
#include <type_traits>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "base/SafeWrite.hpp"
#include "program/Actions.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

// Name slots of results this program never produces; they always hold "NULL".
constexpr int kUnusedSlotsBeforeHier = 3;  // whichEnvRese, whichEnvScores, whichEnvRank
constexpr int kUnusedSlotsAfterHier = 13;  // whichCstRese ... whichRoVelComplex

// The flags in file order.
std::array<int*, 20> FlagsInOrder(ResultFlags& f) {
    return {&f.hasEnvRese, &f.hasEnvScores, &f.hasEnvRank, &f.hasHier, &f.hasCstRese, &f.hasNRese, &f.hasPRese,
            &f.hasRo, &f.hasProbRo, &f.hasScores, &f.hasProbN, &f.hasReClus, &f.hasCstClus, &f.hasAOCScor,
            &f.hasVegOrdiCorrel, &f.hasEnvOrdiCorrel, &f.hasComplexity, &f.hasVelocity, &f.hasRoVelComplex,
            &f.hasRoVelComplexPROB};
}

std::array<int*, 9> ReseSettingsInOrder(HierarchySettings& h) {
    return {&h.reseTypeOrd, &h.reseTypeClus, &h.reseTypeEv, &h.reseTypeRnd, &h.reseTypeERank,
            &h.cohe, &h.groupDissMeth, &h.empir_opt, &h.keepRichness};
}

std::array<int*, 5> TailSettingsInOrder(HierarchySettings& h) {
    return {&h.adjacentRelOpt, &h.whichLevelCst, &h.poolCSTopt, &h.clusMethPoolCSTs, &h.SMWSize};
}

// Element i, or 0 where a caller left a table shorter than the counts say.
template <class V>
auto At(const V& v, int i) -> std::remove_cvref_t<decltype(v[0])> {
    return i >= 0 && static_cast<std::size_t>(i) < v.size() ? v[static_cast<std::size_t>(i)]
                                                             : std::remove_cvref_t<decltype(v[0])>{};
}
int At(const Matrix<int>& m, int i, int j) {
    return i >= 0 && j >= 0 && static_cast<std::size_t>(i) < m.rows() && static_cast<std::size_t>(j) < m.cols()
               ? m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
               : 0;
}

int Clamp(int v, int lowest, int highest) { return std::max(lowest, std::min(v, highest)); }

// How many group numbers an OTU partition holds: the OTU count of its level,
// never more than the OTUs there are (levels outside 1..nch hold none).
int OtuPartitionSize(const DataSet& d, int level) {
    if (level < 1 || level > d.nch || static_cast<std::size_t>(level) > d.rcst.size()) return 0;
    return Clamp(d.rcst[static_cast<std::size_t>(level - 1)], 0, d.tcst);
}

// Labels are read back as words: an empty or blank-holding label would shift the items after it.
std::string AsWord(const std::string& label) {
    if (label.empty()) return "_";
    std::string w = label;
    for (char& c : w)
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') c = '_';
    return w;
}

}  // namespace

void WriteTrackText(std::ostream& fp, const Program& p, bool full) {
    fp << AsWord(p.session.whichFormda) << '\n' << versionTrack << '\n';
    if (!full || !p.data) return;
    const DataSet& d = *p.data;
    // The writer reads through the same accessors as the reader, so the two orders cannot drift apart.
    ResultFlags flags = p.flags;
    HierarchySettings h = p.hier;

    for (int i = 0; i < kUnusedSlotsBeforeHier; ++i) fp << "NULL\n";
    fp << AsWord(p.session.whichHier) << '\n';
    for (int i = 0; i < kUnusedSlotsAfterHier; ++i) fp << "NULL\n";

    fp << h.isHierarchical << '\n' << h.traitBasedOpt << '\n';
    for (int* f : FlagsInOrder(flags)) fp << *f << '\n';
    fp << h.optEnvStruct << '\n' << h.rese_opt << '\n' << h.reseCstOpt << '\n' << h.partOpt << '\n';

    for (int k = 0; k < d.nch; ++k) fp << At(d.nchor, k) << ' ';
    fp << '\n';
    for (int k = 0; k < d.nch; ++k) fp << At(d.rcst, k) << ' ';
    fp << '\n';
    for (int k = 0; k < d.nch; ++k) fp << At(d.nGrPoly, k) << ' ';
    fp << '\n' << h.fuzzy << '\n';
    fp << Fmt("%g\n", h.fuzziness);
    for (int* v : ReseSettingsInOrder(h)) fp << *v << '\n';

    const int nPart = Clamp(p.groups.nPart, 0, kMaxPartitions);
    fp << nPart << '\n' << h.whichPart << '\n';
    for (int q = 0; q < nPart; ++q) fp << AsWord(At(d.partLabel, q)) << ' ';
    fp << '\n';
    std::array<int, kMaxPartitions> nGroups{};
    for (int q = 0; q < nPart; ++q) {
        nGroups[q] = Clamp(At(d.nGroupsP, q), 0, d.ncsm);
        fp << nGroups[q] << ' ';
    }
    fp << '\n';
    for (int q = 0; q < nPart; ++q) {
        for (int g = 0; g < nGroups[q]; ++g) fp << AsWord(At(At(d.grLabelP, q), g)) << ' ';
        fp << '\n';
    }
    for (int q = 0; q < nPart; ++q) {
        for (int j = 0; j < d.ncsm; ++j) fp << At(d.groupRelP, q, j) << ' ';
        fp << '\n';
    }
    fp << h.whichPartAOC << ' ' << h.whichPartCstAOC << ' ' << '\n' << p.groups.whichLevelGrCST << '\n';

    const int nPartCst = Clamp(p.groups.nPartCst, 0, kMaxPartitions);
    fp << nPartCst << '\n' << h.whichCstPart << '\n';
    for (int q = 0; q < nPartCst; ++q) fp << AsWord(At(d.partCstLabel, q)) << ' ';
    fp << '\n';
    std::array<int, kMaxPartitions> nCstGroups{};
    for (int q = 0; q < nPartCst; ++q) {
        nCstGroups[q] = Clamp(At(d.nGroupsCstP, q), 0, d.tcst);
        fp << nCstGroups[q] << ' ';
    }
    fp << '\n';
    for (int q = 0; q < nPartCst; ++q) {
        for (int g = 0; g < nCstGroups[q]; ++g) fp << AsWord(At(At(d.grCstLabelP, q), g)) << ' ';
        fp << '\n';
    }
    for (int q = 0; q < nPartCst; ++q) fp << At(d.whichLevelGrCstP, q) << ' ';
    fp << '\n';
    for (int q = 0; q < nPartCst; ++q) {
        const int n = OtuPartitionSize(d, At(d.whichLevelGrCstP, q));
        for (int i = 0; i < n; ++i) fp << At(d.groupCstP, q, i) << ' ';
        fp << '\n';
    }
    for (int j = 0; j < d.ncsm; ++j) fp << At(d.relSelect, j) << ' ';
    fp << '\n' << h.doDistrib << '\n';
    for (int* v : TailSettingsInOrder(h)) fp << *v << '\n';
}

void WriteTrack(Program& p, bool full) {
    SafeWriter file(p.con, p.session.volumeName + p.session.whichTrack);
    WriteTrackText(file.out(), p, full);
    file.Commit();
}

void ReadTrackFrom(Program& p, std::istream& fp, const std::string& label) {
    Console& con = p.con;
    SkipByteOrderMark(fp);
    auto fail = [&]() {
        con.err << "\nfile " << label << ' ' << '\a';
        con.err.flush();
        throw FatalError{FatalCode::EndOfFile};
    };
    auto word = [&](std::size_t maxChars) {
        std::string w;
        freadck(con, fp, w, label);
        if (w.size() > maxChars) w.resize(maxChars);
        return w;
    };
    auto integer = [&]() {
        int v = 0;
        freadck(con, fp, v, label);
        return v;
    };
    auto count = [&](int highest) {
        const int v = integer();
        if (v < 0 || v > highest) fail();
        return v;
    };

    p.session.whichFormda = word(kMaxFileName);
    const std::string trackVersion = word(kMaxFileName);
    const bool sameVersion = trackVersion == versionTrack;
    if (!sameVersion)
        con.out << "\nFormda file is compatible, but other files of the session "
                << "are not compatible with this program version." << std::string(53, ' ') << '\n';
    fp >> std::ws;
    fp.clear();
    if (fp.peek() == std::char_traits<char>::eof()) return;  // short form: the settings in memory stay
    if (!sameVersion || !p.data) return;

    DataSet& d = *p.data;
    if (d.nchor.size() != static_cast<std::size_t>(d.nch) || d.groupCstP.rows() != kMaxPartitions)
        AllocateWorkingStorage(d);
    HierarchySettings& h = p.hier;
    for (int i = 0; i < kUnusedSlotsBeforeHier; ++i) word(kMaxFileName);
    p.session.whichHier = word(kMaxFileName);
    for (int i = 0; i < kUnusedSlotsAfterHier; ++i) word(kMaxFileName);

    h.isHierarchical = integer();
    h.traitBasedOpt = integer();
    for (int* f : FlagsInOrder(p.flags)) *f = integer();
    h.optEnvStruct = integer();
    h.rese_opt = integer();
    h.reseCstOpt = integer();
    h.partOpt = integer();
    for (int& v : d.nchor) v = integer();
    for (int& v : d.rcst) v = integer();
    for (int& v : d.nGrPoly) v = integer();
    h.fuzzy = integer();
    freadck(con, fp, h.fuzziness, label);
    for (int* v : ReseSettingsInOrder(h)) *v = integer();

    p.groups.nPart = count(kMaxPartitions);
    h.whichPart = integer();
    const int nPart = p.groups.nPart;
    for (int q = 0; q < nPart; ++q) d.partLabel[q] = word(kPartLabelLen);
    for (int q = 0; q < nPart; ++q) d.nGroupsP[q] = count(d.ncsm);
    for (int q = 0; q < nPart; ++q)
        for (int g = 0; g < d.nGroupsP[q]; ++g) d.grLabelP[q][g] = word(kGroupLabelLen);
    for (int q = 0; q < nPart; ++q)
        for (int j = 0; j < d.ncsm; ++j) d.groupRelP[q][j] = integer();
    h.whichPartAOC = integer();
    h.whichPartCstAOC = integer();
    p.groups.whichLevelGrCST = integer();

    p.groups.nPartCst = count(kMaxPartitions);
    h.whichCstPart = integer();
    const int nPartCst = p.groups.nPartCst;
    for (int q = 0; q < nPartCst; ++q) d.partCstLabel[q] = word(kPartLabelLen);
    for (int q = 0; q < nPartCst; ++q) d.nGroupsCstP[q] = count(d.tcst);
    for (int q = 0; q < nPartCst; ++q)
        for (int g = 0; g < d.nGroupsCstP[q]; ++g) d.grCstLabelP[q][g] = word(kGroupLabelLen);
    for (int q = 0; q < nPartCst; ++q) d.whichLevelGrCstP[q] = integer();
    for (int q = 0; q < nPartCst; ++q) {
        const int n = OtuPartitionSize(d, d.whichLevelGrCstP[q]);
        for (int i = 0; i < n; ++i) d.groupCstP[q][i] = integer();
    }
    for (int& v : d.relSelect) v = integer();
    h.doDistrib = integer();
    for (int* v : TailSettingsInOrder(h)) *v = integer();
    d.SMWSize = h.SMWSize;
}

int ReadTrack(Program& p) {
    const std::string path = p.session.volumeName + p.session.whichTrack;
    auto fp = fopenck(p.con, p.session.whichTrack, p.session.volumeName, "r");
    if (!fp) throw FatalError{FatalCode::FailToOpen};
    ReadTrackFrom(p, *fp, path);
    return 1;
}

}  // namespace kolvar
