// SPDX-License-Identifier: MIT
// vextra-template: makes the program's manifest template ("style.dll") from a manifest, and shows
// what the program would hold as its manifest text with a given template.
//
//   vextra-template encode MANIFEST.xml -o style.dll
//   vextra-template decode [style.dll]
//   vextra-template --help | --version
#include <cstddef>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/template_store.h"
#include "platform/files.h"
#include "formats/printable.h"
#include "formats/rich_text_box.h"
#include "platform/standard_output.h"
#include "template_encoder.h"
#include "version.h"

namespace {

constexpr std::string_view kUsage =
    "usage: vextra-template encode MANIFEST.xml -o style.dll\n"
    "       vextra-template decode [style.dll]\n"
    "       vextra-template --help | --version\n";

constexpr std::string_view kHelp =
    "\n"
    "  encode   writes the manifest MANIFEST.xml (UTF-8 XML) as a template\n"
    "  decode   prints the manifest text the programs make of a template (by default style.dll in\n"
    "           the working directory), and checks that it is a manifest Windows takes\n"
    "\n"
    "  -o FILE, --output=FILE  the template encode writes\n"
    "  --                      what follows is a file name, even when it starts with -\n"
    "\n"
    "Options may come before, between or after the names.\n"
    "Exit status: 0 on success; 1 when the input cannot be used, with the reason; 2 on a usage\n"
    "error; 3 when the standard output took no more.\n";

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

// What the command line asks for: a command and its files, or --help or --version.
struct Request {
    std::string command;
    std::vector<std::string> names;
    std::optional<std::string> output;
};

constexpr std::string_view kOutputIs = "--output=";

// Reads the arguments, options anywhere among the names. The exit status when nothing is left to
// do (--help, --version, or a usage error, each already printed).
std::optional<int> parse(const std::vector<std::string>& arguments, Request& request) {
    const auto usage_error = [](std::string_view why, std::string_view what = {}) {
        std::cerr << "vextra-template: " << why << vextra::formats::printable(what) << '\n' << kUsage;
        return 2;
    };
    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!options_ended && argument.size() > 1 && argument[0] == '-') {
            if (argument == "--") {
                options_ended = true;
            } else if (argument == "--help") {
                return print_all(std::string(kUsage) + std::string(kHelp)).value_or(0);
            } else if (argument == "--version") {
                return print_all("vextra-template " VEXTRA_VERSION "\n").value_or(0);
            } else if (argument == "-o" || argument == "--output") {
                if (++i == arguments.size()) return usage_error(argument + " needs a FILE");
                request.output = arguments[i];
            } else if (argument.rfind(kOutputIs, 0) == 0) {
                request.output = argument.substr(kOutputIs.size());
            } else {
                return usage_error("unknown option ", argument);
            }
        } else if (request.command.empty()) {
            request.command = argument;
        } else {
            request.names.push_back(argument);
        }
    }
    if (request.command == "encode") {
        if (request.names.size() != 1) return usage_error("encode takes one MANIFEST.xml");
        if (!request.output) return usage_error("encode needs -o FILE, the template to write");
    } else if (request.command == "decode") {
        if (request.names.size() > 1) return usage_error("decode takes at most one template");
        if (request.output) return usage_error("decode prints the text and writes no file: -o is encode's");
    } else if (request.command.empty()) {
        return usage_error("no command given");
    } else {
        return usage_error("unknown command ", request.command);
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    vextra::platform::keep_running_past_closed_pipe();
    Request request;
    if (const std::optional<int> status = parse(std::vector<std::string>(argv + 1, argv + argc), request))
        return *status;
    if (request.command == "encode") return encode(request.names[0], *request.output);
    return decode(request.names.empty() ? std::string(vextra::manifest::kTemplateFileName) : request.names[0]);
}
