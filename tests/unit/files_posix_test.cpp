// SPDX-License-Identifier: MIT
// The Linux file services against what Wine reads and writes: mode bits for read-only and the
// user.DOSATTRIB extended attribute for hidden and system, checked on real files.
#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>

#include "command_output.h"
#include "file_service_cases.h"
#include "file_snapshot.h"
#include "saves_sweep_once.h"
#include "temp_dir.h"
#include "tree_snapshot.h"

namespace vextra::platform {
namespace {

using test::attributes_of;
using test::names_in;
using test::read_whole_file;
using test::saved;
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

TEST(FileAttributes, MissingEntriesAreRefusedAndFoldersMarked) { test::expect_missing_entries_refused_and_folders_marked(); }

// Linux names differ from Windows' in case, a backslash is part of a name, and a dot-file is
// hidden, as Wine shows it.
TEST(LookupName, FindsOnlyVisibleFiles) {
    TempDir dir;
    saved(dir.file("Mixed.exe"));
    const std::vector<test::LookupCase> own = {
        {"dot-file", saved(dir.file(".dot.exe")), 0, ""},
        {"other case asked", dir.file("MIXED.EXE"), 0, ""},
        {"backslash", dir.path() + "\\app.exe", 0, ""},
    };
    test::expect_lookup_names(dir, own);
}

TEST(DeleteFile, RefusesReadOnlyFilesLikeWindows) { test::expect_delete_refuses_read_only_files_only(); }

TEST(SaveFile, CreatesAndReplacesWholeFilesLeavingNoTemporaries) { test::expect_saves_create_and_replace_whole_files(); }

TEST(SaveFile, FailsWithoutTouchingTheTarget) {
    test::expect_refused_saves_touch_nothing(std::make_error_code(std::errc::is_a_directory));
}

TEST(NewFile, MakesAVisibleFileAndNothingElse) { test::expect_create_makes_a_visible_file_alone(); }

// A saved or created file has the permissions any new file gets: 0666 within the umask the process
// started with (each save runs in a driver process of its own, started with the umask), however it
// was made and whatever was at its path.
TEST(NewFile, HasTheModeOfAnyNewFileWithinTheUmask) {
    struct Way {
        const char* name;
        const char* driver;  // the driver's save or create, then its faults
        bool over_a_file;    // of mode 0600 at the path first
    };
    const Way ways[] = {
        {"save", "save", false},
        {"save over a file", "save", true},
        {"create", "create", false},
        {"create without unnamed files", "create no-tmpfile", false},
    };
    for (const mode_t mask : {022, 077, 002}) {
        for (const Way& way : ways) {
            SCOPED_TRACE(testing::Message() << way.name << ", umask " << std::oct << mask);
            TempDir dir;
            const std::string path = dir.file("app.exe.manifest");
            if (way.over_a_file) {
                ASSERT_EQ(chmod(dir.write("app.exe.manifest", "old").c_str(), 0600), 0);
            }
            std::ostringstream command;
            command << "umask " << std::oct << mask << " && set -- " << way.driver << " && '" VEXTRA_SAVE_DRIVER "' \"$1\" '"
                    << path << "' 10 $2";
            EXPECT_EQ(test::command_output(command.str()).rfind("saved\n", 0), 0u);
            EXPECT_EQ(mode_of(path), 0666 & ~mask);
            EXPECT_EQ(dos_attrib(path), std::nullopt);
        }
    }
}

// Whatever is at the path stays as it was, and nothing else appears in the folder: not the file,
// not a temporary, not what a link leads to.
TEST(NewFile, NeverReplacesNorFollowsWhatIsThere) {
    std::vector<test::EntryAtPath> entries = test::entries_made_alike();
    entries.insert(entries.end(), {
        {"a link leading nowhere", [](const std::string& at) { ASSERT_EQ(symlink("missing", at.c_str()), 0); }},
        {"a link to a file",
         [](const std::string& at) {
             saved(at.substr(0, at.find_last_of('/')) + "/notes.txt", "mine");
             ASSERT_EQ(symlink("notes.txt", at.c_str()), 0);
         }},
        {"a FIFO", [](const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }},
    });
    test::expect_create_leaves_each_entry_as_it_is(entries);
}

// A batch of saves in one folder lists it once (see save_file).
TEST(Saves, ClearTheirFolderOfKilledSavesTemporariesOnceAProcess) {
    test::expect_saves_clear_a_folder_once(".vextra-Ab12Cd", ".vextra-Ef34Gh");
}

TEST(ReadFile, ReadsBytesExactlyUpToTheLimitAndReportsMissingFiles) { test::expect_reads_exact_and_limited(); }

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

// The unprivileged run of this suite is the one that shows the order of the steps.
TEST(FileAttributes, EveryTransitionWorksForTheFilesOwner) { test::expect_every_attribute_transition(); }

test::FileTimes times_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    const auto ns = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
    return {ns(st.st_atim), ns(st.st_mtim)};
}

void set_times(const std::string& path, test::FileTimes times) {
    const auto timespec_of = [](std::int64_t ns) { return timespec{ns / 1'000'000'000, ns % 1'000'000'000}; };
    const timespec both[2] = {timespec_of(times.last_access_ns), timespec_of(times.last_write_ns)};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), both, 0), 0) << path;
}

TEST(Touch, RenewsTheLastWriteTimeOfAReadOnlyFileAndNothingElse) {
    test::expect_touch_renews_the_last_write_time_alone(times_of, set_times);
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
