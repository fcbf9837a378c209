#include "program/CommandLine.hpp"

#include <fstream>

#include "program/Menus.hpp"

namespace kolvar {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    auto fail = [&](std::string why) {
        cl.action = CommandLine::Action::Error;
        cl.error = std::move(why);
        return cl;
    };
    bool help = false, showVersion = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            showVersion = true;
        } else if (a == "--record" || a.rfind("--record=", 0) == 0) {
            if (!cl.recordPath.empty()) return fail("--record given twice");
            std::string path;
            if (a == "--record") {
                if (i + 1 >= args.size()) return fail("--record needs a file name");
                path = args[++i];
            } else {
                path = a.substr(9);
            }
            if (path.empty()) return fail("--record needs a file name");
            cl.recordPath = path;
        } else {
            return fail("unknown argument '" + a + "'");
        }
    }
    if (help) cl.action = CommandLine::Action::Help;
    else if (showVersion) cl.action = CommandLine::Action::Version;
    return cl;
}

std::string UsageLine() { return "usage: kolvar [--record FILE] | --help | --version\n"; }

std::string HelpText() {
    return UsageLine() +
           "\n"
           "KOLVAR reads menu letters and answers from standard input, shows menus and\n"
           "prompts on standard output and rejections on standard error, and writes its\n"
           "results into the current folder. An answers file can stand in for a user:\n"
           "  kolvar < answers.txt\n"
           "\n"
           "Options:\n"
           "  --record FILE  also write every answer read from standard input to FILE,\n"
           "                 exactly as read; `kolvar < FILE` then repeats the run\n"
           "                 (same folder contents, same preferences)\n"
           "  --help         print this help and exit\n"
           "  --version      print the version and exit\n"
           "\n"
           "The user guide is docs/user-guide.md in the source folder.\n";
}

std::string VersionText() {
    const std::size_t k = version.find("KOLVAR");
    return (k == std::string::npos ? version : version.substr(k)) + '\n';
}

RecordingInput::RecordingInput(std::streambuf& source, std::ostream& record) : source_(source), record_(record) {
    setg(buffer_, buffer_, buffer_);
}

RecordingInput::~RecordingInput() {
    Commit();
    record_.flush();
}

void RecordingInput::Commit() {
    if (gptr() > committed_) {
        record_.write(committed_, gptr() - committed_);
        committed_ = gptr();
    }
}

RecordingInput::int_type RecordingInput::underflow() {
    // Everything before gptr() has been consumed: record it before waiting.
    Commit();
    record_.flush();
    const int_type first = source_.sbumpc();
    if (traits_type::eq_int_type(first, traits_type::eof())) {
        setg(buffer_, buffer_, buffer_);
        committed_ = buffer_;
        return traits_type::eof();
    }
    std::size_t n = 0;
    buffer_[n++] = traits_type::to_char_type(first);
    // Take only what is already there, so a typing user is never kept waiting.
    while (n < sizeof buffer_ && source_.in_avail() > 0) {
        const int_type c = source_.sbumpc();
        if (traits_type::eq_int_type(c, traits_type::eof())) break;
        buffer_[n++] = traits_type::to_char_type(c);
    }
    setg(buffer_, buffer_, buffer_ + n);
    committed_ = buffer_;
    return traits_type::to_int_type(buffer_[0]);
}

int RunCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   const Clock& clock) {
    const CommandLine cl = ParseCommandLine(args);
    switch (cl.action) {
        case CommandLine::Action::Help: out << HelpText(); return 0;
        case CommandLine::Action::Version: out << VersionText(); return 0;
        case CommandLine::Action::Error: err << "kolvar: " << cl.error << '\n' << UsageLine(); return 2;
        case CommandLine::Action::Run: break;
    }
    if (cl.recordPath.empty()) {
        Console con{in, out, err};
        return mainInit(con, clock);
    }
    std::ofstream record(cl.recordPath, std::ios::binary | std::ios::trunc);
    if (!record) {
        err << "kolvar: cannot create the record file " << cl.recordPath << '\n';
        return 1;
    }
    int status = 0;
    {
        RecordingInput recording(*in.rdbuf(), record);
        std::istream recorded(&recording);
        Console con{recorded, out, err};
        status = mainInit(con, clock);
    }
    if (!record) {
        err << "kolvar: the record file " << cl.recordPath << " is incomplete (write failed)\n";
        if (status == 0) status = 1;
    }
    return status;
}

}  // namespace kolvar
