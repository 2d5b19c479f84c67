// SPDX-License-Identifier: MIT
// vextra-cli's logic on real folders: what its arguments ask for, the questions on the terminal and
// their answers, the status lines, and a failure reported for its own program while the others go on.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "form1_fixture.h"
#include "manifest/commands.h"
#include "manifest/own_manifest.h"
#include "manifest/target.h"
#include "platform/files.h"
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

CliRun run_cli(const std::vector<std::string>& arguments, const std::string& input = "",
            const std::vector<std::string>& default_templates = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = cli::run(arguments, default_templates, {in, out, err});
    return {status, out.str(), err.str()};
}

std::string question(const std::string& path, std::string_view prompt, const std::string& name) {
    return path + ": " + std::string(prompt) + name + "? [y/N] ";
}

std::string warning(const std::string& path, const std::string& reason) {
    return "vextra-cli: " + path + ": " + reason + "\n";
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
    // An RTF template whose manifest text is the element `root`.
    std::string template_of(const TempDir& dir, const std::string& root) {
        return dir.write("style.dll", "{\\rtf1\\ansi <" + root + "/>\\par}");
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
        {"nothing", {}, 2, "", "usage: vextra-cli status PATH..."},
        {"unknown command", {"frobnicate", program}, 2, "", "vextra-cli: unknown command frobnicate\nusage:"},
        {"command without a path", {"enable"}, 2, "", "vextra-cli: no PATH given\nusage:"},
        {"only options", {"enable", "--yes", "--template", kTemplate}, 2, "", "no PATH given"},
        {"options without a command", {"--yes", program}, 2, "", "unknown command " + program},
        {"unknown option", {"enable", "--force", program}, 2, "", "vextra-cli: unknown option --force\n"},
        {"a single dash option", {"enable", "-y", program}, 2, "", "unknown option -y"},
        {"template without its file", {"enable", program, "--template"}, 2, "", "--template needs a FILE"},
        {"help", {"--help"}, 0, "usage: vextra-cli status PATH...", ""},
        {"help after a command", {"enable", "--help", program}, 0, "--template FILE", ""},
        {"version", {"--version"}, 0, "vextra-cli " VEXTRA_VERSION "\n", ""},
        {"status", {"status", program}, 0, program + ": No\n", ""},
        {"options after the path", {"status", program, "--yes"}, 0, program + ": No\n", ""},
        {"a dash-named path after --", {"status", "--", "--yes"}, 1, "", "vextra-cli: --yes: "},
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
    EXPECT_EQ(run.out, plain + ": No\n" + upper + ": No\n" + has_manifest + ": Yes\n" + styled +
                           ": own manifest\n" + trust_only + ": own manifest\n");
    const std::string is_a_directory = platform::error_text(std::make_error_code(std::errc::is_a_directory));
    EXPECT_EQ(run.err, refusal(text, "notes.txt") + warning(missing, platform::error_text(kFileNotFound)) +
                           warning(folder, is_a_directory) + refusal(odd_case, "Odd.Exe"));
    // As a drop in the window leaves it: the manifest found is read-only, hidden and system.
    EXPECT_EQ(attributes(manifest_of(has_manifest)), kManifestOnDisk);
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
        EXPECT_EQ(run.out, program + (c.yes ? ": Yes\n" : ": No\n"));
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
    EXPECT_EQ(run.out, programs[0] + ": Yes\n" + programs[1] + ": No\n" + programs[2] + ": No\n");
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
    EXPECT_EQ(declined.out, program + ": Yes\n");
    EXPECT_EQ(attributes(manifest_of(program)), kManifestOnDisk);

    const CliRun confirmed = run_cli({"disable", program}, "y\n");
    EXPECT_EQ(confirmed.status, 0);
    EXPECT_EQ(confirmed.out, program + ": No\n");
    EXPECT_FALSE(platform::path_exists(manifest_of(program)));
}

TEST_F(Cli, YesAnswersEveryQuestionWithoutAsking) {
    const std::vector<std::string> programs = {app("one.exe"), app("two.exe")};
    const CliRun enabled = run_cli({"enable", "--yes", "--template", kTemplate, programs[0], programs[1]});
    EXPECT_EQ(enabled.status, 0);
    EXPECT_EQ(enabled.err, "");
    EXPECT_EQ(enabled.out, programs[0] + ": Yes\n" + programs[1] + ": Yes\n");
    for (const std::string& program : programs) EXPECT_EQ(attributes(manifest_of(program)), kManifestOnDisk);

    const CliRun disabled = run_cli({"disable", programs[0], "--yes", programs[1]});
    EXPECT_EQ(disabled.status, 0);
    EXPECT_EQ(disabled.err, "");
    EXPECT_EQ(disabled.out, programs[0] + ": No\n" + programs[1] + ": No\n");
    for (const std::string& program : programs) EXPECT_FALSE(platform::path_exists(manifest_of(program)));
}

TEST_F(Cli, WhatIsAlreadySoNeedsNoQuestion) {
    const std::string enabled = app("enabled.exe");
    apps_.write("enabled.exe.manifest", kManifestText);
    const std::string plain = app("plain.exe");

    const CliRun enable = run_cli({"enable", "--template", kTemplate, enabled});
    EXPECT_EQ(enable.status, 0);
    EXPECT_EQ(enable.err, "");
    EXPECT_EQ(enable.out, enabled + ": Yes\n");
    const CliRun disable = run_cli({"disable", plain});
    EXPECT_EQ(disable.status, 0);
    EXPECT_EQ(disable.err, "");
    EXPECT_EQ(disable.out, plain + ": No\n");
}

TEST_F(Cli, EnableOfAProgramWithItsOwnManifestWritesNothingAndSaysWhy) {
    const std::string styled = own_manifest_program("visual-styles.exe");
    const std::string trust_only = own_manifest_program("trust-info.exe");
    const CliRun run = run_cli({"enable", "--yes", "--template", kTemplate, styled, trust_only});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, styled + ": own manifest\n" + trust_only + ": own manifest\n");
    const std::string trust_only_reason = "trust-info.exe" + std::string(manifest::kOwnManifestBefore) +
                                          "trust-info.exe" + std::string(manifest::kOwnManifestAfter);
    EXPECT_EQ(run.err, warning(styled, "visual-styles.exe" + std::string(manifest::kAlreadyStyled)) +
                           warning(trust_only, trust_only_reason));
    EXPECT_FALSE(platform::path_exists(manifest_of(styled)));
    EXPECT_FALSE(platform::path_exists(manifest_of(trust_only)));
}

