#include "analysis/TestSettings.hpp"

namespace kolvar {

void SetTestOptions(PermTest_FunctionalPhyl_Correl_Input& in, const FunctionalSettings& fa,
                    const HierarchySettings& hier, const Options& opt) {
    in.niter = fa.niter;
    in.doBootstrapOpt = fa.doBootstrapOpt;
    in.rese_opt = hier.rese_opt;
    in.opt_ro = fa.opt_ro;
    in.opt_MatrixCorr = fa.opt_MatrixCorr;
    in.squareDistMatrixOpt = fa.squareDistMatrixOpt;
    in.overfitFactorPCARegr = opt.overfitFactorPCARegr;
    in.printIntermPermResults = fa.printIntermPermResults;
    in.optWeightedNullModel = fa.optWeightedNullModel != 0;
    in.sqrtDissimOpt_RaoTraits = opt.sqrtDissimOpt_RaoTraits;
    in.sqrtDissimOpt_RaoPhyl = opt.sqrtDissimOpt_RaoPhyl;
    in.optRestrictPermutNullModel = fa.optRestrictPermutNullModel;
    in.nestingMembershipOTUs = fa.nestingMembershipOTUs;
    in.optTaxaSiteShuffle = fa.optTaxaSiteShuffle;
    in.twoTailedTest = opt.twoTailedTest;
    in.oneMatrixPermPartialCorr = opt.oneMatrixPermPartialCorr;
    in.nonParametricSES_opt = opt.nonParametricSES_opt;
    in.restrictRaoWithinOpt = fa.restrictRaoWithinOpt;
}

}  // namespace kolvar
