// SPDX-License-Identifier: MIT
// The template tool: what it encodes, the program decodes back to the manifest; what it cannot
// store faithfully, it refuses.
#include <gtest/gtest.h>

#include "manifest/template_store.h"
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
    const Case cases[] = {
        {"shipped manifest", read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml")},
        {"CR LF line ends", "<?xml version=\"1.0\"?>\r\n<a>\r\n</a>\r\n"},
        {"a lone CR ends a line, as in XML", "<a>\r<b/>\r\r\n</a>"},
        {"no final line end", "<a x='1'/>"},
        {"RTF specials and tabs", "<a>\\{x}\t\\par</a>"},
        {"all coded characters", "<x y=\"abcdefghijklmnopqrstuvwxyz0./\"></x>\n"},
        {"Unicode outside the coded range", "<a t=\"\u00E9\u00C7\u20AC\u00A0\U0001F600 \u4E2D\"/>"},
        {"the marker as content", "<a>|Please don't ,modify this file|</a>"},
        {"blank lines and spaces", "\n\n  <a>  </a>  \n\n"},
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
        // What is no XML document is refused with the parser's words and the line.
        {"unclosed element", "<a>\n<b></a>", "not well-formed XML: line 2: "},
        {"only an end tag", "</a>", "not well-formed XML: line 1: "},
        {"no root element", "<![CDATA[x]]>", "not well-formed XML: line 1: "},
        {"character zero", "<a>&#0;</a>", "not well-formed XML: line 1: "},
        {"UTF-16 declared", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", "not well-formed XML: line 1: "},
        {"empty", "", "not well-formed XML: line 1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedTemplate encoded = encode_template(c.source);
        EXPECT_NE(encoded.error.find(c.error_part), std::string::npos) << encoded.error;
        EXPECT_EQ(encoded.rtf, "");
    }
}

TEST(TemplateTool, TheBuiltTemplateHoldsTheShippedManifest) {
    EXPECT_EQ(decoded(read_whole_file(VEXTRA_TEMPLATE_FILE)), with_crlf(read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml")));
}

}  // namespace
}  // namespace vextra::tools
