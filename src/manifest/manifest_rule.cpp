// SPDX-License-Identifier: MIT
// The rule follows Microsoft's "Application manifests" and "Manifest file schema" pages, and only
// what the loader reads there:
// - well-formed XML without a document type declaration: the loader's own XML reader reads no
//   DTD (Wine's takes "<!DOCTYPE" for the root element and refuses the manifest), so an entity it
//   declares is never what the loader sees;
// - the root element assembly in urn:schemas-microsoft-com:asm.v1 with manifestVersion="1.0", both
//   required ("assembly", "manifestVersion"); Wine also refuses another namespace or version;
// - no element nested deeper than kMaxElementDepth;
// - every assemblyIdentity the loader binds by (the program's own, right under the root, and each
//   dependency's, under dependency/dependentAssembly) named, and versioned in four parts of 0 to
//   65535 ("version"): the loader refuses the whole manifest over a bad version. A dependency's is
//   also of type win32, "all in lower case"; the program's own may leave its type out, as the
//   manifests Visual Studio writes do, and Windows starts them.
#include "manifest/manifest_rule.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "manifest/manifest_text.h"

namespace vextra::manifest {
namespace {

using platform::XmlElement;

std::string at_line(unsigned line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

// The names of the open elements from the root, an empty one for an element in another namespace.
using Path = std::vector<std::string>;

bool path_is(const Path& path, std::initializer_list<std::string_view> names) {
    return path.size() == names.size() && std::equal(path.begin(), path.end(), names.begin());
}

std::string_view identity_fault(const XmlElement& identity, bool of_a_dependency) {
    const std::string* name = attribute_value(identity, "name");
    const std::string* version = attribute_value(identity, "version");
    const std::string* type = attribute_value(identity, "type");
    if (!name || name->empty()) return "an assemblyIdentity without a name";
    if (!version || !assembly_version(*version))
        return "an assemblyIdentity whose version is not four numbers of 0 to 65535";
    if (of_a_dependency && (!type || *type != "win32"))
        return "a dependency's assemblyIdentity whose type is not win32";
    return {};
}

// What breaks the rule at `element`, the last of `path`, or nothing.
std::string element_fault(const XmlElement& element, const Path& path) {
    if (element.depth == 0) {
        if (path_is(path, {"assembly"})) {
            const std::string* version = attribute_value(element, "manifestVersion");
            if (!version || *version != "1.0")
                return at_line(element.line, "the assembly element lacks manifestVersion=\"1.0\"");
        } else {
            return at_line(element.line,
                           "the root element is not assembly in the namespace " + std::string(kAssemblyNamespace));
        }
    }
    std::string_view fault;
    if (path_is(path, {"assembly", "assemblyIdentity"})) fault = identity_fault(element, false);
    if (path_is(path, {"assembly", "dependency", "dependentAssembly", "assemblyIdentity"}))
        fault = identity_fault(element, true);
    return fault.empty() ? std::string() : at_line(element.line, fault);
}

}  // namespace

std::string manifest_error(std::string_view utf8, const std::function<void(const XmlElement&)>& visit) {
    // The first element that breaks the rule comes before anything the parser refuses later.
    std::string fault;
    Path path;
    const std::string parse_error = platform::xml_error(utf8, [&](const XmlElement& element) {
        if (element.depth >= kMaxElementDepth) {
            if (fault.empty())
                fault =
                    at_line(element.line, "elements nested more than " + std::to_string(kMaxElementDepth) + " deep");
            return;
        }
        path.resize(static_cast<std::size_t>(element.depth));
        path.push_back(element.namespace_uri == kAssemblyNamespace ? element.name : std::string());
        if (fault.empty()) fault = element_fault(element, path);
        if (visit) visit(element);
    });
    if (!fault.empty()) return fault;
    if (!parse_error.empty()) return parse_error;
    // Windows' XmlLite and expat refuse a reference to an entity that does not exist; Wine's
    // XmlLite leaves it as text. Checked here, the answer is the same whichever parser read.
    return reference_error(utf8);
}

std::string written_manifest_error(std::string_view text) {
    if (const auto name = declared_encoding(text); name && !equal_ignoring_ascii_case(*name, "UTF-8"))
        return at_line(1, "the XML declaration names an encoding other than UTF-8, the one the manifest is written in");
    const Utf8Manifest utf8 = manifest_as_utf8(text);
    if (!utf8.error.empty()) return utf8.error;
    if (utf8.encoding != ManifestEncoding::kUtf8)
        return at_line(1, "not UTF-8, the encoding the manifest is written in");
    return manifest_error(utf8.text);
}

std::optional<std::array<std::uint16_t, 4>> assembly_version(std::string_view text) {
    std::array<std::uint16_t, 4> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t dot = text.find('.');
        const bool last = i + 1 == parts.size();
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const std::string_view digits = text.substr(0, dot);
        if (digits.empty() || digits.size() > 5) return std::nullopt;
        unsigned value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value > 0xFFFF) return std::nullopt;
        parts[i] = static_cast<std::uint16_t>(value);
        if (!last) text.remove_prefix(dot + 1);
    }
    return parts;
}

const std::string* attribute_value(const XmlElement& element, std::string_view name) {
    for (const platform::XmlAttribute& attribute : element.attributes)
        if (attribute.namespace_uri.empty() && attribute.name == name) return &attribute.value;
    return nullptr;
}

}  // namespace vextra::manifest
