#include "manifest/template_store.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/text.h"
#include "temp_dir.h"

namespace vextra::manifest {
namespace {

using platform::ansi_char;
using platform::RichTextBox;
using test::TempDir;

constexpr const char* kDeclarationLine = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

std::string rtf(const std::string& body) { return "{\\rtf1\\ansi\\ansicpg1252\\deff0 " + body + "}"; }

TEST(DecodeList, CodesEachOfTheThirtyThreeCharactersOnceFrom200To232) {
    std::set<std::string_view> replacements;
    for (std::size_t i = 0; i < kDecodeList.size(); ++i) {
        EXPECT_EQ(kDecodeList[i].code, 200 + i);
        replacements.insert(kDecodeList[i].replacement);
    }
    std::set<std::string_view> expected = {"\"", "<", ">", "/", "0", ".", "\r\n"};
    static const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    for (std::size_t i = 0; i < letters.size(); ++i) expected.insert(std::string_view(letters).substr(i, 1));
    EXPECT_EQ(replacements, expected);
}

TEST(InitialContent, IsTheXmlDeclarationFollowedByALineBreak) {
    EXPECT_EQ(RichTextBox::kInitialRtf.size(), 178u);
    EXPECT_EQ(RichTextBox().text(), kDeclarationLine);
}

TEST(LoadTemplate, StripsTheMarkerAndDecodes) {
    const std::string marker(kMarker);
    struct Case {
        const char* name;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"coded tag", "\\'c8\\'cf\\'ca\\'c9", "<a/>"},
        {"line break code", "A\\'ceB", "A\r\nB"},
        {"without marker", "\\'e6Y", "xY"},
        {"marker several times", marker + "\\'dd" + marker + "K" + marker, "oK"},
        {"marker in other case stays", "|please don't ,modify this file|", "|please don't ,modify this file|"},
        {"marker with the comma moved stays", "|Please don't, modify this file|", "|Please don't, modify this file|"},
        {"no coded characters", "Plain TEXT 123", "Plain TEXT 123"},
        {"characters beside the range stay", "\\'c7\\'e9", ansi_char(199) + ansi_char(233)},
        {"marker split by a code is no marker", "|Please don't ,m\\'dddify this file|",
         "|Please don't ,modify this file|"},
        {"paragraphs of the document", "A\\par B\\par ", "A\r\nB\r\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RichTextBox manif;
        EXPECT_TRUE(load_template(manif, dir.write("style.dll", rtf(c.body))));
        EXPECT_EQ(manif.text(), c.expected);
    }
}

TEST(LoadTemplate, EveryCodeDecodesToItsReplacement) {
    // Codes 200 (0xC8) to 232 (0xE8), in order.
    const std::string body =
        "\\'c8\\'c9\\'ca\\'cb\\'cc\\'cd\\'ce\\'cf\\'d0\\'d1\\'d2"
        "\\'d3\\'d4\\'d5\\'d6\\'d7\\'d8\\'d9\\'da\\'db\\'dc\\'dd"
        "\\'de\\'df\\'e0\\'e1\\'e2\\'e3\\'e4\\'e5\\'e6\\'e7\\'e8";
    TempDir dir;
    RichTextBox manif;
    ASSERT_TRUE(load_template(manif, dir.write("style.dll", rtf(body))));
    EXPECT_EQ(manif.text(), "<>/\".0\r\nabcdefghijklmnopqrstuvwxyz");
}

TEST(LoadTemplate, KeepsTheInitialContentWhenTheTemplateCannotBeLoaded) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"missing", dir.file("style.dll")},
        {"a directory", dir.file("folder")},
        {"not RTF", dir.write("plain.dll", "<?xml version=\"1.0\"?><a/>")},
        {"empty", dir.write("empty.dll", "")},
        {"cut off before its groups close", dir.write("cut.dll", "{\\rtf1\\ansi \\'cf{\\b x}")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RichTextBox manif;
        EXPECT_FALSE(load_template(manif, c.path));
        EXPECT_EQ(manif.text(), kDeclarationLine);
    }
}

TEST(LoadTemplate, ReadsStyleDllFromTheWorkingDirectoryOnly) {
    TempDir with_template, elsewhere;
    with_template.write("style.dll", rtf("\\'ddK"));
    {
        test::WorkingDirectory cwd(with_template.path());
        RichTextBox manif;
        EXPECT_TRUE(load_template(manif));
        EXPECT_EQ(manif.text(), "oK");
    }
    {
        test::WorkingDirectory cwd(elsewhere.path());
        RichTextBox manif;
        EXPECT_FALSE(load_template(manif));
        EXPECT_EQ(manif.text(), kDeclarationLine);
    }
}

}  // namespace
}  // namespace vextra::manifest
