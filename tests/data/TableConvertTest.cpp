// The converter of tables written by R, pandas or a spreadsheet.

#include "data/TableConvert.hpp"

#include <gtest/gtest.h>

#include "support/BaseConsole.hpp"

namespace kolvar {
namespace {

// The same 3 x 2 table as each tool writes it.
TEST(TableConvert, ToolsWritingsGiveTheSameLayout) {
    const std::string values = "10.5\t50\n12\t-999\n-999\t40\n";
    struct Case {
        const char* tool;
        const char* text;
    } cases[] = {
        {"R write.csv", "\"\",\"height\",\"sla\"\n\"Poa annua\",10.5,50\n\"Poa pratensis\",12,NA\n\"Carex nigra\",NA,40\n"},
        {"R write.table", "\"height\" \"sla\"\n\"Poa annua\" 10.5 50\n\"Poa pratensis\" 12 NA\n\"Carex nigra\" NA 40\n"},
        {"R write.table, tabs", "height\tsla\nPoa annua\t10.5\t50\nPoa pratensis\t12\tNA\nCarex nigra\tNA\t40\n"},
        {"pandas to_csv", ",height,sla\nPoa annua,10.5,50.0\nPoa pratensis,12.0,\nCarex nigra,,40.0\n"},
        {"pandas, named index", "species,height,sla\nPoa annua,10.5,50\nPoa pratensis,12,NaN\nCarex nigra,nan,40\n"},
        {"spreadsheet, CRLF and BOM", "\xEF\xBB\xBFspecies;height;sla\r\nPoa annua;10,5;50\r\nPoa pratensis;12;\r\n"
                                      "Carex nigra;;40\r\n"},
        {"blank lines", "\n,height,sla\n\nPoa annua,10.5,50\nPoa pratensis,12,NA\n\nCarex nigra,NA,40\n\n"},
    };
    for (const Case& c : cases) {
        NamedTable t = ReadNamedTable("t.csv", c.text);
        ASSERT_TRUE(t.ok()) << c.tool << ": " << t.error;
        EXPECT_EQ(t.missing, 2) << c.tool;
        EXPECT_EQ(t.rowNames, std::vector<std::string>({"Poa annua", "Poa pratensis", "Carex nigra"})) << c.tool;
        std::string expected = values;
        if (std::string(c.tool).starts_with("pandas to_csv")) expected = "10.5\t50.0\n12.0\t-999\n-999\t40.0\n";
        if (std::string(c.tool).starts_with("spreadsheet")) expected = "10.5\t50\n12\t-999\n-999\t40\n";
        EXPECT_EQ(KolvarLayout(t, TableLabels::Columns), expected + "height\tsla\n") << c.tool;
        EXPECT_EQ(KolvarLayout(t, TableLabels::Rows), expected + "Poa_annua\tPoa_pratensis\tCarex_nigra\n")
            << c.tool;
        EXPECT_EQ(KolvarLayout(t, TableLabels::None), expected) << c.tool;
    }
}

TEST(TableConvert, TablesWithoutRowNamesQuotesAndTransposition) {
    NamedTable t = ReadNamedTable("w.csv", "s1,s2,s3\n1,0,2\n0,3,-999\n");
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_TRUE(t.rowNames.empty());
    EXPECT_EQ(KolvarLayout(t, TableLabels::Columns), "1\t0\t2\n0\t3\t-999\ns1\ts2\ts3\n");

    t = ReadNamedTable("q.csv", "\"\",\"a \"\"b\"\", c\",\"\"\n\"x\",1e3,-2\n");
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_EQ(KolvarLayout(t, TableLabels::Columns), "1e3\t-2\na_\"b\",_c\t2\n");

    t = ReadNamedTable("t.csv", ",a,b,c\nx,1,2,3\ny,4,5,6\n");
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_EQ(KolvarLayout(Transposed(t), TableLabels::Columns), "1\t4\n2\t5\n3\t6\nx\ty\n");
    EXPECT_EQ(KolvarLayout(Transposed(t), TableLabels::Rows), "1\t4\n2\t5\n3\t6\na\tb\tc\n");
    EXPECT_EQ(LabelWord(std::string(80, 'x'), 1), std::string(70, 'x'));
    // Every separator of the import is replaced, or the label would split in two.
    EXPECT_EQ(LabelWord("a b\tc\vd\fe\rf", 1), "a_b_c_d_e_f");
    EXPECT_EQ(LabelWord("", 4), "4");
}

TEST(TableConvert, BadTablesNameRowAndColumn) {
    const auto rows = test::TableRows("tests/data/data/bad-tables.txt");
    ASSERT_GT(rows.size(), 5u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(ReadNamedTable("t.csv", row[0]).error, row[1]) << row[0];
    }
}

}  // namespace
}  // namespace kolvar
