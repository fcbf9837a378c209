// Whole dialogues kept as data: every folder of tests/scenarios/cases/ is one
// case, a sequence of runs of the real binary in one scratch folder. Run k reads
//   k.remove   names of files to delete first (one per line)
//   k.mkdir    names of folders to make (where the program cannot write a file)
//   k.from     "<source path> <name>" lines: files of the source tree to copy in
//   k.in/      files to put in the folder
//   k.answers  standard input
//   k.args     command-line arguments, separated by blanks
// and expects
//   k.out, k.err   standard output and error, whole
//   k.status       the exit status when it is not 0
//   k.files/       every file the run creates or changes, whole
//   k.expect       "<name> <file of cases/_shared>" lines for the same, shared
// No other file may appear, change or disappear. With KOLVAR_RECORD set in the
// environment, the texts and files of each run are written into its folder
// instead (masked, as they are compared): how a case is made, or an intended
// change taken in, e.g.
//   KOLVAR_RECORD=1 build/kolvar_tests_scenarios --gtest_filter='Recorded/*MyCase*' Time stamps, elapsed seconds
// and the processor count are masked; with k.progress the console's progress
// line (timed, so it comes and goes) is taken out of k.out, and runs of blank
// lines are shortened to one.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

namespace fs = std::filesystem;

const fs::path& CasesDir() {
    static const fs::path dir = test::SourcePath("tests/scenarios/cases");
    return dir;
}

std::vector<std::string> Lines(const fs::path& p) {
    std::vector<std::string> lines;
    std::ifstream f(p);
    for (std::string l; std::getline(f, l);)
        if (!l.empty()) lines.push_back(l);
    return lines;
}

std::string Mask(const std::string& text) {
    static const std::regex time(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4})");
    static const std::regex elapsed("(Elapsed time[^:\n]*: )[0-9][^ \n]*");
    static const std::regex processors("(Maximum number of processors (?:used by KOLVAR|the program used): )[0-9]+");
    // Tables name their run by its start, "2026-12-07 00:08:35".
    static const std::regex isoTime(R"([0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2})");
    std::string s = std::regex_replace(text, time, "<time>");
    s = std::regex_replace(s, isoTime, "<time>");
    s = std::regex_replace(s, elapsed, "$1<seconds>");
    return std::regex_replace(s, processors, "$1<n>");
}

// Takes out every progress chunk: a message ending "<i> of <n>..." (or the
// simulation's "Iteration: <n> <i> Abundance: <a>") right-aligned in 40
// columns, 40 blanks, and the line end that may precede it.
std::string WithoutProgress(const std::string& text) {
    static const std::regex chunkEnd("(: [0-9]+ of [0-9]+[^\n]{0,30}?|Iteration: [0-9]+ [0-9]+ Abundance: [0-9]+) {40}");
    std::string out;
    std::size_t pos = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), chunkEnd); it != std::sregex_iterator(); ++it) {
        const std::size_t end = static_cast<std::size_t>(it->position() + it->length());
        if (end < 80 || end - 80 < pos) continue;
        std::size_t start = end - 80;
        if (start > 0 && text[start - 1] == '\n') --start;
        out.append(text, pos, start - pos);
        pos = end;
    }
    out.append(text, pos);
    static const std::regex blankRun("\n{2,}");
    return std::regex_replace(out, blankRun, "\n\n");
}

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) files[e.path().filename().string()] = test::Slurp(e.path());
    return files;
}

// Writes what one run printed and wrote as its expected texts and files.
// Files a run leaves as they were are not kept unless they were already
// expected; files k.expect shares stay shared.
void Record(const fs::path& dir, const std::string& run, const std::string& status, const std::string& out,
            const std::string& err, const std::map<std::string, std::string>& before,
            const std::map<std::string, std::string>& after, const std::map<std::string, std::string>& shared) {
    const auto put = [](const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; };
    put(dir / (run + ".out"), out);
    put(dir / (run + ".err"), err);
    if (status == "0")
        fs::remove(dir / (run + ".status"));
    else
        put(dir / (run + ".status"), status + "\n");
    const fs::path files = dir / (run + ".files");
    std::set<std::string> kept;
    if (fs::is_directory(files))
        for (const auto& e : fs::directory_iterator(files)) kept.insert(e.path().filename().string());
    fs::remove_all(files);
    for (const auto& [name, content] : after) {
        const auto was = before.find(name);
        const bool same = was != before.end() && Mask(was->second) == Mask(content);
        if (shared.count(name) || (same && !kept.count(name))) continue;
        fs::create_directories(files);
        put(files / name, Mask(content));
    }
}

