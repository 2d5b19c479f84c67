// SPDX-License-Identifier: MIT
// The Linux file services against what Wine reads and writes: mode bits for read-only and the
// user.DOSATTRIB extended attribute for hidden and system, checked on real files.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>

#include "file_snapshot.h"
#include "saves_sweep_once.h"
#include "temp_dir.h"
#include "tree_snapshot.h"

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

std::string base_name(const std::string& path) { return std::filesystem::path(path).filename().string(); }

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

mode_t current_umask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

TEST(NewFile, MakesANewFileWithTheModeOfAnyNewFileAndNothingElse) {
    TempDir dir;
    const std::string path = dir.file("app.exe.manifest");
    const std::string content("<assembly/>\r\n\0\xFF", 15);
    ASSERT_FALSE(create_file(path, content));
    EXPECT_EQ(read_whole_file(path), content);
    EXPECT_EQ(mode_of(path), 0666 & ~current_umask());
    EXPECT_EQ(dos_attrib(path), std::nullopt);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"});
}

// Whatever is at the path stays as it was, and nothing else appears in the folder: not the file,
// not a temporary, not what a link leads to.
TEST(NewFile, NeverReplacesNorFollowsWhatIsThere) {
    struct Case {
        const char* name;
        std::function<void(TempDir&, const std::string&)> make;  // the entry at the path
    };
    const Case cases[] = {
        {"a file", [](TempDir& d, const std::string& at) { d.write(base_name(at), "another program's"); }},
        {"a read-only file",
         [](TempDir& d, const std::string& at) { ASSERT_FALSE(set_attributes(d.write(base_name(at), "ro"), 7)); }},
        {"an empty file", [](TempDir& d, const std::string& at) { d.write(base_name(at), ""); }},
        {"a link leading nowhere", [](TempDir&, const std::string& at) { ASSERT_EQ(symlink("missing", at.c_str()), 0); }},
        {"a link to a file",
         [](TempDir& d, const std::string& at) {
             d.write("notes.txt", "mine");
             ASSERT_EQ(symlink("notes.txt", at.c_str()), 0);
         }},
        {"a folder", [](TempDir&, const std::string& at) { ASSERT_TRUE(std::filesystem::create_directory(at)); }},
        {"a FIFO", [](TempDir&, const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("app.exe.manifest");
        c.make(dir, path);
        const test::Tree before = test::tree_of(dir.path());
        EXPECT_EQ(create_file(path, "<assembly/>"), std::errc::file_exists);
        EXPECT_EQ(test::changed_paths(before, test::tree_of(dir.path())), std::vector<std::string>{});
    }
    TempDir dir;
    EXPECT_EQ(create_file(dir.file("missing/app.exe.manifest"), "x"), std::errc::no_such_file_or_directory);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{});
}

// A batch of saves in one folder lists it once (see save_file).
TEST(Saves, ClearTheirFolderOfKilledSavesTemporariesOnceAProcess) {
    test::expect_saves_clear_a_folder_once(".vextra-Ab12Cd", ".vextra-Ef34Gh");
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

using test::is_link;
using test::Snapshot;

// A link at the manifest path is an entry of its own: it is found, never followed, and replaced or
// removed itself; whatever it points to stays exactly as it was.
TEST(Links, AreNeverFollowed) {
    struct Case {
        const char* name;
        std::function<std::string(TempDir&)> make_target;  // what the link points to
    };
    const Case cases[] = {
        {"a file of the user's", [](TempDir& d) { return d.write("notes.txt", "mine"); }},
        {"a read-only file",
         [](TempDir& d) {
             const std::string path = d.write("ro.txt", "kept");
             chmod(path.c_str(), 0444);
             return path;
         }},
        {"a hidden file",
         [](TempDir& d) {
             const std::string path = d.write("hidden.txt", "kept");
             setxattr(path.c_str(), "user.DOSATTRIB", "0x2", 3, 0);
             return path;
         }},
        {"nothing (dangling)", [](TempDir& d) { return d.file("missing.txt"); }},
        {"a directory",
         [](TempDir& d) {
             std::filesystem::create_directory(d.file("folder"));
             return d.file("folder");
         }},
        {"the executable itself", [](TempDir& d) { return d.write("app.exe", "MZ"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string target = c.make_target(dir);
        const std::string link = dir.file("app.exe.manifest");
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
        const Snapshot before = Snapshot::of(target);

        EXPECT_EQ(lookup_name(link), "app.exe.manifest");
        EXPECT_TRUE(path_exists(link));
        unsigned attributes = 0;
        ASSERT_FALSE(get_attributes(link, attributes));
        EXPECT_EQ(attributes & attribute::kReadOnly, 0u);
        for (unsigned value : {0u, 7u, 1u})
            EXPECT_EQ(set_attributes(link, value), std::errc::operation_not_supported) << value;
        std::string content = "unchanged";
        EXPECT_TRUE(read_file(link, content));
        EXPECT_EQ(content, "unchanged");
        EXPECT_EQ(Snapshot::of(target), before);
        EXPECT_TRUE(is_link(link));

        ASSERT_FALSE(save_file(link, "manifest"));
        EXPECT_FALSE(is_link(link));
        EXPECT_EQ(read_whole_file(link), "manifest");
        EXPECT_EQ(Snapshot::of(target), before);

        ASSERT_EQ(unlink(link.c_str()), 0);
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
        EXPECT_FALSE(delete_file(link));
        EXPECT_FALSE(path_exists(link));
        EXPECT_EQ(Snapshot::of(target), before);
    }
}

// Nothing at a path may make a call wait, and only regular files take attributes or are read.
TEST(SpecialFiles, AreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::filesystem::create_directory(dir.file("folder"));
    const std::string zero_link = dir.file("zero");
    ASSERT_EQ(symlink("/dev/zero", zero_link.c_str()), 0);
    struct Case {
        const char* name;
        std::string path;
        std::errc read_error;
        std::errc attribute_error;
    };
    const Case cases[] = {
        {"FIFO", fifo, std::errc::operation_not_supported, std::errc::operation_not_supported},
        {"directory", dir.file("folder"), std::errc::is_a_directory, std::errc::is_a_directory},
        {"link to a device", zero_link, std::errc::too_many_symbolic_link_levels, std::errc::operation_not_supported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        struct stat before {};
        ASSERT_EQ(lstat(c.path.c_str(), &before), 0);
        std::string content = "unchanged";
        EXPECT_EQ(read_file(c.path, content), c.read_error);
        EXPECT_EQ(content, "unchanged");
        EXPECT_EQ(set_attributes(c.path, 7), c.attribute_error);
        EXPECT_EQ(set_attributes(c.path, 0), c.attribute_error);
        struct stat after {};
        ASSERT_EQ(lstat(c.path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(dos_attrib(c.path), std::nullopt);
    }
    EXPECT_EQ(delete_file(dir.file("folder")), std::errc::is_a_directory);
    EXPECT_EQ(save_file(dir.file("folder"), "x"), std::errc::is_a_directory);
    std::string content;
    EXPECT_EQ(read_file("/dev/zero", content), std::errc::operation_not_supported);  // a device that never ends
}

TEST(ReadFile, RefusesFilesOverTheLimitWithoutReadingThemWhole) {
    TempDir dir;
    const std::string path = dir.write("big", std::string(4096, 'x'));
    std::string content = "unchanged";
    EXPECT_FALSE(read_file(path, content, 4096));
    EXPECT_EQ(content.size(), 4096u);
    content = "unchanged";
    EXPECT_EQ(read_file(path, content, 4095), std::errc::file_too_large);
    EXPECT_EQ(content, "unchanged");
}

// An ordinary user may set user.* attributes only on a file they may write, so the order of the
// steps decides whether hidden and system are stored at all. Root passes either way; the
// unprivileged run of this suite is the one that shows it.
TEST(FileAttributes, EveryTransitionWorksForTheFilesOwner) {
    const unsigned values[] = {0, 1, 2, 4, 6, 7};
    TempDir dir;
    for (unsigned from : values) {
        for (unsigned to : values) {
            SCOPED_TRACE("from " + std::to_string(from) + " to " + std::to_string(to));
            const std::string path = dir.write("f" + std::to_string(from) + std::to_string(to), "x");
            ASSERT_FALSE(set_attributes(path, from));
            ASSERT_FALSE(set_attributes(path, to));
            EXPECT_EQ(attributes_of(path), 0x20 | to);
        }
    }
}

TEST(FileAttributes, AFailedStepIsReportedAndChangesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "root may change any file; the unprivileged run of this suite checks this";
    // A file owned by someone else, writable only by its owner: neither its mode nor its extended
    // attributes can be changed by us.
    const std::string path = "/etc/passwd";
    struct stat before {};
    ASSERT_EQ(lstat(path.c_str(), &before), 0);
    ASSERT_NE(before.st_uid, geteuid());
    ASSERT_EQ(before.st_mode & 0222, 0200u);
    EXPECT_EQ(set_attributes(path, 7), std::errc::permission_denied);      // the hidden and system step
    EXPECT_EQ(set_attributes(path, 1), std::errc::operation_not_permitted);  // the read-only step
    struct stat after {};
    ASSERT_EQ(lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(dos_attrib(path), std::nullopt);
}

TEST(ErrorText, IsTheSystemsOwnWords) {
    EXPECT_EQ(error_text(std::make_error_code(std::errc::permission_denied)), "Permission denied");
}

}  // namespace
}  // namespace vextra::platform
