#pragma once
// Partitions of objects (communities or OTUs) into labelled groups: the
// console dialogue, the cut of a stored cluster fusion record, and the
// counting of distinct group numbers.

#include <span>
#include <string>
#include <vector>

#include "base/Console.hpp"
#include "base/State.hpp"

namespace kolvar {


/// Distinct group numbers among groups, ascending, into *distinct when given;
/// returns their number (0 for an empty list).
int CountGroups(std::span<const int> groups, std::vector<int>* distinct = nullptr);
/// As CountGroups over the entries whose select flag is 1.
int CountGroupsSelect(std::span<const int> groups, std::span<const int> select,
                      std::vector<int>* distinct = nullptr);

/// Asks for a partition of n objects (n >= 1) into labelled groups. On return
/// nGroups >= 1, labels holds nGroups labels of at most 4 characters and
/// membership[i] (0-based object i) the 1-based group of the object.
/// objWord names the objects in the prompts ("communities" for communities);
/// names, when given, are printed for the objects instead of their numbers;
/// clusterRecord names a fusion record (in session.volumeName) to offer as a
/// source ("" when none), offered only when flags say the record exists.
/// Returns whichObj: 'r' for communities, 'c' otherwise.
char SettingAnyGroups(Console& con, const Session& session, const ResultFlags& flags, int n, int& nGroups,
                      std::vector<int>& membership, std::vector<std::string>& labels, const std::string& objWord,
                      const std::vector<std::string>* names = nullptr, const std::string& clusterRecord = "");

/// Cuts the fusion record in file at nGroups groups: membership[i] (0-based
/// object i) becomes a group number, consecutive from 1. An unreadable or
/// out-of-range item is fatal (END OF FILE) after naming the file.
void GetPartition(Console& con, const std::string& file, int n, int nGroups, std::vector<int>& membership);

}  // namespace kolvar
