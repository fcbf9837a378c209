#include "base/SafeWrite.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <vector>

#include "base/Fatal.hpp"

namespace kolvar {

namespace {

// Permissions an ordinary fopen(…, "w") would give a new file.
mode_t CreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void SafeWriteFile(Console& con, const std::string& path, const std::string& text) {
    std::vector<char> tmpl(path.begin(), path.end());
    const std::string suffix = ".XXXXXX";
    tmpl.insert(tmpl.end(), suffix.begin(), suffix.end());
    tmpl.push_back('\0');
    const int fd = path.empty() ? -1 : ::mkstemp(tmpl.data());
    if (fd < 0) {
        con.err << "\ncan't open " << path << " \n";
        con.out << '\a';
        throw FatalError{FatalCode::FailToOpen};
    }
    const std::string tmp(tmpl.data());
    (void)::fchmod(fd, CreationMode());  // mkstemp's 0600 would still be usable
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        con.err << "\nfile " << path << ' ' << '\a';
        con.err.flush();
        throw FatalError{FatalCode::FailToPrint};
    }
}

namespace {

// A new, empty temporary file next to path (same folder, so the rename that
// replaces path is atomic). Empty text when it cannot be made.
std::string MakeTemporary(const std::string& path) {
    std::vector<char> tmpl(path.begin(), path.end());
    const std::string suffix = ".XXXXXX";
    tmpl.insert(tmpl.end(), suffix.begin(), suffix.end());
    tmpl.push_back('\0');
    const int fd = path.empty() ? -1 : ::mkstemp(tmpl.data());
    if (fd < 0) return {};
    // The new file gets the old one's permissions, or those fopen would give.
    struct stat old {};
    (void)::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : CreationMode());
    ::close(fd);
    return std::string(tmpl.data());
}

// Temporary files of the results being written, removed when the program is
// interrupted (Ctrl-C, kill, a closed terminal) so that only the old files
// remain. Fixed slots: the handler may only touch plain memory.
constexpr int kSlots = 8;
constexpr std::size_t kPathMax = 4096;
char gLive[kSlots][kPathMax];
volatile std::sig_atomic_t gUsed[kSlots];

extern "C" void RemoveLiveTemporaries(int sig) {
    for (int k = 0; k < kSlots; ++k)
        if (gUsed[k]) ::unlink(gLive[k]);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void InstallInterruptCleanup() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        ::sigaction(sig, nullptr, &old);
        if (old.sa_handler != SIG_DFL) continue;  // somebody else handles it
        struct sigaction act {};
        act.sa_handler = RemoveLiveTemporaries;
        sigemptyset(&act.sa_mask);
        ::sigaction(sig, &act, nullptr);
    }
}

int Track(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    for (int k = 0; k < kSlots; ++k)
        if (!gUsed[k]) {
            std::memcpy(gLive[k], path.c_str(), path.size() + 1);
            gUsed[k] = 1;
            return k;
        }
    return -1;
}

void Untrack(int slot) {
    if (slot >= 0) gUsed[slot] = 0;
}

}  // namespace

SafeOutputFile::~SafeOutputFile() { Discard(); }

bool SafeOutputFile::Open(Console& con, const std::string& path, const char* mode) {
    Discard();
    con_ = &con;
    path_ = path;
    // A folder of that name could never be replaced by the file.
    struct stat st {};
    const bool isFolder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    InstallInterruptCleanup();
    tmp_ = isFolder ? std::string() : MakeTemporary(path);
    slot_ = tmp_.empty() ? -1 : Track(tmp_);
    bool ok = !tmp_.empty();
    if (ok) {
        file_.open(tmp_, std::ios::binary | std::ios::trunc);
        ok = file_.is_open();
    }
    if (ok && mode[0] == 'a') {
        std::ifstream old(path, std::ios::binary);
        if (old && old.peek() != std::char_traits<char>::eof()) file_ << old.rdbuf();
        ok = static_cast<bool>(file_);
    }
    if (!ok) {
        Discard();
        con.err << "\ncan't open " << path << " \n";
        con.out << '\a';
        return false;
    }
    return true;
}

void SafeOutputFile::Commit() {
    file_.flush();
    bool ok = static_cast<bool>(file_);
    file_.close();
    ok = ok && !file_.fail();
    if (ok) {
        const int fd = ::open(tmp_.c_str(), O_RDONLY);
        ok = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
    }
    if (ok) ok = std::rename(tmp_.c_str(), path_.c_str()) == 0;
    if (ok) {
        Untrack(slot_);
        slot_ = -1;
    }
    if (!ok) {
        Discard();
        con_->err << "\nfile " << path_ << ' ' << '\a';
        con_->err.flush();
        throw FatalError{FatalCode::FailToPrint};
    }
    tmp_.clear();
}

void SafeOutputFile::Discard() {
    if (file_.is_open()) file_.close();
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    Untrack(slot_);
    slot_ = -1;
    tmp_.clear();
}

void SafeWriter::Commit() {
    if (!text_) {
        con_.err << "\nfile " << path_ << ' ' << '\a';
        throw FatalError{FatalCode::FailToPrint};
    }
    SafeWriteFile(con_, path_, text_.str());
}

void SkipByteOrderMark(std::istream& fp) {
    static constexpr unsigned char kBom[] = {0xEF, 0xBB, 0xBF};
    const std::streampos start = fp.tellg();
    for (unsigned char b : kBom) {
        if (fp.peek() != b) {
            fp.clear();
            if (start != std::streampos(-1)) fp.seekg(start);
            return;
        }
        fp.get();
    }
}

}  // namespace kolvar
