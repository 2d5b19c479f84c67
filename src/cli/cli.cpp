// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <istream>
#include <optional>
#include <ostream>
#include <string_view>
#include <system_error>

#include "manifest/commands.h"
#include "manifest/target.h"
#include "manifest/template_store.h"
#include "platform/dialogs.h"
#include "platform/executable.h"
#include "platform/files.h"
#include "platform/interruptions.h"
#include "formats/printable.h"
#include "formats/rich_text_box.h"
#include "platform/standard_output.h"
#include "version.h"

namespace vextra::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: vextra-cli status [-z] PATH...\n"
    "       vextra-cli enable [--yes] [-z] [--template=FILE] PATH...\n"
    "       vextra-cli disable [--yes] [-z] PATH...\n"
    "       vextra-cli --help | --version\n";

constexpr std::string_view kHelp =
    "\n"
    "Turns the new visual styles on or off for old Windows programs, as the Korvane Vextra window\n"
    "does, for every program named, and prints a status line for each: \"PATH: STATUS\".\n"
    "\n"
    "  status   prints each program's status; it only looks, and changes nothing on disk\n"
    "  enable   asks (y/N), then writes PATH.manifest from the template, read-only, hidden and system\n"
    "  disable  asks (y/N), then deletes PATH.manifest\n"
    "\n"
    "STATUS is one of:\n"
    "  Yes           an entry exists at PATH.manifest, whatever it holds and whatever its attributes\n"
    "  No            nothing is at PATH.manifest\n"
    "  own manifest  the program carries a manifest of its own, so Windows ignores a file beside it\n"
    "\n"
    "  --yes             answers every question Yes\n"
    "  --template=FILE   (or --template FILE) the manifest template; by default the installed one,\n"
    "                    style.dll where vextra-cli is installed, never one in the working directory\n"
    "  -z, --null        ends each status record with a NUL byte instead of a line end, the path\n"
    "                    written as its own bytes: \"PATH: STATUS\\0\", for scripts\n"
    "  --                what follows is a PATH, even when it starts with -\n"
    "\n"
    "After enable and disable each program's last-write time is set to now, so that Windows reads\n"
    "its manifest afresh. Status lines go to standard output; questions and warnings to standard\n"
    "error, as \"vextra-cli: PATH: reason\". A program that is refused gets no status line.\n"
    "In lines and messages a path is written so that it stays on its line: a backslash as \\\\,\n"
    "tab, line feed, carriage return and escape as \\t, \\n, \\r and \\e, and every other byte of a\n"
    "control character (U+0000-U+001F, U+007F-U+009F) or of what is not UTF-8 as \\xHH.\n"
    "\n"
    "Exit status:\n"
    "  0      every program ended as asked\n"
    "  1      a program was refused, failed, or its question was answered No; the others went on\n"
    "  2      nothing was done: a usage error, or enable has no usable template\n"
    "  3      the standard output took no more (a full disk, a closed output, no reader left): the\n"
    "         program in hand was finished, the ones after it were left; a message says why, unless\n"
    "         the reader went away\n"
    "  128+N  stopped by signal N (Ctrl+C: 130; on Windows 0xC000013A for any stop request): the\n"
    "         program in hand was finished, the ones after it were left\n";

constexpr std::string_view kOwnManifest = "own manifest";
// What a box with only an OK button returns.

enum class Command { Status, Enable, Disable };

std::optional<Command> command_named(std::string_view name) {
    if (name == "status") return Command::Status;
    if (name == "enable") return Command::Enable;
    if (name == "disable") return Command::Disable;
    return std::nullopt;
}

struct Request {
    Command command = Command::Status;
    bool answer_yes = false;
    bool null_records = false;
    std::optional<std::string> template_path;
    std::vector<std::string> paths;
};

// Says why the output took no more. A reader that has gone away (`| head`) chose to, and needs
// no words.
int output_lost(std::error_code error, std::ostream& err) {
    if (error != std::errc::broken_pipe) err << "vextra-cli: write error: " << platform::error_text(error) << '\n';
    return exit_status::kOutputLost;
}

// Prints --help or --version, and returns the exit status.
int print(std::string_view text, const Streams& streams) {
    const std::error_code error = streams.out.write(text);
    return error ? output_lost(error, streams.err) : exit_status::kSuccess;
}

constexpr std::string_view kTemplateIs = "--template=";

