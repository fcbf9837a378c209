// Main menu A: the metacommunity simulation study, given the parts of the
// program it uses. The functional-analysis settings of its error-rate mode are
// asked through the shared settings dialogue on a data set shaped like the
// simulated data (every OTU its own type).

#include <string>

#include "analysis/Settings.hpp"
#include "data/DataSet.hpp"
#include "program/Actions.hpp"
#include "simulation/Study.hpp"

namespace kolvar {

namespace {

void AskAnalysisSettings(Program& p, const AnalysisShape& shape, AnalysisSettings& out) {
    DataSet d;
    d.nch = shape.nTraits;
    d.tcst = shape.nOTUs;
    d.ncsm = shape.nSites;
    AllocateWorkingStorage(d);
    for (int t = 0; t < d.nch; ++t) d.chLabel.push_back(std::to_string(t + 1));
    for (int i = 0; i < d.ncsm; ++i) d.reLabel.push_back(std::to_string(i + 1));
    for (int j = 0; j < d.tcst; ++j) d.partition_OTUs[j] = j + 1;

    // The dialogue works on the program's settings; nothing of a session leaks in or out.
    const Session keptSession = p.session;
    const FunctionalSettings keptFa = p.fa;
    const HierarchySettings keptHier = p.hier;
    p.session.optmain = 'A';
    p.session.whichPrinda = "NULL";
    p.data.emplace(std::move(d));
    SettingsHierarchy(AnalysisOf(p));
    out.fa = p.fa;
    out.hier = p.hier;
    out.weight = p.data->weight;
    out.weight_OTUs = p.data->weight_OTUs;
    out.weight.resize(static_cast<std::size_t>(shape.nTraits), 0.0);
    out.weight_OTUs.resize(static_cast<std::size_t>(shape.nOTUs), 1);
    p.data.reset();
    p.session = keptSession;
    p.fa = keptFa;
    p.hier = keptHier;
}

}  // namespace

void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(Program& p) {
    SimulationEnv env{p.con, p.clock, p.opt, p.rnd,
                      [&p](const char* message) { HandleEventInfoWhere2(p.con, message); },
                      [&p](const AnalysisShape& shape, AnalysisSettings& out) { AskAnalysisSettings(p, shape, out); }};
    IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(env);
}

}  // namespace kolvar
