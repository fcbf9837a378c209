// Random bytes as answers or as any input file: the program ends normally or
// with the end-of-file status, never crashes or hangs.
#include <gtest/gtest.h>

#include <random>

#include "support/Scenario.hpp"

namespace kolvar {
namespace {

using test::RunKolvar;
using test::ScratchDir;

TEST(Noise, RandomAnswersNeverCrashOrHang) {
    std::mt19937 gen(20261206);
    for (int round = 0; round < 5; ++round) {
        std::string bytes(10000, '\0');
        for (char& c : bytes) c = static_cast<char>(gen() & 0xff);
        ScratchDir dir;
        const auto r = RunKolvar(dir, bytes, 60);
        EXPECT_FALSE(r.timedOut) << "round " << round;
        EXPECT_TRUE(r.status == 0 || r.status == 1) << "round " << round << " status " << r.status;
    }
}

TEST(Noise, RandomBytesInAnyInputFileNeverCrashOrHang) {
    // Four OTUs, two traits, four communities, two ecological variables; the
    // import answers read B and W by rows, F, species names and E.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"B.txt", "1 10\n2 20\n3 30\n4 -999\nsize color\n"},
        {"F.txt", "0 1 1 1\n1 0 1 1\n1 1 0 1\n1 1 1 0\n"},
        {"W.txt", "1 0 2 0\n3 1 0 0\n0 5 0 1\n2 2 2 2\nplot1 plot2 plot3 plot4\n"},
        {"S.txt", "Poa annua\nPoa angustifolia\nCarex nigra\nPoa annua\n"},
        {"E.txt", "1.5 0\n2.5 1\n3.5 1\n4.5 0\ntemp wet\n"}};
    const std::string answers = "N\nrnd\n1\nB.txt\n1\nF.txt\nW.txt\n1\nS.txt\n1\nE.txt\n4\n2\n2\n2\nk\n3 2\ny\n0\n"
                                "1\n4\n2\n1\n1\n2\n2\n2\nn\nC\nX\n";
    std::mt19937 gen(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const auto& [victim, _] : files) {
        for (int trial = 0; trial < 3; ++trial) {
            ScratchDir dir;
            for (const auto& [name, content] : files) dir.Write(name, content);
            std::string noise(static_cast<std::size_t>(50 + 400 * trial), '\0');
            for (char& c : noise) c = static_cast<char>(byte(gen));
            dir.Write(victim, noise);
            const auto r = RunKolvar(dir, answers, 20);
            ASSERT_FALSE(r.timedOut) << victim;
            ASSERT_TRUE(r.status == 0 || r.status == 1) << victim << " status " << r.status << r.err;
            if (r.status == 1) {
                // A bad file is named in the message that asks for it again; the
                // answers that follow are then taken as file names until input ends.
                EXPECT_NE(r.err.find("\n" + victim), std::string::npos) << victim << r.err;
            }
        }
    }
}

}  // namespace
}  // namespace kolvar
