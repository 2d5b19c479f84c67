// The Linux file services against what Wine reads and writes: mode bits for read-only and the
// user.DOSATTRIB extended attribute for hidden and system, checked on real files.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "temp_dir.h"

namespace vextra::platform {
namespace {

using test::read_whole_file;
using test::TempDir;

std::optional<std::string> dos_attrib(const std::string& path) {
    char value[64];
    const ssize_t len = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
    if (len < 0) return std::nullopt;
    return std::string(value, static_cast<std::size_t>(len));
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

unsigned attributes_of(const std::string& path) {
    unsigned attributes = 0xFFFF;
    EXPECT_FALSE(get_attributes(path, attributes)) << path;
    return attributes;
}

std::vector<std::string> names_in(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(FileAttributes, AreStoredAsWineStoresThem) {
    struct Case {
        const char* name;
        unsigned value;
        bool writable;
        std::optional<std::string> xattr;
        unsigned read_back;
    };
    const Case cases[] = {
        {"normal", 0, true, std::nullopt, 0x20},
        {"read-only", 1, false, std::nullopt, 0x21},
        {"hidden", 2, true, "0x2", 0x22},
        {"system", 4, true, "0x4", 0x24},
        {"hidden and system", 6, true, "0x6", 0x26},
        {"manifest set", 7, false, "0x6", 0x27},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(c.name, "x");
        ASSERT_FALSE(set_attributes(path, 7));  // start from the far end, so every bit must move
        ASSERT_FALSE(set_attributes(path, c.value));
        EXPECT_EQ((mode_of(path) & 0222) != 0, c.writable);
        EXPECT_EQ(dos_attrib(path), c.xattr);
        EXPECT_EQ(attributes_of(path), c.read_back);
    }
}

TEST(FileAttributes, ReadOnlyClearsEveryWriteBitAndClearingGivesOwnerWriteBack) {
    TempDir dir;
    const std::string path = dir.write("f", "x");
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_FALSE(set_attributes(path, attribute::kReadOnly));
    EXPECT_EQ(mode_of(path), 0444u);
    ASSERT_FALSE(set_attributes(path, attribute::kNormal));
    EXPECT_TRUE(mode_of(path) & S_IWUSR);
    EXPECT_TRUE(mode_of(path) & S_IRUSR);
}

TEST(FileAttributes, ReadsWhatWineWrote) {
    struct Case {
        const char* name;
        std::string xattr;
        unsigned expected;
    };
    const Case cases[] = {
        {"hidden", "0x2", 0x22},
        {"system", "0x4", 0x24},
        {"with a trailing NUL", std::string("0x6\0", 4), 0x26},
        {"other bits ignored", "0x27", 0x26},
        {"no 0x prefix", "6", 0x20},
        {"bare prefix", "0x", 0x20},
        {"not hex", "0x6z", 0x20},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(c.name, "x");
        ASSERT_EQ(setxattr(path.c_str(), "user.DOSATTRIB", c.xattr.data(), c.xattr.size(), 0), 0);
        EXPECT_EQ(attributes_of(path), c.expected);
    }
}

TEST(FileAttributes, DotFilesAreHiddenAndDirectoriesAreMarked) {
    TempDir dir;
    EXPECT_EQ(attributes_of(dir.write(".profile", "x")), 0x22u);
    std::filesystem::create_directory(dir.file("sub"));
    EXPECT_EQ(attributes_of(dir.file("sub")), 0x10u);
}

TEST(FileAttributes, SettingOnAMissingFileFails) {
    TempDir dir;
    EXPECT_EQ(set_attributes(dir.file("missing"), 7), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(path_exists(dir.file("missing")));
}

TEST(LookupName, FindsOnlyVisibleFiles) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string path;
        unsigned attributes;
        std::string expected;
    };
    std::filesystem::create_directory(dir.file("folder.exe"));
    const Case cases[] = {
        {"normal", dir.write("app.exe", "x"), 0, "app.exe"},
        {"read-only", dir.write("ro.exe", "x"), 1, "ro.exe"},
        {"hidden", dir.write("hid.exe", "x"), 2, ""},
        {"system", dir.write("sys.exe", "x"), 4, ""},
        {"manifest set", dir.write("all.exe", "x"), 7, ""},
        {"dot-file", dir.write(".dot.exe", "x"), 0, ""},
        {"name with spaces and Unicode", dir.write("Mon programme \u00E9t\u00E9.exe", "x"), 0,
         "Mon programme \u00E9t\u00E9.exe"},
        {"directory", dir.file("folder.exe"), 0, ""},
        {"missing", dir.file("missing.exe"), 0, ""},
        {"empty path", "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.attributes) {
            ASSERT_FALSE(set_attributes(c.path, c.attributes));
        }
        EXPECT_EQ(lookup_name(c.path), c.expected);
    }
}

TEST(DeleteFile, RefusesReadOnlyFilesLikeWindows) {
    TempDir dir;
    const std::string read_only = dir.write("ro", "x");
    ASSERT_FALSE(set_attributes(read_only, 7));
    EXPECT_EQ(delete_file(read_only), std::errc::permission_denied);
    EXPECT_TRUE(path_exists(read_only));

    const std::string hidden = dir.write("hidden", "x");
    ASSERT_FALSE(set_attributes(hidden, 6));
    EXPECT_FALSE(delete_file(hidden));
    EXPECT_FALSE(path_exists(hidden));

    EXPECT_EQ(delete_file(dir.file("missing")), std::errc::no_such_file_or_directory);
}

TEST(SaveFile, CreatesAndReplacesWholeFilesLeavingNoTemporaries) {
    TempDir dir;
    const std::string path = dir.file("app.exe.manifest");
    ASSERT_FALSE(save_file(path, "first\r\n"));
    EXPECT_EQ(read_whole_file(path), "first\r\n");
    EXPECT_EQ(mode_of(path) & 0200, 0200u);
    ASSERT_FALSE(save_file(path, "second"));
    EXPECT_EQ(read_whole_file(path), "second");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"});
}

TEST(SaveFile, FailsWithoutTouchingTheTarget) {
    TempDir dir;
    const std::string read_only = dir.write("ro.manifest", "old");
    ASSERT_FALSE(set_attributes(read_only, 7));
    EXPECT_EQ(save_file(read_only, "new"), std::errc::permission_denied);
    EXPECT_EQ(read_whole_file(read_only), "old");
    EXPECT_EQ(attributes_of(read_only), 0x27u);

    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_EQ(save_file(dir.file("folder"), "new"), std::errc::is_a_directory);
    EXPECT_EQ(save_file(dir.file("missing/app.exe.manifest"), "new"), std::errc::no_such_file_or_directory);

    std::vector<std::string> names = names_in(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "ro.manifest"}));
}

TEST(ReadFile, ReadsBytesExactlyAndReportsMissingFiles) {
    TempDir dir;
    const std::string bytes("a\r\n\0\xFF", 5);
    std::string content = "unchanged";
    ASSERT_FALSE(read_file(dir.write("f", bytes), content));
    EXPECT_EQ(content, bytes);
    content = "unchanged";
    EXPECT_EQ(read_file(dir.file("missing"), content), std::errc::no_such_file_or_directory);
    EXPECT_EQ(content, "unchanged");
}

TEST(ErrorText, IsTheSystemsOwnWords) {
    EXPECT_EQ(error_text(std::make_error_code(std::errc::permission_denied)), "Permission denied");
}

}  // namespace
}  // namespace vextra::platform
