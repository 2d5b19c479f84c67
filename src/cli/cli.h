// SPDX-License-Identifier: MIT
#pragma once
// vextra-cli: the window's Enable, Disable and status for many programs at once, from a terminal
// or a script. The same core functions run; their questions are asked on the terminal and their
// warnings become lines on the error stream. Free of any operating system: each system's main
// converts the arguments and hands over the streams.

#include <iosfwd>
#include <string>
#include <vector>

namespace vextra::cli {

namespace exit_status {
inline constexpr int kSuccess = 0;  // every program ended as asked
inline constexpr int kFailure = 1;  // a program was refused, failed or its question declined
inline constexpr int kUsage = 2;    // the arguments say nothing to do
}  // namespace exit_status

struct Streams {
    std::istream& in;   // the answers to the questions
    std::ostream& out;  // one status line per program, --help and --version
    std::ostream& err;  // the questions, warnings and usage errors
};

// Runs vextra-cli with `arguments` (the program's name left off) and returns its exit status.
// Without --template, the template is the first of `default_templates` that exists, else
// "style.dll" in the working directory.
int run(const std::vector<std::string>& arguments, const std::vector<std::string>& default_templates,
        const Streams& streams);

}  // namespace vextra::cli
