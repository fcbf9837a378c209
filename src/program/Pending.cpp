// Menu entries whose subsystems are not part of this build yet. Each says so
// on the console and changes nothing.

#include "program/Actions.hpp"

namespace kolvar {

namespace {
void NotAvailable(Program& p, const char* what) {
    p.con.out << '\n' << what << " not available in this build\n";
}
}  // namespace

std::optional<std::string> IFChOrderSearch(Program& p) {
    NotAvailable(p, "Trait ranking");
    return std::nullopt;
}
void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(Program& p) {
    NotAvailable(p, "Metacommunity data simulation");
}

}  // namespace kolvar
