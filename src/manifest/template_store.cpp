#include "manifest/template_store.h"

#include "platform/text.h"
#include "platform/xml.h"

namespace vextra::manifest {

bool load_template(platform::RichTextBox& manif, const std::string& path) {
    const bool loaded = manif.load_rtf(path, kTemplateSizeLimit);
    manif.set_text(platform::replace_all(manif.text(), kMarker, ""));
    for (const DecodePair& pair : kDecodeList)
        manif.set_text(platform::replace_all(manif.text(), platform::ansi_char(pair.code), pair.replacement));
    return loaded;
}

std::string manifest_text_error(const platform::RichTextBox& manif) { return platform::xml_error(manif.text()); }

}  // namespace vextra::manifest
