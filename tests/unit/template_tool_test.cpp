// SPDX-License-Identifier: MIT
// The template tool: what it encodes, the program decodes back to the manifest; what it cannot
// store faithfully, it refuses.
#include <gtest/gtest.h>

#include "manifest/template_store.h"
#include "manifest_cases.h"
#include "platform/files.h"
#include "replace_all.h"
#include "template_encoder.h"
#include "temp_dir.h"

namespace vextra::tools {
namespace {

using test::read_whole_file;
using test::TempDir;

std::string with_crlf(const std::string& text) {
    const std::string lf = test::replace_all(test::replace_all(text, "\r\n", "\n"), "\r", "\n");
    return test::replace_all(lf, "\n", "\r\n");
}

// What the program holds after start-up with `rtf` as its template.
std::string decoded(const std::string& rtf) {
    TempDir dir;
    formats::RichTextBox manif;
    EXPECT_TRUE(manifest::load_template(manif, dir.write("style.dll", rtf)));
    return manif.text();
}

TEST(EncodeTemplate, RoundTripsThroughTheProgramsDecoding) {
    struct Case {
        const char* name;
        std::string source;
    };
    const auto in_assembly = [](const std::string& inside) {
        return "<assembly " + test::kRootAttributes + ">" + inside + "</assembly>";
    };
    const Case cases[] = {
        {"shipped manifest", read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml")},
        {"CR LF line ends", "<?xml version=\"1.0\"?>\r\n" + in_assembly("\r\n") + "\r\n"},
        {"a lone CR ends a line, as in XML", in_assembly("\r<b/>\r\r\n")},
        {"no final line end", in_assembly("<a x='1'/>")},
        {"RTF specials and tabs", in_assembly("\\{x}\t\\par")},
        {"all coded characters", in_assembly("<x y=\"abcdefghijklmnopqrstuvwxyz0./\"></x>\n")},
        {"Unicode outside the coded range", in_assembly("<a t=\"\u00E9\u00C7\u20AC\u00A0\U0001F600 \u4E2D\"/>")},
        {"the marker as content", in_assembly("|Please don't ,modify this file|")},
        {"blank lines and spaces", "\n\n  " + in_assembly("  ") + "  \n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedTemplate encoded = encode_template(c.source);
        ASSERT_EQ(encoded.error, "");
        EXPECT_NE(encoded.rtf.find(manifest::kMarker), std::string::npos);
        EXPECT_EQ(decoded(encoded.rtf), with_crlf(c.source));
    }
}

TEST(EncodeTemplate, RefusesWhatItCannotStore) {
    struct Case {
        const char* name;
        std::string source;
        std::string error_part;
    };
    const Case cases[] = {
        {"first coded character", "<a>\u00C8</a>", "U+00C8"},
        {"last coded character", "<a>\n\u00E8</a>", "line 2: the character U+00E8"},
        {"not UTF-8", "<a>\xE8</a>", "not UTF-8"},
        {"lead byte past U+10FFFF", "<a>\xF8\x88\x80\x80\x80</a>", "line 1: the text is not UTF-8"},
        {"lead byte 0xFF", "<a>\n\xFF</a>", "line 2: the text is not UTF-8"},
        {"control character", "<a>\x01</a>", "control character"},
        // What the programs would not write is refused with the rule's or the parser's words and
        // the line.
        {"unclosed element", "<assembly " + test::kRootAttributes + ">\n<b></assembly>",
         "not a manifest Windows takes: line 2: "},
        {"only an end tag", "</a>", "not a manifest Windows takes: line 1: "},
        {"no root element", "<![CDATA[x]]>", "not a manifest Windows takes: line 1: "},
        {"empty", "", "not a manifest Windows takes: line 1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedTemplate encoded = encode_template(c.source);
        EXPECT_NE(encoded.error.find(c.error_part), std::string::npos) << encoded.error;
        EXPECT_EQ(encoded.rtf, "");
    }
}

// The tool and the programs answer every row of the shared table alike.
TEST(EncodeTemplate, RefusesWhatTheProgramsWouldNotWrite) {
    for (const test::TemplateCase& c : test::template_cases()) {
        SCOPED_TRACE(c.name);
        const EncodedTemplate encoded = encode_template(c.text);
        EXPECT_EQ(encoded.error.empty(), c.usable) << encoded.error;
        EXPECT_EQ(encoded.rtf.empty(), !c.usable);
        if (!c.said.empty()) {
            EXPECT_NE(encoded.error.find(c.said), std::string::npos) << encoded.error;
        }
    }
}

// The programs do not load a template over kTemplateSizeLimit, so none is made.
TEST(EncodeTemplate, RefusesATemplateLargerThanTheProgramsLoad) {
    // Each coded letter takes four bytes of RTF ("\'cf"); a space takes one.
    const auto with_description = [](std::size_t letters, std::size_t spaces) {
        return "<assembly " + test::kRootAttributes + "><description>" + std::string(letters, 'a') +
               std::string(spaces, ' ') + "</description></assembly>";
    };
    const EncodedTemplate small = encode_template(with_description(0, 0));
    ASSERT_EQ(small.error, "");
    const std::size_t room = manifest::kTemplateSizeLimit - small.rtf.size();
    const EncodedTemplate at_limit = encode_template(with_description(room / 4, room % 4));
    EXPECT_EQ(at_limit.error, "");
    EXPECT_EQ(at_limit.rtf.size(), manifest::kTemplateSizeLimit);

    const EncodedTemplate over = encode_template(with_description(room / 4, room % 4 + 1));
    EXPECT_EQ(over.error, "the template would take " + std::to_string(manifest::kTemplateSizeLimit + 1) +
                              " bytes, more than the 16 MiB the programs load");
    EXPECT_EQ(over.rtf, "");
}

TEST(TemplateTool, TheBuiltTemplateHoldsTheShippedManifest) {
    EXPECT_EQ(decoded(read_whole_file(VEXTRA_TEMPLATE_FILE)), with_crlf(read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml")));
}

}  // namespace
}  // namespace vextra::tools
