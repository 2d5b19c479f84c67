// SPDX-License-Identifier: MIT
// Saves on a failing machine: a full file system, the file-size limit, a process killed in the
// middle; and the temporaries such saves leave, which the next save in the folder removes.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "command_output.h"
#include "inode_flags.h"
#include "platform/files.h"
#include "save_contents.h"
#include "temp_dir.h"

namespace vextra::platform {
namespace {

using test::command_output;
using test::kLongContent;
using test::kShortContent;
using test::read_whole_file;
using test::TempDir;

std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// A process that holds a lock on `path`, as a save holds its temporary, until it is destroyed.
class LockHolder {
public:
    explicit LockHolder(const std::string& path) {
        int locked[2], release[2];
        if (pipe(locked) != 0 || pipe(release) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            close(locked[0]);
            close(release[1]);  // the end of the test's side ends the wait below
            const int fd = open(path.c_str(), O_RDONLY);
            char byte = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            (void)!write(locked[1], &byte, 1);
            (void)!read(release[0], &byte, 1);
            _exit(0);
        }
        char byte = 0;
        (void)!read(locked[0], &byte, 1);
        EXPECT_EQ(byte, 'y') << "the lock on " << path;
        release_ = release[1];
        close(locked[0]);
        close(locked[1]);
        close(release[0]);
    }
    ~LockHolder() {
        close(release_);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

TEST(SaveFaults, ASaveRemovesTheTemporariesOfKilledSavesAndNothingElse) {
    TempDir dir;
    const std::string stale = dir.write(".vextra-Ab12Cd", "part of a manifest");
    const std::string other_stale = dir.write(".vextra-zz9900", "");
    const std::string held = dir.write(".vextra-Held12", "being written");
    const std::string target = dir.write("target.txt", "kept");
    std::filesystem::create_symlink(target, dir.file(".vextra-LinkAa"));
    std::filesystem::create_directory(dir.file(".vextra-Dir123"));
    ASSERT_EQ(mkfifo(dir.file(".vextra-Fifo12").c_str(), 0600), 0);
    dir.write(".vextra-toolong7", "not our pattern");
    dir.write(".vextra-12345", "not our pattern");
    dir.write("notes.txt", "kept");
    const std::set<std::string> before = names_in(dir.path());

    {
        LockHolder writer(held);  // another save, in the middle of writing
        ASSERT_FALSE(save_file(dir.file("app.exe.manifest"), "<assembly/>"));
    }
    std::set<std::string> expected = before;
    expected.erase(".vextra-Ab12Cd");
    expected.erase(".vextra-zz9900");
    expected.insert("app.exe.manifest");
    EXPECT_EQ(names_in(dir.path()), expected);
    EXPECT_EQ(read_whole_file(held), "being written");
    EXPECT_EQ(read_whole_file(target), "kept");
    EXPECT_EQ(read_whole_file(dir.file("app.exe.manifest")), "<assembly/>");
}

// The ways a test mounts a file system of its own, seen by its own processes only: a mount
// namespace (root), or a user namespace that maps the user to root in it (anyone, where the system
// allows user namespaces).
constexpr const char* kPrivateMounts[] = {"unshare --mount", "unshare --user --map-root-user --mount"};

// The first way that mounts a tmpfs over `folder` here, or nullptr.
const char* private_mount(const std::string& folder) {
    for (const char* way : kPrivateMounts) {
        const std::string probe =
            std::string(way) + " sh -c 'mount -t tmpfs tmpfs \"$0\"' '" + folder + "' 2>/dev/null";
        if (std::system(probe.c_str()) == 0) return way;
    }
    return nullptr;
}

// as-ordinary-user runs the suite as this user only when it was started as root, so the same
// cases have run as root in that run.
bool rerun_of_a_root_run() {
    const passwd* user = getpwuid(getuid());
    return user && std::string(user->pw_name) == "vextra-test";
}

// A small tmpfs, mounted for the test alone, runs out of room or of entries; or a killed save's
// temporary fills it, which the next save must remove before it writes.
TEST(SaveFaults, AFullFileSystemFailsTheSaveAndKeepsTheOldManifest) {
    TempDir dir;
    const char* way = private_mount(dir.path());
    if (!way && geteuid() != 0 && rerun_of_a_root_run())
        GTEST_SKIP() << "this system gives ordinary users no user namespace; the run as root has mounted "
                        "the tmpfs";
    ASSERT_TRUE(way) << "neither `unshare --mount` nor a user namespace can mount a tmpfs here: the tests "
                        "need CAP_SYS_ADMIN (a privileged container) or user namespaces";
    struct Case {
        const char* name;
        const char* options;
        const char* script;  // $0 is the mounted folder, $1 the save driver
        const char* expected;
    };
    const Case cases[] = {
        {"no room for the content", "size=64k",
         "\"$1\" save \"$0/app.exe.manifest\" 8192 >/dev/null && \"$1\" save \"$0/app.exe.manifest\" 1048576",
         "failed: No space left on device\napp.exe.manifest\n8192\n"},
        // The folder and the manifest take both entries; the temporary gets none.
        {"no entry for the temporary", "nr_inodes=2",
         "\"$1\" save \"$0/app.exe.manifest\" 8192 >/dev/null && \"$1\" save \"$0/app.exe.manifest\" 16384",
         "failed: No space left on device\napp.exe.manifest\n8192\n"},
        // 48 KiB of a killed save's temporary leave too little room for 16 KiB more.
        {"a killed save's temporary fills it", "size=64k",
         "\"$1\" save \"$0/app.exe.manifest\" 4096 >/dev/null && "
         "head -c 49152 /dev/zero >\"$0/.vextra-Stale1\" && \"$1\" save \"$0/app.exe.manifest\" 16384",
         "saved\napp.exe.manifest\n16384\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string command = std::string(way) + " sh -c 'mount -t tmpfs -o " + c.options +
                                    " tmpfs \"$0\" && " + c.script + "' '" + dir.path() + "' '" +
                                    VEXTRA_SAVE_DRIVER + "'";
        EXPECT_EQ(command_output(command), c.expected);
    }
}

// 8 blocks of 512 bytes: the old file fits, the new one does not. Past the limit a write would end
// the process with SIGXFSZ; each program that saves reports the failure instead and goes on.
TEST(SaveFaults, TheFileSizeLimitFailsTheSaveAndTheProgramGoesOn) {
    TempDir dir;
    const std::string source = dir.write(
        "big.xml", "<assembly xmlns='urn:schemas-microsoft-com:asm.v1' manifestVersion='1.0'><description>" +
                       std::string(65536, 'y') + "</description></assembly>");
    const std::string old_content(100, 'o');
    struct Case {
        const char* name;
        const char* program;
        const char* command;  // $0 is the file saved, $1 the program, $2 a manifest of 64 KiB
        std::string expected;
    };
    const Case cases[] = {
        {"a save", VEXTRA_SAVE_DRIVER, "\"$1\" save \"$0\" 65536",
         "failed: File too large\nbig.xml\nout\n100\nstatus 0\n"},
        {"the template tool", VEXTRA_TEMPLATE_TOOL, "\"$1\" encode \"$2\" -o \"$0\" 2>&1",
         "vextra-template: " + dir.file("out") + ": File too large\nstatus 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir.write("out", old_content);
        const std::string script = std::string("ulimit -f 8 && ") + c.command + "; echo \"status $?\"";
        const std::string command = "sh -c '" + script + "' '" + out + "' '" + c.program + "' '" + source + "'";
        EXPECT_EQ(command_output(command), c.expected);
        EXPECT_EQ(read_whole_file(out), old_content);
        EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"big.xml", "out"}));
    }
}

// Where the file system keeps no locks (every flock fails), a save still writes its file once and
// leaves no temporary; the clean-up, which cannot take a lock either, leaves the others alone.
TEST(SaveFaults, WithoutLocksASaveStillGoesThrough) {
    TempDir dir;
    dir.write(".vextra-Ab12Cd", "part of a manifest");
    const std::string command =
        "timeout 30 '" VEXTRA_SAVE_DRIVER "' save '" + dir.file("app.exe.manifest") + "' 100 no-locks";
    EXPECT_EQ(command_output(command), "saved\n.vextra-Ab12Cd\napp.exe.manifest\n100\n");
}

// How a killed save is made: the driver's loop and the faults of the system it meets.
struct KilledSave {
    const char* name;
    std::vector<std::string> loop;  // the driver's arguments but the path: the loop, then faults
    bool leaves_no_name;            // a kill at any moment leaves no temporary behind
};

void PrintTo(const KilledSave& save, std::ostream* out) { *out << save.name; }

class KilledSaves : public testing::TestWithParam<KilledSave> {};

// A save killed at any moment leaves the old manifest, the new one or none, never part of one. A
// file created without a name leaves nothing else either; a named temporary is removed by the next
// save in the folder.
TEST_P(KilledSaves, LeaveTheOldTheNewOrNoManifestNeverPartOfOne) {
    TempDir dir;
    const std::string manifest = dir.file("app.exe.manifest");
    std::vector<std::string> arguments = {VEXTRA_SAVE_DRIVER, GetParam().loop.front(), manifest};
    arguments.insert(arguments.end(), GetParam().loop.begin() + 1, GetParam().loop.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> microseconds(0, 50000);  // wide enough for a slow (sanitized) build
    std::set<std::string> seen;
    for (int kill = 0; kill < 250; ++kill) {
        const pid_t saver = fork();
        if (saver == 0) {
            execv(VEXTRA_SAVE_DRIVER, argv.data());
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds(random)));
        ::kill(saver, SIGKILL);
        int status = 0;
        waitpid(saver, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver ended on its own: " << status;
        if (GetParam().leaves_no_name) {
            std::set<std::string> names = names_in(dir.path());
            names.erase("app.exe.manifest");
            ASSERT_EQ(names, std::set<std::string>{}) << "kill " << kill;
        }
        if (!path_exists(manifest)) {
            seen.insert("none");
            continue;
        }
        const std::string content = read_whole_file(manifest);
        ASSERT_TRUE(content == kLongContent || content == kShortContent) << "kill " << kill << ": " << content.size() << " bytes";
        seen.insert(content == kLongContent ? "long" : "short");
    }
    // One more save: the manifest alone is left in the folder.
    ASSERT_FALSE(save_file(manifest, kShortContent));
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"app.exe.manifest"});
    EXPECT_EQ(seen, (std::set<std::string>{"long", "none", "short"})) << "the kills did not fall in every stage";
}

INSTANTIATE_TEST_SUITE_P(
    SaveFaults, KilledSaves,
    testing::Values(KilledSave{"SaveFile", {"loop"}, false}, KilledSave{"CreateFile", {"create-loop"}, true},
                    KilledSave{"CreateFileWithoutUnnamedFiles", {"create-loop", "no-tmpfile"}, false},
                    KilledSave{"CreateFileWithoutUnnamedFilesNorRenameNoReplace",
                               {"create-loop", "no-tmpfile", "no-noreplace"}, false}),
    [](const testing::TestParamInfo<KilledSave>& info) { return std::string(info.param.name); });

std::string failed(std::errc error) { return "failed: " + error_text(std::make_error_code(error)) + "\n"; }

// What a system may lack that create_file uses, and its way around it: it creates a new file all
// the same, with the permissions of any new file, and refuses a name already taken, also when
// several programs create the same file at once (exactly one of them then does).
TEST(SaveFaults, CreateNeverReplacesWhateverTheSystemLacks) {
    struct Lack {
        const char* name;
        const char* faults;  // the driver's
        bool without_proc;   // an empty folder mounted over /proc
    };
    const Lack lacks[] = {
        {"nothing", "", false},
        {"unnamed files", "no-tmpfile", false},
        {"unnamed files and renames that never replace", "no-tmpfile no-noreplace", false},
        {"linking a descriptor itself", "no-empty-path", false},
        // Last: a system without user namespaces skips it.
        {"linking a descriptor itself, and /proc", "no-empty-path", true},
    };
    const std::string exists = failed(std::errc::file_exists);
    for (const Lack& lack : lacks) {
        SCOPED_TRACE(lack.name);
        TempDir dir;
        dir.write("taken.exe.manifest", "old");
        std::string way;
        if (lack.without_proc) {
            const char* mount_way = private_mount(dir.path());
            if (!mount_way && geteuid() != 0 && rerun_of_a_root_run())
                GTEST_SKIP() << "this system gives ordinary users no user namespace to hide /proc in; the run as "
                                "root has checked it";
            ASSERT_TRUE(mount_way) << "neither `unshare --mount` nor a user namespace can mount over /proc here";
            way = std::string(mount_way) + " ";
        }
        const std::string driver = std::string("\"$1\" create \"$0/");
        const std::string faults = std::string(" ") + lack.faults;
        // Rounds of three programs at once, each writing long enough that all three find the name free.
        constexpr int kRounds = 5;
        const std::string racer = driver + "race$round\" 6553";
        const std::string race = "for round in $(seq " + std::to_string(kRounds) + "); do (" + racer + "6" + faults + " & " + racer + "7" + faults +
                                 " & " + racer + "8" + faults + " & wait); done";
        const std::string script = (lack.without_proc ? "mount -t tmpfs tmpfs /proc && " : "") +
                                   std::string("umask 027 && ") + driver + "new.manifest\" 100" + faults + " && " +
                                   driver + "taken.exe.manifest\" 100" + faults + " && " + race;
        const std::string output =
            command_output(way + "sh -c '" + script + "' '" + dir.path() + "' '" + VEXTRA_SAVE_DRIVER + "'");
        const std::string created = "saved\nnew.manifest\ntaken.exe.manifest\n100\n";
        const std::string refused = exists + "new.manifest\ntaken.exe.manifest\n3\n";
        ASSERT_EQ(output.substr(0, created.size() + refused.size()), created + refused);
        EXPECT_EQ(read_whole_file(dir.file("new.manifest")), std::string(100, 'x'));
        struct stat st {};
        ASSERT_EQ(stat(dir.file("new.manifest").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(read_whole_file(dir.file("taken.exe.manifest")), "old");

        const std::string raced = output.substr(created.size() + refused.size());
        std::size_t wins = 0, losses = 0;
        for (std::size_t at = 0; (at = raced.find("saved\n", at)) != std::string::npos; ++at) ++wins;
        for (std::size_t at = 0; (at = raced.find(exists, at)) != std::string::npos; ++at) ++losses;
        EXPECT_EQ(wins, std::size_t{kRounds}) << raced;
        EXPECT_EQ(losses, std::size_t{2 * kRounds}) << raced;
        std::set<std::string> names = {"new.manifest", "taken.exe.manifest"};
        for (int round = 1; round <= kRounds; ++round) {
            const std::string name = "race" + std::to_string(round);
            const std::string content = read_whole_file(dir.file(name));
            EXPECT_TRUE(content.size() >= 65536 && content.size() <= 65538 && content == std::string(content.size(), 'x'))
                << name << ": " << content.size() << " bytes";
            names.insert(name);
        }
        EXPECT_EQ(names_in(dir.path()), names);
    }
}

// An append-only folder takes new names but never lets one go, an immutable one takes none: a save
// there must make no temporary it could not remove. create_file's unnamed file needs no temporary,
// so it goes through where a new name may be made.
TEST(SaveFaults, FoldersThatKeepEveryNameGetNoTemporary) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may make a folder append-only or immutable (CAP_LINUX_IMMUTABLE); the run as "
                        "root checks this";
    struct Case {
        const char* name;
        int flag;
        const char* run;  // the driver's save or create, the name in the folder, the size and faults
        std::string expected;
    };
    const std::string not_permitted = failed(std::errc::operation_not_permitted);
    const std::string untouched = "taken.exe.manifest\n";
    const Case cases[] = {
        {"append-only, save over a manifest", FS_APPEND_FL, "save taken.exe.manifest 100",
         not_permitted + untouched + "3\n"},
        {"append-only, save a new one", FS_APPEND_FL, "save new.manifest 100", not_permitted + untouched + "none\n"},
        {"append-only, create a new one", FS_APPEND_FL, "create new.manifest 100",
         "saved\nnew.manifest\n" + untouched + "100\n"},
        {"append-only, create where a manifest is", FS_APPEND_FL, "create taken.exe.manifest 100",
         failed(std::errc::file_exists) + untouched + "3\n"},
        {"append-only, create without unnamed files", FS_APPEND_FL, "create new.manifest 100 no-tmpfile",
         not_permitted + untouched + "none\n"},
        {"immutable, save over a manifest", FS_IMMUTABLE_FL, "save taken.exe.manifest 100",
         not_permitted + untouched + "3\n"},
        {"immutable, create a new one", FS_IMMUTABLE_FL, "create new.manifest 100", not_permitted + untouched + "none\n"},
        {"immutable, create without unnamed files", FS_IMMUTABLE_FL, "create new.manifest 100 no-tmpfile",
         not_permitted + untouched + "none\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("taken.exe.manifest", "old");
        if (const std::error_code error = test::change_inode_flag(dir.path(), c.flag, true)) {
            if (error == std::errc::inappropriate_io_control_operation || error == std::errc::operation_not_supported)
                GTEST_SKIP() << "the build tree's file system keeps no append-only or immutable flag: "
                             << error_text(error);
            FAIL() << "chattr: " << error_text(error);
        }
        // The driver's words, with the name made a path in the folder.
        const std::string command = "cd '" + dir.path() + "' && set -- " + c.run +
                                    " && '" VEXTRA_SAVE_DRIVER "' \"$1\" \"$PWD/$2\" \"$3\" $4";
        const std::string output = command_output(command);
        EXPECT_FALSE(test::change_inode_flag(dir.path(), c.flag, false));
        EXPECT_EQ(output, c.expected);
    }
}

// Two programs save and delete the same manifest at once, each clearing the other's temporaries
// when it may: neither ever removes the other's live one (a save would fail), and the manifest is
// always whole.
TEST(SaveFaults, TwoProgramsSavingTheSameManifestAtOnceNeverTearIt) {
    TempDir dir;
    const std::string manifest = dir.file("app.exe.manifest");
    pid_t savers[2];
    for (pid_t& saver : savers) {
        saver = fork();
        if (saver == 0) {
            execl(VEXTRA_SAVE_DRIVER, VEXTRA_SAVE_DRIVER, "loop", manifest.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int checks = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::string content;
        if (!read_file(manifest, content)) {
            ASSERT_TRUE(content == kLongContent || content == kShortContent) << content.size() << " bytes";
            ++checks;
        }
    }
    for (const pid_t saver : savers) {
        ::kill(saver, SIGKILL);
        int status = 0;
        waitpid(saver, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "a saver ended on its own: " << status;
    }
    ASSERT_FALSE(save_file(manifest, kShortContent));
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"app.exe.manifest"});
    EXPECT_GT(checks, 0);
}

}  // namespace
}  // namespace vextra::platform
