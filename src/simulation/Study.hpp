#pragma once
// The simulation study (main menu A): the design dialogue, one model run per
// simulated data set, the files of the simulated data and, in the error-rate
// mode, the permutation test of every data set and the rejection rates.

#include "base/Progress.hpp"
#include "base/State.hpp"
#include "simulation/Design.hpp"
#include "simulation/ErrorRates.hpp"

namespace kolvar {

struct Console;
class Clock;
struct Random;

/// The parts of the program the study uses.
struct SimulationEnv {
    Console& con;
    const Clock& clock;
    const Options& opt;
    Random& rnd;
    ProgressFn progress;       ///< progress lines of the model runs
    SettingsDialogue settings; ///< the functional-analysis settings dialogue (error-rate mode)
};

/// Asks the design, then runs the study.
void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(SimulationEnv& env);

/// Runs a study of an answered design: seeds the generator with d.rseed,
/// empties and writes the study files in the current folder.
void RunSimulationStudy(SimulationEnv& env, const SimulationDesign& d);

/// Name of the file that receives the design, the simulated data and the results.
inline constexpr const char* kFinalDataFile = "FinalSimulatedData.txt";

}  // namespace kolvar
