// SPDX-License-Identifier: MIT
#include "manifest/template_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>

#include "formats/text.h"
#include "replace_all.h"
#include "temp_dir.h"

namespace vextra::manifest {
namespace {

using formats::ansi_char;
using formats::RichTextBox;
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
        {"characters beside the range stay", "\\'c7\\'e9", std::string(ansi_char(199)) + std::string(ansi_char(233))},
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

// The decoding is defined as one replacement pass per code, in the list's order.
std::string decode_code_by_code(std::string text) {
    for (const DecodePair& pair : kDecodeList) text = test::replace_all(text, ansi_char(pair.code), pair.replacement);
    return text;
}

TEST(DecodeText, GivesWhatReplacingEachCodeInTurnGives) {
    // Codes, their neighbours, their lead byte alone or doubled, and plain text, in any order.
    const std::vector<std::string_view> pieces = {ansi_char(199), ansi_char(200), ansi_char(206), ansi_char(220),
                                                  ansi_char(232), ansi_char(233), "\xC3", "\xC3\xC3", "a", "\r\n", "|"};
    std::mt19937 rng(2026);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1), length(0, 40);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (std::size_t n = length(rng); n > 0; --n) text += pieces[pick(rng)];
        std::string decoded = text;
        decode_text(decoded);
        ASSERT_EQ(decoded, decode_code_by_code(text)) << testing::PrintToString(text);
    }
}

TEST(LoadTemplate, HostileTemplates) {
    const std::string deep(1000000, '{');
    const std::string undeep(1000000, '}');
    struct Case {
        const char* name;
        std::string document;
        bool loads;
        std::string text;  // when it loads
    };
    const Case cases[] = {
        {"a million nested groups", "{\\rtf1 " + deep + "\\'c8\\'dd/" + undeep + "}", true, "<o/"},
        {"a million nested groups, each hiding its text and changing \\uc",
         "{\\rtf1 a" + [] {
             std::string nested;
             for (int i = 0; i < 250000; ++i) nested += i % 2 ? "{\\uc2 " : "{\\*\\uc1 ";
             return nested + "x" + std::string(250000, '}');
         }() + "b}",
         true, "ab"},
        {"binary data past the end", "{\\rtf1 \\'c8\\bin99999999 abc}", false, ""},
        {"NUL bytes", std::string("{\\rtf1 \\'c8\0\\'c9}", 17), true, "< >"},
        {"invalid hex escape", "{\\rtf1 \\'c8\\'zz}", false, ""},
        {"\\u out of range", "{\\rtf1 \\u99999999999?\\u-99999?\\u200?}", true, "\ue7ff\u7961<"},
        {"cut short", "{\\rtf1 {\\'c8}{", false, ""},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RichTextBox manif;
        EXPECT_EQ(load_template(manif, dir.write("style.dll", c.document)), c.loads);
        EXPECT_EQ(manif.text(), c.loads ? c.text : kDeclarationLine);
    }
}

TEST(LoadTemplate, RefusesATemplateOverTheSizeLimitWithoutReadingIt) {
    TempDir dir;
    const std::string at_limit = dir.file("at-limit.dll");
    const std::string padding = "{\\rtf1 \\'dd" + std::string(kTemplateSizeLimit - 12, ' ');
    ASSERT_EQ(padding.size() + 1, kTemplateSizeLimit);
    dir.write("at-limit.dll", padding + "}");
    RichTextBox manif;
    EXPECT_TRUE(load_template(manif, at_limit));
    EXPECT_EQ(manif.text().substr(0, 2), "o ");

    // 256 MiB of holes: read, it would take a while and the memory of its size.
    const std::string huge = dir.write("huge.dll", padding);
    std::filesystem::resize_file(huge, std::uint64_t{256} << 20);
    const auto start = std::chrono::steady_clock::now();
    RichTextBox refused;
    EXPECT_FALSE(load_template(refused, huge));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(refused.text(), kDeclarationLine);
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
