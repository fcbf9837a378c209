// Group partitions: the console dialogue and the fusion-record cut.

#include "data/Groups.hpp"

#include <algorithm>

#include "base/Fatal.hpp"
#include "base/Fmt.hpp"
#include "base/Heading.hpp"
#include "base/Prompts.hpp"

namespace kolvar {

namespace {

constexpr std::size_t kGroupLabelMax = 4;

[[noreturn]] void BadRecord(Console& con, const std::string& file) {
    con.err << "\nfile " << file << ' ' << '\a';
    con.err.flush();
    throw FatalError{FatalCode::EndOfFile};
}

// Counts of consecutive objects per group, until they add up to n.
void MembershipByCounts(Console& con, int n, const std::vector<std::string>& labels, const std::string& objWord,
                        std::vector<int>& membership) {
    const int k = static_cast<int>(labels.size());
    std::vector<int> counts(labels.size());
    con.out << Fmt("\nEnter number of %s per group:", objWord.c_str());
    for (;;) {
        con.out << "\nGroups:            ";
        for (const auto& l : labels) con.out << Fmt("%-3s ", l.c_str());
        con.out << Fmt("\nNumber of %s: ", objWord.c_str());
        long sum = 0;
        for (int g = 0; g < k; ++g) {
            counts[g] = ReadIntIn(con, "%-3d ", "-", 0, n);
            sum += counts[g];
        }
        if (con.macroMode() && con.outm) *con.outm << '\n';
        if (sum == n) break;
        con.out << "\nError!! Reenter!!\n" << Fmt("\nEnter number of %s per group:", objWord.c_str());
    }
    int i = 0;
    for (int g = 0; g < k; ++g)
        for (int c = 0; c < counts[g]; ++c) membership[i++] = g + 1;
}

// One group label per object, until every label names a group.
void MembershipByLabels(Console& con, int n, const std::vector<std::string>& labels, const std::string& objWord,
                        const std::vector<std::string>* names, std::vector<int>& membership) {
    std::vector<std::string> given;
    for (;;) {
        con.out << Fmt("\nEnter group membership (label) for %s:", objWord.c_str())
                << Fmt("\n%s:\t", objWord.c_str());
        for (int i = 0; i < n; ++i) {
            if (names && i < static_cast<int>(names->size()))
                con.out << (*names)[i] << '\t';
            else
                con.out << i + 1 << '\t';
        }
        con.out << '\n';
        ReadLongInput(con, n, kGroupLabelMax, given, "Groups");
        bool ok = true;
        for (int i = 0; i < n && ok; ++i) {
            const auto at = std::find(labels.begin(), labels.end(), given[i]);
            ok = at != labels.end();
            if (ok) membership[i] = static_cast<int>(at - labels.begin()) + 1;
        }
        if (ok) return;
        con.err << "\nError!! Enter again. \n";
    }
}

}  // namespace

int CountGroups(std::span<const int> groups, std::vector<int>* distinct) {
    std::vector<int> seen(groups.begin(), groups.end());
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    const int count = static_cast<int>(seen.size());
    if (distinct) *distinct = std::move(seen);
    return count;
}

int CountGroupsSelect(std::span<const int> groups, std::span<const int> select, std::vector<int>* distinct) {
    std::vector<int> chosen;
    for (std::size_t i = 0; i < groups.size() && i < select.size(); ++i)
        if (select[i] == 1) chosen.push_back(groups[i]);
    return CountGroups(chosen, distinct);
}

char SettingAnyGroups(Console& con, const Session& session, const ResultFlags& flags, int n, int& nGroups,
                      std::vector<int>& membership, std::vector<std::string>& labels, const std::string& objWord,
                      const std::vector<std::string>* names, const std::string& clusterRecord) {
    const char whichObj = objWord == "communities" ? 'r' : 'c';
    Menu(con, session, "SET GROUP PARTITION");
    con.out << Fmt("Specify the number of groups of %s: ", objWord.c_str());
    // A partition needs at least one group to hold the objects.
    nGroups = ReadIntIn(con, "%d\n", "-", 1, std::max(n, 1));

    con.out << "\nLabels for groups: \n"
            << "   1  given by default \n"
            << "   2  specify new labels \n"
            << "Type option no.: ";
    if (ReadIntIn(con, "%d\n", "1 2") == 1) {
        labels.clear();
        for (int g = 1; g <= nGroups; ++g) labels.push_back(std::to_string(g));
    } else {
        do {
            con.out << Fmt("\nEnter labels (max. %d alphanumeric characters):\n", static_cast<int>(kGroupLabelMax));
        } while (ReadLongInput(con, nGroups, kGroupLabelMax, labels, "group labels") != 1);
    }

    membership.assign(static_cast<std::size_t>(std::max(n, 0)), 0);
    const bool hasRecord = whichObj == 'r' ? flags.hasReClus == 1 : flags.hasCstClus == 1;
    if (hasRecord && !clusterRecord.empty() && clusterRecord != "NULL") {
        con.out << "\nGet partition from: \n"
                << "   1  keyboard or file \n"
                << "   2  cluster analysis record \n"
                << "Type option no.: ";
        if (ReadIntIn(con, "%d\n", "1 2") == 2) {
            GetPartition(con, session.volumeName + clusterRecord, n, nGroups, membership);
            return whichObj;
        }
    }

    con.out << Fmt("Are the %s ordered by groups? y/n ", objWord.c_str());
    if (ReadCharIn(con, "y n") == 'y')
        MembershipByCounts(con, n, labels, objWord, membership);
    else
        MembershipByLabels(con, n, labels, objWord, names, membership);
    return whichObj;
}

void GetPartition(Console& con, const std::string& file, int n, int nGroups, std::vector<int>& membership) {
    membership.resize(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) membership[i] = i + 1;
    {
        auto fp = fopenck(con, file, "", "r");
        if (!fp) throw FatalError{FatalCode::FailToOpen};
        int groups = n;
        for (int step = 0; step < n - 1 && groups > nGroups; ++step) {
            double level = 0.0;
            int m = 0;
            freadck(con, *fp, level, file);
            freadck(con, *fp, m, file);
            if (m < 0 || m > n) BadRecord(con, file);
            int first = 0;
            for (int k = 0; k < m; ++k) {
                int obj = 0;
                freadck(con, *fp, obj, file);
                if (obj < 1 || obj > n) BadRecord(con, file);
                if (k == 0)
                    first = obj;
                else
                    membership[obj - 1] = first;
            }
            if (m >= 2) --groups;
        }
    }
    // Consecutive numbers from 1: every unused number closes its gap.
    int top = n;
    for (int g = 1; g <= top;) {
        if (std::find(membership.begin(), membership.end(), g) != membership.end()) {
            ++g;
            continue;
        }
        for (int& v : membership)
            if (v > g) --v;
        --top;
    }
}

}  // namespace kolvar