// Reads the arguments into `request`. Returns the exit status when they ask for nothing to be done
// to any program: --help, --version, or a usage error, each already printed.
std::optional<int> parse(const std::vector<std::string>& arguments, Request& request,
                         const Streams& streams) {
    const auto usage_error = [&streams](std::string_view why, std::string_view what = {}) {
        streams.err << "vextra-cli: " << why << formats::printable(what) << '\n' << kUsage;
        return exit_status::kUsage;
    };
    std::optional<Command> command;
    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!options_ended && argument.size() > 1 && argument[0] == '-') {  // "-" alone is a name
            if (argument == "--") {
                options_ended = true;
            } else if (argument == "--help") {
                return print(std::string(kUsage) + std::string(kHelp), streams);
            } else if (argument == "--version") {
                return print("vextra-cli " VEXTRA_VERSION "\n", streams);
            } else if (argument == "--yes") {
                request.answer_yes = true;
            } else if (argument == "-z" || argument == "--null") {
                request.null_records = true;
            } else if (argument == "--template") {
                if (++i == arguments.size()) return usage_error("--template needs a FILE");
                request.template_path = arguments[i];
            } else if (argument.rfind(kTemplateIs, 0) == 0) {
                request.template_path = argument.substr(kTemplateIs.size());
            } else {
                return usage_error("unknown option ", argument);
            }
        } else if (!command) {
            command = command_named(argument);
            if (!command) return usage_error("unknown command ", argument);
        } else {
            request.paths.push_back(argument);
        }
    }
    if (!command) return usage_error("no command given");
    if (request.paths.empty()) return usage_error("no PATH given");
    request.command = *command;
    return std::nullopt;
}

// "y" or "yes" in any letter case, spaces around it allowed; anything else is No.
bool is_yes(std::string_view answer) {
    const auto first = answer.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return false;
    answer = answer.substr(first, answer.find_last_not_of(" \t\r") + 1 - first);
    std::string lower(answer);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower == "y" || lower == "yes";
}

// The core's message boxes on a terminal, about one program at a time: a Yes/No box is a question
// on the error stream, answered by a line of input (or by --yes); any other box is a warning that
// the program did not end as asked.
class Terminal final : public platform::Dialogs {
public:
    Terminal(const Streams& streams, bool answer_yes, platform::InterruptionHold& interruptions)
        : streams_(streams), answer_yes_(answer_yes), interruptions_(interruptions) {}

    void begin(const std::string& path) {
        path_ = path;
        ended_as_asked_ = true;
    }
    bool ended_as_asked() const { return ended_as_asked_; }

    void warn(std::string_view reason) {
        streams_.err << "vextra-cli: " << formats::printable(path_) << ": " << formats::printable(reason) << '\n';
        ended_as_asked_ = false;
    }

    int message_box(const std::string& prompt, int buttons, const std::string&) override {
        if (buttons != platform::buttons::kYesNoWarning) {
            warn(prompt);
            return platform::answer::kOk;
        }
        if (answer_yes_ || ask(prompt)) return platform::answer::kYes;
        ended_as_asked_ = false;  // a declined question leaves the program as it was
        return platform::answer::kNo;
    }

private:
    bool ask(const std::string& question) {
        // The path leads, since the core names only the file and many folders may hold one of its name.
        streams_.err << formats::printable(path_) << ": " << formats::printable(question) << "? [y/N] " << std::flush;
        std::string answer;
        bool answered = false;
        // A stop request while the question waits is the answer No.
        if (!interruptions_.read_input([&] { answered = static_cast<bool>(std::getline(streams_.in, answer)); }) ||
            !answered) {
            streams_.err << '\n';  // no answer will come: what follows starts on a line of its own
            return false;
        }
        return is_yes(answer);
    }

    const Streams& streams_;
    const bool answer_yes_;
    platform::InterruptionHold& interruptions_;
    std::string path_;
    bool ended_as_asked_ = true;
};

// Loads the template enable writes from, once, before any program: the one named, else the first
// installed one that is there. Never one from the working directory, where a downloaded folder of
// programs might bring its own. When none is usable, says which files were tried and why.
bool load_usable_template(formats::RichTextBox& manif, const std::optional<std::string>& named,
                          const std::vector<std::string>& installed, std::ostream& err) {
    const std::vector<std::string> candidates = named ? std::vector<std::string>{*named} : installed;
    if (candidates.empty()) {
        err << "vextra-cli: no installed template: the folder of vextra-cli is unknown; name one with --template=FILE\n";
        return false;
    }
    std::string refusals;
    for (const std::string& path : candidates) {
        std::string why_not;
        if (manifest::load_template(manif, path, &why_not)) {
            const std::string error = manifest::manifest_text_error(manif);
            if (error.empty()) return true;
            why_not = "not a manifest Windows takes (" + error + ")";
        }
        refusals += "vextra-cli: template " + formats::printable(path) + ": " + formats::printable(why_not) + '\n';
        // What is there is the template, and no use; where nothing is, the next place may hold one.
        if (platform::path_exists(path)) break;
    }
    err << refusals;
    return false;
}

