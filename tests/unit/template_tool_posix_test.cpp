// SPDX-License-Identifier: MIT
// The template tool's command line, run through the shell as a user would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

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
    const std::string source = dir.write("manifest.xml", "<?xml version=\"1.0\"?>\n<assembly/>\n");
    ASSERT_EQ(run(tool + " encode " + source + " -o " + dir.file("style.dll")).status, 0);

    const CommandResult named = run(tool + " decode " + dir.file("style.dll"));
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(named.out, "<?xml version=\"1.0\"?>\r\n<assembly/>\r\n");

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

    const std::string bad = dir.write("bad.xml", "<a>\u00D0</a>");
    EXPECT_EQ(run(tool + " encode " + bad + " -o " + dir.file("style.dll")).status, 1);
    EXPECT_FALSE(platform::path_exists(dir.file("style.dll")));

    EXPECT_EQ(run(tool + " frobnicate").status, 2);
}

}  // namespace
}  // namespace vextra::tools
