// The Windows file services against Windows' own rules, on real files: attributes, names outside
// the ANSI code page, paths longer than MAX_PATH, and the refusals a read-only manifest must give.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <vector>

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

// Wine words its messages differently from Windows; either way they are the system's own.
bool running_on_wine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

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