// The status records on the output: "PATH: STATUS" and a line end, the path escaped so that each
// line names one program; with --null the path's own bytes and a NUL, for scripts.
class StatusRecords {
public:
    StatusRecords(Output& out, bool null_terminated) : out_(out), null_terminated_(null_terminated) {}

    // Writes nothing more once a record did not arrive, whose reason error() then gives.
    void write(const std::string& path, std::string_view status) {
        if (error_) return;
        const char end = null_terminated_ ? '\0' : '\n';
        error_ = out_.write((null_terminated_ ? path : formats::printable(path)) + ": " + std::string(status) + end);
    }
    std::error_code error() const { return error_; }

private:
    Output& out_;
    const bool null_terminated_;
    std::error_code error_;
};

// A path that names nothing, or a folder, is no program; the system's words say which.
bool names_a_file(const std::string& path, Terminal& terminal) {
    unsigned attributes = 0;
    std::error_code error = platform::get_attributes(path, attributes);
    if (!error && (attributes & platform::attribute::kDirectory)) error = std::make_error_code(std::errc::is_a_directory);
    if (error) terminal.warn(platform::error_text(error));
    return !error;
}

// For enable and disable, what the window does with a drop of `path` followed by a click on Enable
// or Disable; then, for every command, the program's status line as it is now on disk. Status only
// looks. A refused program gets no status line.
void apply(Command command, const std::string& path, const formats::RichTextBox& manif, Terminal& terminal,
           StatusRecords& records) {
    if (!names_a_file(path, terminal)) return;
    if (command == Command::Status) {
        if (!manifest::has_executable_ending(path)) {
            terminal.warn(manifest::not_executable_message(path));
            return;
        }
    } else {
        manifest::Selection selection;
        if (!manifest::select_target(selection, path, terminal)) return;
        if (command == Command::Enable)
            manifest::enable(selection.exelink, selection.style_status, manif, /*template_usable=*/true, terminal);
        else
            manifest::disable(selection.exelink, selection.style_status, terminal);
    }
    const std::string_view status =
        platform::embedded_manifest(path) ? kOwnManifest : manifest::style_status_of(path);
    records.write(path, status);
}

// run() up to the end of the output.
int run_to_the_last_write(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& installed_templates, const Streams& streams) {
    Request request;
    if (const std::optional<int> status = parse(arguments, request, streams)) return *status;

    // Without a usable template enable touches no program at all.
    formats::RichTextBox manif;
    if (request.command == Command::Enable &&
        !load_usable_template(manif, request.template_path, installed_templates, streams.err))
        return exit_status::kUsage;

    platform::InterruptionHold interruptions;
    Terminal terminal(streams, request.answer_yes, interruptions);
    StatusRecords records(streams.out, request.null_records);
    bool all_ended_as_asked = true;
    for (const std::string& path : request.paths) {
        terminal.begin(path);
        apply(request.command, path, manif, terminal, records);
        // The program in hand is finished: its line is written after its work. Those after it are
        // left when nothing can tell what became of them.
        if (records.error()) return output_lost(records.error(), streams.err);
        all_ended_as_asked = all_ended_as_asked && terminal.ended_as_asked();
        // A stop request is taken here, between programs, never in the middle of one.
        if (const std::optional<int> status = interruptions.requested_exit_status()) return *status;
    }
    return all_ended_as_asked ? exit_status::kSuccess : exit_status::kFailure;
}

}  // namespace

std::error_code StandardOutput::write(std::string_view bytes) { return platform::write_standard_output(bytes); }

std::error_code StandardOutput::finish() { return platform::close_standard_output(); }

int run(const std::vector<std::string>& arguments, const std::vector<std::string>& installed_templates,
        const Streams& streams) {
    const int status = run_to_the_last_write(arguments, installed_templates, streams);
    if (status == exit_status::kOutputLost) return status;
    if (const std::error_code error = streams.out.finish()) return output_lost(error, streams.err);
    return status;
}

}  // namespace vextra::cli
