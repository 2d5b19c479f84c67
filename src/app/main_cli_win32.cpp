// SPDX-License-Identifier: MIT
// vextra-cli on Windows, a console program. Its arguments arrive as UTF-16; what it prints leaves
// as UTF-8, which a console shows once told so and a pipe passes on as it is.
#include <windows.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "manifest/template_store.h"
#include "platform/program_folder.h"
#include "platform/utf16.h"

// A Windows shell passes wildcards on as they are; the C runtime expands them into the names they
// match, as a Linux shell would, so that `vextra-cli status *.exe` means the same on both.
extern "C" {
int _dowildcard = -1;
}

namespace {

// The console shows UTF-8 while the program runs. It outlives the program, so its own code page
// is given back at the end.
class Utf8Console {
public:
    Utf8Console() : previous_(GetConsoleOutputCP()) {
        DWORD mode = 0;
        if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
            GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode))
            changed_ = SetConsoleOutputCP(CP_UTF8) != 0;
    }
    ~Utf8Console() {
        if (changed_) SetConsoleOutputCP(previous_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_;
    bool changed_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::optional<std::string> utf8 = vextra::platform::to_exact_utf8(argv[i]);
        if (!utf8) {
            std::cerr << "vextra-cli: argument " << i
                      << " is not valid Unicode text (it holds a lone surrogate), "
                         "so it names no file this program can reach\n";
            return vextra::cli::exit_status::kUsage;
        }
        arguments.push_back(std::move(*utf8));
    }
    const Utf8Console console;
    vextra::cli::StandardOutput out;
    return vextra::cli::run(arguments, vextra::platform::shipped_file_paths(vextra::manifest::kTemplateFileName),
                            {std::cin, out, std::cerr});
}
