#pragma once
// The search over trait subsets for the twelve correlation criteria: every
// subset within the chosen sizes is scaled up to community matrices and scored
// by one matrix correlation (or partial correlation) with E, P or Y; the best
// subset of each size and the 100 best overall go to the results file.

#include "ranking/BestList.hpp"
#include "ranking/RankingData.hpp"

namespace kolvar {

/// Criterion codes of the search: 1 r(RE), 2 r(XE.TR), 3 r(SE), 4 r(PX),
/// 5 r(PT), 6 r(PX.T), 7 r(XY), 8 r(TY), 9 r(XY.T), 10 r(XE), 11 r(TE), 12 r(XE.T).
inline bool IsPartialCode(int code) { return code == 2 || code == 6 || code == 9 || code == 12; }
inline CompareMode CodeCompareMode(int code) { return IsPartialCode(code) ? CompareMode::Absolute : CompareMode::Signed; }

/// The matrices the criterion code needs.
Needs ChRankNeeds(int code);

/// Value of criterion `code` for the subset in w.select (S, U, X, T, R or Sd
/// and the distances built here). rd must be prepared with ChRankNeeds(code).
double EvaluateChRankCode(const RankingData& rd, int code, SubsetWork& w);

/// Runs the search for the criterion code and writes volumeName + rs.whichChorder
/// whole (the old file stays when writing fails: FatalError FailToOpen or
/// FailToPrint) and, with saveStruct 'y', the structures file. An undefined
/// community resemblance ends with "Undefined resemblance option!" (FatalError Stop).
void ChRankLib(const RankingInputs& in, int code);

}  // namespace kolvar