class Case : public testing::TestWithParam<std::string> {};

TEST_P(Case, RunsAsRecorded) {
    const fs::path dir = CasesDir() / GetParam();
    test::ScratchDir scratch;
    int k = 1;
    for (; fs::exists(dir / (std::to_string(k) + ".answers")); ++k) {
        SCOPED_TRACE("run " + std::to_string(k));
        const std::string run = std::to_string(k);
        for (const auto& name : Lines(dir / (run + ".remove"))) fs::remove(scratch.path() / name);
        for (const auto& name : Lines(dir / (run + ".mkdir"))) fs::create_directory(scratch.path() / name);
        for (const auto& line : Lines(dir / (run + ".from"))) {
            std::istringstream words(line);
            std::string from, as;
            words >> from >> as;
            scratch.CopyFromSource(from, as);
        }
        if (fs::is_directory(dir / (run + ".in")))
            for (const auto& e : fs::directory_iterator(dir / (run + ".in")))
                fs::copy_file(e.path(), scratch.path() / e.path().filename(), fs::copy_options::overwrite_existing);

        const auto before = Snapshot(scratch.path());
        std::istringstream argText(test::Slurp(dir / (run + ".args")));
        const std::vector<std::string> args{std::istream_iterator<std::string>(argText), {}};
        const test::RunResult r = test::RunKolvar(scratch, test::Slurp(dir / (run + ".answers")), args, 300);
        const auto after = Snapshot(scratch.path());

        const std::string status = std::to_string(r.status) + (r.timedOut ? " timeout" : "");
        const std::string wantStatus = fs::exists(dir / (run + ".status")) ? Lines(dir / (run + ".status")).at(0) : "0";
        std::string out = Mask(r.out);
        if (fs::exists(dir / (run + ".progress"))) out = WithoutProgress(out);
        std::map<std::string, std::string> shared;
        for (const auto& line : Lines(dir / (run + ".expect"))) {
            std::istringstream words(line);
            std::string name, file;
            words >> name >> file;
            shared[name] = test::Slurp(CasesDir() / "_shared" / file);
        }
        if (std::getenv("KOLVAR_RECORD")) {
            Record(dir, run, status, out, Mask(r.err), before, after, shared);
            continue;
        }
        EXPECT_EQ(status, wantStatus);
        EXPECT_EQ(out, test::Slurp(dir / (run + ".out")));
        EXPECT_EQ(Mask(r.err), test::Slurp(dir / (run + ".err")));

        std::map<std::string, std::string> expected = shared;
        if (fs::is_directory(dir / (run + ".files")))
            for (const auto& e : fs::directory_iterator(dir / (run + ".files")))
                expected[e.path().filename().string()] = test::Slurp(e.path());
        for (const auto& [name, content] : before)
            EXPECT_TRUE(after.count(name)) << name << " disappeared";
        for (const auto& [name, content] : after) {
            // A file written again with the same text (its time stamp aside) is unchanged.
            const auto was = before.find(name);
            const bool changed = was == before.end() || Mask(was->second) != Mask(content);
            const auto want = expected.find(name);
            if (want == expected.end())
                EXPECT_FALSE(changed) << name << " was written";
            else
                EXPECT_EQ(Mask(content), want->second) << name;
        }
        for (const auto& [name, content] : expected) EXPECT_TRUE(after.count(name)) << name << " was not written";
    }
    EXPECT_GT(k, 1) << "no runs in " << dir;
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(CasesDir()))
        if (e.is_directory() && e.path().filename().string()[0] != '_') names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Recorded, Case, testing::ValuesIn(CaseNames()), [](const testing::TestParamInfo<std::string>& param) {
    std::string name = param.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

}  // namespace
}  // namespace kolvar
