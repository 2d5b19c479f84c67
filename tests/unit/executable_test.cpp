// SPDX-License-Identifier: MIT
// A program's own manifest, as our own bounded reader finds it on both systems (Windows' loader
// maps a damaged program's resources without checking them against the file, and reading them
// crashes): the same table of executables made with MinGW, sound and damaged, on both builds.
#include "platform/executable.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace vextra::platform {
namespace {

using test::read_whole_file;

TEST(EmbeddedManifest, IsFoundAsTheLoaderFindsIt) {
    const std::string styles = read_whole_file(VEXTRA_PE_SOURCES "/visual-styles.manifest");
    const std::string trust = read_whole_file(VEXTRA_PE_SOURCES "/trust-info.manifest");
    ASSERT_FALSE(styles.empty());
    ASSERT_FALSE(trust.empty());
    struct Case {
        const char* file;
        std::optional<std::string> manifest;
    };
    const Case cases[] = {
        {"plain.exe", std::nullopt},
        {"visual-styles.exe", styles},
        {"trust-info.exe", trust},
        {"other-id.exe", std::nullopt},  // only id 1 is the manifest a program starts with
        {"truncated.exe", std::nullopt},
        {"looping.exe", std::nullopt},
        {"self-looping.exe", std::nullopt},
        {"past-the-end.exe", std::nullopt},
        {"huge-size.exe", std::nullopt},
        {"not-a-program.exe", std::nullopt},
        {"missing.exe", std::nullopt},
        // Laid out in ways the loader accepts: the manifest is where the loader maps it.
        {"long-raw-data.exe", styles},  // an earlier section's raw data reaches past the resources' start
        {"short-directory-size.exe", styles},  // the loader never looks at the resource directory's size
        {"unaligned-raw-pointer.exe", styles},  // raw data is read from the start of its sector
        {"short-virtual-size.exe", styles},  // a section's last page is mapped whole
        {"zero-virtual-size.exe", styles},  // no size in memory: the raw data's size stands for it
        {"overlaid-resources.exe", std::nullopt},  // a later section mapped over the resources wins
    };
    for (const char* arch : {"i686", "x86_64"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(arch) + "/" + c.file);
            EXPECT_EQ(embedded_manifest(std::string(VEXTRA_PE_FIXTURES) + "/" + arch + "/" + c.file), c.manifest);
        }
    }
}

}  // namespace
}  // namespace vextra::platform