TEST_F(Cli, AFailureIsReportedForItsProgramAndTheOthersGoOn) {
    const std::string first = app("first.exe");
    const std::string blocked = app("blocked.exe");
    std::filesystem::create_directory(manifest_of(blocked));  // no manifest can be saved over a folder
    const std::string text = apps_.write("readme.txt", "text");
    const std::string last = app("last.exe");

    const CliRun run = run_cli({"enable", "--yes", "--template", kTemplate, first, blocked, text, last});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, first + ": Yes\n" + blocked + ": No\n" + last + ": Yes\n");
    // The system's words for the refused save follow the core's message.
    const std::string failed = "vextra-cli: " + blocked + ": " + std::string(manifest::kEnableFailed);
    EXPECT_EQ(run.err.rfind(failed + "blocked.exe: ", 0), 0u) << run.err;
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

TEST_F(Cli, TheTemplateIsTheNamedOneElseTheFirstDefaultThatExistsElseTheWorkingDirectorys) {
    TempDir beside, installed, work;
    const std::string beside_template = template_of(beside, "beside");
    template_of(installed, "installed");
    template_of(work, "working-directory");
    const WorkingDirectory cwd(work.path());
    const std::string named = template_of(apps_, "named");
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::vector<std::string> defaults;
        std::string root;
    };
    const Case cases[] = {
        {"named", {"--template", named}, {beside_template}, "<named/>"},
        {"first default", {}, {beside_template, installed.file("style.dll")}, "<beside/>"},
        {"a missing default passed over",
         {},
         {beside.file("no.dll"), installed.file("style.dll")},
         "<installed/>"},
        {"no default there", {}, {beside.file("no.dll")}, "<working-directory/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string program = app(std::string(c.name) + ".exe");
        std::vector<std::string> arguments = {"enable", "--yes", program};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliRun run = run_cli(arguments, "", c.defaults);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_whole_file(manifest_of(program)), c.root + "\r\n");
    }
}

TEST_F(Cli, EnableWithoutAUsableTemplateWritesNothing) {
    TempDir work;
    const WorkingDirectory cwd(work.path());
    const std::string not_xml = work.write("text.rtf", "{\\rtf1\\ansi no manifest\\par}");
    const std::string enabled = app("enabled.exe");
    apps_.write("enabled.exe.manifest", kManifestText);
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::string note;
    };
    const Case cases[] = {
        {"none in the working directory", {}, "vextra-cli: style.dll: could not be loaded as an RTF"},
        {"a named one missing", {"--template", work.file("gone.dll")},
         "vextra-cli: " + work.file("gone.dll") + ": could not be loaded"},
        {"text that is no XML", {"--template", not_xml},
         "vextra-cli: " + not_xml + ": the template's text is not a well-formed XML document ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string program = app();
        std::vector<std::string> arguments = {"enable", "--yes", program, enabled};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliRun run = run_cli(arguments);
        EXPECT_EQ(run.status, 1);
        // The program that needs the template fails; the one that has its manifest needs none.
        EXPECT_EQ(run.out, program + ": No\n" + enabled + ": Yes\n");
        EXPECT_EQ(run.err.rfind(c.note, 0), 0u) << run.err;
        const std::string template_missing = warning(program, std::string(manifest::kTemplateMissing));
        EXPECT_TRUE(contains(run.err, "\n" + template_missing)) << run.err;
        EXPECT_FALSE(platform::path_exists(manifest_of(program)));
    }
    // Status needs no template.
    EXPECT_EQ(run_cli({"status", enabled}).status, 0);
}

}  // namespace
}  // namespace vextra::test
