// SPDX-License-Identifier: MIT
// XML on Linux, by expat, with namespace processing.
#include "platform/xml.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace vextra::platform {
namespace {

// Between a namespace URI and a local name in the names expat reports: no XML character, so it
// cannot be part of either.
constexpr char kNamespaceSeparator = '\x01';

struct Walk {
    XML_Parser parser;
    const std::function<void(const XmlElement&)>& visit;
    int depth = 0;
    unsigned document_type_line = 0;
};

// "URI<separator>local" for a name in a namespace, the bare local name otherwise.
void split_name(const XML_Char* expanded, std::string& namespace_uri, std::string& local) {
    const std::string_view name(expanded);
    const auto separator = name.find(kNamespaceSeparator);
    namespace_uri = separator == std::string_view::npos ? std::string() : std::string(name.substr(0, separator));
    local = std::string(separator == std::string_view::npos ? name : name.substr(separator + 1));
}

void XMLCALL start_element(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& walk = *static_cast<Walk*>(data);
    XmlElement element;
    split_name(name, element.namespace_uri, element.name);
    element.depth = walk.depth++;
    element.line = static_cast<unsigned>(XML_GetCurrentLineNumber(walk.parser));
    for (const XML_Char** a = attributes; *a; a += 2) {
        XmlAttribute& attribute = element.attributes.emplace_back();
        split_name(a[0], attribute.namespace_uri, attribute.name);
        attribute.value = a[1];
    }
    if (walk.visit) walk.visit(element);
}

void XMLCALL end_element(void* data, const XML_Char*) { --static_cast<Walk*>(data)->depth; }

// A document type declaration ends the reading before anything in it is read.
void XMLCALL start_document_type(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto& walk = *static_cast<Walk*>(data);
    walk.document_type_line = static_cast<unsigned>(XML_GetCurrentLineNumber(walk.parser));
    XML_StopParser(walk.parser, XML_FALSE);
}

}  // namespace

std::string xml_error(std::string_view xml, const std::function<void(const XmlElement&)>& visit) {
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, kNamespaceSeparator), XML_ParserFree);
    if (!parser) return "line 1: out of memory";
    Walk walk{parser.get(), visit};
    XML_SetUserData(parser.get(), &walk);
    XML_SetElementHandler(parser.get(), start_element, end_element);
    XML_SetStartDoctypeDeclHandler(parser.get(), start_document_type);
    // expat takes the text in pieces of at most INT_MAX bytes.
    do {
        const std::size_t piece = std::min<std::size_t>(xml.size(), INT_MAX);
        const bool last = piece == xml.size();
        if (XML_Parse(parser.get(), xml.data(), static_cast<int>(piece), last) != XML_STATUS_OK) {
            if (walk.document_type_line)
                return "line " + std::to_string(walk.document_type_line) + ": " + std::string(kDocumentTypeDeclaration);
            return "line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                   XML_ErrorString(XML_GetErrorCode(parser.get()));
        }
        xml.remove_prefix(piece);
    } while (!xml.empty());
    return {};
}

}  // namespace vextra::platform
