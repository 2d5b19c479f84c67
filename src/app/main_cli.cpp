// SPDX-License-Identifier: MIT
// vextra-cli on Linux. Its arguments are passed on as bytes, as the names of files are.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/standard_output.h"

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    // `vextra-cli status *.exe | head -1`: the program in hand is finished before the batch stops.
    vextra::platform::keep_running_past_closed_pipe();
    // The template ships beside the program in a build, and in the data folder of the prefix it is
    // installed to (bin/ and share/vextra/ side by side).
    std::vector<std::string> templates;
    if (const std::string folder = vextra::platform::program_folder(); !folder.empty())
        templates = {folder + "/style.dll", folder + "/../share/vextra/style.dll"};
    vextra::cli::StandardOutput out;
    return vextra::cli::run(std::vector<std::string>(argv + 1, argv + argc), templates, {std::cin, out, std::cerr});
}
