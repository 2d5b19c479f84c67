// SPDX-License-Identifier: MIT
// vextra-cli's logic on real folders: what its arguments ask for, the questions on the terminal and
// their answers, the status lines, and a failure reported for its own program while the others go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "form1_fixture.h"
#include "manifest/commands.h"
#include "manifest/own_manifest.h"
#include "manifest/target.h"
#include "manifest/template_store.h"
#include "platform/files.h"
#include "formats/printable.h"
#include "system_errors.h"
#include "temp_dir.h"
#include "version.h"

namespace vextra::test {
namespace {

constexpr unsigned kManifestOnDisk = 0x27;  // read-only, hidden, system, and archive as every file
const std::string kTemplate = VEXTRA_TEST_DATA_DIR "/template/style.dll";

struct CliRun {
    int status;
    std::string out, err;
};

// The standard output, kept to be read back; it takes `writes` writes, then fails each further one
// with `error`, and reports `error_at_the_end` when it is finished.
struct TestOutput final : cli::Output {
    std::error_code write(std::string_view bytes) override {
        if (writes == 0) return error;
        --writes;
        text += bytes;
        return {};
    }
    std::error_code finish() override {
        ++finished;
        return error_at_the_end;
    }

    std::size_t writes = SIZE_MAX;
    std::error_code error, error_at_the_end;
    std::string text;
    int finished = 0;
};

CliRun run_cli(const std::vector<std::string>& arguments, const std::string& input = "",
            const std::vector<std::string>& installed_templates = {}, TestOutput&& out = {}) {
    std::istringstream in(input);
    std::ostringstream err;
    const int status = cli::run(arguments, installed_templates, {in, out, err});
    if (status != cli::exit_status::kOutputLost) {
        EXPECT_EQ(out.finished, 1) << "the output is checked at the end";
    }
    return {status, out.text, err.str()};
}

// A path as vextra-cli writes it in lines and messages; on Windows each backslash is doubled.
std::string shown(const std::string& path) { return formats::printable(path); }

std::string question(const std::string& path, std::string_view prompt, const std::string& name) {
    return shown(path) + ": " + std::string(prompt) + name + "? [y/N] ";
}

std::string warning(const std::string& path, const std::string& reason) {
    return "vextra-cli: " + shown(path) + ": " + reason + "\n";
}

// The window's refusal of a file that is no executable.
std::string refusal(const std::string& path, const std::string& name) {
    return warning(path, name + std::string(manifest::kNotExecutable));
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Cli : public ::testing::Test {
protected:
    std::string app(const std::string& name = "app.exe") { return apps_.write(name, "MZ"); }
    std::string manifest_of(const std::string& program) { return manifest::manifest_path(program); }
    // A copy of one of the built Windows executables that carry a manifest of their own.
    std::string own_manifest_program(const std::string& fixture) {
        return apps_.write(fixture, read_whole_file(std::string(VEXTRA_PE_FIXTURES) + "/x86_64/" + fixture));
    }
    // A manifest told from others by its description.
    static std::string manifest_named(const std::string& name) {
        return "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"><description>" + name +
               "</description></assembly>";
    }
    // An RTF template whose manifest text is manifest_named(`name`).
    std::string template_of(const TempDir& dir, const std::string& name) {
        return dir.write("style.dll", "{\\rtf1\\ansi " + manifest_named(name) + "\\par}");
    }

    TempDir apps_;
};

TEST_F(Cli, ArgumentsDecideTheExitStatusAndTheStream) {
    const std::string program = app();
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string out_part, err_part;  // empty: that stream stays empty
    };
    const Case cases[] = {
        {"nothing", {}, 2, "", "usage: vextra-cli status [-z] PATH..."},
        {"unknown command", {"frobnicate", program}, 2, "", "vextra-cli: unknown command frobnicate\nusage:"},
        {"command without a path", {"enable"}, 2, "", "vextra-cli: no PATH given\nusage:"},
        {"only options", {"enable", "--yes", "--template", kTemplate}, 2, "", "no PATH given"},
        {"options without a command", {"--yes", program}, 2, "", "unknown command " + shown(program)},
        {"unknown option", {"enable", "--force", program}, 2, "", "vextra-cli: unknown option --force\n"},
        {"a single dash option", {"enable", "-y", program}, 2, "", "unknown option -y"},
        {"template without its file", {"enable", program, "--template"}, 2, "", "--template needs a FILE"},
        {"help", {"--help"}, 0, "usage: vextra-cli status [-z] PATH...", ""},
        {"help after a command", {"enable", "--help", program}, 0, "--template=FILE", ""},
        {"version", {"--version"}, 0, "vextra-cli " VEXTRA_VERSION "\n", ""},
        {"status", {"status", program}, 0, shown(program) + ": No\n", ""},
        {"options after the path", {"status", program, "--yes"}, 0, shown(program) + ": No\n", ""},
        {"a dash-named path after --", {"status", "--", "--yes"}, 1, "", "vextra-cli: --yes: "},
        {"records ended by NUL", {"status", "-z", program}, 0, program + ": No" + std::string(1, '\0'), ""},
        {"the long name of -z", {"status", program, "--null"}, 0, program + ": No" + std::string(1, '\0'), ""},
        {"template and its file in one", {"enable", "--template=" + kTemplate}, 2, "", "no PATH given"},
        {"an unknown option shown escaped", {"status", "-\x1B[2J", program}, 2, "", "unknown option -\\e[2J\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A Yes waits on the input: whatever the arguments, nothing but enable may take it.
        const CliRun run = run_cli(c.arguments, "y\n");
        EXPECT_EQ(run.status, c.status);
        if (c.out_part.empty()) {
            EXPECT_EQ(run.out, "");
        }
        if (c.err_part.empty()) {
            EXPECT_EQ(run.err, "");
        }
        EXPECT_TRUE(contains(run.out, c.out_part)) << run.out;
        EXPECT_TRUE(contains(run.err, c.err_part)) << run.err;
        EXPECT_FALSE(platform::path_exists(manifest_of(program)));
    }
    EXPECT_EQ(run_cli({"--version"}).out, "vextra-cli " VEXTRA_VERSION "\n");
}

TEST_F(Cli, StatusPrintsALinePerProgramAndRefusesTheRest) {
    const std::string plain = app("plain.exe");
    const std::string upper = app("UPPER.EXE");
    const std::string has_manifest = app("has.exe");
    apps_.write("has.exe.manifest", kManifestText);
    const std::string styled = own_manifest_program("visual-styles.exe");
    const std::string trust_only = own_manifest_program("trust-info.exe");
    const std::string text = apps_.write("notes.txt", "text");
    const std::string odd_case = app("Odd.Exe");
    const std::string missing = apps_.file("missing.exe");
    const std::string folder = apps_.file("folder.exe");
    std::filesystem::create_directory(folder);

    const CliRun run =
        run_cli({"status", plain, text, upper, missing, has_manifest, folder, styled, odd_case, trust_only});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, shown(plain) + ": No\n" + shown(upper) + ": No\n" + shown(has_manifest) + ": Yes\n" + shown(styled) +
                           ": own manifest\n" + shown(trust_only) + ": own manifest\n");
    const std::string is_a_directory = platform::error_text(std::make_error_code(std::errc::is_a_directory));
    EXPECT_EQ(run.err, refusal(text, "notes.txt") + warning(missing, platform::error_text(kFileNotFound)) +
                           warning(folder, is_a_directory) + refusal(odd_case, "Odd.Exe"));
    // Status only looks: the manifest found keeps its attributes, and nothing else appears.
    EXPECT_EQ(attributes(manifest_of(has_manifest)), 0x20u);
    EXPECT_FALSE(platform::path_exists(manifest_of(plain)));

    EXPECT_EQ(run_cli({"status", plain, has_manifest}).status, 0);
}

TEST_F(Cli, EnableActsOnlyOnAYes) {
    struct Case {
        const char* name;
        const char* input;
        bool yes;
    };
    const Case cases[] = {
        {"y", "y\n", true},
        {"yes", "yes\n", true},
        {"upper case, spaces and CR LF", "  YeS \r\n", true},
        {"y at the end of input", "Y", true},
        {"n", "n\n", false},
        {"an empty line", "\n", false},
        {"no", "no\n", false},
        {"a longer word", "yesss\n", false},
        {"y with more", "y n\n", false},
        {"a yes on the second line only", "\ny\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::string program = folder.write("old.exe", "MZ");
        const CliRun run = run_cli({"enable", "--template", kTemplate, program}, c.input);
        EXPECT_EQ(run.err, question(program, manifest::kEnablePrompt, "old.exe"));
        EXPECT_EQ(run.status, c.yes ? 0 : 1);
        EXPECT_EQ(run.out, shown(program) + (c.yes ? ": Yes\n" : ": No\n"));
        if (c.yes) {
            EXPECT_EQ(read_whole_file(manifest_of(program)), kManifestText);
            EXPECT_EQ(attributes(manifest_of(program)), kManifestOnDisk);
        } else {
            EXPECT_FALSE(platform::path_exists(manifest_of(program)));
        }
    }
}

TEST_F(Cli, QuestionsTakeTheInputLineByLineAndItsEndIsNo) {
    const std::vector<std::string> programs = {app("one.exe"), app("two.exe"), app("three.exe")};
    const CliRun run =
        run_cli({"enable", "--template", kTemplate, programs[0], programs[1], programs[2]}, "y\nn\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, shown(programs[0]) + ": Yes\n" + shown(programs[1]) + ": No\n" + shown(programs[2]) + ": No\n");
    EXPECT_EQ(run.err, question(programs[0], manifest::kEnablePrompt, "one.exe") +
                           question(programs[1], manifest::kEnablePrompt, "two.exe") +
                           question(programs[2], manifest::kEnablePrompt, "three.exe") + "\n");
    EXPECT_TRUE(platform::path_exists(manifest_of(programs[0])));
    EXPECT_FALSE(platform::path_exists(manifest_of(programs[1])));
    EXPECT_FALSE(platform::path_exists(manifest_of(programs[2])));
}

TEST_F(Cli, DisableAsksAndKeepsTheManifestOnNo) {
    const std::string program = app();
    ASSERT_EQ(run_cli({"enable", "--yes", "--template", kTemplate, program}).status, 0);

    const CliRun declined = run_cli({"disable", program}, "n\n");
    EXPECT_EQ(declined.status, 1);
    EXPECT_EQ(declined.err, question(program, manifest::kDisablePrompt, "app.exe"));
    EXPECT_EQ(declined.out, shown(program) + ": Yes\n");
    EXPECT_EQ(attributes(manifest_of(program)), kManifestOnDisk);

    const CliRun confirmed = run_cli({"disable", program}, "y\n");
    EXPECT_EQ(confirmed.status, 0);
    EXPECT_EQ(confirmed.out, shown(program) + ": No\n");
    EXPECT_FALSE(platform::path_exists(manifest_of(program)));
}

TEST_F(Cli, YesAnswersEveryQuestionWithoutAsking) {
    const std::vector<std::string> programs = {app("one.exe"), app("two.exe")};
    const CliRun enabled = run_cli({"enable", "--yes", "--template", kTemplate, programs[0], programs[1]});
    EXPECT_EQ(enabled.status, 0);
    EXPECT_EQ(enabled.err, "");
    EXPECT_EQ(enabled.out, shown(programs[0]) + ": Yes\n" + shown(programs[1]) + ": Yes\n");
    for (const std::string& program : programs) EXPECT_EQ(attributes(manifest_of(program)), kManifestOnDisk);

    const CliRun disabled = run_cli({"disable", programs[0], "--yes", programs[1]});
    EXPECT_EQ(disabled.status, 0);
    EXPECT_EQ(disabled.err, "");
    EXPECT_EQ(disabled.out, shown(programs[0]) + ": No\n" + shown(programs[1]) + ": No\n");
    for (const std::string& program : programs) EXPECT_FALSE(platform::path_exists(manifest_of(program)));
}

TEST_F(Cli, WhatIsAlreadySoNeedsNoQuestion) {
    const std::string enabled = app("enabled.exe");
    apps_.write("enabled.exe.manifest", kManifestText);
    const std::string plain = app("plain.exe");

    const CliRun enable = run_cli({"enable", "--template", kTemplate, enabled});
    EXPECT_EQ(enable.status, 0);
    EXPECT_EQ(enable.err, "");
    EXPECT_EQ(enable.out, shown(enabled) + ": Yes\n");
    const CliRun disable = run_cli({"disable", plain});
    EXPECT_EQ(disable.status, 0);
    EXPECT_EQ(disable.err, "");
    EXPECT_EQ(disable.out, shown(plain) + ": No\n");
}

TEST_F(Cli, EnableOfAProgramWithItsOwnManifestWritesNothingAndSaysWhy) {
    const std::string styled = own_manifest_program("visual-styles.exe");
    const std::string trust_only = own_manifest_program("trust-info.exe");
    const CliRun run = run_cli({"enable", "--yes", "--template", kTemplate, styled, trust_only});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, shown(styled) + ": own manifest\n" + shown(trust_only) + ": own manifest\n");
    const std::string trust_only_reason = "trust-info.exe" + std::string(manifest::kOwnManifestBefore) +
                                          "trust-info.exe" + std::string(manifest::kOwnManifestAfter);
    EXPECT_EQ(run.err, warning(styled, "visual-styles.exe" + std::string(manifest::kAlreadyStyled)) +
                           warning(trust_only, trust_only_reason));
    EXPECT_FALSE(platform::path_exists(manifest_of(styled)));
    EXPECT_FALSE(platform::path_exists(manifest_of(trust_only)));
}

TEST_F(Cli, AFailureIsReportedForItsProgramAndTheOthersGoOn) {
    const std::string first = app("first.exe");
    const std::string blocked_name = std::string(251, 'b') + ".exe";  // no room left for ".manifest"
    const std::string blocked = app(blocked_name);
    const std::string text = apps_.write("readme.txt", "text");
    const std::string last = app("last.exe");

    const CliRun run = run_cli({"enable", "--yes", "--template", kTemplate, first, blocked, text, last});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, shown(first) + ": Yes\n" + shown(blocked) + ": No\n" + shown(last) + ": Yes\n");
    // The system's words for the refused save follow the core's message.
    const std::string failed = "vextra-cli: " + shown(blocked) + ": " + std::string(manifest::kEnableFailed);
    EXPECT_EQ(run.err.rfind(failed + blocked_name + ": ", 0), 0u) << run.err;
    EXPECT_TRUE(contains(run.err, refusal(text, "readme.txt"))) << run.err;
    EXPECT_EQ(read_whole_file(manifest_of(first)), kManifestText);
    EXPECT_EQ(read_whole_file(manifest_of(last)), kManifestText);
}

TEST_F(Cli, EnableAndDisableRenewTheProgramsLastWriteTime) {
    const std::string program = app();
    const auto a_year_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    const auto renewed = [&program] {
        return std::filesystem::last_write_time(program) >
               std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    };
    for (const char* command : {"enable", "disable"}) {
        SCOPED_TRACE(command);
        std::filesystem::last_write_time(program, a_year_ago);
        ASSERT_EQ(run_cli({command, "--yes", "--template", kTemplate, program}).status, 0);
        EXPECT_TRUE(renewed());
    }
    // Nothing to do, nothing touched.
    std::filesystem::last_write_time(program, a_year_ago);
    ASSERT_EQ(run_cli({"disable", "--yes", program}).status, 0);
    EXPECT_FALSE(renewed());
}

TEST_F(Cli, TheTemplateIsTheNamedOneElseTheFirstInstalledOneNeverTheWorkingDirectorys) {
    TempDir beside, installed, work;
    const std::string beside_template = template_of(beside, "beside");
    const std::string installed_template = template_of(installed, "installed");
    // A folder of downloaded programs may bring a template of its own: it is never taken.
    template_of(work, "working-directory");
    const WorkingDirectory cwd(work.path());
    const std::string named = template_of(apps_, "named");
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::vector<std::string> installed;
        std::string manifest;
    };
    const Case cases[] = {
        {"named", {"--template", named}, {beside_template}, manifest_named("named")},
        {"named in one argument", {"--template=" + named}, {beside_template}, manifest_named("named")},
        {"first installed", {}, {beside_template, installed_template}, manifest_named("beside")},
        {"a missing one passed over", {}, {beside.file("no.dll"), installed_template}, manifest_named("installed")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string program = app(std::string(c.name) + ".exe");
        std::vector<std::string> arguments = {"enable", "--yes", program};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliRun run = run_cli(arguments, "", c.installed);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_whole_file(manifest_of(program)), c.manifest + "\r\n");
    }
}

TEST_F(Cli, EnableWithoutAUsableTemplateTouchesNoProgramAndSaysWhyOnce) {
    TempDir templates, work;
    template_of(work, "working-directory");
    const WorkingDirectory cwd(work.path());
    const std::string missing = templates.file("gone.dll");
    const std::string folder = templates.file("folder.dll");
    std::filesystem::create_directory(folder);
    std::string folder_content;
    const std::string folder_refused = platform::error_text(platform::read_file(folder, folder_content));
    const std::string too_large = templates.write(
        "large.dll", "{\\rtf1\\ansi <a/>\\par}" + std::string(manifest::kTemplateSizeLimit, ' '));
    const std::string not_rtf = templates.write("text.dll", "<assembly/>\n");
    const std::string cut_short = templates.write("cut.dll", "{\\rtf1\\ansi <a/>\\par");
    const std::string not_xml = templates.write("prose.dll", "{\\rtf1\\ansi no manifest\\par}");
    const std::string good = template_of(templates, "good");
    const std::string plain = app("plain.exe");
    const std::string enabled = app("enabled.exe");
    apps_.write("enabled.exe.manifest", kManifestText);
    const auto said = [](const std::string& path, const std::string& reason) {
        return "vextra-cli: template " + shown(path) + ": " + reason;
    };
    struct Case {
        const char* name;
        std::optional<std::string> named;
        std::vector<std::string> installed;
        std::string err;  // the whole of it, or its start when it ends in "("
    };
    const Case cases[] = {
        {"named, missing", missing, {good}, said(missing, platform::error_text(kFileNotFound)) + "\n"},
        {"a folder", folder, {}, said(folder, folder_refused) + "\n"},
        {"over the size limit", too_large, {},
         said(too_large, platform::error_text(std::make_error_code(std::errc::file_too_large)) +
                             ": a template is at most 16 MiB\n")},
        {"not RTF", not_rtf, {}, said(not_rtf, "not an RTF document (or one cut short)\n")},
        {"RTF cut short", cut_short, {}, said(cut_short, "not an RTF document (or one cut short)\n")},
        {"no manifest in it", not_xml, {},
         said(not_xml, "not a manifest Windows takes (")},
        {"none installed: every place tried is named", std::nullopt, {missing, templates.file("none.dll")},
         said(missing, platform::error_text(kFileNotFound)) + "\n" +
             said(templates.file("none.dll"), platform::error_text(kFileNotFound)) + "\n"},
        {"an installed one that is no use is not passed over", std::nullopt, {not_rtf, good},
         said(not_rtf, "not an RTF document (or one cut short)\n")},
        {"the program's folder unknown", std::nullopt, {},
         "vextra-cli: no installed template: the folder of vextra-cli is unknown; name one with --template=FILE\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {"enable", plain, enabled};
        if (c.named) arguments.insert(arguments.end(), {"--template", *c.named});
        // A Yes waits on the input: no question is asked either.
        const CliRun run = run_cli(arguments, "y\ny\n", c.installed);
        EXPECT_EQ(run.status, cli::exit_status::kUsage);
        EXPECT_EQ(run.out, "");
        if (c.err.back() == '(') {
            EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        } else {
            EXPECT_EQ(run.err, c.err);
        }
        EXPECT_FALSE(platform::path_exists(manifest_of(plain)));
        EXPECT_EQ(read_whole_file(manifest_of(enabled)), kManifestText);
    }
    // Status and disable need no template.
    EXPECT_EQ(run_cli({"status", enabled}).status, 0);
    EXPECT_EQ(run_cli({"disable", "--yes", plain}).status, 0);
}

TEST_F(Cli, OutputThatDidNotArriveIsAnError) {
    const std::string program = app();
    const std::error_code no_space = std::make_error_code(std::errc::no_space_on_device);
    const std::error_code closed = std::make_error_code(std::errc::bad_file_descriptor);
    const std::error_code io_error = std::make_error_code(std::errc::io_error);
    const std::error_code no_reader = std::make_error_code(std::errc::broken_pipe);
    const auto said = [](std::error_code error) { return "vextra-cli: write error: " + platform::error_text(error) + "\n"; };
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::size_t writes;
        std::error_code error, error_at_the_end;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"help on a full disk", {"--help"}, 0, no_space, {}, 3, said(no_space)},
        {"version on a closed output", {"--version"}, 0, closed, {}, 3, said(closed)},
        {"help to a reader that has gone away: no words", {"--help"}, 0, no_reader, {}, 3, ""},
        {"a status line lost", {"status", program}, 0, no_space, {}, 3, said(no_space)},
        {"an error known only at the end", {"status", program}, SIZE_MAX, {}, io_error, 3, said(io_error)},
        {"a usage error writes nothing on the output", {"status"}, 0, no_space, {}, 2,
         "vextra-cli: no PATH given\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestOutput out;
        out.writes = c.writes;
        out.error = c.error;
        out.error_at_the_end = c.error_at_the_end;
        const CliRun run = run_cli(c.arguments, "", {}, std::move(out));
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        if (c.status == 3) {
            EXPECT_EQ(run.err, c.err);
        }
    }
}

TEST_F(Cli, TheBatchStopsAfterTheProgramInHandWhenItsLineIsLost) {
    const std::error_code no_space = std::make_error_code(std::errc::no_space_on_device);
    const std::error_code no_reader = std::make_error_code(std::errc::broken_pipe);
    const std::string no_space_said = "vextra-cli: write error: " + platform::error_text(no_space) + "\n";
    struct Case {
        const char* name;
        const char* command;
        std::size_t writes;
        std::error_code error;
        std::string err;
        std::vector<bool> manifests;  // of the three programs, afterwards
    };
    const Case cases[] = {
        // The second program is enabled, then its line is lost: the third is left as it was.
        {"enable, a full disk after one line", "enable", 1, no_space, no_space_said, {true, true, false}},
        {"enable, no reader from the start", "enable", 0, no_reader, "", {true, false, false}},
        {"disable, a full disk from the start", "disable", 0, no_space, no_space_said, {false, true, true}},
        {"status", "status", 1, no_reader, "", {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::vector<std::string> programs = {folder.write("one.exe", "MZ"), folder.write("two.exe", "MZ"),
                                                   folder.write("three.exe", "MZ")};
        if (std::string(c.command) == "disable")
            for (const char* name : {"one.exe.manifest", "two.exe.manifest", "three.exe.manifest"})
                folder.write(name, kManifestText);
        TestOutput out;
        out.writes = c.writes;
        out.error = c.error;
        const CliRun run = run_cli({c.command, "--yes", "--template", kTemplate, programs[0], programs[1], programs[2]},
                                   "", {}, std::move(out));
        EXPECT_EQ(run.status, cli::exit_status::kOutputLost);
        EXPECT_EQ(run.err, c.err);
        std::string arrived;
        for (std::size_t i = 0; i < c.writes; ++i)
            arrived += shown(programs[i]) + (c.manifests[i] ? ": Yes\n" : ": No\n");
        EXPECT_EQ(run.out, arrived);
        for (std::size_t i = 0; i < programs.size(); ++i)
            EXPECT_EQ(platform::path_exists(manifest_of(programs[i])), c.manifests[i]) << programs[i];
    }
}

TEST_F(Cli, EachLineNamesOneProgramAndMovesNoCursor) {
    // U+009B, the C1 control that starts a terminal command, is allowed in names on every system.
    // (Written by the file services, which take UTF-8 names on Windows too.)
    const std::string csi = apps_.file("csi\xC2\x9B" "2J.exe");
    ASSERT_EQ(platform::save_file(csi, "MZ"), std::error_code());
    const std::string forged = apps_.file("gone.exe: Yes\n\x1B[2Jb.exe");
    const std::string folder = formats::printable(apps_.path());
    const std::string csi_shown = folder + "/csi\\xC2\\x9B2J.exe";

    const CliRun status = run_cli({"status", csi, forged});
    EXPECT_EQ(status.status, 1);
    EXPECT_EQ(status.out, csi_shown + ": No\n");
    const std::string forged_warning = "vextra-cli: " + folder + "/gone.exe: Yes\\n\\e[2Jb.exe: ";
    EXPECT_EQ(status.err.rfind(forged_warning, 0), 0u) << status.err;
    EXPECT_EQ(std::count(status.err.begin(), status.err.end(), '\n'), 1) << status.err;

    // The question names the program twice, both times escaped.
    const CliRun enable = run_cli({"enable", "--template", kTemplate, csi}, "n\n");
    EXPECT_EQ(enable.err, question(csi, manifest::kEnablePrompt, "csi\\xC2\\x9B2J.exe"));

    // For scripts, the path's own bytes and a NUL.
    const CliRun records = run_cli({"status", "-z", csi, forged, csi});
    const std::string record = csi + ": No" + std::string(1, '\0');
    EXPECT_EQ(records.out, record + record);
    EXPECT_EQ(records.err.rfind(forged_warning, 0), 0u) << "messages are for people: escaped still";
}

}  // namespace
}  // namespace vextra::test
