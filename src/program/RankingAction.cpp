// Analysis menu K: the trait ranking. The dialogue pieces that need the whole
// program (menu heading, functional-analysis settings) run here; the search
// gets the parts of the state it reads.

#include "analysis/Settings.hpp"
#include "ranking/NicheConservation.hpp"
#include "ranking/RankingSettings.hpp"
#include "ranking/SubsetSearch.hpp"
#include "program/Actions.hpp"
#include "program/Menus.hpp"

namespace kolvar {

std::optional<std::string> IFChOrderSearch(Program& p) {
    DataSet& d = p.data.value();
    RankingSettings rs;
    SettingsChRank(
        p.con, d, p.fa, p.hier, rs, [&] { Menu(p.con, p.session, "CHARACTER RANKING SETTINGS"); }, [&] { SettingsHierarchy(AnalysisOf(p)); });

    rs.whichChorder = p.session.sessionName + ChRankSuffix(p.fa.opt_struct);
    Console& con = p.con;
    RankingInputs in{con,   p.clock, p.opt, p.session, d, p.fa, p.hier, rs, p.rnd,
                     [&con](const char* message) { HandleEventInfoWhere2(con, message); }};
    const int code = ChRankCode(p.fa.opt_struct);
    if (code == 0)
        ChRank_Phylogeny_x_Trait_Assembly(in);
    else
        ChRankLib(in, code);
    return rs.whichChorder;
}

}  // namespace kolvar
