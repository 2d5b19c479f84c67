// SPDX-License-Identifier: MIT
#pragma once
// XML, read by a maintained parser: expat on Linux, the system's XmlLite on Windows. A manifest
// that is not a well-formed document stops the program it belongs to from starting, so nothing
// that fails this check is ever written as one.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vextra::platform {

// One start tag, by its local name (any namespace prefix left off) and its attributes in the
// order written, at `depth` (0 for the root element).
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    int depth = 0;
};

// Empty when `xml` (its bytes, in the encoding it declares, UTF-8 by default) is a well-formed
// XML document with a root element; otherwise what is wrong, as "line N: what". `visit`, when
// given, sees every start tag in document order as the parser reaches it.
std::string xml_error(std::string_view xml, const std::function<void(const XmlElement&)>& visit = {});

}  // namespace vextra::platform
