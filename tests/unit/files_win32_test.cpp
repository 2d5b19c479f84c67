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

#include "platform/xml.h"
#include "saves_sweep_once.h"
#include "temp_dir.h"

namespace vextra::platform {
namespace {

using test::read_whole_file;
using test::TempDir;
using test::WorkingDirectory;

std::error_code win32_error(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

// Archive and "normal" differ between Windows (which clears archive on a set) and Wine (which
// always reports it); the bits the program sets and reads are the others.
constexpr unsigned kMeaningful = attribute::kReadOnly | attribute::kHidden | attribute::kSystem |
                                 FILE_ATTRIBUTE_DIRECTORY;

unsigned attributes_of(const std::string& path) {
    unsigned attributes = 0xFFFF;
    EXPECT_FALSE(get_attributes(path, attributes)) << path;
    return attributes;
}

// Every name in the folder, hidden ones included, in UTF-8.
std::vector<std::string> names_in(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(directory)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string saved(const std::string& path, const std::string& content = "x") {
    EXPECT_FALSE(save_file(path, content)) << path;
    return path;
}

bool running_on_wine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(FileAttributes, ReadBackAsSet) {
    const unsigned values[] = {0, 1, 2, 4, 6, 7};
    TempDir dir;
    const std::string path = saved(dir.file("app.exe.manifest"));
    for (const unsigned value : values) {
        SCOPED_TRACE(value);
        ASSERT_FALSE(set_attributes(path, value));
        EXPECT_EQ(attributes_of(path) & kMeaningful, value);
    }
    ASSERT_FALSE(set_attributes(path, 7));
    EXPECT_EQ(attributes_of(path), 0x27u) << "Wine reports archive on every file";
}

TEST(FileAttributes, MissingFilesAndFolders) {
    TempDir dir;
    EXPECT_EQ(set_attributes(dir.file("missing"), 7), win32_error(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(path_exists(dir.file("missing")));
    unsigned attributes = 0;
    EXPECT_EQ(get_attributes(dir.file("missing/file"), attributes), win32_error(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(attributes_of(dir.path()) & kMeaningful, unsigned{FILE_ATTRIBUTE_DIRECTORY});
}

TEST(LookupName, FindsOnlyVisibleFilesByTheirStoredName) {
    TempDir dir;
    std::filesystem::create_directory(std::filesystem::u8path(dir.file("folder.exe")));
    saved(dir.file("Mixed.exe"));
    struct Case {
        const char* name;
        std::string path;
        unsigned attributes;
        std::string expected;
    };
    const Case cases[] = {
        {"normal", saved(dir.file("app.exe")), 0, "app.exe"},
        {"read-only", saved(dir.file("ro.exe")), 1, "ro.exe"},
        {"hidden", saved(dir.file("hid.exe")), 2, ""},
        {"system", saved(dir.file("sys.exe")), 4, ""},
        {"manifest set", saved(dir.file("all.exe")), 7, ""},
        {"other case asked", dir.file("MIXED.EXE"), 0, "Mixed.exe"},
        {"backslashes", dir.path() + "\\app.exe", 0, "app.exe"},
        {"dot segments", dir.file("folder.exe/../app.exe"), 0, "app.exe"},
        {"Greek", saved(dir.file("\u03A0\u03C1\u03CC\u03B3\u03C1\u03B1\u03BC\u03BC\u03B1.exe")), 0,
         "\u03A0\u03C1\u03CC\u03B3\u03C1\u03B1\u03BC\u03BC\u03B1.exe"},
        {"CJK and an emoji", saved(dir.file("\u7A0B\u5E8F \U0001F600.exe")), 0, "\u7A0B\u5E8F \U0001F600.exe"},
        {"wildcard matching a file", dir.file("app*.exe"), 0, ""},
        {"single-character wildcard", dir.file("ap?.exe"), 0, ""},
        {"directory", dir.file("folder.exe"), 0, ""},
        {"missing", dir.file("missing.exe"), 0, ""},
        {"missing folder", dir.file("none/app.exe"), 0, ""},
        {"empty path", "", 0, ""},
        {"not UTF-8", dir.file("\xE9.exe"), 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.attributes) {
            ASSERT_FALSE(set_attributes(c.path, c.attributes));
        }
        EXPECT_EQ(lookup_name(c.path), c.expected);
    }
}

TEST(DeleteFile, RefusesReadOnlyFilesAndDeletesHiddenOnes) {
    TempDir dir;
    const std::string read_only = saved(dir.file("ro"));
    ASSERT_FALSE(set_attributes(read_only, 7));
    EXPECT_EQ(delete_file(read_only), win32_error(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(path_exists(read_only));

    const std::string hidden = saved(dir.file("hidden"));
    ASSERT_FALSE(set_attributes(hidden, 6));
    EXPECT_TRUE(path_exists(hidden));
    EXPECT_FALSE(delete_file(hidden));
    EXPECT_FALSE(path_exists(hidden));

    EXPECT_EQ(delete_file(dir.file("missing")), win32_error(ERROR_FILE_NOT_FOUND));
}

TEST(SaveFile, CreatesAndReplacesWholeVisibleFilesLeavingNoTemporaries) {
    TempDir dir;
    const std::string path = dir.file("app.exe.manifest");
    ASSERT_FALSE(save_file(path, "first\r\n"));
    EXPECT_EQ(read_whole_file(path), "first\r\n");
    EXPECT_EQ(lookup_name(path), "app.exe.manifest");
    ASSERT_FALSE(save_file(path, "second"));
    EXPECT_EQ(read_whole_file(path), "second");
    EXPECT_EQ(attributes_of(path) & kMeaningful, 0u);

    // A hidden, system manifest (not read-only) is replaced like any other file.
    ASSERT_FALSE(set_attributes(path, 6));
    ASSERT_FALSE(save_file(path, "third"));
    EXPECT_EQ(read_whole_file(path), "third");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"});
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

TEST(NewFile, MakesAVisibleNewFileAndNothingElse) {
    TempDir dir;
    const std::string path = dir.file("app.exe.manifest");
    const std::string content("<assembly/>\r\n\0\xFF", 15);
    ASSERT_FALSE(create_file(path, content));
    EXPECT_EQ(read_whole_file(path), content);
    EXPECT_EQ(lookup_name(path), "app.exe.manifest");
    EXPECT_EQ(attributes_of(path) & kMeaningful, 0u);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"});
}

// Whatever is at the path keeps its content and attributes, and nothing appears in the folder.
TEST(NewFile, NeverReplacesWhatIsThere) {
    TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(dir.file("folder.manifest"))));
    struct Case {
        const char* name;
        std::string path;
        unsigned attributes;
    };
    const Case cases[] = {
        {"a file", saved(dir.file("file.manifest"), "theirs"), 0},
        {"an empty file", saved(dir.file("empty.manifest"), ""), 0},
        {"a read-only file", saved(dir.file("ro.manifest"), "theirs"), 1},
        {"a hidden, system file", saved(dir.file("hidden.manifest"), "theirs"), 6},
        {"a folder", dir.file("folder.manifest"), FILE_ATTRIBUTE_DIRECTORY},
    };
    for (const Case& c : cases) {
        if (c.attributes != FILE_ATTRIBUTE_DIRECTORY) {
            ASSERT_FALSE(set_attributes(c.path, c.attributes));
        }
    }
    const std::vector<std::string> names = names_in(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string content = c.attributes == FILE_ATTRIBUTE_DIRECTORY ? "" : read_whole_file(c.path);
        EXPECT_EQ(create_file(c.path, "<assembly/>"), std::errc::file_exists);
        EXPECT_EQ(attributes_of(c.path) & kMeaningful, c.attributes);
        EXPECT_EQ(c.attributes == FILE_ATTRIBUTE_DIRECTORY ? "" : read_whole_file(c.path), content);
    }
    EXPECT_EQ(names_in(dir.path()), names);
    EXPECT_EQ(create_file(dir.file("missing/app.exe.manifest"), "x"), win32_error(ERROR_PATH_NOT_FOUND));
}

// A batch of saves in one folder lists it once (see save_file).
TEST(Saves, ClearTheirFolderOfKilledSavesTemporariesOnceAProcess) {
    test::expect_saves_clear_a_folder_once(".vextra-00001234000056780001.tmp", ".vextra-00001234000056780002.tmp");
}

TEST(SaveFile, FailsWithoutTouchingTheTarget) {
    TempDir dir;
    std::filesystem::create_directory(std::filesystem::u8path(dir.file("folder")));
    const std::string read_only = saved(dir.file("ro.manifest"), "old");
    ASSERT_FALSE(set_attributes(read_only, 7));
    struct Case {
        const char* name;
        std::string path;
        std::error_code expected;
    };
    const Case cases[] = {
        {"read-only manifest", read_only, win32_error(ERROR_ACCESS_DENIED)},
        {"folder", dir.file("folder"), win32_error(ERROR_ACCESS_DENIED)},
        {"missing folder", dir.file("missing/app.exe.manifest"), win32_error(ERROR_PATH_NOT_FOUND)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(save_file(c.path, "new"), c.expected);
    }
    EXPECT_EQ(read_whole_file(read_only), "old");
    EXPECT_EQ(attributes_of(read_only) & kMeaningful, 7u);
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"folder", "ro.manifest"}));
}

TEST(ReadFile, ReadsBytesExactlyAndReportsMissingFiles) {
    TempDir dir;
    const std::string bytes("a\r\n\0\xFF", 5);
    std::string content = "unchanged";
    ASSERT_FALSE(read_file(saved(dir.file("f"), bytes), content));
    EXPECT_EQ(content, bytes);
    content = "unchanged";
    EXPECT_EQ(read_file(dir.file("missing"), content), win32_error(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(content, "unchanged");
}

// A file is read whole up to the limit; one larger is refused unread.
TEST(ReadFile, RefusesFilesLargerThanTheLimit) {
    TempDir dir;
    const std::string path = saved(dir.file("f"), "12345");
    struct Case {
        const char* name;
        std::uint64_t limit;
        std::error_code expected;
    };
    const std::error_code too_large = std::make_error_code(std::errc::file_too_large);
    const Case cases[] = {
        {"limit above the size", 6, {}},
        {"limit at the size", 5, {}},
        {"limit one below", 4, too_large},
        {"no byte allowed", 0, too_large},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string content = "unchanged";
        EXPECT_EQ(read_file(path, content, c.limit), c.expected);
        EXPECT_EQ(content, c.expected ? "unchanged" : "12345");
    }
    EXPECT_FALSE(error_text(too_large).empty());
}

FILETIME last_write_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(std::filesystem::u8path(path).wstring().c_str(), GetFileExInfoStandard, &data));
    return data.ftLastWriteTime;
}

std::uint64_t ticks(FILETIME time) { return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

// Sets the file's last-write time to 2000-01-01.
void set_long_ago(const std::string& path) {
    const HANDLE file = CreateFileW(std::filesystem::u8path(path).wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const FILETIME long_ago{0xD53E8000, 0x01BF53EB};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &long_ago));
    CloseHandle(file);
}

TEST(Touch, RenewsTheLastWriteTimeOfAReadOnlyFileAndNothingElse) {
    TempDir dir;
    const std::string path = saved(dir.file("app.exe"), "MZ");
    set_long_ago(path);
    ASSERT_FALSE(set_attributes(path, 7));
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);

    EXPECT_FALSE(touch(path));
    const std::uint64_t renewed = ticks(last_write_of(path));
    EXPECT_LT(renewed > ticks(now) ? renewed - ticks(now) : ticks(now) - renewed, 600'000'000u) << "within a minute";
    EXPECT_EQ(attributes_of(path) & kMeaningful, 7u);
    EXPECT_EQ(read_whole_file(path), "MZ");
    EXPECT_EQ(touch(dir.file("missing.exe")), win32_error(ERROR_FILE_NOT_FOUND));
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
    EXPECT_EQ(attributes_of(path) & kMeaningful, 7u);
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
    set_long_ago(program);
    const std::uint64_t before = ticks(last_write_of(program));
    ASSERT_TRUE(unix_side.make_link("program.exe", dir.file("link.exe")));
    EXPECT_FALSE(touch(dir.file("link.exe")));
    EXPECT_GT(ticks(last_write_of(program)), before);
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
