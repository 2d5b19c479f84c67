#pragma once
// Whether a text is a well-formed XML document, checked by a maintained parser: expat on Linux,
// the system's XmlLite on Windows. A manifest that is not stops the program it belongs to from
// starting, so nothing that fails this check is ever written as one.

#include <string>
#include <string_view>

namespace vextra::platform {

// Empty when `xml` (its bytes, in the encoding it declares, UTF-8 by default) is a well-formed
// XML document with a root element; otherwise what is wrong, as "line N: what".
std::string xml_error(std::string_view xml);

}  // namespace vextra::platform
