#pragma once
// Independent readers of the program's output formats, for tests: a strict
// XML parser (well-formedness) and a tab-separated table reader that undoes
// the quoting R and pandas undo.

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kolvar::test {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;  ///< entity references resolved
    std::vector<XmlElement> children;
    std::string text;  ///< character data directly inside, entities resolved

    /// Every element below (and including) this one with the given name, in document order.
    std::vector<const XmlElement*> FindAll(const std::string& tag) const;
    /// Elements whose class attribute equals cls.
    std::vector<const XmlElement*> FindClass(const std::string& cls) const;
    std::string Attr(const std::string& key) const;
};

/// Parses a whole document (declaration, one root element); throws
/// std::runtime_error naming the fault on anything not well-formed: unclosed
/// or crossed tags, unquoted or repeated attributes, a bare '&' or '<',
/// unknown entities, control characters, invalid UTF-8.
XmlElement ParseXml(const std::string& doc);

/// A table: header fields and the rows' fields; quoted fields unquoted.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    /// Index of a column; throws when absent.
    std::size_t Col(const std::string& name) const;
};
/// Reads tab-separated text with one header line; throws when a row has a
/// different number of fields from the header.
Table ReadTsv(const std::string& text);

}  // namespace kolvar::test
