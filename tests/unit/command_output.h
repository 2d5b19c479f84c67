// SPDX-License-Identifier: MIT
#pragma once
// What a shell command line prints on its standard output; the test fails when the command ends
// with another status than 0.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vextra::test {

inline std::string command_output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buffer[512];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

}  // namespace vextra::test
