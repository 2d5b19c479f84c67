// SPDX-License-Identifier: MIT
// The template tool's command line, run through the shell as a user would run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "manifest/template_store.h"
#include "manifest_cases.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace vextra::tools {
namespace {

using test::TempDir;

struct CommandResult {
    int status;
    std::string out;
};

CommandResult run(const std::string& command) {
    CommandResult result{-1, {}};
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(TemplateTool, EncodesAndDecodesFromTheCommandLine) {
    TempDir dir;
    const std::string tool = VEXTRA_TEMPLATE_TOOL;
    const std::string manifest = "<assembly " + test::kRootAttributes + "/>";
    const std::string source = dir.write("manifest.xml", "<?xml version=\"1.0\"?>\n" + manifest + "\n");
    ASSERT_EQ(run(tool + " encode " + source + " -o " + dir.file("style.dll")).status, 0);

    const CommandResult named = run(tool + " decode " + dir.file("style.dll"));
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(named.out, "<?xml version=\"1.0\"?>\r\n" + manifest + "\r\n");

    const CommandResult from_working_directory = run("cd " + dir.path() + " && " + tool + " decode");
    EXPECT_EQ(from_working_directory.status, 0);
    EXPECT_EQ(from_working_directory.out, named.out);
}

TEST(TemplateTool, ReportsFailuresWithItsExitStatus) {
    TempDir dir;
    const std::string tool = VEXTRA_TEMPLATE_TOOL;
    const CommandResult missing = run(tool + " decode " + dir.file("none.dll"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n");

    // Nothing is written for a manifest that cannot be coded, that the programs would not write, or
    // whose template they would not load.
    const std::string refused[] = {
        dir.write("bad.xml", "<a>\u00D0</a>"),
        dir.write("not-assembly.xml", "<a/>"),
        dir.write("large.xml", "<assembly " + test::kRootAttributes + "><description>" +
                                   std::string(manifest::kTemplateSizeLimit / 4, 'a') + "</description></assembly>"),
    };
    for (const std::string& source : refused) {
        EXPECT_EQ(run(tool + " encode " + source + " -o " + dir.file("style.dll")).status, 1) << source;
        EXPECT_FALSE(platform::path_exists(dir.file("style.dll"))) << source;
    }

    EXPECT_EQ(run(tool + " frobnicate").status, 2);
}

// Runs the tool with its standard output on `output` (closed when it is -1): its exit status, and
// what it said on standard error.
CommandResult run_with_output(const std::vector<std::string>& arguments, int output) {
    CommandResult result{-1, {}};
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output < 0)
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> command = {VEXTRA_TEMPLATE_TOOL};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(err[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) result.out.append(buffer, static_cast<std::size_t>(n));
    close(err[0]);
    int status = 0;
    if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

TEST(TemplateTool, OutputThatDidNotArriveIsAnError) {
    const std::string no_space = "vextra-template: write error: " + std::string(std::strerror(ENOSPC)) + "\n";
    const std::string closed = "vextra-template: write error: " + std::string(std::strerror(EBADF)) + "\n";
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    int no_reader[2];
    ASSERT_EQ(pipe2(no_reader, O_CLOEXEC), 0);
    close(no_reader[0]);
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int output;
        std::string err;
    };
    const Case cases[] = {
        {"decode to a full disk", {"decode", VEXTRA_TEMPLATE_FILE}, full, no_space},
        {"help to a full disk", {"--help"}, full, no_space},
        {"version to a full disk", {"--version"}, full, no_space},
        {"decode to a closed output", {"decode", VEXTRA_TEMPLATE_FILE}, -1, closed},
        // `| head -c0`: the reader chose to go, and needs no words; the status still tells.
        {"decode to a reader that has gone away", {"decode", VEXTRA_TEMPLATE_FILE}, no_reader[1], ""},
        // What did not load is said after the text: the text is lost first.
        {"a missing template to a full disk", {"decode", "/nonexistent/style.dll"}, full, no_space},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandResult run = run_with_output(c.arguments, c.output);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, c.err);
    }
    close(full);
    close(no_reader[1]);
}

TEST(TemplateTool, SaysWhyATemplateDidNotLoad) {
    TempDir dir;
    const std::string not_rtf = dir.write("text.dll", "<assembly/>");
    const std::string forged = dir.write("a.dll: loaded\n\x1B[2J", "{\\rtf1 cut short");
    struct Case {
        const char* name;
        std::string path;
        std::string err;
    };
    const Case cases[] = {
        {"missing", dir.file("none.dll"), dir.file("none.dll") + ": " + std::strerror(ENOENT) + "; the text above"},
        {"a folder", dir.path(), dir.path() + ": " + std::strerror(EISDIR) + "; the text above"},
        {"not RTF", not_rtf, not_rtf + ": not an RTF document (or one cut short); the text above"},
        {"a name that would forge a line", forged,
         dir.path() + "/a.dll: loaded\\n\\e[2J: not an RTF document (or one cut short); the text above"},
    };
    int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(devnull, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandResult run = run_with_output({"decode", c.path}, devnull);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out.rfind("vextra-template: " + c.err, 0), 0u) << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
    close(devnull);
}

}  // namespace
}  // namespace vextra::tools
