// SPDX-License-Identifier: MIT
#pragma once
// The file services' cases that Linux and Windows answer alike, run by each system's suite; what
// differs between the systems stays in files_posix_test.cpp and files_win32_test.cpp. Files are
// made by the services themselves, so names outside ASCII are made alike on both systems.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "system_errors.h"
#include "temp_dir.h"
#include "tree_snapshot.h"

namespace vextra::test {

// Archive differs: Windows clears it on a set, Wine and Linux report it on every file. The bits
// the program sets and reads are the others.
inline constexpr unsigned kMeaningfulAttributes = platform::attribute::kReadOnly | platform::attribute::kHidden |
                                                  platform::attribute::kSystem | platform::attribute::kDirectory;

// The attribute sets the program gives and meets: none, each bit alone, and a manifest's.
inline constexpr unsigned kAttributeSets[] = {0, 1, 2, 4, 6, 7};

// A file the program's own save made at `path`.
inline std::string saved(const std::string& path, const std::string& content = "x") {
    EXPECT_FALSE(platform::save_file(path, content)) << path;
    return path;
}

// Whether a service gave the system's error `expected` (one of system_errors.h). On Linux the same
// errno comes in either category: generic from the services' own refusals, system from a call
// that failed.
inline testing::AssertionResult is_error(std::error_code actual, std::error_code expected) {
    if (actual == std::error_condition(expected.value(), expected.category())) return testing::AssertionSuccess();
    return testing::AssertionFailure() << actual << " (" << actual.message() << "), not " << expected << " ("
                                       << expected.message() << ")";
}

inline unsigned attributes_of(const std::string& path) {
    unsigned attributes = 0xFFFF;
    EXPECT_FALSE(platform::get_attributes(path, attributes)) << path;
    return attributes;
}

// Every name in the folder, hidden ones included, in UTF-8 and in order.
inline std::vector<std::string> names_in(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(directory)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

struct LookupCase {
    const char* name;
    std::string path;
    unsigned attributes;  // given to the file first
    std::string expected;
};

// lookup_name on the cases both systems answer alike, then on the system's own `cases` (made in
// `dir`, where the shared cases make app.exe and the folder folder.exe).
inline void expect_lookup_names(const TempDir& dir, std::vector<LookupCase> cases) {
    std::filesystem::create_directory(std::filesystem::u8path(dir.file("folder.exe")));
    const std::string greek = "\u03A0\u03C1\u03CC\u03B3\u03C1\u03B1\u03BC\u03BC\u03B1.exe";
    const std::string cjk = "\u7A0B\u5E8F \U0001F600.exe";
    const std::string spaced = "Mon programme \u00E9t\u00E9.exe";
    const LookupCase alike[] = {
        {"normal", saved(dir.file("app.exe")), 0, "app.exe"},
        {"read-only", saved(dir.file("ro.exe")), 1, "ro.exe"},
        {"hidden", saved(dir.file("hid.exe")), 2, ""},
        {"system", saved(dir.file("sys.exe")), 4, ""},
        {"manifest set", saved(dir.file("all.exe")), 7, ""},
        {"spaces and accents", saved(dir.file(spaced)), 0, spaced},
        {"Greek", saved(dir.file(greek)), 0, greek},
        {"CJK and an emoji", saved(dir.file(cjk)), 0, cjk},
        {"dot segments", dir.file("folder.exe/../app.exe"), 0, "app.exe"},
        {"wildcard matching a file", dir.file("app*.exe"), 0, ""},
        {"single-character wildcard", dir.file("ap?.exe"), 0, ""},
        {"directory", dir.file("folder.exe"), 0, ""},
        {"missing", dir.file("missing.exe"), 0, ""},
        {"missing folder", dir.file("none/app.exe"), 0, ""},
        {"empty path", "", 0, ""},
        {"not UTF-8", dir.file("\xE9.exe"), 0, ""},
    };
    cases.insert(cases.begin(), std::begin(alike), std::end(alike));
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.attributes) {
            ASSERT_FALSE(platform::set_attributes(c.path, c.attributes));
        }
        EXPECT_EQ(platform::lookup_name(c.path), c.expected);
    }
}

