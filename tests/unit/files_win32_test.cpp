// SPDX-License-Identifier: MIT
// The Windows file services against Windows' own rules, on real files: attributes, names outside
// the ANSI code page, paths longer than MAX_PATH, and the refusals a read-only manifest must give;
// under Wine, Unix links and FIFOs made from the Unix side. Also the documents Wine's XmlLite
// cannot take.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "file_service_cases.h"
#include "platform/xml.h"
#include "saves_sweep_once.h"
#include "temp_dir.h"

namespace vextra::platform {
namespace {

using test::attributes_of;
using test::kMeaningfulAttributes;
using test::names_in;
using test::read_whole_file;
using test::saved;
using test::TempDir;
using test::WorkingDirectory;

std::error_code win32_error(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

bool running_on_wine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(FileAttributes, EveryTransitionWorks) { test::expect_every_attribute_transition(); }

TEST(FileAttributes, AManifestsSetReadsBackWithArchive) {
    TempDir dir;
    const std::string path = saved(dir.file("app.exe.manifest"));
    ASSERT_FALSE(set_attributes(path, 7));
    EXPECT_EQ(attributes_of(path), 0x27u) << "Wine reports archive on every file";
}

TEST(FileAttributes, MissingEntriesAreRefusedAndFoldersMarked) { test::expect_missing_entries_refused_and_folders_marked(); }

// Windows finds a name in any case and takes backslashes.
TEST(LookupName, FindsOnlyVisibleFilesByTheirStoredName) {
    TempDir dir;
    saved(dir.file("Mixed.exe"));
    const std::vector<test::LookupCase> own = {
        {"other case asked", dir.file("MIXED.EXE"), 0, "Mixed.exe"},
        {"backslash", dir.path() + "\\app.exe", 0, "app.exe"},
    };
    test::expect_lookup_names(dir, own);
}

TEST(DeleteFile, RefusesReadOnlyFilesAndDeletesHiddenOnes) { test::expect_delete_refuses_read_only_files_only(); }

TEST(SaveFile, CreatesAndReplacesWholeVisibleFilesLeavingNoTemporaries) {
    test::expect_saves_create_and_replace_whole_files();
}

// A save removes the temporaries that killed saves left in its folder, and nothing else: not a
// temporary another save still has open, not a folder of that name, not other names.
TEST(SaveFile, RemovesTheTemporariesOfKilledSavesOnly) {
    TempDir dir;
    const std::string stale = dir.write(".vextra-00001234000056780001.tmp", "part of a manifest");
    ASSERT_FALSE(set_attributes(stale, attribute::kHidden));
    const std::string held = dir.write(".vextra-00001234000056780002.tmp", "being written");
    const std::wstring held_wide = std::filesystem::u8path(held).wstring();
    const HANDLE writer = CreateFileW(held_wide.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    std::filesystem::create_directory(std::filesystem::u8path(dir.file(".vextra-00001234000056780003.tmp")));
    dir.write(".vextra-notours.tmp", "kept");
    dir.write("notes.txt", "kept");

    saved(dir.file("app.exe.manifest"));
    CloseHandle(writer);
    EXPECT_EQ(names_in(dir.path()),
              (std::vector<std::string>{".vextra-00001234000056780002.tmp", ".vextra-00001234000056780003.tmp",
                                        ".vextra-notours.tmp", "app.exe.manifest", "notes.txt"}));
    EXPECT_EQ(read_whole_file(held), "being written");
}

// Two saves at once in one folder, as two programs make them: each one's clean-up leaves the
// other's temporary alone from its creation to its rename, so neither save fails.
TEST(SaveFile, SavesAtOnceInOneFolderLeaveEachOthersTemporaryAlone) {
    TempDir dir;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    struct Saver {
        std::string path;
        int saves = 0;
        std::error_code error;
    };
    Saver savers[] = {{dir.file("one.exe.manifest"), 0, {}}, {dir.file("two.exe.manifest"), 0, {}}};
    std::vector<std::thread> threads;
    for (Saver& saver : savers) {
        threads.emplace_back([&saver, end] {
            while (!saver.error && std::chrono::steady_clock::now() < end)
                saver.error = save_file(saver.path, std::to_string(++saver.saves));
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const Saver& saver : savers) {
        SCOPED_TRACE(saver.path);
        EXPECT_FALSE(saver.error) << "save " << saver.saves << ": " << error_text(saver.error);
        // A failed save leaves the one before it.
        EXPECT_EQ(read_whole_file(saver.path), std::to_string(saver.error ? saver.saves - 1 : saver.saves));
    }
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"one.exe.manifest", "two.exe.manifest"}));
}

TEST(NewFile, MakesAVisibleNewFileAndNothingElse) { test::expect_create_makes_a_visible_file_alone(); }

std::uint64_t ticks(FILETIME time) { return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

// Whatever is at the path keeps its content, attributes and time, and nothing appears in the folder.
TEST(NewFile, NeverReplacesWhatIsThere) {
    test::expect_create_leaves_each_entry_as_it_is(test::entries_made_alike());
}

// A batch of saves in one folder lists it once (see save_file).
TEST(Saves, ClearTheirFolderOfKilledSavesTemporariesOnceAProcess) {
    test::expect_saves_clear_a_folder_once(".vextra-00001234000056780001.tmp", ".vextra-00001234000056780002.tmp");
}

TEST(SaveFile, FailsWithoutTouchingTheTarget) { test::expect_refused_saves_touch_nothing(test::kAccessDenied); }

TEST(ReadFile, ReadsBytesExactlyUpToTheLimitAndReportsMissingFiles) { test::expect_reads_exact_and_limited(); }

// FILETIME counts 100 ns from 1601, 11,644,473,600 seconds before 1970.
constexpr std::int64_t kFileTimeAt1970 = 116'444'736'000'000'000;

test::FileTimes file_times_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(std::filesystem::u8path(path).wstring().c_str(), GetFileExInfoStandard, &data));
    const auto ns = [](FILETIME time) { return (static_cast<std::int64_t>(ticks(time)) - kFileTimeAt1970) * 100; };
    return {ns(data.ftLastAccessTime), ns(data.ftLastWriteTime)};
}

void set_file_times(const std::string& path, test::FileTimes times) {
    const HANDLE file = CreateFileW(std::filesystem::u8path(path).wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const auto file_time = [](std::int64_t ns) {
        const auto count = static_cast<std::uint64_t>(ns / 100 + kFileTimeAt1970);
        return FILETIME{static_cast<DWORD>(count), static_cast<DWORD>(count >> 32)};
    };
    const FILETIME access = file_time(times.last_access_ns), write = file_time(times.last_write_ns);
    EXPECT_TRUE(SetFileTime(file, nullptr, &access, &write));
    CloseHandle(file);
}

TEST(Touch, RenewsTheLastWriteTimeOfAReadOnlyFileAndNothingElse) {
    test::expect_touch_renews_the_last_write_time_alone(file_times_of, set_file_times);
}

// The template is read by its bare name from the working directory.
TEST(FileServices, BareNamesAreInTheWorkingDirectory) {
    TempDir dir;
    WorkingDirectory cwd(dir.path());
    ASSERT_FALSE(save_file("style.dll", "{\\rtf1}"));
    EXPECT_EQ(read_whole_file(dir.file("style.dll")), "{\\rtf1}");
    EXPECT_EQ(lookup_name("style.dll"), "style.dll");
    std::string content;
    EXPECT_FALSE(read_file("style.dll", content));
    EXPECT_EQ(content, "{\\rtf1}");
    EXPECT_FALSE(delete_file("style.dll"));
    EXPECT_FALSE(path_exists(dir.file("style.dll")));
}

// Windows' own API refuses these paths unless they are given in the \\?\ form.
TEST(FileServices, WorkOnPathsLongerThanMaxPath) {
    TempDir dir;
    const std::string segment(60, 'd');
    std::string folder = dir.path();
    std::vector<std::wstring> created;
    while (folder.size() < 300) {
        folder += "/" + segment;
        std::wstring wide = L"\\\\?\\" + std::filesystem::u8path(folder).wstring();
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << GetLastError();
        created.push_back(wide);
    }
    const std::string path = folder + "/\u03C0\u03C1\u03CC\u03B3\u03C1\u03B1\u03BC\u03BC\u03B1.exe.manifest";
    ASSERT_GT(path.size(), std::size_t{MAX_PATH});

    EXPECT_FALSE(save_file(path, "long"));
    std::string content;
    EXPECT_FALSE(read_file(path, content));
    EXPECT_EQ(content, "long");
    EXPECT_EQ(lookup_name(path), "\u03C0\u03C1\u03CC\u03B3\u03C1\u03B1\u03BC\u03BC\u03B1.exe.manifest");
    EXPECT_FALSE(set_attributes(path, 7));
    EXPECT_EQ(attributes_of(path) & kMeaningfulAttributes, 7u);
    EXPECT_EQ(lookup_name(path), "");
    EXPECT_EQ(delete_file(path), win32_error(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(set_attributes(path, 0));
    EXPECT_FALSE(delete_file(path));
    EXPECT_FALSE(path_exists(path));

    // The temporary folder's clean-up cannot reach this deep.
    for (auto it = created.rbegin(); it != created.rend(); ++it) EXPECT_TRUE(RemoveDirectoryW(it->c_str()));
}

// Unix programs, run from a Windows program under Wine: they make and see what Windows calls
// cannot, symbolic links and FIFOs.
class UnixSide {
public:
    UnixSide() {
        const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        unix_name_ = reinterpret_cast<UnixName>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
        dos_name_ = reinterpret_cast<DosName>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "wine_get_dos_file_name")));
    }
    bool available() const { return unix_name_ && dos_name_; }

    // The Unix path of a path of ours.
    std::string path(const std::string& path) const {
        char* name = unix_name_(std::filesystem::u8path(path).wstring().c_str());
        if (!name) return {};
        std::string result = name;
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }

    // Runs a Unix command to its end and returns its exit status, or -1 when it did not run. Wine
    // starts a Unix program but gives no handle to wait on and no exit status, so a shell runs the
    // command and leaves its status in a file, which is waited for.
    int run(const std::vector<std::string>& command) const {
        static int runs = 0;
        const std::string status = (std::filesystem::current_path() /
                                    ("unix-status-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs)))
                                       .u8string();
        WCHAR* shell = dos_name_("/bin/sh");
        if (!shell) return -1;
        const std::wstring application = shell;
        HeapFree(GetProcessHeap(), 0, shell);
        std::wstring command_line = L"sh -c \"\\\"$@\\\"; echo $? > \\\"$0.new\\\" && mv \\\"$0.new\\\" \\\"$0\\\"\"";
        std::vector<std::string> arguments = {path(status)};
        arguments.insert(arguments.end(), command.begin(), command.end());
        for (const std::string& argument : arguments) {
            std::wstring quoted = std::filesystem::u8path(argument).wstring();
            for (std::size_t at = 0; (at = quoted.find(L'"', at)) != std::wstring::npos; at += 2) quoted.insert(at, 1, L'\\');
            command_line += L" \"" + quoted + L"\"";
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return -1;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        for (int waited = 0; waited < 3000 && !path_exists(status); ++waited) Sleep(10);
        const std::string result = read_whole_file(status);
        DeleteFileW(std::filesystem::u8path(status).wstring().c_str());
        return result.empty() ? -1 : std::stoi(result);
    }

    bool make_link(const std::string& target, const std::string& link) const {
        return run({"ln", "-s", target, path(link)}) == 0;
    }
    bool make_fifo(const std::string& where) const { return run({"mkfifo", path(where)}) == 0; }
    bool is_link(const std::string& where) const { return run({"test", "-L", path(where)}) == 0; }
    bool is_fifo(const std::string& where) const { return run({"test", "-p", path(where)}) == 0; }
    void remove(const std::string& where) const { EXPECT_EQ(run({"rm", "-f", path(where)}), 0); }

private:
    using UnixName = char*(CDECL*)(LPCWSTR);
    using DosName = WCHAR*(CDECL*)(LPCSTR);
    UnixName unix_name_ = nullptr;
    DosName dos_name_ = nullptr;
};

// What a link's target looked like, from the target's own path; the directory listing never opens
// it, so a FIFO is looked at too.
struct TargetState {
    bool exists = false;
    DWORD attributes = 0;
    std::uint64_t size = 0;
    std::uint64_t last_write = 0;
    std::string content;                // of a regular file
    std::vector<std::string> names;     // in a folder
    std::string inside;                 // of the file in a folder

    bool operator==(const TargetState& o) const {
        return exists == o.exists && attributes == o.attributes && size == o.size && last_write == o.last_write &&
               content == o.content && names == o.names && inside == o.inside;
    }
};

TargetState state_of(const std::string& path, bool regular) {
    TargetState state;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(std::filesystem::u8path(path).wstring().c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return state;
    FindClose(search);
    state.exists = true;
    state.attributes = found.dwFileAttributes;
    state.size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    state.last_write = ticks(found.ftLastWriteTime);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        state.names = names_in(path);
        state.inside = read_whole_file(path + "/inside");
    } else if (regular) {
        state.content = read_whole_file(path);
    }
    return state;
}

// Under Wine a Unix symbolic link is invisible as such: Windows calls see and change what it leads
// to (DeleteFileW on the link deletes its target) and a dangling one is not there at all. Whatever
// is asked of the link's path, what the link leads to stays as it was; a save replaces the link
// itself by the file and a delete removes the link, where Wine lets them.
TEST(UnixLinks, WhatALinkLeadsToIsNeverReadOrChanged) {
    if (!running_on_wine()) GTEST_SKIP() << "Unix symbolic links are made and seen only under Wine";
    const UnixSide unix_side;
    ASSERT_TRUE(unix_side.available()) << "Wine's wine_get_unix_file_name and wine_get_dos_file_name";

    enum class Target { File, ReadOnlyFile, Nothing, Folder, Fifo };
    enum class After { StillALink, TheNewFile, Nothing };
    struct Case {
        const char* name;
        Target target;
        std::error_code set, save, remove, read, create;
        After after_save, after_delete;  // when they succeed
    };
    const std::error_code none;
    const std::error_code not_supported = win32_error(ERROR_NOT_SUPPORTED);
    const std::error_code not_found = win32_error(ERROR_FILE_NOT_FOUND);
    const std::error_code denied = win32_error(ERROR_ACCESS_DENIED);
    const std::error_code exists = std::make_error_code(std::errc::file_exists);
    const Case cases[] = {
        {"to a hidden system file", Target::File, not_supported, none, none, not_supported, exists, After::TheNewFile,
         After::Nothing},
        {"to a read-only file", Target::ReadOnlyFile, not_supported, none, none, not_supported, exists,
         After::TheNewFile, After::Nothing},
        // Wine does not see a link that leads nowhere; a rename replaces it all the same, but not one
        // that must not replace.
        {"leading nowhere", Target::Nothing, not_found, none, not_found, not_found, exists, After::TheNewFile,
         After::StillALink},
        // Wine refuses to rename anything over a link to a folder or to a FIFO.
        {"to a folder", Target::Folder, not_supported, denied, denied, not_supported, exists, After::StillALink,
         After::StillALink},
        {"to a FIFO", Target::Fifo, not_supported, denied, not_supported, not_supported, exists, After::StillALink,
         After::StillALink},
    };
    struct Operation {
        const char* name;
        std::function<std::error_code(const std::string&)> run;
        std::error_code Case::*expected;
        After Case::*after_success;  // nullptr: the link stays
    };
    const Operation operations[] = {
        {"set attributes", [](const std::string& path) { return set_attributes(path, attribute::kNormal); }, &Case::set,
         nullptr},
        {"save", [](const std::string& path) { return save_file(path, "new"); }, &Case::save, &Case::after_save},
        {"delete", [](const std::string& path) { return delete_file(path); }, &Case::remove, &Case::after_delete},
        {"read",
         [](const std::string& path) {
             std::string content = "unchanged";
             const std::error_code error = read_file(path, content);
             EXPECT_EQ(content, "unchanged");
             return error;
         },
         &Case::read, nullptr},
        {"create", [](const std::string& path) { return create_file(path, "new"); }, &Case::create, nullptr},
    };
    for (const auto& c : cases) {
        for (const Operation& operation : operations) {
            SCOPED_TRACE(std::string(c.name) + ", " + operation.name);
            TempDir dir;
            const std::string target = dir.file("target");
            switch (c.target) {
                case Target::File: ASSERT_FALSE(set_attributes(saved(target, "target\r\n"), 6)); break;
                case Target::ReadOnlyFile: ASSERT_FALSE(set_attributes(saved(target, "read-only"), 7)); break;
                case Target::Nothing: break;
                case Target::Folder:
                    ASSERT_TRUE(std::filesystem::create_directory(target));
                    saved(target + "/inside", "inside");
                    break;
                case Target::Fifo: ASSERT_TRUE(unix_side.make_fifo(target)); break;
            }
            const std::string link = dir.file("app.exe.manifest");
            ASSERT_TRUE(unix_side.make_link("target", link));
            const bool regular = c.target == Target::File || c.target == Target::ReadOnlyFile;
            const TargetState before = state_of(target, regular);

            const std::error_code expected = c.*operation.expected;
            EXPECT_EQ(operation.run(link), expected);

            EXPECT_TRUE(state_of(target, regular) == before) << "what the link leads to changed";
            const After after = operation.after_success && !expected ? c.*operation.after_success : After::StillALink;
            switch (after) {
                case After::StillALink: EXPECT_TRUE(unix_side.is_link(link)); break;
                case After::TheNewFile:
                    EXPECT_FALSE(unix_side.is_link(link));
                    EXPECT_EQ(read_whole_file(link), "new");
                    break;
                case After::Nothing:
                    EXPECT_FALSE(unix_side.is_link(link));
                    EXPECT_FALSE(path_exists(link));
                    break;
            }
            for (const std::string& name : names_in(dir.path()))
                EXPECT_EQ(name.rfind(".vextra-", 0), std::string::npos) << "a temporary left behind";
            // The folder's clean-up can neither see a link that leads nowhere nor delete a FIFO.
            unix_side.remove(link);
            if (c.target == Target::Fifo) unix_side.remove(target);
        }
    }
}

// The system keeps a program's time on the file it runs, so touch through a link sets the time of
// the file the link leads to, and of nothing else; a link leading nowhere, to a folder or to a FIFO
// names no program and is refused.
TEST(UnixLinks, TouchSetsTheTimeOfTheFileALinkLeadsTo) {
    if (!running_on_wine()) GTEST_SKIP() << "Unix symbolic links are made and seen only under Wine";
    const UnixSide unix_side;
    ASSERT_TRUE(unix_side.available());
    TempDir dir;
    const std::string program = saved(dir.file("program.exe"), "MZ");
    set_file_times(program, {test::kLongAgoNs, test::kLongAgoNs});
    ASSERT_TRUE(unix_side.make_link("program.exe", dir.file("link.exe")));
    EXPECT_FALSE(touch(dir.file("link.exe")));
    EXPECT_GT(file_times_of(program).last_write_ns, test::kLongAgoNs);
    EXPECT_EQ(read_whole_file(program), "MZ");

    ASSERT_TRUE(unix_side.make_link("missing.exe", dir.file("nowhere.exe")));
    EXPECT_EQ(touch(dir.file("nowhere.exe")), win32_error(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder")));
    ASSERT_TRUE(unix_side.make_link("folder", dir.file("folder.exe")));
    EXPECT_EQ(touch(dir.file("folder.exe")), win32_error(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(unix_side.make_fifo(dir.file("fifo")));
    ASSERT_TRUE(unix_side.make_link("fifo", dir.file("fifo.exe")));
    EXPECT_TRUE(touch(dir.file("fifo.exe")));  // refused at once, never waiting for a writer
    for (const char* link : {"link.exe", "nowhere.exe", "folder.exe", "fifo.exe"}) unix_side.remove(dir.file(link));
    unix_side.remove(dir.file("fifo"));
}

// A link is an entry of its own: found by its own name and showing a link's attributes, whatever
// it leads to. Wine lists a link to a folder as a folder and does not list one that leads nowhere.
TEST(UnixLinks, AreEntriesOfTheirOwn) {
    if (!running_on_wine()) GTEST_SKIP() << "Unix symbolic links are made and seen only under Wine";
    const UnixSide unix_side;
    ASSERT_TRUE(unix_side.available());
    TempDir dir;
    ASSERT_FALSE(set_attributes(saved(dir.file("hidden"), "h"), 6));
    ASSERT_FALSE(set_attributes(saved(dir.file("read-only"), "r"), 7));
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder")));
    struct Case {
        const char* name;
        const char* target;
        std::string found;
        bool exists;
        unsigned attributes;
    };
    const unsigned link = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE;
    const Case cases[] = {
        {"to a hidden file", "hidden", "to-hidden", true, link},
        {"to a read-only file", "read-only", "to-read-only", true, link},
        {"to a folder", "folder", "", true, FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY},
        {"leading nowhere", "missing", "", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string("to-") + c.target);
        ASSERT_TRUE(unix_side.make_link(c.target, path));
        EXPECT_EQ(lookup_name(path), c.found);
        EXPECT_EQ(path_exists(path), c.exists);
        unsigned attributes = 0;
        EXPECT_EQ(get_attributes(path, attributes), c.exists ? std::error_code() : win32_error(ERROR_FILE_NOT_FOUND));
        if (c.exists) {
            EXPECT_EQ(attributes & (link | FILE_ATTRIBUTE_DIRECTORY), c.attributes);
        }
        unix_side.remove(path);
    }
}

// A FIFO is never read (which could wait for a writer for ever) and takes no attributes.
TEST(UnixFifos, AreNeitherReadNorGivenAttributes) {
    if (!running_on_wine()) GTEST_SKIP() << "Unix FIFOs are made and seen only under Wine";
    const UnixSide unix_side;
    ASSERT_TRUE(unix_side.available());
    TempDir dir;
    const std::string fifo = dir.file("app.exe.manifest");
    ASSERT_TRUE(unix_side.make_fifo(fifo));
    std::string content = "unchanged";
    EXPECT_EQ(read_file(fifo, content), win32_error(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(content, "unchanged");
    EXPECT_EQ(set_attributes(fifo, 7), win32_error(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(delete_file(fifo), win32_error(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(unix_side.is_fifo(fifo));
    EXPECT_TRUE(path_exists(fifo));
    // Wine refuses to rename a file over a FIFO.
    EXPECT_EQ(save_file(fifo, "new"), win32_error(ERROR_ACCESS_DENIED));
    EXPECT_EQ(create_file(fifo, "new"), std::errc::file_exists);
    EXPECT_TRUE(unix_side.is_fifo(fifo));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"}) << "no temporary left behind";
    // The folder's clean-up cannot delete a FIFO.
    unix_side.remove(fifo);
}

// A Unix link or FIFO named like a save's temporary is none: the folder's clean-up leaves it, and
// what the link leads to, as they are.
TEST(UnixLinks, NamedLikeATemporaryAreLeftToThemselves) {
    if (!running_on_wine()) GTEST_SKIP() << "Unix symbolic links and FIFOs are made and seen only under Wine";
    const UnixSide unix_side;
    ASSERT_TRUE(unix_side.available());
    TempDir dir;
    const std::string target = saved(dir.file("target"), "kept");
    const std::string link = dir.file(".vextra-00001234000056780001.tmp");
    const std::string fifo = dir.file(".vextra-00001234000056780002.tmp");
    ASSERT_TRUE(unix_side.make_link("target", link));
    ASSERT_TRUE(unix_side.make_fifo(fifo));

    saved(dir.file("app.exe.manifest"));
    EXPECT_TRUE(unix_side.is_link(link));
    EXPECT_TRUE(unix_side.is_fifo(fifo));
    EXPECT_EQ(read_whole_file(target), "kept");
    unix_side.remove(link);
    unix_side.remove(fifo);
}

// Documents on which Wine's XmlLite stops the program (an assertion, a null pointer) or never
// ends: the check answers them all, on the line where each goes wrong.
TEST(XmlLite, DocumentsThatWinesReaderCannotTakeAreAnswered) {
    struct Case {
        const char* name;
        std::string text;
        const char* answer;  // the start of the answer; "" for a document
    };
    const Case cases[] = {
        {"nothing after the declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "line 1: "},
        {"empty", "", "line 1: "},
        {"root never closed, then a line end", "<assembly>\r\n", "line 2: "},
        {"character zero after the declaration", std::string("<?xml version=\"1.0\"?>\0<a/>", 26), "line 1: "},
        {"character zero in UTF-16", std::string("\xFF\xFE<\0a\0>\0\n\0\0\0<\0/\0a\0>\0", 20), "line 2: "},
        {"an end tag past the root", "<a>\n<b x='1'>t&amp;</b><!--c--></a><?p ![CDATA[z]]></a>", "line 2: "},
        {"white space before the root", "\n\n  <a>  </a>  \n\n", ""},
        {"UTF-16 with its byte order mark", std::string("\xFF\xFE<\0a\0/\0>\0", 10), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string answer = xml_error(c.text);
        EXPECT_EQ(answer.rfind(c.answer, 0), 0u) << answer;
        if (*c.answer) {
            EXPECT_GT(answer.size(), std::string(c.answer).size()) << "says what is wrong";
        } else {
            EXPECT_EQ(answer, "");
        }
    }
}

// Wine words its messages differently from Windows; either way they are the system's own.
TEST(ErrorText, IsTheSystemsOwnWords) {
    struct Case {
        const char* name;
        std::error_code error;
        std::string windows, wine;
    };
    const std::string io_error = std::make_error_code(std::errc::io_error).message();
    const Case cases[] = {
        {"access denied", win32_error(ERROR_ACCESS_DENIED), "Access is denied.", "Access denied."},
        {"file not found", win32_error(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.",
         "File not found."},
        {"path not found", win32_error(ERROR_PATH_NOT_FOUND), "The system cannot find the path specified.",
         "Path not found."},
        {"errno 5 is not ERROR_ACCESS_DENIED", std::make_error_code(std::errc::io_error), io_error, io_error},
    };
    const bool wine = running_on_wine();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(error_text(c.error), wine ? c.wine : c.windows);
    }
}

}  // namespace
}  // namespace vextra::platform
