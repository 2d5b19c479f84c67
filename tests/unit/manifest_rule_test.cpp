// SPDX-License-Identifier: MIT
// One verdict, the loader's, on both systems: the same table of manifests gets the same answers
// from the Linux build (expat) and the Windows build (XmlLite; Wine's under the tests), for the
// template's text and for the manifest a program carries.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "formats/rich_text_box.h"
#include "manifest/own_manifest.h"
#include "manifest/template_store.h"
#include "manifest_cases.h"
#include "platform/executable.h"
#include "temp_dir.h"

namespace vextra::test {
namespace {

TEST(ManifestRule, ATemplateIsUsableWhenTheLoaderTakesItsText) {
    for (const TemplateCase& c : template_cases()) {
        SCOPED_TRACE(c.name);
        formats::RichTextBox manif;
        manif.set_text(c.text);
        const std::string error = manifest::manifest_text_error(manif);
        EXPECT_EQ(error.empty(), c.usable) << error;
        if (!c.usable) {
            EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
        }
        if (!c.said.empty()) {
            EXPECT_NE(error.find(c.said), std::string::npos) << error;
        }
    }
}

std::uint32_t read_u32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The fixture program built with room for its manifest (tests/pe/manifest-slot.*): where its
// manifest's bytes lie in the file, and where its resource entry gives their size.
struct ManifestSlot {
    std::string program;
    std::size_t data = 0;
    std::size_t size_field = 0;
    std::size_t room = 0;
};

std::optional<ManifestSlot> manifest_slot(const std::string& arch) {
    ManifestSlot slot{read_whole_file(std::string(VEXTRA_PE_FIXTURES) + "/" + arch + "/manifest-slot.exe")};
    const std::string manifest = read_whole_file(VEXTRA_PE_SOURCES "/manifest-slot.manifest");
    slot.room = manifest.size();
    slot.data = slot.program.find(manifest);
    if (manifest.empty() || slot.data == std::string::npos) return std::nullopt;
    // The resource's data entry is aligned to four bytes, and its odd size is found nowhere else.
    std::optional<std::size_t> size_field;
    for (std::size_t at = 0; at + 4 <= slot.program.size(); at += 4) {
        if (read_u32(slot.program, at) != slot.room) continue;
        if (size_field) return std::nullopt;
        size_field = at;
    }
    if (!size_field) return std::nullopt;
    slot.size_field = *size_field;
    return slot;
}

// The manifest a real program carries decides: each row's bytes replace the manifest resource of
// a copy of one program, which is then read as any dropped program is.
TEST(ManifestRule, AProgramAsksForVisualStylesAsTheLoaderReadsItsManifest) {
    TempDir dir;
    for (const char* arch : {"i686", "x86_64"}) {
        const std::optional<ManifestSlot> slot = manifest_slot(arch);
        ASSERT_TRUE(slot) << arch << ": the program's manifest and its size are each found once";
        for (const OwnManifestCase& c : own_manifest_cases()) {
            SCOPED_TRACE(std::string(arch) + ": " + c.name);
            ASSERT_LE(c.bytes.size(), slot->room);
            std::string program = slot->program;
            program.replace(slot->data, c.bytes.size(), c.bytes);
            for (std::size_t i = 0; i < 4; ++i)
                program[slot->size_field + i] = static_cast<char>(c.bytes.size() >> (8 * i) & 0xFF);
            const std::optional<std::string> manifest = platform::embedded_manifest(dir.write("program.exe", program));
            ASSERT_EQ(manifest, c.bytes);
            EXPECT_EQ(manifest::asks_for_visual_styles(*manifest), c.asks);
        }
    }
}

}  // namespace
}  // namespace vextra::test