// Every attribute set can follow every other. On Linux an ordinary user may set user.* attributes
// only on a file they may write, so there the order of the steps decides whether hidden and
// system are stored at all; root passes either way.
inline void expect_every_attribute_transition() {
    TempDir dir;
    for (unsigned from : kAttributeSets) {
        for (unsigned to : kAttributeSets) {
            SCOPED_TRACE("from " + std::to_string(from) + " to " + std::to_string(to));
            const std::string path = saved(dir.file("f" + std::to_string(from) + std::to_string(to)));
            ASSERT_FALSE(platform::set_attributes(path, from));
            ASSERT_FALSE(platform::set_attributes(path, to));
            EXPECT_EQ(attributes_of(path) & kMeaningfulAttributes, to);
        }
    }
}

inline void expect_missing_entries_refused_and_folders_marked() {
    TempDir dir;
    EXPECT_TRUE(is_error(platform::set_attributes(dir.file("missing"), 7), kFileNotFound));
    EXPECT_FALSE(platform::path_exists(dir.file("missing")));
    unsigned attributes = 0;
    EXPECT_TRUE(is_error(platform::get_attributes(dir.file("missing/file"), attributes), kPathNotFound));
    EXPECT_EQ(attributes_of(dir.path()) & kMeaningfulAttributes, platform::attribute::kDirectory);
}

// As Windows does: a read-only file is refused, a hidden and system one deleted.
inline void expect_delete_refuses_read_only_files_only() {
    TempDir dir;
    const std::string read_only = saved(dir.file("ro"));
    ASSERT_FALSE(platform::set_attributes(read_only, 7));
    EXPECT_TRUE(is_error(platform::delete_file(read_only), kAccessDenied));
    EXPECT_TRUE(platform::path_exists(read_only));

    const std::string hidden = saved(dir.file("hidden"));
    ASSERT_FALSE(platform::set_attributes(hidden, 6));
    EXPECT_TRUE(platform::path_exists(hidden));
    EXPECT_FALSE(platform::delete_file(hidden));
    EXPECT_FALSE(platform::path_exists(hidden));

    EXPECT_TRUE(is_error(platform::delete_file(dir.file("missing")), kFileNotFound));
}

// A save makes a visible file whole, replaces one (hidden and system too, when not read-only) and
// leaves no temporary.
inline void expect_saves_create_and_replace_whole_files() {
    TempDir dir;
    const std::string path = dir.file("app.exe.manifest");
    ASSERT_FALSE(platform::save_file(path, "first\r\n"));
    EXPECT_EQ(read_whole_file(path), "first\r\n");
    EXPECT_EQ(platform::lookup_name(path), "app.exe.manifest");
    ASSERT_FALSE(platform::save_file(path, "second"));
    EXPECT_EQ(read_whole_file(path), "second");
    EXPECT_EQ(attributes_of(path) & kMeaningfulAttributes, 0u);

    ASSERT_FALSE(platform::set_attributes(path, 6));
    ASSERT_FALSE(platform::save_file(path, "third"));
    EXPECT_EQ(read_whole_file(path), "third");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"});
}

// A refused save changes nothing and leaves nothing; `folder_refusal` is the system's answer to a
// save over a folder.
inline void expect_refused_saves_touch_nothing(std::error_code folder_refusal) {
    TempDir dir;
    std::filesystem::create_directory(std::filesystem::u8path(dir.file("folder")));
    const std::string read_only = saved(dir.file("ro.manifest"), "old");
    ASSERT_FALSE(platform::set_attributes(read_only, 7));
    struct Case {
        const char* name;
        std::string path;
        std::error_code expected;
    };
    const Case cases[] = {
        {"read-only manifest", read_only, kAccessDenied},
        {"folder", dir.file("folder"), folder_refusal},
        {"missing folder", dir.file("missing/app.exe.manifest"), kPathNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(is_error(platform::save_file(c.path, "new"), c.expected));
    }
    EXPECT_EQ(read_whole_file(read_only), "old");
    EXPECT_EQ(attributes_of(read_only) & kMeaningfulAttributes, 7u);
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"folder", "ro.manifest"}));
}

// Bytes come back exactly; a file larger than the limit is refused unread, a missing one reported,
// and the content given is left as it was.
inline void expect_reads_exact_and_limited() {
    TempDir dir;
    const std::string bytes("a\r\n\0\xFF", 5);
    std::string content = "unchanged";
    ASSERT_FALSE(platform::read_file(saved(dir.file("f"), bytes), content));
    EXPECT_EQ(content, bytes);
    content = "unchanged";
    EXPECT_TRUE(is_error(platform::read_file(dir.file("missing"), content), kFileNotFound));
    EXPECT_EQ(content, "unchanged");

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
    const std::string path = saved(dir.file("five"), "12345");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        content = "unchanged";
        EXPECT_EQ(platform::read_file(path, content, c.limit), c.expected);
        EXPECT_EQ(content, c.expected ? "unchanged" : "12345");
    }
    EXPECT_FALSE(platform::error_text(too_large).empty());
}

