// SPDX-License-Identifier: MIT
// Our own reader of Windows executables' resources on damaged input: whatever the bytes, it reads
// a bounded number of times within the file and finds either nothing or a resource within bounds.
#include "formats/pe_resources.h"

#include <gtest/gtest.h>

#include <random>

#include "temp_dir.h"

namespace vextra::formats {
namespace {

constexpr std::size_t kLimit = 1u << 20;

struct Reading {
    std::optional<std::string> resource;
    int reads = 0;
};

Reading read_manifest(const std::string& file) {
    Reading reading;
    const ReadAt read_at = [&](std::uint64_t offset, std::size_t size, std::string& out) {
        ++reading.reads;
        EXPECT_LE(offset + size, file.size()) << "read past the end";
        if (offset + size > file.size()) return false;
        out.assign(file, static_cast<std::size_t>(offset), size);
        return true;
    };
    reading.resource = find_pe_resource(read_at, file.size(), kManifestResourceType, kProcessManifestId, kLimit);
    return reading;
}

// Random damage to the headers and to the end of the file, where the resources lie: single bytes,
// and 32-bit fields set to the values that break careless arithmetic.
TEST(PeResources, RandomDamageIsReadWithinBounds) {
    const std::string sound = test::read_whole_file(VEXTRA_PE_FIXTURES "/x86_64/visual-styles.exe");
    const std::string manifest = test::read_whole_file(VEXTRA_PE_SOURCES "/visual-styles.manifest");
    ASSERT_EQ(read_manifest(sound).resource, manifest);
    static constexpr std::uint32_t kExtremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF};
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<int> count(1, 8);
    std::uniform_int_distribution<std::size_t> head(0, 1023);
    std::uniform_int_distribution<std::size_t> tail(sound.size() - 2048, sound.size() - 5);
    int found = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string file = sound;
        for (int n = count(rng); n > 0; --n) {
            const std::size_t at = rng() % 2 ? head(rng) : tail(rng);
            if (rng() % 2) {
                file[at] = static_cast<char>(rng());
            } else {
                const std::uint32_t value = kExtremes[rng() % std::size(kExtremes)];
                for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
            }
        }
        if (rng() % 16 == 0) file.resize(rng() % file.size());
        const Reading reading = read_manifest(file);
        ASSERT_LE(reading.reads, 12) << "round " << round;
        if (!reading.resource) continue;
        ++found;
        ASSERT_LE(reading.resource->size(), kLimit);
    }
    EXPECT_GT(found, 1000);  // damage that spares the path to the manifest still finds it
}

}  // namespace
}  // namespace vextra::formats
