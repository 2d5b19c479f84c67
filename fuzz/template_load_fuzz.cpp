// The whole template load, as at start-up: the file read, the RTF reader, the marker and the
// decoding. Whatever the file holds, the text the program keeps is clean UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_file.h"
#include "manifest/template_store.h"
#include "valid_utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vextra::fuzz::ScratchFile file;
    vextra::platform::RichTextBox manif;
    vextra::manifest::load_template(manif, file.write(std::string_view(reinterpret_cast<const char*>(data), size)));
    if (!vextra::test::is_valid_utf8(manif.text())) std::abort();
    return 0;
}
