// The SVG writer: documents stay well-formed whatever the labels hold.
#include <gtest/gtest.h>

#include "base/Svg.hpp"
#include "support/TextFormats.hpp"

namespace kolvar {
namespace {

TEST(XmlEscape, MarkupControlAndEncodingCases) {
    struct Case {
        std::string in, want;
    };
    const Case cases[] = {
        {"a<b>&c", "a&lt;b&gt;&amp;c"},
        {"say \"hi\" 'x'", "say &quot;hi&quot; &apos;x&apos;"},
        {std::string("a\x01" "b\tc\x7f", 6), "ab c"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},               // valid UTF-8 kept
        {"caf\xe9", "caf\xc3\xa9"},                   // a Latin-1 byte becomes its UTF-8 form
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},              // an overlong form is read byte by byte
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0?"},         // a surrogate is not a character; C1 bytes become ?
        {"\xe2\x82", "\xc3\xa2?"},                   // truncated sequence
    };
    for (const Case& c : cases) EXPECT_EQ(XmlEscape(c.in), c.want) << c.in;
}

TEST(SvgNumber, TwoDecimalsNoNegativeZeroNoExponent) {
    EXPECT_EQ(SvgNumber(12.5), "12.50");
    EXPECT_EQ(SvgNumber(-0.001), "0.00");
    EXPECT_EQ(SvgNumber(1e7), "10000000.00");
    EXPECT_EQ(SvgNumber(std::numeric_limits<double>::quiet_NaN()), "0.00");
}

TEST(SvgWriter, DocumentWithHostileTextParsesAndKeepsTheText) {
    SvgWriter svg(2, 1);
    EXPECT_DOUBLE_EQ(svg.width(), 192.0);
    EXPECT_DOUBLE_EQ(svg.height(), 96.0);
    svg.OpenGroup("class=\"panel\" " + SvgAttr("data-label", "<&\"x\">"));
    svg.Circle(1, 2, 3, "fill:red", "class=\"point\"");
    svg.Text(5, 6, "a < b & \"c\" \x02", 10);
    svg.OpenGroup("class=\"inner\"");  // left open: Finish closes it
    const std::string doc = svg.Finish();
    const test::XmlElement root = test::ParseXml(doc);
    EXPECT_EQ(root.name, "svg");
    EXPECT_EQ(root.Attr("width"), "2.00in");
    EXPECT_EQ(root.Attr("viewBox"), "0 0 192.00 96.00");
    ASSERT_EQ(root.FindClass("panel").size(), 1u);
    EXPECT_EQ(root.FindClass("panel")[0]->Attr("data-label"), "<&\"x\">");
    ASSERT_EQ(root.FindAll("text").size(), 1u);
    EXPECT_EQ(root.FindAll("text")[0]->text, "a < b & \"c\" ");
    EXPECT_EQ(root.FindClass("point")[0]->Attr("cx"), "1.00");
}

TEST(XmlParser, RejectsWhatIsNotWellFormed) {
    // The checker itself must catch faults, or the SVG tests prove nothing.
    for (const char* bad : {"<a><b></a></b>", "<a x=1/>", "<a>&bogus;</a>", "<a>x & y</a>", "<a x=\"1\" x=\"2\"/>",
                            "<a>", "<a/><b/>", "<a>\x01</a>"})
        EXPECT_THROW(test::ParseXml(bad), std::runtime_error) << bad;
    EXPECT_NO_THROW(test::ParseXml("<?xml version=\"1.0\"?>\n<a k='v'><b/>t&amp;u</a>\n"));
}

}  // namespace
}  // namespace kolvar
