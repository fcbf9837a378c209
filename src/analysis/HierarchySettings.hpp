#pragma once
// Settings of the functional analysis that the session keeps between runs and
// records in its track file. The dialogues set them; the analyses read them.

#include <string>

namespace kolvar {

struct HierarchySettings {
    int isHierarchical = 0;     ///< always 0 after the settings dialogue
    int traitBasedOpt = 0;      ///< 1: traits scaled up from OTUs to communities
    int optEnvStruct = 0;
    int rese_opt = 0;           ///< resemblance function between communities
    int reseCstOpt = 0;         ///< resemblance option between OTUs (0 after each analysis)
    int partOpt = 0;            ///< 0 mixed data, 1 quantitative, 2 qualitative component
    int fuzzy = 0;              ///< 0 crisp, 3 fuzzy belonging of OTUs to types
    double fuzziness = 0.0;     ///< 1.0 whenever fuzzy becomes 3
    int reseTypeOrd = 0, reseTypeClus = 0, reseTypeEv = 0, reseTypeRnd = 0, reseTypeERank = 0;
    int cohe = 0;
    int groupDissMeth = 0;
    int empir_opt = 0;
    int keepRichness = 0;
    int whichPart = 0;          ///< community partition in use
    int whichCstPart = 0;       ///< OTU partition in use
    int whichPartAOC = 0, whichPartCstAOC = 0;
    int doDistrib = 0;
    int adjacentRelOpt = 0;
    int whichLevelCst = 0;
    int poolCSTopt = 0;         ///< 2 (polythetic) after the settings dialogue
    int clusMethPoolCSTs = 0;   ///< 0: OTU types come from a partition
    int SMWSize = 1;            ///< half size of the split moving window
};

}  // namespace kolvar
