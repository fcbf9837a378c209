#include "support/TextFormats.hpp"

#include <cctype>

namespace kolvar::test {

namespace {

[[noreturn]] void Fail(const std::string& why, std::size_t at) {
    throw std::runtime_error("XML: " + why + " at byte " + std::to_string(at));
}

class XmlParser {
public:
    explicit XmlParser(const std::string& s) : s_(s) {}

    XmlElement Document() {
        CheckCharacters();
        Skip();
        if (s_.compare(i_, 5, "<?xml") == 0) {
            const std::size_t end = s_.find("?>", i_);
            if (end == std::string::npos) Fail("unterminated declaration", i_);
            i_ = end + 2;
        }
        Skip();
        XmlElement root = Element();
        Skip();
        if (i_ != s_.size()) Fail("content after the root element", i_);
        return root;
    }

private:
    void CheckCharacters() {
        for (std::size_t k = 0; k < s_.size();) {
            const auto c = static_cast<unsigned char>(s_[k]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') Fail("control character", k);
            if (c < 0x80) {
                ++k;
                continue;
            }
            std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            if (len == 0 || k + len > s_.size()) Fail("invalid UTF-8", k);
            for (std::size_t j = 1; j < len; ++j)
                if ((static_cast<unsigned char>(s_[k + j]) & 0xC0) != 0x80) Fail("invalid UTF-8", k);
            k += len;
        }
    }
    void Skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    std::string Name() {
        const std::size_t start = i_;
        while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' ||
                                  s_[i_] == '_' || s_[i_] == ':' || s_[i_] == '.'))
            ++i_;
        if (i_ == start) Fail("name expected", i_);
        return s_.substr(start, i_ - start);
    }
    std::string Resolve(const std::string& raw, std::size_t at) {
        std::string out;
        for (std::size_t k = 0; k < raw.size(); ++k) {
            if (raw[k] == '<') Fail("bare '<'", at + k);
            if (raw[k] != '&') {
                out.push_back(raw[k]);
                continue;
            }
            const std::size_t semi = raw.find(';', k);
            if (semi == std::string::npos) Fail("bare '&'", at + k);
            const std::string ent = raw.substr(k + 1, semi - k - 1);
            if (ent == "amp") out += '&';
            else if (ent == "lt") out += '<';
            else if (ent == "gt") out += '>';
            else if (ent == "quot") out += '"';
            else if (ent == "apos") out += '\'';
            else Fail("unknown entity &" + ent + ";", at + k);
            k = semi;
        }
        return out;
    }
    XmlElement Element() {
        if (i_ >= s_.size() || s_[i_] != '<') Fail("'<' expected", i_);
        ++i_;
        XmlElement e;
        e.name = Name();
        for (;;) {
            const std::size_t before = i_;
            Skip();
            if (i_ >= s_.size()) Fail("unterminated tag", i_);
            if (s_[i_] == '/' || s_[i_] == '>') break;
            if (i_ == before) Fail("blank expected before attribute", i_);
            const std::string key = Name();
            Skip();
            if (i_ >= s_.size() || s_[i_] != '=') Fail("'=' expected", i_);
            ++i_;
            Skip();
            if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) Fail("unquoted attribute", i_);
            const char q = s_[i_++];
            const std::size_t end = s_.find(q, i_);
            if (end == std::string::npos) Fail("unterminated attribute", i_);
            if (e.attributes.count(key)) Fail("repeated attribute " + key, i_);
            e.attributes[key] = Resolve(s_.substr(i_, end - i_), i_);
            i_ = end + 1;
        }
        if (s_[i_] == '/') {
            if (s_.compare(i_, 2, "/>") != 0) Fail("'/>' expected", i_);
            i_ += 2;
            return e;
        }
        ++i_;
        for (;;) {
            const std::size_t lt = s_.find('<', i_);
            if (lt == std::string::npos) Fail("unclosed element " + e.name, i_);
            e.text += Resolve(s_.substr(i_, lt - i_), i_);
            i_ = lt;
            if (s_.compare(i_, 2, "</") == 0) {
                i_ += 2;
                const std::string closing = Name();
                if (closing != e.name) Fail("</" + closing + "> closes <" + e.name + ">", i_);
                Skip();
                if (i_ >= s_.size() || s_[i_] != '>') Fail("'>' expected", i_);
                ++i_;
                return e;
            }
            e.children.push_back(Element());
        }
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

void Collect(const XmlElement& e, const std::string& value, bool byClass, std::vector<const XmlElement*>& out) {
    if (byClass ? e.Attr("class") == value : e.name == value) out.push_back(&e);
    for (const XmlElement& c : e.children) Collect(c, value, byClass, out);
}

}  // namespace

std::vector<const XmlElement*> XmlElement::FindAll(const std::string& tag) const {
    std::vector<const XmlElement*> out;
    Collect(*this, tag, false, out);
    return out;
}

std::vector<const XmlElement*> XmlElement::FindClass(const std::string& cls) const {
    std::vector<const XmlElement*> out;
    Collect(*this, cls, true, out);
    return out;
}

std::string XmlElement::Attr(const std::string& key) const {
    const auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
}

XmlElement ParseXml(const std::string& doc) { return XmlParser(doc).Document(); }

std::size_t Table::Col(const std::string& name) const {
    for (std::size_t k = 0; k < header.size(); ++k)
        if (header[k] == name) return k;
    throw std::runtime_error("no column " + name);
}

namespace {
std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        std::string field = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
            std::string u;
            for (std::size_t k = 1; k + 1 < field.size(); ++k) {
                u.push_back(field[k]);
                if (field[k] == '"') ++k;  // doubled quote
            }
            field = u;
        }
        f.push_back(field);
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return f;
}
}  // namespace

Table ReadTsv(const std::string& text) {
    Table t;
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) throw std::runtime_error("TSV: last line without line break");
        const std::vector<std::string> f = SplitFields(text.substr(start, nl - start));
        start = nl + 1;
        if (first) {
            t.header = f;
            first = false;
            continue;
        }
        if (f.size() != t.header.size())
            throw std::runtime_error("TSV: row of " + std::to_string(f.size()) + " fields under a header of " +
                                     std::to_string(t.header.size()));
        t.rows.push_back(f);
    }
    return t;
}

}  // namespace kolvar::test
