#pragma once
// The data set of the open session: counts, labels, B, W, E, species maps,
// phylogeny, and the zeroed working storage the analyses fill in. One
// instance lives in Program::data from OpenFormda to FreeGlobals2.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "QMLib/Matrix.hpp"

namespace kolvar {

inline constexpr int kMaxPartitions = 10;   ///< partitions of communities and of OTUs
inline constexpr int kLabelLen = 70;        ///< trait, community, variable labels, species names
inline constexpr int kPartLabelLen = 20;    ///< partition labels
inline constexpr int kGroupLabelLen = 4;    ///< group labels inside a partition
inline constexpr int kDataNameLen = 319;    ///< longest title
inline constexpr int kWhichSppLen = 150;    ///< longest species-name source
inline constexpr int kCaCodes = 7;          ///< values of a cover-abundance scale

struct DataSet {
    // Counts.
    int nch = 0;      ///< traits
    int ncsm = 0;     ///< communities
    int tcst = 0;     ///< OTUs
    int nenv = 0;     ///< ecological variables (0: none)
    int nSpp = 0;     ///< species names (0: none)
    int nClados = 0;  ///< phylogeny variables (phylogenyMatrixType 2 only)

    // Texts. Labels are blank-free words of at most kLabelLen characters.
    std::string dataName;                 ///< title; keeps the blank the writer puts after it
    std::vector<std::string> chLabel;     ///< nch trait labels
    std::vector<std::string> reLabel;     ///< ncsm community labels
    std::vector<std::string> envLabel;    ///< nenv variable labels
    std::string envName;                  ///< one word naming the ecological data
    std::string whichSpp;                 ///< species-name source (one line)
    std::vector<std::string> spp;         ///< nSpp species names (may hold blanks)

    // Trait description, one entry per trait (nch).
    std::vector<int> chtype;       ///< 1 binary, 2 nominal, 3 quantitative, 4 ordinal
    std::vector<double> chrange;   ///< 0 on file; computed by the analyses when needed
    std::vector<int> onsta;        ///< distinct non-missing values among the OTUs
    std::vector<int> traitGroups;  ///< group of each trait; all 0 unless hasTraitGroups
    bool hasTraitGroups = false;
    std::vector<int> nchor, rcst, nGrPoly;  ///< working vectors, zeroed at open
    std::vector<double> weight;             ///< per-trait weights, zeroed at open

    // Matrices.
    Matrix<double> csm_Float;      ///< B: tcst x nch (doubles despite the name)
    Matrix<double> cadat;          ///< W: tcst x ncsm, [OTU][community]
    Matrix<double> env;            ///< E: ncsm x nenv, [community][variable]
    Matrix<double> phylogenyRese;  ///< tcst x tcst when hasPhylogeny; filled for types 1 and 3, zero for 2
    Matrix<double> phylogenyData;  ///< tcst x nClados (phylogenyMatrixType 2)
    std::vector<int> phylogenyVarType;  ///< nClados types
    Matrix<char> sppRelMap;        ///< nSpp x ncsm, characters '0'/'1'
    Matrix<char> cstSppMap;        ///< tcst x nSpp, characters '0'/'1'

    // Phylogeny.
    bool hasPhylogeny = false;
    int phylogenyMatrixType = 0;   ///< 1 similarities, 2 table of variables, 3 normalized distances

    // Ecological variables.
    int optEnvVarType = 0;         ///< 1..5, see the import dialogue
    std::vector<int> envVarType;   ///< nenv types: 1 binary, 2 nominal, 3 quantitative, 4 ordinal
    int temEnvBin = 0, temEnvQual = 0, temEnvQuant = 0;  ///< 1 when some variable has type 1, 2, 3

    // Other stored values.
    std::vector<int> ncst;                     ///< ncsm values, 0 on file
    std::array<double, kCaCodes> ca_code{};    ///< cover-abundance scale, 0 on file
    /// Moving-window size as stored with the data; 1 when the file has none.
    /// OpenFormda copies it into HierarchySettings::SMWSize, the session setting
    /// the track file records; ReadTrack sets both.
    int SMWSize = 1;

    // Partitions of communities (created empty at open).
    std::vector<std::string> partLabel;              ///< kMaxPartitions labels
    std::vector<int> nGroupsP;                       ///< kMaxPartitions
    Matrix<int> groupRelP;                           ///< kMaxPartitions x ncsm
    std::vector<std::vector<std::string>> grLabelP;  ///< kMaxPartitions tables of ncsm labels
    std::vector<int> relSelect;                      ///< ncsm
    std::vector<int> eVarSelect;                     ///< max(ncsm, nenv) flags

    // Partitions of OTUs (created empty at open). groupCst and grCstLabel of
    // the text are partition 0: groupCstP[0] and grCstLabelP[0].
    std::vector<std::string> partCstLabel;              ///< kMaxPartitions labels
    std::vector<int> nGroupsCstP;                       ///< kMaxPartitions
    std::vector<int> whichLevelGrCstP;                  ///< kMaxPartitions
    Matrix<int> groupCstP;                              ///< kMaxPartitions x tcst
    std::vector<std::vector<std::string>> grCstLabelP;  ///< kMaxPartitions tables of tcst labels
    std::vector<int> partition_OTUs;                    ///< tcst

    std::vector<int> weight_OTUs;  ///< tcst
    Matrix<int> cstTrack;          ///< nch x tcst

    /// Partition 0 of the OTU partitions, under the names the analyses use.
    std::span<int> groupCst() { return groupCstP[0]; }
    std::vector<std::string>& grCstLabel() { return grCstLabelP[0]; }
};

/// Sizes every per-trait, per-community, per-OTU vector, the partition
/// storage and the working matrices of `d` from its counts, zero-filled.
/// B, W, E, species maps and phylogeny are left to the caller.
void AllocateWorkingStorage(DataSet& d);

}  // namespace kolvar
