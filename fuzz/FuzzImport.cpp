// The raw import readers and the table converter. The first bytes choose a
// layout; the rest is the file. Whatever the converter makes, the import reads.

#include <string>

#include "FuzzCommon.hpp"
#include "data/ImportReader.hpp"
#include "data/TableConvert.hpp"

using namespace kolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    RawLayout layout;
    layout.kind = static_cast<RawLayout::Rows>(data[0] % 3);
    layout.rows = data[1] % 9;
    layout.cols = data[2] % 9;
    layout.total = (data[1] * 7 + data[2]) % 40;
    layout.labels = data[3] % 5;
    layout.shape = "r x c";
    const std::string_view file = fuzz::Bytes(data + 4, size - 4);

    const RawRead raw = ReadRawMatrix("x.txt", file, layout);
    if (raw.ok()) {
        fuzz::Require(static_cast<long long>(raw.values.size()) == layout.Values(), "every value read");
        fuzz::Require(static_cast<long long>(raw.labels.size()) == layout.labels, "every label read");
    } else {
        fuzz::Require(raw.error.starts_with("x.txt"), "the message names the file");
    }
    const RawNames names = ReadRawNames("s.txt", file, data[1] % 9, 70);
    if (names.ok()) fuzz::Require(names.names.size() == data[1] % 9u, "every name read");

    const NamedTable table = ReadNamedTable("t.csv", file);
    if (!table.ok()) return 0;
    for (TableLabels which : {TableLabels::Columns, TableLabels::None}) {
        RawLayout back;
        back.rows = static_cast<long long>(table.cells.size());
        back.cols = table.cells.empty() ? 0 : static_cast<long long>(table.cells[0].size());
        back.labels = which == TableLabels::Columns ? back.cols : 0;
        back.shape = "table";
        const RawRead again = ReadRawMatrix("c.txt", KolvarLayout(table, which), back);
        // Column names that read as numbers are refused as labels, and rightly so.
        bool numericName = false;
        for (const auto& n : table.columnNames) {
            double v = 0;
            bool overflow = false;
            numericName = numericName || ParseDecimal(LabelWord(n, 1), v, &overflow) || overflow;
        }
        if (which == TableLabels::None || !numericName)
            fuzz::Require(again.ok(), "the converter's output imports");
    }
    return 0;
}
