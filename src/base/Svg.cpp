#include "base/Svg.hpp"

#include <cmath>
#include <cstdio>

namespace kolvar {

namespace {

constexpr double kUnitsPerInch = 96.0;

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Length of a valid UTF-8 sequence starting at s[i] (XML-allowed code points
// only), or 0 when the bytes are not one.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned c = b(i);
    std::size_t len = 0;
    unsigned code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (b(i + k) & 0x3F);
    }
    const bool overlong = (len == 3 && code < 0x800) || (len == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool excluded = code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
    return overlong || surrogate || excluded ? 0 : len;
}

}  // namespace

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                case '\'': out += "&apos;"; break;
                default:
                    if (c >= 0x20 && c != 0x7F) out.push_back(static_cast<char>(c));
                    else if (c == '\t') out.push_back(' ');
                    break;
            }
            ++i;
            continue;
        }
        const std::size_t len = Utf8Length(text, i);
        if (len > 0) {
            out.append(text.substr(i, len));
            i += len;
        } else {
            // A lone byte: most likely Latin-1 text.
            if (c >= 0xA0) AppendUtf8(out, c);
            else out.push_back('?');
            ++i;
        }
    }
    return out;
}

std::string SvgNumber(double v) {
    if (!std::isfinite(v)) v = 0.0;
    if (std::fabs(v) < 0.005) v = 0.0;  // no "-0.00"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string SvgAttr(std::string_view name, std::string_view value) {
    std::string s(name);
    s += "=\"";
    s += XmlEscape(value);
    s += '"';
    return s;
}

SvgWriter::SvgWriter(double widthIn, double heightIn)
    : width_(widthIn * kUnitsPerInch), height_(heightIn * kUnitsPerInch), widthIn_(widthIn), heightIn_(heightIn) {}

namespace {
void Attributes(std::string& body, std::string_view attributes) {
    if (attributes.empty()) return;
    body += ' ';
    body += attributes;
}
}  // namespace

void SvgWriter::OpenGroup(std::string_view attributes) {
    body_ += "<g";
    Attributes(body_, attributes);
    body_ += ">\n";
    ++openGroups_;
}

void SvgWriter::CloseGroup() {
    if (openGroups_ == 0) return;
    body_ += "</g>\n";
    --openGroups_;
}

void SvgWriter::Rect(double x, double y, double w, double h, std::string_view style, std::string_view attributes) {
    body_ += "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" + SvgNumber(w) + "\" height=\"" +
             SvgNumber(h) + "\" style=\"" + std::string(style) + '"';
    Attributes(body_, attributes);
    body_ += "/>\n";
}

void SvgWriter::Line(double x1, double y1, double x2, double y2, std::string_view style, std::string_view attributes) {
    body_ += "<line x1=\"" + SvgNumber(x1) + "\" y1=\"" + SvgNumber(y1) + "\" x2=\"" + SvgNumber(x2) + "\" y2=\"" +
             SvgNumber(y2) + "\" style=\"" + std::string(style) + '"';
    Attributes(body_, attributes);
    body_ += "/>\n";
}

void SvgWriter::Circle(double cx, double cy, double r, std::string_view style, std::string_view attributes) {
    body_ += "<circle cx=\"" + SvgNumber(cx) + "\" cy=\"" + SvgNumber(cy) + "\" r=\"" + SvgNumber(r) +
             "\" style=\"" + std::string(style) + '"';
    Attributes(body_, attributes);
    body_ += "/>\n";
}

void SvgWriter::Text(double x, double y, std::string_view text, double size, std::string_view anchor,
                     std::string_view attributes) {
    body_ += "<text x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" font-size=\"" + SvgNumber(size) +
             "\" text-anchor=\"" + std::string(anchor) + '"';
    Attributes(body_, attributes);
    body_ += '>';
    body_ += XmlEscape(text);
    body_ += "</text>\n";
}

std::string SvgWriter::Finish() {
    while (openGroups_ > 0) CloseGroup();
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    doc += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + SvgNumber(widthIn_) +
           "in\" height=\"" + SvgNumber(heightIn_) + "in\" viewBox=\"0 0 " + SvgNumber(width_) + ' ' +
           SvgNumber(height_) + "\" font-family=\"sans-serif\">\n";
    doc += "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" style=\"fill:white\"/>\n";
    doc += body_;
    doc += "</svg>\n";
    return doc;
}

}  // namespace kolvar
