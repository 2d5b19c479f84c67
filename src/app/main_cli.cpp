// SPDX-License-Identifier: MIT
// vextra-cli on Linux. Its arguments are passed on as bytes, as the names of files are.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "manifest/template_store.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/standard_output.h"

int main(int argc, char** argv) {
    vextra::platform::keep_running_past_file_size_limit();
    // `vextra-cli status *.exe | head -1`: the program in hand is finished before the batch stops.
    vextra::platform::keep_running_past_closed_pipe();
    vextra::cli::StandardOutput out;
    return vextra::cli::run(std::vector<std::string>(argv + 1, argv + argc),
                            vextra::platform::shipped_file_paths(vextra::manifest::kTemplateFileName),
                            {std::cin, out, std::cerr});
}
