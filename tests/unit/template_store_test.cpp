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

std::string code(unsigned char c) { return "\\'" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15]; }

std::string code_of(std::string_view replacement) {
    for (const auto& pair : kDecodeList)
        if (pair.replacement == replacement) return code(pair.code);
    ADD_FAILURE() << "no code for " << replacement;
    return {};
}

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
        {"coded tag", code_of("<") + code_of("a") + code_of("/") + code_of(">"), "<a/>"},
        {"line break code", "A" + code_of("\r\n") + "B", "A\r\nB"},
        {"without marker", code_of("x") + "Y", "xY"},
        {"marker several times", marker + code_of("o") + marker + "K" + marker, "oK"},
        {"marker in other case stays", "|please don't ,modify this file|", "|please don't ,modify this file|"},
        {"marker with the comma moved stays", "|Please don't, modify this file|", "|Please don't, modify this file|"},
        {"no coded characters", "Plain TEXT 123", "Plain TEXT 123"},
        {"characters beside the range stay", "\\'c7\\'e9", ansi_char(199) + ansi_char(233)},
        {"marker split by a code is no marker", "|Please don't ,m" + code_of("o") + "dify this file|",
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
    std::string body, expected;
    for (const auto& pair : kDecodeList) {
        body += code(pair.code);
        expected += pair.replacement;
    }
    TempDir dir;
    RichTextBox manif;
    ASSERT_TRUE(load_template(manif, dir.write("style.dll", rtf(body))));
    EXPECT_EQ(manif.text(), expected);
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
        {"cut off before its groups close", dir.write("cut.dll", "{\\rtf1\\ansi " + code_of("a") + "{\\b x}")},
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
    with_template.write("style.dll", rtf(code_of("o") + "K"));
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
