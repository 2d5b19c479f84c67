// SPDX-License-Identifier: MIT
#pragma once
// Writes a manifest as a template: an RTF document whose plain text is the manifest coded with
// the program's decode list and carrying the marker, so that the program's start-up decoding gives
// the manifest back (with CR LF line ends).

#include <string>
#include <string_view>

namespace vextra::tools {

struct EncodedTemplate {
    std::string rtf;    // the template document, when `error` is empty
    std::string error;  // why the manifest cannot be stored
};

// `manifest` is UTF-8 XML. Its line ends, LF, CR LF or a lone CR (a line end in XML too), all
// come back as CR LF. Refused: what the template cannot code, a manifest the programs would not
// write (manifest::written_manifest_error), and a template larger than the programs load.
EncodedTemplate encode_template(std::string_view manifest);

}  // namespace vextra::tools
