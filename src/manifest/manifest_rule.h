// SPDX-License-Identifier: MIT
#pragma once
// What a manifest must be for Windows' loader to take it: one rule, on both systems, for the text
// the program writes beside a program and for a program's own manifest. A manifest the loader does
// not take stops its program from starting on Windows (Wine ignores it), so the program writes
// none that fails this rule, and counts none that fails it as asking for anything.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/xml.h"

namespace vextra::manifest {

inline constexpr std::string_view kAssemblyNamespace = "urn:schemas-microsoft-com:asm.v1";
// The schema nests its deepest elements four below the root (trustInfo, security,
// requestedPrivileges, requestedExecutionLevel). Deeper nesting is no manifest's, and this bound
// lies far below XmlLite's own (256), so both parsers meet this one first.
inline constexpr int kMaxElementDepth = 32;

// Empty when `utf8` (UTF-8, its declaration naming UTF-8 or none, as manifest_as_utf8 gives it)
// is a manifest the loader takes; otherwise why not, as "line N: what". `visit`, when given, sees
// every element in document order; what it saw counts only when the answer is empty.
std::string manifest_error(std::string_view utf8, const std::function<void(const platform::XmlElement&)>& visit = {});

// Empty when `text`, written to disk byte for byte as a manifest, is one the loader takes: UTF-8
// whose XML declaration names UTF-8 or no encoding, and manifest_error's rule.
std::string written_manifest_error(std::string_view text);

// An assembly version as the loader reads one: four decimal numbers of 0 to 65535, joined by dots.
std::optional<std::array<std::uint16_t, 4>> assembly_version(std::string_view text);

// The value of the attribute `name` in no namespace, or nullptr.
const std::string* attribute_value(const platform::XmlElement& element, std::string_view name);

}  // namespace vextra::manifest
