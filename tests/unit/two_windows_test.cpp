// SPDX-License-Identifier: MIT
// Two windows at once, each a process of its own, enabling and disabling the same program over and
// over. At every look the manifest is absent or whole, and afterwards nothing else in the folder
// has changed but the program's time. A window may find the manifest changed under it by the other
// and then says so; it fails in no other way.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "form1_fixture.h"
#include "tree_snapshot.h"

namespace vextra::test {
namespace {

constexpr int kRounds = 2000;

// Starts the driver in `work`, its output going to `output`.
pid_t start_window(const std::string& work, const std::string& program, const std::string& output) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (chdir(work.c_str()) != 0 || out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(126);
        execl(VEXTRA_FORM1_DRIVER, VEXTRA_FORM1_DRIVER, program.c_str(), std::to_string(kRounds).c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}


TEST(TwoWindows, EnablingAndDisablingOneProgramAtOnceNeverTearsItsManifest) {
    TempDir work, apps;
    work.write("style.dll", read_whole_file(VEXTRA_TEST_DATA_DIR "/template/style.dll"));
    const std::string program = apps.write("app.exe", "MZ");
    const std::string manifest = program + ".manifest";
    apps.write("notes.txt", "kept");
    apps.write("other.exe", "MZ");
    apps.write("other.exe.manifest", "<other/>");
    const Tree before = tree_of(apps.path());

    const std::string outputs[] = {work.file("first.txt"), work.file("second.txt")};
    std::vector<pid_t> running = {start_window(work.path(), program, outputs[0]),
                                  start_window(work.path(), program, outputs[1])};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    int looks = 0;
    std::optional<std::string> torn;  // the first manifest found that was not whole
    while (!running.empty()) {
        std::string content;
        if (!platform::read_file(manifest, content)) {
            ++looks;
            if (content != kManifestText && !torn) torn = content;
        }
        for (auto it = running.begin(); it != running.end();) {
            int status = 0;
            if (waitpid(*it, &status, WNOHANG) == *it) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    << "a window ended with status " << status;
                it = running.erase(it);
            } else {
                ++it;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the windows did not finish within two minutes";
            for (const pid_t pid : running) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            break;
        }
    }

    for (const std::string& output : outputs) {
        std::istringstream lines(read_whole_file(output));
        std::vector<std::string> reports;
        for (std::string line; std::getline(lines, line);) reports.push_back(line);
        ASSERT_FALSE(reports.empty()) << output;
        EXPECT_EQ(reports.back(), std::to_string(kRounds) + " questions")
            << "one question a round, nothing else asked";
        reports.pop_back();
        // The other window made the manifest read-only between our steps (the system's refusal of
        // the delete), or deleted or wrote it, which is said as such and never as a missing file.
        const std::set<std::string> reasons = {
            platform::error_text(std::make_error_code(std::errc::permission_denied)),
            "another program changed the manifest meanwhile"};
        for (const std::string& report : reports) {
            const std::size_t colon = report.find(": ");
            const std::string command = report.substr(0, colon);
            EXPECT_TRUE(command == "Could not enable visual style for app.exe" ||
                        command == "Could not disable visual style for app.exe")
                << report;
            EXPECT_TRUE(colon != std::string::npos && reasons.count(report.substr(colon + 2))) << report;
        }
        std::printf("two windows: %zu changes found made by the other window\n", reports.size());
    }
    EXPECT_FALSE(torn) << "a manifest of " << torn->size() << " bytes: " << *torn;
    std::printf("two windows: %d looks at the manifest while they ran\n", looks);

    const Tree after = tree_of(apps.path());
    if (after.count("/app.exe.manifest")) {
        EXPECT_EQ(after.at("/app.exe.manifest").content, kManifestText);
    }
    for (const std::string& path : changed_paths(before, after, {"/app.exe"}))
        EXPECT_TRUE(path == "/app.exe.manifest" || starts_with(path, "/.vextra-")) << path;
}

}  // namespace
}  // namespace vextra::test
