// SPDX-License-Identifier: MIT
// XML on Linux, by expat.
#include "platform/xml.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace vextra::platform {
namespace {

struct Walk {
    const std::function<void(const XmlElement&)>& visit;
    int depth = 0;
};

std::string local_name(const XML_Char* name) {
    const std::string_view full(name);
    const auto colon = full.find(':');
    return std::string(colon == std::string_view::npos ? full : full.substr(colon + 1));
}

void XMLCALL start_element(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& walk = *static_cast<Walk*>(data);
    XmlElement element{local_name(name), {}, walk.depth++};
    for (const XML_Char** a = attributes; *a; a += 2) element.attributes.emplace_back(a[0], a[1]);
    walk.visit(element);
}

void XMLCALL end_element(void* data, const XML_Char*) { --static_cast<Walk*>(data)->depth; }

}  // namespace

std::string xml_error(std::string_view xml, const std::function<void(const XmlElement&)>& visit) {
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) return "line 1: out of memory";
    Walk walk{visit};
    if (visit) {
        XML_SetUserData(parser.get(), &walk);
        XML_SetElementHandler(parser.get(), start_element, end_element);
    }
    // expat takes the text in pieces of at most INT_MAX bytes.
    do {
        const std::size_t piece = std::min<std::size_t>(xml.size(), INT_MAX);
        const bool last = piece == xml.size();
        if (XML_Parse(parser.get(), xml.data(), static_cast<int>(piece), last) != XML_STATUS_OK) {
            return "line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                   XML_ErrorString(XML_GetErrorCode(parser.get()));
        }
        xml.remove_prefix(piece);
    } while (!xml.empty());
    return {};
}

}  // namespace vextra::platform
