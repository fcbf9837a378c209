#include "support/Scenario.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/Console.hpp"
#include "program/Menus.hpp"

namespace kolvar::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("kolvar-test-" + std::to_string(rd()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void ScratchDir::Write(const std::string& name, const std::string& content) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f << content;
}

void ScratchDir::CopyFromSource(const std::string& relative, const std::string& as) const {
    const fs::path from = SourcePath(relative);
    fs::copy_file(from, path_ / (as.empty() ? from.filename().string() : as), fs::copy_options::overwrite_existing);
}

std::string ScratchDir::Read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool ScratchDir::Exists(const std::string& name) const { return fs::exists(path_ / name); }

fs::path SourcePath(const std::string& relative) { return fs::path(KOLVAR_SOURCE_DIR) / relative; }

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string WithoutTimeStamps(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        const bool stamp = line.size() == 24 && line[3] == ' ' && line[7] == ' ' && line[13] == ':';
        if (stamp || line.rfind("Elapsed time", 0) == 0) continue;
        out += line + '\n';
    }
    return out;
}

RunResult RunKolvar(const ScratchDir& dir, const std::string& answers, int timeoutSeconds) {
    return RunKolvar(dir, answers, {}, timeoutSeconds);
}

RunResult RunKolvar(const ScratchDir& dir, const std::string& answers, const std::vector<std::string>& args,
                    int timeoutSeconds) {
    // Files rather than pipes: no deadlock however much either side writes.
    const fs::path in = dir.path() / ".answers", out = dir.path() / ".stdout", err = dir.path() / ".stderr";
    {
        std::ofstream f(in, std::ios::binary);
        f << answers;
    }
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        const int fi = open(in.c_str(), O_RDONLY);
        const int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fi < 0 || fo < 0 || fe < 0) _exit(126);
        // A run caught in a loop that prints stops at 1 GiB of any file
        // (SIGXFSZ) instead of filling the disk before its time is up.
        const rlimit fileSize{1UL << 30, 1UL << 30};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        dup2(fi, 0);
        dup2(fo, 1);
        dup2(fe, 2);
        std::vector<char*> argv{const_cast<char*>("kolvar")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KOLVAR_BINARY, argv.data());
        _exit(127);
    }
    RunResult r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int wstatus = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &wstatus, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            r.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.status = (!r.timedOut && WIFEXITED(wstatus)) ? WEXITSTATUS(wstatus) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    fs::remove(in);
    fs::remove(out);
    fs::remove(err);
    return r;
}

RunResult RunInProcess(const ScratchDir& dir, const std::string& answers) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    std::istringstream in(answers);
    std::ostringstream out, err;
    Console con{in, out, err};
    FixedClock clock;
    RunResult r;
    try {
        r.status = mainInit(con, clock);
    } catch (...) {
        fs::current_path(previous);
        throw;
    }
    fs::current_path(previous);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace kolvar::test
