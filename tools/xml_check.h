#pragma once
// A small well-formedness check for XML documents such as application manifests: one root
// element, matched tags, quoted and unique attributes, known entity references, comments,
// processing instructions, CDATA and a simple DOCTYPE. It validates nothing against a schema.

#include <string>
#include <string_view>

namespace vextra::tools {

// Empty when `xml` (UTF-8) is well-formed; otherwise what is wrong and on which line.
std::string xml_wellformedness_error(std::string_view xml);

}  // namespace vextra::tools
