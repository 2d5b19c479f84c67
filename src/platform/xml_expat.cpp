// The XML well-formedness check on Linux, by expat.
#include "platform/xml.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace vextra::platform {

std::string xml_error(std::string_view xml) {
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) return "line 1: out of memory";
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
