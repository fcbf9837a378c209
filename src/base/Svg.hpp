#pragma once
// A small writer of standalone SVG pictures: a browser shows the file as it is,
// with nothing else installed. Coordinates are user units of the view box
// (96 per inch); the picture's size is given in inches.

#include <string>
#include <string_view>

namespace kolvar {

/// Text made safe for XML character data and attribute values: markup
/// characters escaped, control characters dropped, bytes that are not UTF-8
/// read as Latin-1, so the document stays well-formed whatever a label holds.
std::string XmlEscape(std::string_view text);

/// Coordinates and lengths with two decimals, no exponent ("12.50").
std::string SvgNumber(double v);

class SvgWriter {
public:
    /// Starts a picture of widthIn x heightIn inches with a view box of
    /// 96 units per inch.
    SvgWriter(double widthIn, double heightIn);

    double width() const { return width_; }    ///< view-box units
    double height() const { return height_; }  ///< view-box units

    /// Opens a group; `attributes` is inserted verbatim (already escaped), e.g.
    /// class="panel" data-x="1".
    void OpenGroup(std::string_view attributes);
    void CloseGroup();
    void Rect(double x, double y, double w, double h, std::string_view style, std::string_view attributes = {});
    void Line(double x1, double y1, double x2, double y2, std::string_view style, std::string_view attributes = {});
    void Circle(double cx, double cy, double r, std::string_view style, std::string_view attributes = {});
    /// Text at (x, y); anchor is start, middle or end. The text is escaped here.
    void Text(double x, double y, std::string_view text, double size, std::string_view anchor = "start",
              std::string_view attributes = {});
    /// The whole document; closes any group left open.
    std::string Finish();

private:
    std::string body_;
    double width_ = 0, height_ = 0;
    double widthIn_ = 0, heightIn_ = 0;
    int openGroups_ = 0;
};

/// An attribute text name="value" with the value escaped.
std::string SvgAttr(std::string_view name, std::string_view value);

}  // namespace kolvar
