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
#include "platform/rich_text_box.h"
#include "version.h"

namespace vextra::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: vextra-cli status PATH...\n"
    "       vextra-cli enable [--yes] [--template FILE] PATH...\n"
    "       vextra-cli disable [--yes] PATH...\n"
    "       vextra-cli --help | --version\n";

constexpr std::string_view kHelp =
    "\n"
    "Turns the new visual styles on or off for old Windows programs, as the Korvane Vextra window\n"
    "does, for every program named.\n"
    "\n"
    "  status   prints for each program whether a manifest beside it asks for the visual styles\n"
    "           (\"Yes\" or \"No\"), or \"own manifest\": the program carries one, and Windows then\n"
    "           ignores a file beside it\n"
    "  enable   asks (y/N), then writes the manifest beside the program, read-only, hidden and system\n"
    "  disable  asks (y/N), then deletes it\n"
    "\n"
    "  --yes            answers every question Yes\n"
    "  --template FILE  the manifest template; by default style.dll where vextra-cli is installed,\n"
    "                   else in the working directory\n"
    "  --               what follows is a PATH, even when it starts with -\n"
    "\n"
    "After enable and disable each program's last-write time is set to now, so that Windows reads\n"
    "its manifest afresh. Status lines go to standard output; questions and warnings to standard\n"
    "error, as \"vextra-cli: PATH: reason\".\n"
    "Exit status: 0 when every program ended as asked, 1 when any was refused, failed or declined,\n"
    "2 on a usage error.\n";

constexpr std::string_view kOwnManifest = "own manifest";
// What a box with only an OK button returns.
constexpr int kOk = 1;

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
    std::optional<std::string> template_path;
    std::vector<std::string> paths;
};

// Reads the arguments into `request`. Returns the exit status when they ask for nothing to be done
// to any program: --help, --version, or a usage error, each already printed.
std::optional<int> parse(const std::vector<std::string>& arguments, Request& request,
                         const Streams& streams) {
    const auto usage_error = [&streams](std::string_view why, std::string_view what = {}) {
        streams.err << "vextra-cli: " << why << what << '\n' << kUsage;
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
                streams.out << kUsage << kHelp;
                return exit_status::kSuccess;
            } else if (argument == "--version") {
                streams.out << "vextra-cli " VEXTRA_VERSION "\n";
                return exit_status::kSuccess;
            } else if (argument == "--yes") {
                request.answer_yes = true;
            } else if (argument == "--template") {
                if (++i == arguments.size()) return usage_error("--template needs a FILE");
                request.template_path = arguments[i];
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
    Terminal(const Streams& streams, bool answer_yes) : streams_(streams), answer_yes_(answer_yes) {}

    void begin(const std::string& path) {
        path_ = path;
        ended_as_asked_ = true;
    }
    bool ended_as_asked() const { return ended_as_asked_; }

    void warn(std::string_view reason) {
        streams_.err << "vextra-cli: " << path_ << ": " << reason << '\n';
        ended_as_asked_ = false;
    }

    int message_box(const std::string& prompt, int buttons, const std::string&) override {
        if (buttons != platform::buttons::kYesNoWarning) {
            warn(prompt);
            return kOk;
        }
        if (answer_yes_ || ask(prompt)) return platform::answer::kYes;
        ended_as_asked_ = false;  // a declined question leaves the program as it was
        return platform::answer::kNo;
    }

private:
    bool ask(const std::string& question) {
        // The path leads, since the core names only the file and many folders may hold one of its name.
        streams_.err << path_ << ": " << question << "? [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(streams_.in, answer)) {
            streams_.err << '\n';  // no answer will come: what follows starts on a line of its own
            return false;
        }
        return is_yes(answer);
    }

    const Streams& streams_;
    const bool answer_yes_;
    std::string path_;
    bool ended_as_asked_ = true;
};

std::string default_template(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates)
        if (platform::path_exists(candidate)) return candidate;
    return std::string(manifest::kTemplateFileName);
}

// Loads the template for Enable. The core's warning names only style.dll, so the file actually
// tried, and why it is not usable, is said once here.
bool load_usable_template(platform::RichTextBox& manif, const std::string& path, std::ostream& err) {
    if (!manifest::load_template(manif, path)) {
        err << "vextra-cli: " << path << ": could not be loaded as an RTF document of at most "
            << (manifest::kTemplateSizeLimit >> 20) << " MiB\n";
        return false;
    }
    if (const std::string error = manifest::manifest_text_error(manif); !error.empty()) {
        err << "vextra-cli: " << path << ": the template's text is not a well-formed XML document (" << error
            << ")\n";
        return false;
    }
    return true;
}

// A path that names nothing, or a folder, is no program; the system's words say which.
bool names_a_file(const std::string& path, Terminal& terminal) {
    unsigned attributes = 0;
    std::error_code error = platform::get_attributes(path, attributes);
    if (!error && (attributes & platform::attribute::kDirectory)) error = std::make_error_code(std::errc::is_a_directory);
    if (error) terminal.warn(platform::error_text(error));
    return !error;
}

// What the window does with a drop of `path` followed by a click on Enable or Disable, then the
// program's status line as a fresh drop would show it. A refused program gets no status line.
void apply(Command command, const std::string& path, const platform::RichTextBox& manif, bool template_usable,
           Terminal& terminal, std::ostream& out) {
    if (!names_a_file(path, terminal)) return;
    manifest::Selection selection;
    if (!manifest::select_target(selection, path, terminal)) return;
    if (command != Command::Status) {
        if (command == Command::Enable)
            manifest::enable(selection.exelink, selection.style_status, manif, template_usable, terminal);
        else
            manifest::disable(selection.exelink, selection.style_status, terminal);
        manifest::select_target(selection, path, terminal);
    }
    const std::string_view status =
        platform::embedded_manifest(path) ? kOwnManifest : std::string_view(selection.style_status);
    out << path << ": " << status << '\n';
}

}  // namespace

int run(const std::vector<std::string>& arguments, const std::vector<std::string>& default_templates,
        const Streams& streams) {
    Request request;
    if (const std::optional<int> status = parse(arguments, request, streams)) return *status;

    platform::RichTextBox manif;
    const bool template_usable =
        request.command == Command::Enable &&
        load_usable_template(manif, request.template_path.value_or(default_template(default_templates)),
                             streams.err);

    Terminal terminal(streams, request.answer_yes);
    bool all_ended_as_asked = true;
    for (const std::string& path : request.paths) {
        terminal.begin(path);
        apply(request.command, path, manif, template_usable, terminal, streams.out);
        all_ended_as_asked = all_ended_as_asked && terminal.ended_as_asked();
    }
    return all_ended_as_asked ? exit_status::kSuccess : exit_status::kFailure;
}

}  // namespace vextra::cli
