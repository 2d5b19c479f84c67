// SPDX-License-Identifier: MIT
#pragma once
// XML, read by a maintained parser: expat on Linux, the system's XmlLite on Windows. The layer only
// tells whether a document is well-formed, stops at a document type declaration, and reports the
// elements with their namespaces; what a manifest must be beyond that is the manifest rule's, the
// same on both systems (manifest/manifest_rule.h).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vextra::platform {

// What xml_error says, after the line, of a document type declaration. Reading stops there, so no
// entity it declares is ever expanded and no external file it names is ever looked for.
inline constexpr std::string_view kDocumentTypeDeclaration =
    "a document type declaration, which a manifest may not have";

struct XmlAttribute {
    std::string namespace_uri;  // empty for an attribute without a prefix
    std::string name;           // the local name, any prefix left off
    std::string value;          // with its references resolved
};

// One start tag: its namespace and local name, its attributes in the order written (namespace
// declarations left out), `depth` (0 for the root element) and the line it starts on.
struct XmlElement {
    std::string namespace_uri;  // empty for an element in no namespace
    std::string name;
    std::vector<XmlAttribute> attributes;
    int depth = 0;
    unsigned line = 1;
};

// Empty when `xml` (its bytes, in the encoding it declares, UTF-8 by default) is a well-formed,
// namespace-well-formed XML document with a root element and no document type declaration;
// otherwise what is wrong, as "line N: what". `visit`, when given, sees every start tag in
// document order as the parser reaches it.
std::string xml_error(std::string_view xml, const std::function<void(const XmlElement&)>& visit = {});

}  // namespace vextra::platform
