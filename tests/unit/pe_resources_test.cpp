// SPDX-License-Identifier: MIT
// Our own reader of Windows executables' resources on damaged input: whatever the bytes, it reads
// a bounded number of times within the file and finds either nothing or a resource within bounds.
#include "formats/pe_resources.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

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

std::uint32_t get32(const std::string& file, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(file[at + i]);
    return value;
}

void put32(std::string& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
}

// Where a sound image's headers keep what the layout changes below change.
struct Layout {
    std::size_t resource_size_field;  // the resource directory's size in the data directories
    std::uint32_t resource_rva;
    struct Section {
        std::size_t header;
        std::uint32_t address;
        std::uint32_t raw_offset;
    };
    std::vector<Section> before_resources;  // sections with raw data at lower addresses
};

Layout layout_of(const std::string& image) {
    const std::size_t pe = get32(image, 0x3C);
    const std::size_t optional = pe + 24;
    const std::size_t directories = optional + (get32(image, optional) % 0x10000 == 0x20B ? 112 : 96);
    Layout layout{directories + 2 * 8 + 4, get32(image, directories + 2 * 8), {}};
    const std::size_t table = optional + get32(image, pe + 20) % 0x10000;
    for (std::size_t i = 0; i < get32(image, pe + 6) % 0x10000; ++i) {
        const std::size_t header = table + 40 * i;
        if (get32(image, header + 12) < layout.resource_rva && get32(image, header + 20) != 0)
            layout.before_resources.push_back({header, get32(image, header + 12), get32(image, header + 20)});
    }
    return layout;
}

// Random damage to the headers and to the end of the file, where the resources lie: single bytes,
// and 32-bit fields set to the values that break careless arithmetic. Before it, some rounds lay
// the image out as the loader still accepts: an earlier section's raw data made to reach past the
// resources' start (the file padded to hold it), and the resource directory's size made smaller
// than its tree. The loader finds the manifest all the same, and so must we.
TEST(PeResources, RandomDamageIsReadWithinBounds) {
    const std::string sound = test::read_whole_file(VEXTRA_PE_FIXTURES "/x86_64/visual-styles.exe");
    const std::string manifest = test::read_whole_file(VEXTRA_PE_SOURCES "/visual-styles.manifest");
    ASSERT_EQ(read_manifest(sound).resource, manifest);
    const Layout layout = layout_of(sound);
    ASSERT_FALSE(layout.before_resources.empty());
    const std::uint32_t tree_size = get32(sound, layout.resource_size_field);
    static constexpr std::uint32_t kExtremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF};
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<int> count(0, 8);
    std::uniform_int_distribution<std::size_t> head(0, 1023);
    std::uniform_int_distribution<std::size_t> tail(sound.size() - 2048, sound.size() - 5);
    int found = 0;
    int laid_out_sound = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string file = sound;
        if (rng() % 3 == 0) {
            const auto& section = layout.before_resources[rng() % layout.before_resources.size()];
            const std::uint32_t raw_size = layout.resource_rva - section.address + 1 + rng() % 0x2000;
            put32(file, section.header + 16, raw_size);
            if (file.size() < std::size_t{section.raw_offset} + raw_size) file.resize(section.raw_offset + raw_size);
        }
        if (rng() % 3 == 0) put32(file, layout.resource_size_field, rng() % tree_size);
        const int damage = count(rng);
        for (int n = damage; n > 0; --n) {
            const std::size_t at = rng() % 2 ? head(rng) : tail(rng);
            if (rng() % 2)
                file[at] = static_cast<char>(rng());
            else
                put32(file, at, kExtremes[rng() % std::size(kExtremes)]);
        }
        const bool truncated = rng() % 16 == 0;
        if (truncated) file.resize(rng() % file.size());
        const Reading reading = read_manifest(file);
        // Four reads of the headers and eight of the image, each in one piece per mapping it
        // crosses: a few more where damage moves a section into the resources.
        ASSERT_LE(reading.reads, 40) << "round " << round;
        if (damage == 0 && !truncated) {
            ASSERT_EQ(reading.resource, manifest) << "round " << round;
            ++laid_out_sound;
        }
        if (!reading.resource) continue;
        ++found;
        ASSERT_LE(reading.resource->size(), kLimit);
    }
    EXPECT_GT(laid_out_sound, 1000);
    EXPECT_GT(found, 3000);  // damage that spares the path to the manifest still finds it
}

}  // namespace
}  // namespace vextra::formats
