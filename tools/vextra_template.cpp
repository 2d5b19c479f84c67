// SPDX-License-Identifier: MIT
// vextra-template: makes the program's manifest template ("style.dll") from a manifest, and shows
// what the program would hold as its manifest text with a given template.
//
//   vextra-template encode MANIFEST.xml -o style.dll
//   vextra-template decode [style.dll]
//   vextra-template --help | --version
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "manifest/template_store.h"
#include "platform/files.h"
#include "formats/printable.h"
#include "formats/rich_text_box.h"
#include "platform/standard_output.h"
#include "template_encoder.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    "usage: vextra-template encode MANIFEST.xml -o style.dll\n"
    "       vextra-template decode [style.dll]\n"
    "       vextra-template --help | --version\n";

// The exit status when the standard output took no more (a full disk, a closed output, no reader left).
constexpr int kOutputLost = 3;

// Writes `text`, the whole of the standard output, and closes it. When it did not all arrive, the
// exit status, the reason said on the error stream; a reader that has gone away chose to, and
// needs no words.
std::optional<int> print_all(std::string_view text) {
    std::error_code error = vextra::platform::write_standard_output(text);
    if (!error) error = vextra::platform::close_standard_output();
    if (!error) return std::nullopt;
    if (error != std::errc::broken_pipe)
        std::cerr << "vextra-template: write error: " << vextra::platform::error_text(error) << '\n';
    return kOutputLost;
}

// "vextra-template: PATH: reason", the path written so that it stays on its line.
void report(const std::string& path, std::string_view reason) {
    std::cerr << "vextra-template: " << vextra::formats::printable(path) << ": " << reason << '\n';
}

int encode(const std::string& source, const std::string& output) {
    std::string manifest;
    if (const auto error = vextra::platform::read_file(source, manifest)) {
        report(source, vextra::platform::error_text(error));
        return 1;
    }
    const auto encoded = vextra::tools::encode_template(manifest);
    if (!encoded.error.empty()) {
        report(source, encoded.error);
        return 1;
    }
    if (const auto error = vextra::platform::save_file(output, encoded.rtf)) {
        report(output, vextra::platform::error_text(error));
        return 1;
    }
    return 0;
}

int decode(const std::string& path) {
    vextra::formats::RichTextBox manif;
    std::string why_not;
    const bool loaded = vextra::manifest::load_template(manif, path, &why_not);
    if (const std::optional<int> lost = print_all(manif.text())) return *lost;
    if (!loaded) {
        report(path, why_not + "; the text above is what the program holds then, and it writes no manifest");
        return 1;
    }
    if (const std::string error = vextra::manifest::manifest_text_error(manif); !error.empty()) {
        report(path, "the text above is not a manifest Windows takes (" + error +
                         "), so the program writes no manifest with it");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    vextra::platform::keep_running_past_closed_pipe();
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc == 2 && command == "--help") return print_all(kUsage).value_or(0);
    if (argc == 2 && command == "--version") return print_all("vextra-template " VEXTRA_VERSION "\n").value_or(0);
    if (command == "encode" && argc == 5 && std::string(argv[3]) == "-o") return encode(argv[2], argv[4]);
    if (command == "decode" && argc <= 3)
        return decode(argc == 3 ? argv[2] : std::string(vextra::manifest::kTemplateFileName));
    std::cerr << kUsage;
    return 2;
}
