// SPDX-License-Identifier: MIT
// vextra-template: makes the program's manifest template ("style.dll") from a manifest, and shows
// what the program would hold as its manifest text with a given template.
//
//   vextra-template encode MANIFEST.xml -o style.dll
//   vextra-template decode [style.dll]
//   vextra-template --help | --version
#include <cstdio>
#include <iostream>
#include <string>

#include "manifest/template_store.h"
#include "platform/files.h"
#include "platform/rich_text_box.h"
#include "template_encoder.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    "usage: vextra-template encode MANIFEST.xml -o style.dll\n"
    "       vextra-template decode [style.dll]\n"
    "       vextra-template --help | --version\n";

int encode(const std::string& source, const std::string& output) {
    std::string manifest;
    if (const auto error = vextra::platform::read_file(source, manifest)) {
        std::cerr << "vextra-template: " << source << ": " << vextra::platform::error_text(error) << '\n';
        return 1;
    }
    const auto encoded = vextra::tools::encode_template(manifest);
    if (!encoded.error.empty()) {
        std::cerr << "vextra-template: " << source << ": " << encoded.error << '\n';
        return 1;
    }
    if (const auto error = vextra::platform::save_file(output, encoded.rtf)) {
        std::cerr << "vextra-template: " << output << ": " << vextra::platform::error_text(error) << '\n';
        return 1;
    }
    return 0;
}

int decode(const std::string& path) {
    vextra::platform::RichTextBox manif;
    const bool loaded = vextra::manifest::load_template(manif, path);
    std::fwrite(manif.text().data(), 1, manif.text().size(), stdout);
    std::fflush(stdout);
    if (!loaded) {
        std::cerr << "vextra-template: " << path
                  << ": could not be loaded as an RTF document of at most "
                  << (vextra::manifest::kTemplateSizeLimit >> 20)
                  << " MiB; the text above is what the program holds then, and it writes no manifest\n";
        return 1;
    }
    if (const std::string error = vextra::manifest::manifest_text_error(manif); !error.empty()) {
        std::cerr << "vextra-template: " << path << ": the text above is not a well-formed XML document (" << error
                  << "), so the program writes no manifest with it\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc == 2 && command == "--help") {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && command == "--version") {
        std::cout << "vextra-template " VEXTRA_VERSION "\n";
        return 0;
    }
    if (command == "encode" && argc == 5 && std::string(argv[3]) == "-o") return encode(argv[2], argv[4]);
    if (command == "decode" && argc <= 3)
        return decode(argc == 3 ? argv[2] : std::string(vextra::manifest::kTemplateFileName));
    std::cerr << kUsage;
    return 2;
}
