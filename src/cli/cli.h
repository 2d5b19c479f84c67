// SPDX-License-Identifier: MIT
#pragma once
// vextra-cli: the window's Enable, Disable and status for many programs at once, from a terminal
// or a script. The same core functions run; their questions are asked on the terminal and their
// warnings become lines on the error stream. Free of any operating system: each system's main
// converts the arguments and hands over the streams.

#include <iosfwd>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vextra::cli {

namespace exit_status {
inline constexpr int kSuccess = 0;     // every program ended as asked
inline constexpr int kFailure = 1;     // a program was refused, failed or its question declined
inline constexpr int kUsage = 2;       // nothing was done: the arguments are wrong, or enable has no usable template
inline constexpr int kOutputLost = 3;  // the standard output took no more: the programs after the one in hand were left
}  // namespace exit_status

// Where the status lines, --help and --version go: each write arrives whole, or says why not.
class Output {
public:
    virtual ~Output() = default;
    // The system's error when `bytes` did not all arrive (std::errc::broken_pipe: no reader is left).
    virtual std::error_code write(std::string_view bytes) = 0;
    // After the last write: what the system reports only at the end.
    virtual std::error_code finish() = 0;
};

// The process's standard output.
class StandardOutput final : public Output {
public:
    std::error_code write(std::string_view bytes) override;
    std::error_code finish() override;
};

struct Streams {
    std::istream& in;   // the answers to the questions
    Output& out;        // one status record per program, --help and --version
    std::ostream& err;  // the questions, warnings and usage errors
};

// Runs vextra-cli with `arguments` (the program's name left off) and returns its exit status.
// Without --template, the template is the first of `installed_templates` that exists; never one
// from the working directory.
int run(const std::vector<std::string>& arguments, const std::vector<std::string>& installed_templates,
        const Streams& streams);

}  // namespace vextra::cli
