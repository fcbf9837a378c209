// The thin entries of the menu actions: each assembles the parts of the
// program's state its subsystem works on and calls down.

#include "program/Actions.hpp"

#include "analysis/FunctionalAnalysis.hpp"
#include "analysis/Settings.hpp"
#include "data/Formda.hpp"
#include "program/Track.hpp"

namespace kolvar {

AnalysisState AnalysisOf(Program& p) {
    return AnalysisState{p.con, p.clock, p.opt, p.session, p.hier, p.fa, p.data.value(), p.rnd};
}

void OpenFormda(Program& p, int /*reading: the program always reads the whole file*/) {
    p.data.reset();
    p.data.emplace(OpenFormdaFile(p.con, p.session.volumeName, p.session.whichFormda));
    p.hier.SMWSize = p.data->SMWSize;
    p.session.dirtyOrig = 0;
}

std::optional<std::string> IFHierarchicalAccum(Program& p) {
    Session& s = p.session;
    s.whichPrinda = s.sessionName + prindaExt;
    s.whichHier = s.sessionName + hierExt;

    ResultFlags& f = p.flags;
    f.hasHier = 1;
    f.hasCstRese = f.hasCstClus = f.hasNRese = f.hasPRese = f.hasScores = f.hasReClus = f.hasAOCScor = 0;
    f.hasProbN = f.hasProbRo = f.hasRo = f.hasComplexity = f.hasVelocity = f.hasRoVelComplex = 0;
    f.hasRoVelComplexPROB = 0;
    p.groups.nCstGroups = 0;
    p.groups.whichLevelGrCST = 1;

    const AnalysisState a = AnalysisOf(p);
    SettingsHierarchy(a);

    HierarchySettings& hier = p.hier;
    hier.cohe = 0;
    hier.reseTypeOrd = hier.reseTypeClus = hier.reseTypeEv = hier.reseTypeRnd = hier.reseTypeERank = 1;
    hier.reseCstOpt = 0;

    DataSet& d = a.data;
    FunctionalSettings& fa = p.fa;
    if (hier.traitBasedOpt == 1 && hier.poolCSTopt == 2) {
        PFTs_ScalingUp(a);
        for (int j = 0; j < d.nch && j < static_cast<int>(d.nGrPoly.size()) && j < static_cast<int>(d.rcst.size()); ++j)
            d.rcst[j] = d.nGrPoly[j];
    }
    if (fa.optRestrictPermutNullModel == 1) fa.nestingMembershipOTUs.clear();
    if (fa.includePhylogeny) {
        fa.partition_OTUs_Phyl.clear();
        if (!d.hasPhylogeny) {
            d.phylogenyRese = Matrix<double>();
            if (d.phylogenyMatrixType == 2) {
                d.phylogenyData = Matrix<double>();
                d.phylogenyVarType.clear();
            }
        }
    }
    WriteTrack(p, true);
    return s.whichPrinda;
}

}  // namespace kolvar
