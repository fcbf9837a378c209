#include "base/Tsv.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kolvar {

std::string TsvField(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    bool quote = false;
    for (const char c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            s.push_back(' ');
        } else if (c == '"') {
            s += "\"\"";
            quote = true;
        } else {
            s.push_back(c);
        }
    }
    return quote ? '"' + s + '"' : s;
}

std::string TsvNumber(double v, int digits) {
    if (v == -999.0) return "NA";
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits < 1 ? 6 : (digits > 17 ? 17 : digits), v);
    return buf;
}

std::string TsvLine(const std::vector<std::string>& fields) {
    std::string s;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) s.push_back('\t');
        s += fields[i];
    }
    s.push_back('\n');
    return s;
}

bool WriteTsv(const std::string& path, const std::string& header, const std::string& rows, bool append) {
    namespace fs = std::filesystem;
    bool writeHeader = true;
    if (append) {
        std::ifstream old(path, std::ios::binary);
        std::string first;
        if (old && std::getline(old, first)) {
            if (first + '\n' == header) {
                writeHeader = false;
            } else {
                old.close();
                std::error_code ec;
                fs::rename(path, path + ".old", ec);
                if (ec) return false;
            }
        }
    }
    std::ofstream f(path, writeHeader ? std::ios::binary | std::ios::trunc : std::ios::binary | std::ios::app);
    if (!f) return false;
    if (writeHeader) f << header;
    f << rows;
    f.flush();
    return static_cast<bool>(f);
}

}  // namespace kolvar
