// SPDX-License-Identifier: MIT
#pragma once
// A fresh directory for one test, removed with everything in it afterwards. It is made inside the
// working directory (the build tree), whose file system keeps extended attributes.

#include <filesystem>
#include <string>

namespace vextra::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes `content` to `name` inside the directory and returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// Runs the enclosing scope with another working directory.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();

private:
    std::filesystem::path previous_;
};

std::string read_whole_file(const std::string& path);

}  // namespace vextra::test
