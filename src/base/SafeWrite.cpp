#include "base/SafeWrite.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
