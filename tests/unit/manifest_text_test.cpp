// SPDX-License-Identifier: MIT
// A manifest's bytes turned into the UTF-8 text both XML parsers read: exactly the characters the
// encoding gives, the declaration made to name UTF-8, the lines kept; what is no text refused on
// its line.
#include "manifest/manifest_text.h"

#include <gtest/gtest.h>

namespace vextra::manifest {
namespace {

TEST(ManifestAsUtf8, GivesTheCharactersOfEachEncodingTheLoaderReads) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
        ManifestEncoding encoding;
    };
    const Case cases[] = {
        {"UTF-8, as it is", "<?xml version='1.0' encoding='utf-8'?>\n<a>\u00E9\U0001F600</a>",
         "<?xml version='1.0' encoding='utf-8'?>\n<a>\u00E9\U0001F600</a>", ManifestEncoding::kUtf8},
        {"UTF-8 without its byte order mark", "\xEF\xBB\xBF<a/>", "<a/>", ManifestEncoding::kUtf8},
        {"no declaration", "<a>\u20AC</a>", "<a>\u20AC</a>", ManifestEncoding::kUtf8},
        {"windows-1252, its undefined codes as C1 controls",
         "<?xml version=\"1.0\" encoding=\"Windows-1252\" standalone=\"yes\"?>\r\n<a>\x80\x81\x9F\xE9\xFF</a>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<a>\u20AC\u0081\u0178\u00E9\u00FF</a>",
         ManifestEncoding::kWindows1252},
        {"ISO-8859-1", "<?xml version = '1.0'\n encoding = 'iso-8859-1' ?><a>\x80\xE9</a>",
         "<?xml version = '1.0'\n encoding = 'UTF-8' ?><a>\u0080\u00E9</a>", ManifestEncoding::kLatin1},
        {"UTF-16, little endian",
         std::string("\xFF\xFE<\0?\0x\0m\0l\0 \0e\0n\0c\0o\0d\0i\0n\0g\0=\0'\0U\0T\0F\0-\0001\0"
                     "6\0'\0?\0>\0<\0a\0>\0\xAC\x20=\xD8\0\xDE<\0/\0a\0>\0",
                     72),
         "<?xml encoding='UTF-8'?><a>\u20AC\U0001F600</a>", ManifestEncoding::kUtf16LittleEndian},
        {"UTF-16, big endian, without a declaration", std::string("\xFE\xFF\0<\0a\0/\0>\0\n", 12), "<a/>\n",
         ManifestEncoding::kUtf16BigEndian},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Utf8Manifest utf8 = manifest_as_utf8(c.bytes);
        EXPECT_EQ(utf8.error, "");
        EXPECT_EQ(utf8.text, c.text);
        EXPECT_EQ(utf8.encoding, c.encoding);
    }
}

TEST(ManifestAsUtf8, RefusesWhatIsNoTextOnItsLine) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"UTF-8 that is not", "<a>\n\n\xE9</a>", "line 3: not UTF-8"},
        {"an overlong form", "<a>\xC0\xAF</a>", "line 1: not UTF-8"},
        {"UTF-16 without its byte order mark", std::string("<\0a\0/\0>\0", 8), "line 1: a character zero"},
        {"UTF-16 cut in the middle of a code unit", std::string("\xFF\xFE<\0\n\0a", 7),
         "line 2: the UTF-16 text ends in half a code unit"},
        {"UTF-16 with half of a surrogate pair", std::string("\xFE\xFF\0\n\xDC\0", 6),
         "line 2: not UTF-16: half of a surrogate pair"},
        {"UTF-16 declaring another encoding",
         std::string("\xFF\xFE<\0?\0x\0m\0l\0 \0e\0n\0c\0o\0d\0i\0n\0g\0=\0'\0"
                     "U\0T\0F\0-\08\0'\0?\0>\0",
                     50),
         "line 1: the byte order mark says UTF-16"},
        {"a UTF-8 byte order mark and another encoding", "\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a/>",
         "line 1: the byte order mark says UTF-8"},
        {"UTF-16 declared over single bytes", "<?xml version='1.0' encoding='UTF-16'?><a/>",
         "line 1: the XML declaration names an encoding other than"},
        {"an encoding not read", "<?xml version='1.0' encoding='Shift_JIS'?><a/>", "line 1: the XML declaration names"},
        {"two UTF-8 byte order marks", "\xEF\xBB\xBF\xEF\xBB\xBF<a/>", "line 1: a second byte order mark"},
        {"two UTF-16 byte order marks", std::string("\xFE\xFF\xFE\xFF\0<\0a\0/\0>", 12), "line 1: a second byte order mark"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Utf8Manifest utf8 = manifest_as_utf8(c.bytes);
        EXPECT_EQ(utf8.error.rfind(c.error, 0), 0u) << utf8.error;
        EXPECT_EQ(utf8.text, "");
    }
}

TEST(ReferenceError, FindsTheFirstReferenceToNoEntityOrCharacter) {
    struct Case {
        const char* name;
        std::string text;
        const char* error;  // "" for none
    };
    const Case cases[] = {
        {"the five entities and characters", "<a b='&amp;&apos;'>&lt;&gt;&quot;&#10;&#x1F600;</a>", ""},
        {"'&' in markup of its own", "<!--&--><a><![CDATA[&]]><?p &?></a><!-- & -->", ""},
        {"a comment never closed", "<a/><!-- &", ""},
        {"an entity not declared", "<a>\n\n&nbsp;</a>", "line 3: a reference to an entity that is not declared"},
        {"a bare ampersand", "<a>\n&</a>", "line 2: a '&' that starts no reference"},
        {"a name cut by a quote", "<a b='&amp'/>", "line 1: a '&' that starts no reference"},
        {"character zero", "<a>&#0;</a>", "line 1: a character reference to a character XML does not allow"},
        {"U+FFFE", "<a>&#xFFFE;</a>", "line 1: a character reference to a character"},
        {"past U+10FFFF", "<a>&#99999999999999999999;</a>", "line 1: a character reference to a character"},
        {"no digits", "<a>&#x;</a>", "line 1: a character reference that is not a number"},
        {"letters in a decimal reference", "<a>&#1a;</a>", "line 1: a character reference that is not a number"},
        {"an upper-case X", "<a>&#X41;</a>", "line 1: a character reference that is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = reference_error(c.text);
        if (*c.error) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        } else {
            EXPECT_EQ(error, "");
        }
    }
}

}  // namespace
}  // namespace vextra::manifest
