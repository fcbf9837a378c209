// kolvar-convert: a CSV or TSV table with a header row (and row names) into
// KOLVAR's raw input layout. See README ("Tables from R, pandas or a
// spreadsheet").

#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "data/TableConvert.hpp"

namespace {

constexpr const char* kUsage =
    "usage: kolvar-convert [--transpose] [--labels columns|rows|none] [--row-names FILE] INPUT OUTPUT\n"
    "  INPUT   a CSV or TSV table with a header row, row names optional (NA or empty cells: missing)\n"
    "  OUTPUT  the values, one row per line, then the column names (or the row names) as labels\n"
    "  --transpose        swap rows and columns first\n"
    "  --labels WHICH     names written as labels after the values (default: columns)\n"
    "  --row-names FILE   also write the row names, one per line (e.g. a species-name file)\n";

bool WriteFile(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kolvar;
    bool transpose = false;
    TableLabels labels = TableLabels::Columns;
    std::string rowNamesFile, input, output;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--transpose") {
            transpose = true;
        } else if (arg == "--labels" && a + 1 < argc) {
            const std::string which = argv[++a];
            if (which == "columns")
                labels = TableLabels::Columns;
            else if (which == "rows")
                labels = TableLabels::Rows;
            else if (which == "none")
                labels = TableLabels::None;
            else {
                std::cerr << kUsage;
                return 2;
            }
        } else if (arg == "--row-names" && a + 1 < argc) {
            rowNamesFile = argv[++a];
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (input.empty() && !arg.starts_with("--")) {
            input = arg;
        } else if (output.empty() && !arg.starts_with("--")) {
            output = arg;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (input.empty() || output.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "kolvar-convert: can't open " << input << '\n';
        return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    NamedTable table = ReadNamedTable(input, content.str());
    if (!table.ok()) {
        std::cerr << "kolvar-convert: " << table.error << '\n';
        return 1;
    }
    if (transpose) table = Transposed(table);
    if ((labels == TableLabels::Rows || !rowNamesFile.empty()) && table.rowNames.empty()) {
        std::cerr << "kolvar-convert: " << input << (transpose ? ": the table has no column names to use as row names\n"
                                                               : ": the table has no row names\n");
        return 1;
    }
    if (!WriteFile(output, KolvarLayout(table, labels))) {
        std::cerr << "kolvar-convert: can't write " << output << '\n';
        return 1;
    }
    const std::size_t rows = table.cells.size(), cols = rows ? table.cells[0].size() : 0;
    std::cout << output << ": " << rows << " rows x " << cols << " values";
    if (labels == TableLabels::Columns) std::cout << ", then the " << cols << " column names as labels";
    if (labels == TableLabels::Rows) std::cout << ", then the " << rows << " row names as labels";
    std::cout << "; " << table.missing << " missing values written as -999\n";
    if (!rowNamesFile.empty()) {
        std::string names;
        for (const auto& n : table.rowNames) names += n + '\n';
        if (!WriteFile(rowNamesFile, names)) {
            std::cerr << "kolvar-convert: can't write " << rowNamesFile << '\n';
            return 1;
        }
        std::cout << rowNamesFile << ": " << rows << " row names, one per line\n";
    }
    return 0;
}
