// SPDX-License-Identifier: MIT
#pragma once
// A manifest's text before any XML parser reads it, the same on every system: its bytes, in one of
// the encodings Windows' loader reads, turned into UTF-8 here so that expat and XmlLite are handed
// the very same text; and its references, which one of the parsers (Wine's XmlLite) leaves
// unchecked.

#include <optional>
#include <string>
#include <string_view>

namespace vextra::manifest {

// The encodings a manifest is read in: Unicode, and the two single-byte ones a Windows program is
// most often written in. Another that a declaration names is not read: what Windows makes of it
// is not known here, so such a manifest is taken as one the loader does not take.
enum class ManifestEncoding { kUtf8, kUtf16LittleEndian, kUtf16BigEndian, kWindows1252, kLatin1 };

struct Utf8Manifest {
    std::string text;   // the manifest in UTF-8 without a byte order mark; its XML declaration, if
                        // any, names UTF-8 or no encoding
    std::string error;  // why the bytes are no text in an encoding read ("line N: what"); `text`
                        // is then empty
    ManifestEncoding encoding = ManifestEncoding::kUtf8;  // what the bytes were in
};

// The manifest `bytes` as UTF-8. A UTF-16 byte order mark (little or big endian) makes them
// UTF-16, whose XML declaration names UTF-16 or no encoding; otherwise the declaration names the
// encoding: UTF-8 (also the default, with or without its byte order mark), windows-1252 (its
// undefined codes taken as the C1 controls of the same value, as Windows takes them) or
// ISO-8859-1. The declaration of a converted text is made to name UTF-8 in its place; line ends
// and lines stay as they were. UTF-8 with a character zero is refused, so that no parser takes it
// for UTF-16 or UTF-32 without a byte order mark.
Utf8Manifest manifest_as_utf8(std::string_view bytes);

// The value of the encoding the XML declaration at the start of `text` (after a UTF-8 byte order
// mark) names, in single bytes; nullopt when there is no such declaration or it names none.
std::optional<std::string_view> declared_encoding(std::string_view text);

// Empty when every '&' of `utf8` outside comments, CDATA sections and processing instructions
// starts a reference to one of XML's five entities or to an XML character; otherwise what is wrong,
// as "line N: what". A manifest has no document type declaration, so no other entity exists, and a
// well-formed document never fails this.
std::string reference_error(std::string_view utf8);

// Whether `a` and `b` are the same but for the case of ASCII letters, as Windows compares assembly
// names and XML compares encoding names.
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);

}  // namespace vextra::manifest