// create_file makes a visible file holding exactly the content, and nothing else.
inline void expect_create_makes_a_visible_file_alone() {
    TempDir dir;
    const std::string path = dir.file("app.exe.manifest");
    const std::string content("<assembly/>\r\n\0\xFF", 15);
    ASSERT_FALSE(platform::create_file(path, content));
    EXPECT_EQ(read_whole_file(path), content);
    EXPECT_EQ(platform::lookup_name(path), "app.exe.manifest");
    EXPECT_EQ(attributes_of(path) & kMeaningfulAttributes, 0u);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"app.exe.manifest"});
}

// What may stand at the path of a new file; `make` puts it at the path given.
struct EntryAtPath {
    const char* name;
    std::function<void(const std::string& path)> make;
};

// The entries both systems make alike.
inline std::vector<EntryAtPath> entries_made_alike() {
    const auto file_with = [](const char* content, unsigned attributes) {
        return [content, attributes](const std::string& path) {
            ASSERT_FALSE(platform::set_attributes(saved(path, content), attributes));
        };
    };
    return {
        {"a file", file_with("another program's", 0)},
        {"an empty file", file_with("", 0)},
        {"a read-only file", file_with("theirs", 1)},
        {"a hidden, system file", file_with("theirs", 6)},
        {"a folder", [](const std::string& path) { ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(path))); }},
    };
}

// create_file over each entry, each in a folder of its own, is refused as "file exists" and
// leaves the folder's tree as it was: nothing replaced, followed or left behind.
inline void expect_create_leaves_each_entry_as_it_is(const std::vector<EntryAtPath>& entries) {
    for (const EntryAtPath& entry : entries) {
        SCOPED_TRACE(entry.name);
        TempDir dir;
        const std::string path = dir.file("app.exe.manifest");
        entry.make(path);
        const Tree before = tree_of(dir.path());
        EXPECT_EQ(platform::create_file(path, "<assembly/>"), std::errc::file_exists);
        EXPECT_EQ(tree_of(dir.path()), before);
    }
    TempDir dir;
    EXPECT_TRUE(is_error(platform::create_file(dir.file("missing/app.exe.manifest"), "x"), kPathNotFound));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{});
}

// A file's last-access and last-write times, in nanoseconds since 1970.
struct FileTimes {
    std::int64_t last_access_ns = 0;
    std::int64_t last_write_ns = 0;
};

// 2001-01-01.
inline constexpr std::int64_t kLongAgoNs = 978307200'000000000;

// touch sets the last-write time to now and leaves the last-access time, the attributes and the
// content as they were, a read-only file's too. `times_of` and `set_times` are the system's own.
//
// A read moves an access time that is older than the file's last write or change, or than a day
// (Linux's relatime), and under Wine even a look at a file's type reads its first bytes. So the
// access time given is an hour ahead, later than both: no read moves it, only a touch that sets it.
inline void expect_touch_renews_the_last_write_time_alone(FileTimes (*times_of)(const std::string&),
                                                         void (*set_times)(const std::string&, FileTimes)) {
    TempDir dir;
    const std::string path = saved(dir.file("app.exe"), "MZ");
    ASSERT_FALSE(platform::set_attributes(path, 7));
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    // In whole seconds, which every system's times hold.
    const FileTimes before{(now / 1'000'000'000 + 3600) * 1'000'000'000, kLongAgoNs};
    set_times(path, before);

    EXPECT_FALSE(platform::touch(path));
    const FileTimes after = times_of(path);
    EXPECT_LT(std::abs(after.last_write_ns - now), std::int64_t{60'000'000'000}) << "within a minute of now";
    EXPECT_EQ(after.last_access_ns, before.last_access_ns);
    EXPECT_EQ(attributes_of(path) & kMeaningfulAttributes, 7u);
    EXPECT_EQ(read_whole_file(path), "MZ");
    EXPECT_TRUE(is_error(platform::touch(dir.file("missing.exe")), kFileNotFound));
}

}  // namespace vextra::test
