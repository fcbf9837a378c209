#pragma once
// Import of the user's raw text files (B, W, species names, E, phylogeny F)
// into a session's formatted data file, and the clean-up that keeps a data
// set consistent after a subset or a merge.

#include <istream>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"
#include "base/Console.hpp"
#include "base/State.hpp"
#include "data/DataSet.hpp"

namespace kolvar {


/// The import dialogue. Writes the file named by session.whichFormda; the
/// data set read here is released on return (the session reopens the file).
void IFFormat(Console& con, const Clock& clock, const Session& session);

/// Distinct values of each of the nch columns of B over its first nOTU rows,
/// by exact equality; -999 is not a state.
void CountStates(int nch, int nOTU, std::vector<int>& onsta, const Matrix<double>& B);
/// Largest minus smallest value of every type-3 column, -999 skipped; other
/// entries untouched. A column with no value at all gets range 0.
void RangeStates(int nch, int nOTU, const Matrix<double>& B, const std::vector<int>& chtype,
                 std::vector<double>& chrange);

/// Species maps at import, from d.spp (one name per OTU): equal names become
/// one species; labelOption 2 prefixes each name with a program-made code.
void CheckSpecies(DataSet& d, int labelOption);
/// sppRelMap from cstSppMap and cadat: a species is present where any of its OTUs is.
void SpeciesReleveMap(DataSet& d);
/// True when the first four characters of code equal those of one of labels[0..n-1]
/// (compared as C strings: a shorter text ends the comparison).
bool CheckIdenticalLabels(const std::string& code, const std::vector<std::string>& labels, int n);

/// Clean-up after a subset or merge: drops OTUs absent everywhere (from B, W,
/// the species map and the phylogeny), merges equal species, recounts ncst,
/// states (option 1) and ranges, trims species. Returns the number of empty communities.
int CheckData(DataSet& d, int option);
/// Merges species of identical names (memberships and presences added to the first).
void CheckSpeciesMerge(DataSet& d);
/// A trait labelled "sp" becomes a species key: the 0-based index of the
/// first OTU of each OTU's species.
void CheckCSTsSameSpecies(DataSet& d);
/// Removes species unused by the first nOTU OTUs or present nowhere, and
/// memberships of OTUs that never co-occur with their species.
void TrimSpecies(DataSet& d, int nOTU);

}  // namespace kolvar
