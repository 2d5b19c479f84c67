// SPDX-License-Identifier: MIT
// What the Linux file services mark, Wine sees, and the reverse: Wine's own "attrib" command reads
// and sets the attributes of the same files. Wine runs in a prefix of the build tree.
#include <gtest/gtest.h>

#include <string>
#include <sys/wait.h>

#include "command_output.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace vextra::platform {
namespace {

using test::TempDir;

// Runs Wine's attrib with `arguments` before the file's Windows path; returns its output.
std::string wine_attrib(const std::string& arguments, const std::string& path) {
    std::string windows_path = "Z:" + path;
    for (char& c : windows_path)
        if (c == '/') c = '\\';
    return test::command_output(VEXTRA_WINE_COMMAND " cmd /c attrib " + arguments + " '" + windows_path +
                                "' 2>/dev/null");
}

// The flags attrib shows before the path, as letters.
std::string flags(const std::string& attrib_output) {
    const std::string columns = attrib_output.substr(0, attrib_output.find("Z:"));
    std::string letters;
    for (char flag : {'A', 'S', 'H', 'R'})
        if (columns.find(flag) != std::string::npos) letters += flag;
    return letters;
}

TEST(WineInterop, WineSeesTheAttributesWeSet) {
    TempDir dir;
    const std::string manifest = dir.write("app.exe.manifest", "<assembly/>");
    ASSERT_FALSE(set_attributes(manifest, 7));
    EXPECT_EQ(flags(wine_attrib("", manifest)), "ASHR");
    ASSERT_FALSE(set_attributes(manifest, 0));
    EXPECT_EQ(flags(wine_attrib("", manifest)), "A");
}

TEST(WineInterop, WeSeeTheAttributesWineSets) {
    TempDir dir;
    const std::string manifest = dir.write("app.exe.manifest", "<assembly/>");
    for (const char* flag : {"+h", "+s", "+r"}) wine_attrib(flag, manifest);
    unsigned attributes = 0;
    ASSERT_FALSE(get_attributes(manifest, attributes));
    EXPECT_EQ(attributes, 0x27u);
    EXPECT_EQ(lookup_name(manifest), "");
    EXPECT_EQ(delete_file(manifest), std::errc::permission_denied);
}

}  // namespace
}  // namespace vextra::platform
