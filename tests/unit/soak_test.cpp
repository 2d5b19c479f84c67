// SPDX-License-Identifier: MIT
// A long random session on a tree of real files: thousands of drops, Enables and Disables with
// random answers. Afterwards nothing but the manifests beside the dropped programs and those
// programs' last-write times may differ, and every manifest is whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "form1_fixture.h"

namespace vextra::ui {
namespace {

using platform::answer::kNo;
using platform::answer::kYes;
using test::Form1Test;
using test::kManifestText;
using test::read_whole_file;

// What can be seen of one entry, the link itself for a link.
struct Entry {
    std::string kind;  // "file", "folder", "link"
    mode_t mode = 0;
    std::string content;  // a file's content, a link's target
    std::string dos_attrib;
    std::int64_t mtime_ns = 0;
};

bool operator==(const Entry& a, const Entry& b) {
    return a.kind == b.kind && a.mode == b.mode && a.content == b.content && a.dos_attrib == b.dos_attrib &&
           a.mtime_ns == b.mtime_ns;
}

std::map<std::string, Entry> tree_of(const std::string& root) {
    std::map<std::string, Entry> tree;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string path = item.path().string();
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) continue;
        Entry entry;
        entry.mode = st.st_mode & 07777;
        entry.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (S_ISLNK(st.st_mode)) {
            entry.kind = "link";
            entry.content = std::filesystem::read_symlink(path).string();
        } else if (S_ISDIR(st.st_mode)) {
            entry.kind = "folder";
            entry.mtime_ns = 0;  // a folder's time moves with any manifest in it
        } else {
            entry.kind = "file";
            if (st.st_mode & S_IRUSR) entry.content = read_whole_file(path);
        }
        char value[64];
        const ssize_t length = lgetxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
        if (length > 0) entry.dos_attrib.assign(value, static_cast<std::size_t>(length));
        tree[path.substr(root.size())] = entry;
    }
    return tree;
}

TEST_F(Form1Test, ThreeThousandRandomStepsChangeOnlyTheManifestsOfDroppedPrograms) {
    start();
    // Programs, a program with a manifest of its own, a manifest already there (read-only), links,
    // a folder named like a program, files that are no programs, and names that do not exist.
    const std::string own = std::string(VEXTRA_PE_FIXTURES) + "/x86_64/visual-styles.exe";
    std::vector<std::string> drops = {app("a.exe"), app("B.EXE"), app("c.exe"), app("d.exe"), app("notes.txt")};
    apps_.write("own.exe", read_whole_file(own));
    drops.push_back(apps_.file("own.exe"));
    apps_.write("c.exe.manifest", "<old/>");
    ASSERT_FALSE(platform::set_attributes(apps_.file("c.exe.manifest"), platform::attribute::kReadOnly));
    std::filesystem::create_symlink(apps_.file("a.exe"), apps_.file("link.exe"));
    std::filesystem::create_directory(apps_.file("folder.exe"));
    std::filesystem::create_directory(apps_.file("sub"));
    drops.push_back(apps_.write("sub/e.exe", "MZ"));
    drops.push_back(apps_.file("link.exe"));
    drops.push_back(apps_.file("missing.exe"));
    const std::map<std::string, Entry> before = tree_of(apps_.path());

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::set<std::string> dropped;
    int enables = 0, disables = 0;
    for (int step = 0; step < 3000; ++step) {
        view_.answers = {random() % 2 ? kYes : kNo};
        switch (random() % 3) {
            case 0: {
                const std::string& path = drops[random() % drops.size()];
                form_->drop(Control::Label1, path);
                if (form_->exelink() == path) dropped.insert(path);
                break;
            }
            case 1: form_->click(Control::Label2); ++enables; break;
            default: form_->click(Control::Label3); ++disables; break;
        }
    }

    const std::map<std::string, Entry> after = tree_of(apps_.path());
    std::set<std::string> names;
    for (const auto& [name, entry] : before) names.insert(name);
    for (const auto& [name, entry] : after) names.insert(name);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto was = before.find(name), is = after.find(name);
        const std::string path = apps_.path() + name;
        const bool is_manifest = name.size() > 9 && name.substr(name.size() - 9) == ".manifest";
        if (is_manifest && dropped.count(path.substr(0, path.size() - 9))) {
            // A dropped program's manifest: absent, as it was, or the whole template text.
            if (is != after.end() && !(was != before.end() && was->second == is->second)) {
                EXPECT_EQ(is->second.kind, "file");
                EXPECT_EQ(is->second.content, kManifestText);
            }
            continue;
        }
        ASSERT_TRUE(was != before.end() && is != after.end()) << "appeared or went";
        Entry expected = was->second;
        if (dropped.count(path)) expected.mtime_ns = is->second.mtime_ns;  // renewed by a change
        EXPECT_EQ(is->second, expected);
    }
    EXPECT_GT(dropped.size(), 4u);
    std::printf("soak: %zu programs dropped, %d Enables, %d Disables\n", dropped.size(), enables, disables);
}

}  // namespace
}  // namespace vextra::ui
