#pragma once
// The formatted data file: a tab-separated text holding one data set (B, W,
// optional E, species maps, phylogeny, trait groups). Written once per data
// set; every session opens it again, so it is the unchanged reference from
// which each analysis starts.

#include <istream>
#include <ostream>
#include <string>

#include "QMLib/Matrix.hpp"
#include "data/DataSet.hpp"
#include "base/Console.hpp"

namespace kolvar {

inline constexpr const char* formdaMarker = "25Jun2016";      ///< current layout, with trait groups
inline constexpr const char* formdaMarker2008 = "18Jan2008";  ///< older layout, no trait groups
inline constexpr const char* versionFormda = "97Sep08";       ///< marks an E block with variable types

/// Reads a whole formatted data file from `fp`; `label` names the file in
/// messages. Any missing, malformed or impossible item (a count below its
/// minimum, or announcing more items than the rest of the file can hold)
/// prints "\nfile <label> " and throws EndOfFile. B, W and E keep -999 as read.
DataSet ReadFormda(Console& con, std::istream& fp, const std::string& label);
/// Opens directory + name and reads it with ReadFormda; a file that cannot be
/// opened prints "\ncan't open <directory + name> \n" and throws FailToOpen.
DataSet OpenFormdaFile(Console& con, const std::string& directory, const std::string& name);

/// The file's text: the counts, labels, types, maps and phylogeny come from
/// `d`; the title, the OTU count and B (nOTU x nch), W (nOTU x ncsm) from the
/// arguments. Labels are written as blank-free words (blanks become '_').
void WriteFormdaText(std::ostream& fp, const Clock& clock, const DataSet& d, int nOTU, const std::string& title,
                     const Matrix<double>& B, const Matrix<double>& W);

/// Replaces the file `fileName` (directory included) by WriteFormdaText's text;
/// the old file survives any failure (FailToOpen or FailToPrint).
void WriteFormda(Console& con, const Clock& clock, const DataSet& d, int nOTU, const std::string& fileName,
                 const std::string& title, const Matrix<double>& B, const Matrix<double>& W);

}  // namespace kolvar
