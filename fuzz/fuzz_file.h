// SPDX-License-Identifier: MIT
#pragma once
// A regular file that a fuzz target rewrites with each input, for code that reads files by path.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace vextra::fuzz {

class ScratchFile {
public:
    ScratchFile() {
        const char* folder = std::getenv("TMPDIR");
        path_ = std::string(folder && *folder ? folder : "/tmp") + "/vextra-fuzz-XXXXXX";
        const int fd = mkstemp(path_.data());
        if (fd < 0) std::abort();
        close(fd);
    }
    ~ScratchFile() { unlink(path_.c_str()); }

    const std::string& write(std::string_view content) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (!file) std::abort();
        const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
        if (std::fclose(file) != 0 || !written) std::abort();
        return path_;
    }

private:
    std::string path_;
};

}  // namespace vextra::fuzz
